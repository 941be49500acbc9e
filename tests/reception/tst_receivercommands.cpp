#include "receivercommand.h"
#include "scripteduserdialogs.h"
#include "tform_changementfrequence.h"
#include "zephulerror.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>

namespace {

// The main window's part of the frequency change, as plain fields and two menu items.
struct MainWindowState
{
    QString ChosenFrequencyText;
    std::int32_t PendingChannel = 0;
    std::int32_t CurrentChannel = 39;
    QWidget Image_Canal; // the sweep window's marker of the receiving channel
    QWidget EcranP;
    QAction InfosFrequenceM { QStringLiteral("   Fréquence 137.950 MHz") };
    QAction N137050MHz { QStringLiteral("137.050 MHz") };
    QAction N137500MHz { QStringLiteral("137.500 MHz") };
    QActionGroup group { nullptr };
    QList<QByteArray> sent;
    bool failWrites = false;

    MainWindowState()
    {
        EcranP.resize(784, 417);
        Image_Canal.move(19, 270);
        group.setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        for (QAction *a : { &N137050MHz, &N137500MHz }) {
            a->setCheckable(true);
            group.addAction(a);
        }
        N137050MHz.setChecked(true);
    }

    TForm_ChangementFrequence::MainWindowParts parts()
    {
        return { &ChosenFrequencyText,
                 &PendingChannel,
                 &CurrentChannel,
                 &Image_Canal,
                 &InfosFrequenceM,
                 &N137050MHz,
                 &N137500MHz,
                 &EcranP,
                 [this](const QByteArray &bytes) {
                     if (failWrites)
                         throw ZephulError(QStringLiteral("Write error"));
                     sent << bytes;
                 } };
    }

    // What the sweep window does on a bar click, then shows the window.
    void pick(TForm_ChangementFrequence &window, int channel)
    {
        PendingChannel = channel;
        ChosenFrequencyText = ReceiverCommand::frequencyText(channel);
        window.show();
    }
};

void typePassword(TForm_ChangementFrequence &window, const QString &text, bool enter)
{
    QTest::keyClicks(window.Edit_MotDePasse, text);
    if (enter)
        QTest::keyClick(window.Edit_MotDePasse, Qt::Key_Return);
}

} // namespace

