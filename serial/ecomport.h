#pragma once

#include <QString>
#include <stdexcept>

// The serial layer's error: a layer code 1 to 23 with its fixed English text (translated through
// the "comport" text domain) and the operating system's error code, -1 when none applies (here
// an errno value). what() is UTF-8: the text, then " (win error code: %d)" with the OS code.
class EComPort : public std::runtime_error
{
public:
    explicit EComPort(int code, int winCode = -1);

    int Code() const { return m_code; }
    int WinCode() const { return m_winCode; }
    QString message() const { return QString::fromUtf8(what()); }

    // The (translated) text of a code; empty outside 1..23.
    static QString CodeText(int code);
    static constexpr const char *TextDomain = "comport";

private:
    int m_code;
    int m_winCode;
};
