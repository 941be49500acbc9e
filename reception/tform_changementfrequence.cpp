#include "tform_changementfrequence.h"

#include "colour.h"

TForm_ChangementFrequence::TForm_ChangementFrequence(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form_ChangementFrequence"));
    setWindowTitle(QStringLiteral("Zephul - Nouvelle fréquence"));
    setFixedSize(273, 141);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, colourFromBgr(0x00F2CDAC));
    setPalette(palette);
}
