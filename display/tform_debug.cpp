#include "tform_debug.h"

TForm_Debug::TForm_Debug(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form_Debug"));
    setWindowTitle(QStringLiteral("Debug"));
    setFixedSize(258, 538);
}
