#include "namelengthlimit.h"

#include <QLineEdit>
#include <algorithm>

NameLengthLimit::NameLengthLimit(QLineEdit *edit, int maxTyped)
    : QObject(edit)
    , m_edit(edit)
    , m_maxTyped(maxTyped)
    , m_before(edit->text())
{
    // The operator's edits come as textEdited (before textChanged); the program's own changes
    // come as textChanged alone, with the edit not marked modified.
    connect(edit, &QLineEdit::textEdited, this, &NameLengthLimit::edited);
    connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (!m_edit->isModified())
            m_before = text;
    });
}

void NameLengthLimit::edited(const QString &text)
{
    const qsizetype allowed = std::max<qsizetype>(m_maxTyped, m_before.size());
    const qsizetype excess = text.size() - allowed;
    if (excess <= 0) {
        m_before = text;
        return;
    }
    // What was typed or pasted ends at the cursor: its end is what does not fit.
    const int cursor = m_edit->cursorPosition();
    const qsizetype cut = std::max<qsizetype>(0, cursor - excess);
    QString fitting = text;
    fitting.remove(cut, cursor - cut);
    m_edit->setText(fitting);
    m_edit->setCursorPosition(int(cut));
    m_edit->setModified(true);
    m_before = fitting;
}
