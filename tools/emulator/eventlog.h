#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The emulator's log: one line per event, stamped with the wall-clock time (hh:mm:ss.zzz) and
// the flight time in seconds ("12:04:31.250 t=3.500 $C21: tuned to ..."). Lines go to standard
// output and, when a path is given, are appended to that file (CR LF line ends there).
class EventLog
{
public:
    explicit EventLog(const std::string &path); // empty path: standard output only
    ~EventLog();
    EventLog(const EventLog &) = delete;
    EventLog &operator=(const EventLog &) = delete;

    void write(std::int64_t flightMicroseconds, const std::string &message);

    // Bytes as readable text: printable ASCII as is, anything else as \xNN, CR as \r, LF as \n.
    static std::string escaped(const std::string &bytes);

private:
    std::FILE *m_file = nullptr;
};
