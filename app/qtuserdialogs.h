#pragma once

#include "userdialogs.h"

// The dialogs the operator really sees: Qt's file, colour and message boxes, parented to the
// active window.
class QtUserDialogs : public UserDialogs
{
public:
    QString saveFileName(const FileRequest &request) override;
    QString openFileName(const FileRequest &request) override;
    std::optional<QColor> chooseColour(const QColor &initial) override;
    Button message(Icon icon, const QString &title, const QString &text,
                   const QList<Button> &buttons) override;
    void showError(const QString &text) override;
};
