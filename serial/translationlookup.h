#pragma once

#include <QString>

// The program's translation lookup: message catalogues by text domain. Minimal for now: a
// catalogue is what addTranslation put in it, and a text without a translation is returned as
// it stands. Thread-safe.
namespace TranslationLookup {

void registerDomain(const QString &domain);
void addTranslation(const QString &domain, const QString &text, const QString &translation);
// The translation of `text` in the domain, or `text` itself.
QString translate(const QString &domain, const QString &text);

} // namespace TranslationLookup
