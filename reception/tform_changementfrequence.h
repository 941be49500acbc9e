#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;

// Tunes the receiver to a channel picked in the sweep window, behind a password for channels
// other than the two of the "Fréquence" menu. Shown modally; the caller sets the chosen
// frequency text and channel first.
class TForm_ChangementFrequence : public QDialog
{
    Q_OBJECT

public:
    // What the window reads and changes in the main window; nothing is owned.
    struct MainWindowParts
    {
        const QString *ChosenFrequencyText = nullptr; // "138,450 MHz"
        const std::int32_t *PendingChannel = nullptr; // the channel picked in the sweep
        std::int32_t *CurrentChannel = nullptr; // set once the command is written
        // The sweep window's marker of the receiving channel; OK moves it to the new channel.
        QWidget *Image_Canal = nullptr;
        QAction *InfosFrequenceM = nullptr;
        QAction *N137050MHz = nullptr;
        QAction *N137500MHz = nullptr;
        QWidget *EcranP = nullptr; // the window is centred on the chart's height
        // Writes a command on the receiver's port; throws when the write fails.
        std::function<void(const QByteArray &)> SendText;
    };

    static const QString Password;

    explicit TForm_ChangementFrequence(QWidget *parent = nullptr);
    TForm_ChangementFrequence(const MainWindowParts &parts, QWidget *parent);
    // The window is created before it is wired to the main window's state.
    void setMainWindowParts(const MainWindowParts &parts) { m_parts = parts; }

    void FormShow();
    // A key typed in the password box: Enter (13) checks the password, other keys do nothing.
    void Edit_MotDePasseKeyPress(QChar key);
    void Button_OKClick();
    void Button_AnnulerClick();

    QLabel *Label_Titre = nullptr;
    QLabel *Label_Frequence = nullptr;
    QLabel *Label_MotDePasse = nullptr;
    QLineEdit *Edit_MotDePasse = nullptr;
    QPushButton *Button_Annuler = nullptr;
    QPushButton *Button_OK = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MainWindowParts m_parts;
};
