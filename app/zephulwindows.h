#pragma once

#include "tzephulf.h"

#include <QString>
#include <memory>

class TForm_APropos;
class TForm_ChangementFrequence;
class TForm_Debug;
class TForm_Scanner;

// The program's five windows, created in their fixed order: the main window first (its
// creation handler runs before the others exist), then the sweep window, the mode chooser, the
// frequency-change window and the debug window. The side windows belong to the main window.
class ZephulWindows
{
public:
    explicit ZephulWindows(const QString &settingsPath = TZephulF::defaultSettingsPath());
    ~ZephulWindows();

    TZephulF *ZephulF() const { return m_main.get(); }
    TForm_Scanner *Form_Scanner() const { return m_main->Form_Scanner; }
    TForm_APropos *Form_APropos() const { return m_main->Form_APropos; }
    TForm_ChangementFrequence *Form_ChangementFrequence() const
    {
        return m_main->Form_ChangementFrequence;
    }
    TForm_Debug *Form_Debug() const { return m_main->Form_Debug; }

private:
    std::unique_ptr<TZephulF> m_main;
};
