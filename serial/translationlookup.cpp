#include "translationlookup.h"

#include <QHash>
#include <mutex>

namespace TranslationLookup {
namespace {

struct Catalogues
{
    std::mutex mutex;
    QHash<QString, QHash<QString, QString>> domains;
};

Catalogues &catalogues()
{
    static Catalogues instance;
    return instance;
}

} // namespace

void registerDomain(const QString &domain)
{
    Catalogues &c = catalogues();
    std::lock_guard lock(c.mutex);
    c.domains[domain];
}

void addTranslation(const QString &domain, const QString &text, const QString &translation)
{
    Catalogues &c = catalogues();
    std::lock_guard lock(c.mutex);
    c.domains[domain].insert(text, translation);
}

QString translate(const QString &domain, const QString &text)
{
    Catalogues &c = catalogues();
    std::lock_guard lock(c.mutex);
    const auto d = c.domains.constFind(domain);
    if (d == c.domains.constEnd())
        return text;
    return d->value(text, text);
}

} // namespace TranslationLookup
