#pragma once

#include "userdialogs.h"

#include <QQueue>
#include <QVariant>

// Answers dialogs from a script and records every question asked, so tests never block.
// Installs itself as UserDialogs::instance() for its lifetime.
class ScriptedUserDialogs : public UserDialogs
{
public:
    struct Asked
    {
        QString kind; // "save", "open", "colour", "message", "error"
        QString title;
        QString text;
    };

    ScriptedUserDialogs();
    ~ScriptedUserDialogs() override;

    // Answers are taken in order by the dialogs of their kind. Without a scripted answer a
    // file dialog and the colour dialog are cancelled and a message box returns its first
    // button.
    void answerFile(const QString &path) { m_files.enqueue(path); }
    void answerColour(const std::optional<QColor> &colour) { m_colours.enqueue({ colour, false }); }
    // The next colour dialog fails: chooseColour throws.
    void failColour() { m_colours.enqueue({ std::nullopt, true }); }
    void answerButton(Button button) { m_buttons.enqueue(button); }

    const QList<Asked> &asked() const { return m_asked; }
    QStringList errors() const; // texts of the error boxes shown, in order
    QStringList messages() const; // texts of the message boxes shown, in order
    void clear() { m_asked.clear(); }

    QString saveFileName(const FileRequest &request) override;
    QString openFileName(const FileRequest &request) override;
    std::optional<QColor> chooseColour(const QColor &initial) override;
    Button message(Icon icon, const QString &title, const QString &text,
                   const QList<Button> &buttons) override;
    void showError(const QString &text) override;

private:
    struct ColourAnswer
    {
        std::optional<QColor> colour;
        bool fails = false;
    };
    QQueue<QString> m_files;
    QQueue<ColourAnswer> m_colours;
    QQueue<Button> m_buttons;
    QList<Asked> m_asked;
};