class TestReceiverCommands : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void commandBytes()
    {
        QCOMPARE(ReceiverCommand::tune(0), QByteArray("$C0\r\n"));
        QCOMPARE(ReceiverCommand::tune(7), QByteArray("$C7\r\n"));
        QCOMPARE(ReceiverCommand::tune(21), QByteArray("\x24\x43\x32\x31\x0D\x0A"));
        QCOMPARE(ReceiverCommand::tune(60), QByteArray("$C60\r\n"));
        QCOMPARE(ReceiverCommand::loudspeaker(true), QByteArray("\x24\x48\x46\x0D\x0A"));
        QCOMPARE(ReceiverCommand::loudspeaker(false), QByteArray("\x24\x48\x4D\x0D\x0A"));
        QCOMPARE(ReceiverCommand::sweep(), QByteArray("\x24\x53\x0D\x0A"));
    }

    void frequencyText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << "fr_FR" << 0 << "136,000 MHz";
        QTest::newRow("21") << "fr_FR" << 21 << "137,050 MHz";
        QTest::newRow("30") << "fr_FR" << 30 << "137,500 MHz";
        QTest::newRow("49") << "fr_FR" << 49 << "138,450 MHz";
        QTest::newRow("59") << "fr_FR" << 59 << "138,950 MHz";
        QTest::newRow("60") << "fr_FR" << 60 << "139,000 MHz";
        QTest::newRow("point") << "en_US" << 21 << "137.050 MHz";
    }
    void frequencyText()
    {
        QFETCH(QString, locale);
        QFETCH(int, channel);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(ReceiverCommand::frequencyText(channel), text);
    }

    void channelBehindThePassword()
    {
        MainWindowState state;
        TForm_ChangementFrequence window(state.parts(), nullptr);
        state.pick(window, 49);
        QCOMPARE(window.Label_Frequence->text(), QStringLiteral("138,450 MHz"));
        QVERIFY(!window.Button_OK->isEnabled());
        QVERIFY(window.Edit_MotDePasse->isVisible());
        QVERIFY(window.Label_MotDePasse->isVisible());
        typePassword(window, QStringLiteral("vostrel"), false);
        QVERIFY(!window.Button_OK->isEnabled());
        QTest::keyClick(window.Edit_MotDePasse, Qt::Key_Return);
        QVERIFY(window.Button_OK->isEnabled());
        // Enter checked the password and pressed nothing.
        QVERIFY(window.isVisible());
        QVERIFY(state.sent.isEmpty());

        QTest::mouseClick(window.Button_OK, Qt::LeftButton);
        QCOMPARE(state.sent, QList<QByteArray> { "$C49\r\n" });
        QCOMPARE(state.InfosFrequenceM.text(), QStringLiteral("  Fréquence 138,450 MHz"));
        QVERIFY(!state.N137050MHz.isChecked());
        QVERIFY(!state.N137500MHz.isChecked());
        QCOMPARE(state.Image_Canal.x(), 510);
        QCOMPARE(state.CurrentChannel, 49);
        QVERIFY(!window.isVisible());
        QCOMPARE(window.result(), int(QDialog::Accepted));
    }

    void passwordChecks_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enter");
        QTest::addColumn<QString>("thenTyped");
        QTest::addColumn<bool>("okEnabled");
        QTest::newRow("capitals refused") << "VOSTREL" << true << "" << false;
        QTest::newRow("trailing blank refused") << "vostrel " << true << "" << false;
        QTest::newRow("without Enter") << "vostrel" << false << "" << false;
        QTest::newRow("edited after Enter") << "vostrel" << true << "xy" << true;
        QTest::newRow("wrong then right") << "vostre" << true << "l" << false;
    }
    void passwordChecks()
    {
        QFETCH(QString, typed);
        QFETCH(bool, enter);
        QFETCH(QString, thenTyped);
        QFETCH(bool, okEnabled);
        MainWindowState state;
        TForm_ChangementFrequence window(state.parts(), nullptr);
        state.pick(window, 12);
        typePassword(window, typed, enter);
        QTest::keyClicks(window.Edit_MotDePasse, thenTyped);
        QCOMPARE(window.Button_OK->isEnabled(), okEnabled);
    }

    void menuChannelsNeedNoPassword_data()
    {
        QTest::addColumn<int>("channel");
        QTest::newRow("21") << 21;
        QTest::newRow("30") << 30;
    }
    void menuChannelsNeedNoPassword()
    {
        QFETCH(int, channel);
        MainWindowState state;
        state.N137050MHz.setChecked(channel == 30);
        state.N137500MHz.setChecked(channel == 21);
        TForm_ChangementFrequence window(state.parts(), nullptr);
        state.pick(window, channel);
        QVERIFY(window.Button_OK->isEnabled());
        QVERIFY(!window.Edit_MotDePasse->isVisible());
        QVERIFY(!window.Label_MotDePasse->isVisible());
        QTest::mouseClick(window.Button_OK, Qt::LeftButton);
        QCOMPARE(state.sent, QList<QByteArray> { ReceiverCommand::tune(channel) });
        QCOMPARE(state.N137050MHz.isChecked(), channel == 21);
        QCOMPARE(state.N137500MHz.isChecked(), channel == 30);
    }

    void decimalPointAsksForEveryChannel()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        MainWindowState state;
        TForm_ChangementFrequence window(state.parts(), nullptr);
        state.pick(window, 21);
        QCOMPARE(window.Label_Frequence->text(), QStringLiteral("137.050 MHz"));
        QVERIFY(!window.Button_OK->isEnabled());
        QVERIFY(window.Edit_MotDePasse->isVisible());
    }

    void lowChannelsWithoutLeadingZeros_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("0") << 0 << QByteArray("$C0\r\n");
        QTest::newRow("7") << 7 << QByteArray("$C7\r\n");
    }
    void lowChannelsWithoutLeadingZeros()
    {
        QFETCH(int, channel);
        QFETCH(QByteArray, bytes);
        MainWindowState state;
        TForm_ChangementFrequence window(state.parts(), nullptr);
        state.pick(window, channel);
        typePassword(window, QStringLiteral("vostrel"), true);
        QTest::mouseClick(window.Button_OK, Qt::LeftButton);
        QCOMPARE(state.sent, QList<QByteArray> { bytes });
        QCOMPARE(state.Image_Canal.x(), channel * 10 + 20);
    }

    void cancelSendsNothingAndTheNextShowingAsksAgain()
    {
        MainWindowState state;
        TForm_ChangementFrequence window(state.parts(), nullptr);
        state.pick(window, 49);
        typePassword(window, QStringLiteral("vostrel"), true);
        QTest::mouseClick(window.Button_Annuler, Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QVERIFY(state.sent.isEmpty());
        QCOMPARE(state.CurrentChannel, 39);
        QCOMPARE(state.Image_Canal.x(), 19);
        QCOMPARE(state.InfosFrequenceM.text(), QStringLiteral("   Fréquence 137.950 MHz"));
        QVERIFY(state.N137050MHz.isChecked());

        state.pick(window, 49);
        QVERIFY(window.Edit_MotDePasse->text().isEmpty());
        QVERIFY(!window.Button_OK->isEnabled());
    }

    void failedWriteKeepsTheWindowAndTheChannel()
    {
        ScriptedUserDialogs dialogs;
        MainWindowState state;
        state.failWrites = true;
        TForm_ChangementFrequence window(state.parts(), nullptr);
        state.pick(window, 30);
        QTest::mouseClick(window.Button_OK, Qt::LeftButton);
        QCOMPARE(dialogs.errors(), QStringList { QStringLiteral("Write error") });
        QVERIFY(window.isVisible());
        QCOMPARE(state.CurrentChannel, 39);
    }
};

QTEST_MAIN(TestReceiverCommands)
#include "tst_receivercommands.moc"
