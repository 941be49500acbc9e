#include "ecomport.h"

#include "translationlookup.h"

#include <array>

namespace {

constexpr std::array<const char *, 23> codeTexts = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

// The layer registers its domain and translates its texts once, on first use.
const std::array<QString, 23> &translatedTexts()
{
    static const std::array<QString, 23> texts = [] {
        const QString domain = QString::fromLatin1(EComPort::TextDomain);
        TranslationLookup::registerDomain(domain);
        std::array<QString, 23> result;
        for (std::size_t i = 0; i < codeTexts.size(); ++i)
            result[i] = TranslationLookup::translate(domain, QString::fromLatin1(codeTexts[i]));
        return result;
    }();
    return texts;
}

std::string buildMessage(int code, int winCode)
{
    QString text = EComPort::CodeText(code);
    if (winCode != -1) {
        QString suffix = TranslationLookup::translate(QString::fromLatin1(EComPort::TextDomain),
                                                      QStringLiteral(" (win error code: %d)"));
        text += suffix.replace(QStringLiteral("%d"), QString::number(winCode));
    }
    return text.toStdString();
}

} // namespace

EComPort::EComPort(int code, int winCode)
    : std::runtime_error(buildMessage(code, winCode))
    , m_code(code)
    , m_winCode(winCode)
{ }

QString EComPort::CodeText(int code)
{
    if (code < 1 || code > int(codeTexts.size()))
        return QString();
    return translatedTexts()[std::size_t(code - 1)];
}
