#pragma once

#include <QDialog>

// Tunes the receiver to a channel picked in the sweep window, behind a password for channels
// other than the two of the "Fréquence" menu.
class TForm_ChangementFrequence : public QDialog
{
    Q_OBJECT

public:
    explicit TForm_ChangementFrequence(QWidget *parent = nullptr);
};
