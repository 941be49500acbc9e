#pragma once

#include <QValidator>

class QLineEdit;

// Limits what the operator types in a channel name box to `maxTyped` characters without cutting
// a longer name that the program put there (a name read from the settings file is kept whole).
class NameLengthValidator : public QValidator
{
public:
    NameLengthValidator(QLineEdit *edit, int maxTyped);
    State validate(QString &input, int &pos) const override;

private:
    int m_maxTyped;
    int m_acceptedLength = 0;
};
