#pragma once

#include <QDialog>

// The band sweep window: the receiver's 61 level readings as a bar graph.
class TForm_Scanner : public QDialog
{
    Q_OBJECT

public:
    explicit TForm_Scanner(QWidget *parent = nullptr);
};
