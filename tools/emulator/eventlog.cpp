#include "eventlog.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <stdexcept>

EventLog::EventLog(const std::string &path)
{
    if (path.empty())
        return;
    m_file = std::fopen(path.c_str(), "ab");
    if (!m_file)
        throw std::runtime_error("cannot open log file " + path + ": " + std::strerror(errno));
}

EventLog::~EventLog()
{
    if (m_file)
        std::fclose(m_file);
}

void EventLog::write(std::int64_t flightMicroseconds, const std::string &message)
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local {};
    ::localtime_r(&seconds, &local);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d t=%lld.%03lld ", local.tm_hour,
                  local.tm_min, local.tm_sec, int(millis),
                  static_cast<long long>(flightMicroseconds / 1000000),
                  static_cast<long long>(flightMicroseconds / 1000 % 1000));
    // The file first: whoever watches standard output may look in the file next.
    if (m_file) {
        std::fprintf(m_file, "%s%s\r\n", stamp, message.c_str());
        std::fflush(m_file);
    }
    std::fprintf(stdout, "%s%s\n", stamp, message.c_str());
    std::fflush(stdout);
}

std::string EventLog::escaped(const std::string &bytes)
{
    std::string out;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\r') {
            out += "\\r";
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\\') {
            out += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7F) {
            out.push_back(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        }
    }
    return out;
}
