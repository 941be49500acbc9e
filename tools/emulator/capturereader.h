#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads a file written by CaptureWriter back, whole.
class CaptureReader
{
public:
    struct Record
    {
        std::int64_t flightMicroseconds;
        std::uint8_t byte;
    };

    // Throws std::runtime_error when the file cannot be read or is not a capture (wrong header,
    // truncated record, time going backwards).
    explicit CaptureReader(const std::string &path);

    const std::vector<Record> &records() const { return m_records; }

private:
    std::vector<Record> m_records;
};
