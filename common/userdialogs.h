#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>

// Everything the operator answers goes through this interface: file dialogs, the colour dialog
// and message boxes. The application installs the Qt implementation; tests install a scripted
// one so that no test blocks on a modal dialog.
class UserDialogs
{
public:
    enum class Icon { Information, Warning, Critical, Question };
    enum class Button { Ok, Yes, No, Cancel };

    struct FileRequest
    {
        QString title;
        QString directory; // where the dialog opens; empty for the working directory
        QString filter; // Qt filter text, e.g. "Fichiers texte (*.txt)"
        QString defaultSuffix;
    };

    virtual ~UserDialogs() = default;

    // Empty when the operator cancels.
    virtual QString saveFileName(const FileRequest &request) = 0;
    virtual QString openFileName(const FileRequest &request) = 0;
    // std::nullopt when the operator cancels.
    virtual std::optional<QColor> chooseColour(const QColor &initial) = 0;
    // Shows a modal message box with the given buttons (the first is the default) and returns
    // the one pressed; Cancel if the box was closed otherwise.
    virtual Button message(Icon icon, const QString &title, const QString &text,
                           const QList<Button> &buttons)
        = 0;
    // The application's error box: a critical message with the application's name as title.
    virtual void showError(const QString &text) = 0;

    // The dialogs in use. Never null once the application or a test has installed one;
    // ownership stays with the caller of setInstance.
    static UserDialogs &instance();
    static void setInstance(UserDialogs *dialogs);
};
