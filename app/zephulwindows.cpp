#include "zephulwindows.h"

#include "tform_apropos.h"
#include "tform_changementfrequence.h"
#include "tform_debug.h"
#include "tform_scanner.h"
#include <QLabel>

ZephulWindows::ZephulWindows(const QString &settingsPath)
    : m_main(std::make_unique<TZephulF>(settingsPath))
{
    TZephulF *main = m_main.get();
    auto *scanner = new TForm_Scanner(main);
    scanner->setMainWindowParts(main->scannerParts());
    auto *chooser = new TForm_APropos(main->modeChooserParts(), main);
    TForm_ChangementFrequence::MainWindowParts frequencyParts = main->frequencyWindowParts();
    frequencyParts.Image_Canal = scanner->Image_Canal;
    auto *frequency = new TForm_ChangementFrequence(frequencyParts, main);
    auto *debug = new TForm_Debug(main->debugWindowParts(), main);
    main->setSideWindows(scanner, chooser, frequency, debug);
}

ZephulWindows::~ZephulWindows() = default;
