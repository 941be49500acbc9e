#include "scripteduserdialogs.h"

#include <stdexcept>

ScriptedUserDialogs::ScriptedUserDialogs()
{
    UserDialogs::setInstance(this);
}

ScriptedUserDialogs::~ScriptedUserDialogs()
{
    UserDialogs::setInstance(nullptr);
}

QStringList ScriptedUserDialogs::errors() const
{
    QStringList out;
    for (const Asked &a : m_asked)
        if (a.kind == QLatin1String("error"))
            out << a.text;
    return out;
}

QStringList ScriptedUserDialogs::messages() const
{
    QStringList out;
    for (const Asked &a : m_asked)
        if (a.kind == QLatin1String("message"))
            out << a.text;
    return out;
}

QString ScriptedUserDialogs::saveFileName(const FileRequest &request)
{
    m_asked.append({ "save", request.title, request.directory });
    return m_files.isEmpty() ? QString() : m_files.dequeue();
}

QString ScriptedUserDialogs::openFileName(const FileRequest &request)
{
    m_asked.append({ "open", request.title, request.directory });
    return m_files.isEmpty() ? QString() : m_files.dequeue();
}

std::optional<QColor> ScriptedUserDialogs::chooseColour(const QColor &initial)
{
    m_asked.append({ "colour", QString(), initial.name() });
    if (m_colours.isEmpty())
        return std::nullopt;
    const ColourAnswer answer = m_colours.dequeue();
    if (answer.fails)
        throw std::runtime_error("colour dialog failed");
    return answer.colour;
}

UserDialogs::Button ScriptedUserDialogs::message(Icon, const QString &title, const QString &text,
                                                 const QList<Button> &buttons)
{
    m_asked.append({ "message", title, text });
    if (!m_buttons.isEmpty())
        return m_buttons.dequeue();
    return buttons.isEmpty() ? Button::Ok : buttons.first();
}

void ScriptedUserDialogs::showError(const QString &text)
{
    m_asked.append({ "error", QString(), text });
}
