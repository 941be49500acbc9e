#include "tform_scanner.h"

TForm_Scanner::TForm_Scanner(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form_Scanner"));
    setWindowTitle(QStringLiteral("Zephul - Balayage de fréquences"));
    setFixedSize(671, 348);
}
