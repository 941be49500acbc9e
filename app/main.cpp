#include "qtuserdialogs.h"
#include "zephulwindows.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zephul"));
    QtUserDialogs dialogs;
    UserDialogs::setInstance(&dialogs);

    int result = 0;
    {
        ZephulWindows windows;
        windows.ZephulF()->show();
        result = QApplication::exec();
    }
    UserDialogs::setInstance(nullptr);
    return result;
}
