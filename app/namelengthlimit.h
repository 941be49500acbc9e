#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

// Keeps what the operator types or pastes in a channel name box within `maxTyped` characters,
// without cutting a longer name that the program put there (a name read from the settings file
// is kept whole and may be shortened): an edit never makes the text longer than maxTyped or than
// it was before the edit; a paste that would is cut to what fits. The limit is a child of the
// edit and goes with it.
class NameLengthLimit : public QObject
{
    Q_OBJECT

public:
    NameLengthLimit(QLineEdit *edit, int maxTyped);

private:
    void edited(const QString &text);

    QLineEdit *m_edit;
    int m_maxTyped;
    QString m_before; // the text before the operator's next edit
};
