#include "qtuserdialogs.h"
#include "tform_apropos.h"
#include "tform_changementfrequence.h"
#include "tform_scanner.h"
#include "tzephulf.h"

#include <QApplication>
#include <QDialog>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zephul"));
    QtUserDialogs dialogs;
    UserDialogs::setInstance(&dialogs);

    // The main window first: its creation handler runs before the other windows exist.
    TZephulF ZephulF;
    auto *Form_Scanner = new TForm_Scanner(&ZephulF);
    auto *Form_APropos = new TForm_APropos(ZephulF.modeChooserParts(), &ZephulF);
    auto *Form_ChangementFrequence = new TForm_ChangementFrequence(&ZephulF);
    auto *Form_Debug = new QDialog(&ZephulF);
    Form_Debug->setWindowTitle(QStringLiteral("Debug"));
    ZephulF.setSideWindows(Form_Scanner, Form_APropos, Form_ChangementFrequence, Form_Debug);
    ZephulF.show();
    const int result = app.exec();
    UserDialogs::setInstance(nullptr);
    return result;
}
