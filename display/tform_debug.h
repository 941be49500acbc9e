#pragma once

#include <QDialog>

// Shows every byte the receiver sends, for checking the link.
class TForm_Debug : public QDialog
{
    Q_OBJECT

public:
    explicit TForm_Debug(QWidget *parent = nullptr);
};
