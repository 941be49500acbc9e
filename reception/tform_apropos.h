#pragma once

#include "flightmode.h"

#include <QDialog>
#include <functional>

class QAction;
class Gauge;
class QFrame;
class QLabel;
class QPushButton;

// The mode chooser shown once after start-up, later the "A propos..." box. Choosing a mode
// rearranges the main window's instrument strip, so the chooser is given the parts it changes.
class TForm_APropos : public QDialog
{
    Q_OBJECT

public:
    // Parts of the main window the choice changes; all owned by the main window.
    struct MainWindowParts
    {
        FlightMode *flightMode = nullptr;
        QAction *InfosModeM = nullptr;
        Gauge *TramesG = nullptr;
        QLabel *NbTramesL = nullptr;
        QLabel *TxVolL = nullptr;
        QLabel *TxVolLL = nullptr;
        QLabel *Tx1mnL = nullptr;
        QLabel *Tx1mnLL = nullptr;
        QLabel *Label_Chrono = nullptr;
        QWidget *EcranP = nullptr;
        std::function<void()> FormResize;
    };

    explicit TForm_APropos(const MainWindowParts &parts, QWidget *parent = nullptr);

    void FormShow();
    void Panel_FuseeClick();
    void Panel_BallonClick();
    void Button_FermerClick();

    QFrame *AProposP = nullptr;
    QLabel *ImageAPropos = nullptr;
    QLabel *VersionL = nullptr; // the program's version, small, under the title
    QFrame *Panel_Fusee = nullptr;
    QLabel *Image_Fusee = nullptr;
    QFrame *Panel_Ballon = nullptr;
    QLabel *Image_Ballon = nullptr;
    QPushButton *Button_Fermer = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MainWindowParts m_parts;
};
