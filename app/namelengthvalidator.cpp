#include "namelengthvalidator.h"

#include <QLineEdit>

NameLengthValidator::NameLengthValidator(QLineEdit *edit, int maxTyped)
    : QValidator(edit)
    , m_maxTyped(maxTyped)
{ }

QValidator::State NameLengthValidator::validate(QString &input, int &) const
{
    // Typing may shorten an over-long name, never lengthen a text beyond the limit.
    if (input.size() > m_maxTyped && input.size() > m_acceptedLength)
        return Invalid;
    return Acceptable;
}
