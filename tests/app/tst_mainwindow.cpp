#include "codepage.h"
#include "colour.h"
#include "inifile.h"
#include "qtuserdialogs.h"
#include "recordfile.h"
#include "scripteduserdialogs.h"
#include "tform_apropos.h"
#include "whenvisible.h"
#include "zephulversion.h"
#include "zephulwindows.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

QColor boxColour(const QWidget *box)
{
    return box->palette().color(QPalette::Window);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString settingsPath() const { return m_dir.filePath("zephul.ini"); }

private slots:
    void init()
    {
        QFile::remove(settingsPath());
        QDir(settingsPath()).removeRecursively();
    }

    void firstRunUsesDefaults()
    {
        ScriptedUserDialogs dialogs;
        ZephulWindows windows(settingsPath());
        TZephulF *w = windows.ZephulF();
        const std::uint32_t colours[8]
            = { 0xFF0000, 0x0000FF, 0x008000, 0xC0C0C0, 0x800080, 0x00FFFF, 0x000000, 0x00FF00 };
        for (int n = 1; n <= 8; ++n) {
            const auto &ch = w->Channels[n - 1];
            QCOMPARE(ch.Colour, colours[n - 1]);
            QCOMPARE(boxColour(ch.ColourBox), colourFromBgr(colours[n - 1]));
            QCOMPARE(ch.NameEdit->text(), QString("Voie %1").arg(n));
            QCOMPARE(ch.ChannelMenuItem->text(), QString("&Voie %1").arg(n));
            QVERIFY(ch.ChannelMenuItem->isChecked());
        }
        QVERIFY(w->PortName.isEmpty());
        QCOMPARE(w->flightMode, FlightMode::BALLON);
        QCOMPARE(w->CurrentChannel, 39);
        QVERIFY(w->Timer_APropos->isActive());
        QVERIFY(dialogs.asked().isEmpty());
        QVERIFY(!QFile::exists(settingsPath())); // reading creates nothing
    }

    void channelStripColumns()
    {
        ScriptedUserDialogs dialogs;
        ZephulWindows windows(settingsPath());
        TZephulF *w = windows.ZephulF();
        for (int n = 1; n <= 8; ++n) {
            const int c = (n - 1) / 2, r = (n - 1) % 2;
            QCOMPARE(w->Channels[n - 1].ColourBox->geometry(),
                     QRect(160 * c + 8, 20 * r + 8, 15, 6));
            QCOMPARE(w->Channels[n - 1].NameEdit->geometry(),
                     QRect(160 * c + 27, 20 * r + 4, 70, 19));
            QCOMPARE(w->Channels[n - 1].ValueLabel->pos(), QPoint(160 * c + 105, 20 * r + 4));
            QCOMPARE(w->Channels[n - 1].UnitLabel->pos(), QPoint(160 * c + 135, 20 * r + 4));
        }
    }

    void menusAtCreation_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("FichierM") << "FichierM"
                                  << "&Fichier" << true;
        QTest::newRow("NouvFichierM") << "NouvFichierM"
                                      << "&Nouveau (ctrl+N)" << true;
        QTest::newRow("OuvrirFichierM") << "OuvrirFichierM"
                                        << "&Ouvrir (ctrl+O)" << true;
        QTest::newRow("QuitterM") << "QuitterM"
                                  << "&Quitter (ctrl+Q)" << true;
        QTest::newRow("ReceptionM") << "ReceptionM"
                                    << "&Réception" << true;
        QTest::newRow("DemarrerM") << "DemarrerM"
                                   << "&Démarrer" << false;
        QTest::newRow("ArreterM") << "ArreterM"
                                  << "&Arrêter" << false;
        QTest::newRow("Frequence") << "Frequence"
                                   << "Fréquence" << false;
        QTest::newRow("N137050MHz") << "N137050MHz"
                                    << "137.050 MHz" << true;
        QTest::newRow("N137500MHz") << "N137500MHz"
                                    << "137.500 MHz" << true;
        QTest::newRow("Hautparleur1") << "Hautparleur1"
                                      << "Haut parleur" << false;
        QTest::newRow("ON1") << "ON1"
                             << "ON" << true;
        QTest::newRow("OFF1") << "OFF1"
                              << "OFF" << true;
        QTest::newRow("Scanner1") << "Scanner1"
                                  << "Balayage fréquentiel" << false;
        QTest::newRow("AffichageM") << "AffichageM"
                                    << "&Affichage" << true;
        QTest::newRow("VoiesM") << "VoiesM"
                                << "&Voies" << true;
        QTest::newRow("ParametresM") << "ParametresM"
                                     << "Port serie" << true;
        QTest::newRow("DebugM") << "DebugM"
                                << "&Debug" << true;
        QTest::newRow("DemarrerDebugM") << "DemarrerDebugM"
                                        << "&Démarrer" << true;
        QTest::newRow("QuestionM") << "QuestionM"
                                   << "&?" << true;
        QTest::newRow("ConfigurationM") << "ConfigurationM"
                                        << "&Configuration" << true;
        QTest::newRow("InfosPortSerieM") << "InfosPortSerieM"
                                         << "   Port          ????" << true;
        QTest::newRow("InfosModeM") << "InfosModeM"
                                    << "   Mode       PAQUETS" << true;
        QTest::newRow("InfosFrequenceM") << "InfosFrequenceM"
                                         << "   Fréquence 137.950 MHz" << true;
        QTest::newRow("AProposM") << "AProposM"
                                  << "&A propos..." << true;
    }
    void menusAtCreation()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(bool, enabled);
        ScriptedUserDialogs dialogs;
        ZephulWindows windows(settingsPath());
        TZephulF *w = windows.ZephulF();
        QAction *action = nullptr;
        if (QMenu *menu = w->findChild<QMenu *>(name))
            action = menu->menuAction();
        else
            action = w->findChild<QAction *>(name);
        QVERIFY2(action, qPrintable(name));
        QCOMPARE(action->text(), caption);
        QCOMPARE(action->isEnabled(), enabled);
        QVERIFY(action->shortcut().isEmpty());
    }

    void radioItemsAtCreation()
    {
        ScriptedUserDialogs dialogs;
        ZephulWindows windows(settingsPath());
        TZephulF *w = windows.ZephulF();
        QVERIFY(w->N137050MHz->isChecked() && !w->N137500MHz->isChecked());
        QVERIFY(w->ON1->isChecked() && !w->OFF1->isChecked());
        w->N137500MHz->setChecked(true);
        QVERIFY(!w->N137050MHz->isChecked());
    }

    void windowShape()
    {
        ScriptedUserDialogs dialogs;
        ZephulWindows windows(settingsPath());
        TZephulF *w = windows.ZephulF();
        QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w->windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(w->windowTitle(), TZephulF::ProductBanner + " - Fichier : ");
        // Sized once, by the program: the whole frame on the screen's width and height less 30,
        // at the top left, and the operator cannot resize it (a resize erases the chart).
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(w->frameGeometry(), QRect(0, 0, screen.width(), screen.height() - 30));
        QCOMPARE(w->minimumSize(), w->size());
        QCOMPARE(w->maximumSize(), w->size());
        // Never smaller than 734 x 550 inside.
        w->setOuterSize(QSize(300, 200));
        QCOMPARE(w->size(), QSize(734, 550));
        QCOMPARE(w->maximumSize(), QSize(734, 550));
        // The link pictures of the design, the working link on top, until the first reception.
        QVERIFY(w->TuvoOk->isVisibleTo(w) && w->TuvoNo->isVisibleTo(w));
        QCOMPARE(w->TuvoOk->geometry().topLeft(), w->TuvoNo->geometry().topLeft());
        QCOMPARE(w->TrameP->childAt(w->TuvoOk->geometry().center()), w->TuvoOk);
    }

    void closeBoxSavesQuitterDoesNot()
    {
        {
            ScriptedUserDialogs dialogs;
            ZephulWindows windows(settingsPath());
            TZephulF *w = windows.ZephulF();
            w->show();
            w->Channels[2].NameEdit->setText("Pression");
            w->QuitterM->trigger();
            QVERIFY(!QFile::exists(settingsPath()));
            w->PortName = "ttyUSB0";
            QVERIFY(w->close());
        }
        const IniFile ini(settingsPath());
        QCOMPARE(ini.readString("Nom voie", "Voie_3", "?"), QString("Pression"));
        QCOMPARE(ini.readString("Réception", "Port série", "?"), QString("ttyUSB0"));
        QCOMPARE(ini.readInteger("Couleur voie", "Voie_2", -1), qint64(255));
        ScriptedUserDialogs dialogs;
        ZephulWindows again(settingsPath());
        QCOMPARE(again.ZephulF()->Channels[2].NameEdit->text(), QString("Pression"));
        QCOMPARE(again.ZephulF()->PortName, QString("ttyUSB0"));
    }

    void typedNamesStopAtTenLongNamesStayWhole()
    {
        QFile f(settingsPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Nom voie]\r\nVoie_1=Temp\xE9rature ext\xE9rieure\r\n[Couleur voie]\r\n"
                "Voie_2=0xFF0000\r\nVoie_3=abc\r\n");
        f.close();
        ScriptedUserDialogs dialogs;
        ZephulWindows windows(settingsPath());
        TZephulF *w = windows.ZephulF();
        w->show();
        QCOMPARE(w->Channels[0].NameEdit->text(), QString("Température extérieure"));
        QCOMPARE(w->Channels[1].Colour, 0xFF0000u);
        QCOMPARE(w->Channels[2].Colour, 0x008000u); // not a number: the default
        QLineEdit *edit = w->Channels[1].NameEdit;
        edit->clear();
        QTest::keyClicks(edit, "Altitude barometrique");
        QCOMPARE(edit->text(), QString("Altitude b"));
        QVERIFY(w->close());
        QCOMPARE(IniFile(settingsPath()).readString("Nom voie", "Voie_1", "?"),
                 QString("Température extérieure"));
    }

    // An edit never makes a name longer than ten characters or than it was; a paste is cut to
    // what fits.
    void nameLengths_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("cursor"); // -1: the whole text selected
        QTest::addColumn<QString>("typed"); // typed key by key
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("result");
        QTest::newRow("typing stops at ten")
            << QString() << 0 << "Altitude barometrique" << QString() << "Altitude b";
        QTest::newRow("a long name cannot grow")
            << "Température extérieure" << 22 << "xy" << QString() << "Température extérieure";
        QTest::newRow("typed in the middle of a full name")
            << "0123456789" << 4 << "ab" << QString() << "0123456789";
        QTest::newRow("paste cut to fit") << QString() << 0 << QString() << "Pression atmosphérique"
                                          << "Pression a";
        QTest::newRow("paste in the middle, its end cut")
            << "Voie 1" << 4 << QString() << "ABCDEFGH"
            << "VoieABCD 1";
        QTest::newRow("paste over a selection") << "Voie 1234" << -1 << QString() << "0123456789ABC"
                                                << "0123456789";
        QTest::newRow("paste into a long name")
            << "Température extérieure" << 0 << QString() << "AB"
            << "Température extérieure";
    }
    void nameLengths()
    {
        QFETCH(QString, name);
        QFETCH(int, cursor);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, result);
        ScriptedUserDialogs dialogs;
        ZephulWindows windows(settingsPath());
        TZephulF *w = windows.ZephulF();
        w->Timer_APropos->stop();
        w->show();
        QLineEdit *edit = w->Channels[3].NameEdit;
        edit->setText(name);
        if (cursor < 0)
            edit->selectAll();
        else
            edit->setCursorPosition(cursor);
        if (!typed.isEmpty())
            QTest::keyClicks(edit, typed);
        if (!pasted.isEmpty()) {
            QGuiApplication::clipboard()->setText(pasted);
            edit->paste();
        }
        QCOMPARE(edit->text(), result);
        // Shortened, a long name stays within its new length.
        if (name.size() > 10) {
            QTest::keyClick(edit, Qt::Key_End);
            QTest::keyClick(edit, Qt::Key_Backspace);
            QTest::keyClicks(edit, "zz");
            QCOMPARE(edit->text(), name.chopped(1));
        }
    }

    // Colours too large for 32 bits give the defaults; names in the Windows code page go to the
    // settings file and the record file's header as the operator typed them.
    void coloursAndNamesInTheSettingsFile()
    {
        QFile f(settingsPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Couleur voie]\r\nVoie_8=4294967296\r\nVoie_7=0x100000000\r\n"
                "Voie_6=99999999999\r\nVoie_5=$FF\r\n[Nom voie]\r\nVoie_2=C\x9Cur\r\n");
        f.close();
        {
            ScriptedUserDialogs dialogs;
            ZephulWindows windows(settingsPath());
            TZephulF *w = windows.ZephulF();
            w->Timer_APropos->stop();
            QCOMPARE(w->Channels[7].Colour, 0x0000FF00u);
            QCOMPARE(w->Channels[6].Colour, 0x00000000u);
            QCOMPARE(w->Channels[5].Colour, 0x0000FFFFu);
            QCOMPARE(w->Channels[4].Colour, 0x000000FFu);
            QCOMPARE(w->Channels[1].NameEdit->text(), "Cœur");
            w->Channels[2].NameEdit->setText("Coût €");
            w->show();
            QVERIFY(w->close());
        }
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray saved = f.readAll();
        f.close();
        QVERIFY(saved.contains("Voie_2=C\x9Cur\r\n"));
        QVERIFY(saved.contains("Voie_3=Co\xFBt \x80\r\n"));
        ScriptedUserDialogs dialogs;
        ZephulWindows windows(settingsPath());
        QCOMPARE(windows.ZephulF()->Channels[2].NameEdit->text(), "Coût €");
        QCOMPARE(toCodePage(RecordFile::headerLine({ "Cœur", "Coût €" })),
                 QByteArray("Date;Heure;Chrono;C\x9Cur;Co\xFBt \x80;Piles;"));
    }

    // "&Ouvrir" with the Qt dialog the operator sees: a name typed without its extension opens
    // the .txt file of that name; a name that does not exist changes nothing.
    void ouvrirTypedWithoutExtension_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("opens");
        QTest::newRow("vol1 for vol1.txt") << "vol1" << true;
        QTest::newRow("no such file") << "vol2" << false;
    }
    void ouvrirTypedWithoutExtension()
    {
        QFETCH(QString, typed);
        QFETCH(bool, opens);
        QTemporaryDir dir;
        QFile existing(dir.filePath("vol1.txt"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        QtUserDialogs dialogs;
        UserDialogs::setInstance(&dialogs);
        ZephulWindows windows(settingsPath());
        TZephulF *w = windows.ZephulF();
        w->Timer_APropos->stop();
        QString refused;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll.stop();
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            dialog->setDirectory(dir.path());
            QTest::keyClicks(name, typed);
            // "Ouvrir": a dialog that refuses the name stays up, with a box of its own.
            QTimer::singleShot(200, dialog, [&refused, dialog] {
                if (!dialog->isVisible())
                    return;
                QWidget *box = QApplication::activeModalWidget();
                refused = box ? box->metaObject()->className() : "QFileDialog";
                if (box && box != dialog)
                    box->close();
                dialog->reject();
            });
            QMetaObject::invokeMethod(dialog, "accept");
        });
        poll.start(10);
        w->OuvrirFichierM->trigger();
        UserDialogs::setInstance(nullptr);
        QCOMPARE(refused, QString());
        QCOMPARE(w->Record.RecordPath, opens ? dir.filePath("vol1.txt") : QString());
        QCOMPARE(w->DemarrerM->isEnabled(), opens);
        QCOMPARE(w->Record.CreateOnStart, false);
    }

    void failedSaveKeepsWindowOpen()
    {
        QVERIFY(QDir().mkdir(settingsPath())); // the settings path is occupied by a folder
        ScriptedUserDialogs dialogs;
        ZephulWindows windows(settingsPath());
        TZephulF *w = windows.ZephulF();
        w->show();
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QCOMPARE(dialogs.errors(), QStringList { "Impossible d'écrire dans " + settingsPath() });
    }

    void chooserShownAfterStart()
    {
        ScriptedUserDialogs dialogs;
        ZephulWindows windows(settingsPath());
        TZephulF *w = windows.ZephulF();
        w->show();
        bool shownModal = false;
        // The chooser runs modally: answer it from inside its own event loop.
        whenVisible(windows.Form_APropos(), [&] {
            shownModal = windows.Form_APropos()->isModal();
            QTest::mouseClick(windows.Form_APropos()->Image_Ballon, Qt::LeftButton);
        });
        QTRY_VERIFY(!w->Timer_APropos->isActive());
        QTRY_VERIFY(shownModal);
        QTRY_VERIFY(!windows.Form_APropos()->isVisible());
        QCOMPARE(w->InfosModeM->text(), QString("   Mode      BALLON"));
        QCOMPARE(w->Label_Chrono->text(), QString("00:00:00"));
    }

    void choosingFusee()
    {
        ScriptedUserDialogs dialogs;
        ZephulWindows windows(settingsPath());
        TZephulF *w = windows.ZephulF();
        w->Timer_APropos->stop();
        w->show();
        TForm_APropos *chooser = windows.Form_APropos();
        const QPoint chrono = w->Label_Chrono->pos();
        const int nbTop = w->NbTramesL->y();
        const int txVolX = w->TxVolL->x();
        chooser->show();
        QTest::mouseClick(chooser->Panel_Fusee, Qt::LeftButton);
        QCOMPARE(w->flightMode, FlightMode::FUSEE);
        QCOMPARE(w->InfosModeM->text(), QString("   Mode     FUSEE"));
        QVERIFY(w->TramesG->isHidden());
        QCOMPARE(w->NbTramesL->pos(), QPoint(32, nbTop));
        QCOMPARE(w->TxVolL->pos(), QPoint(txVolX, 10));
        QCOMPARE(w->TxVolLL->y(), 10);
        QVERIFY(w->Tx1mnL->isHidden() && w->Tx1mnLL->isHidden());
        QVERIFY(!w->TxVolL->isHidden() && !w->TxVolLL->isHidden());
        QCOMPARE(w->Label_Chrono->text(), QString("00:00.000"));
        QCOMPARE(w->Label_Chrono->pos(), chrono);
        QVERIFY(chooser->Panel_Fusee->isHidden() && chooser->Panel_Ballon->isHidden());
        QVERIFY(!chooser->isVisible());

        // "A propos..." afterwards: the picture with its OK button, 410 px high.
        whenVisible(chooser, [&] {
            QVERIFY(chooser->Button_Fermer->isVisible());
            QCOMPARE(chooser->height(), 410);
            chooser->Button_Fermer->click();
        });
        w->AProposM->trigger();
        QVERIFY(!chooser->isVisible());
        QCOMPARE(w->flightMode, FlightMode::FUSEE);
    }

    // The version sits in the box whether it is the chooser or, shortened, "A propos...", and
    // never over what the operator clicks.
    void aboutBoxShowsVersion()
    {
        ScriptedUserDialogs dialogs;
        ZephulWindows windows(settingsPath());
        TZephulF *w = windows.ZephulF();
        w->Timer_APropos->stop();
        w->show();
        TForm_APropos *chooser = windows.Form_APropos();
        QLabel *version = chooser->findChild<QLabel *>("VersionL");
        QVERIFY(version);
        QCOMPARE(version->text(), QString("Version " ZEPHUL_VERSION));
        const auto check = [&] {
            const QRect box = version->geometry();
            QVERIFY(chooser->rect().contains(box));
            QVERIFY(version->isVisible());
            QVERIFY(version->fontMetrics().horizontalAdvance(version->text()) <= box.width());
            QVERIFY(version->fontMetrics().height() <= box.height());
            for (const QWidget *control : { static_cast<QWidget *>(chooser->Panel_Fusee),
                                            static_cast<QWidget *>(chooser->Panel_Ballon),
                                            static_cast<QWidget *>(chooser->Button_Fermer) })
                QVERIFY(!box.intersects(control->geometry()));
            QVERIFY(version->font().pixelSize() <= 11);
        };
        whenVisible(chooser, [&] {
            check();
            QTest::mouseClick(chooser->Image_Ballon, Qt::LeftButton);
        });
        w->Timer_AProposTimer();
        whenVisible(chooser, [&] {
            QCOMPARE(chooser->height(), 410);
            check();
            chooser->Button_Fermer->click();
        });
        w->AProposM->trigger();
    }

    void chooserClosedWithoutChoice()
    {
        ScriptedUserDialogs dialogs;
        ZephulWindows windows(settingsPath());
        TZephulF *w = windows.ZephulF();
        w->Timer_APropos->stop();
        w->show();
        TForm_APropos *chooser = windows.Form_APropos();
        whenVisible(chooser, [&] { QTest::keyClick(chooser, Qt::Key_Escape); });
        w->Timer_AProposTimer();
        QCOMPARE(w->flightMode, FlightMode::BALLON);
        QCOMPARE(w->InfosModeM->text(), QString("   Mode       PAQUETS"));
        QVERIFY(!w->TramesG->isHidden());
        // "A propos..." brings the choice back.
        whenVisible(chooser, [&] {
            QVERIFY(!chooser->Panel_Fusee->isHidden());
            QVERIFY(chooser->Button_Fermer->isHidden());
            QCOMPARE(chooser->height(), 443);
            QTest::mouseClick(chooser->Image_Fusee, Qt::LeftButton);
        });
        w->AProposM->trigger();
        QCOMPARE(w->flightMode, FlightMode::FUSEE);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
