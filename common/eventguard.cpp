#include "eventguard.h"

#include "userdialogs.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSet>
#include <exception>

namespace EventGuard {
namespace {

QSet<QString> &shownRepeats()
{
    static QSet<QString> shown;
    return shown;
}

void showDeferred(const QString &text)
{
    if (shownRepeats().contains(text))
        return;
    shownRepeats().insert(text);
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        UserDialogs::instance().showError(text);
        return;
    }
    QMetaObject::invokeMethod(
        app, [text] { UserDialogs::instance().showError(text); }, Qt::QueuedConnection);
}

} // namespace

QString currentErrorText()
{
    try {
        throw;
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Erreur inconnue");
    }
}

bool run(const std::function<void()> &handler)
{
    try {
        handler();
        return true;
    } catch (...) {
        UserDialogs::instance().showError(currentErrorText());
        return false;
    }
}

bool runDeferred(const std::function<void()> &handler)
{
    try {
        handler();
        return true;
    } catch (...) {
        showDeferred(currentErrorText());
        return false;
    }
}

void resetRepeats()
{
    shownRepeats().clear();
}

} // namespace EventGuard
