#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Keeps every byte the emulator sends, with the flight time at which it went on the line, so that
// a flight can be replayed byte for byte and at its own pace.
//
// File layout: the line "ZEPHUL-CAPTURE 1\n", then one 9-byte record per byte sent: the flight
// time in microseconds (at speed 1) as an unsigned 64-bit little-endian number, then the byte.
class CaptureWriter
{
public:
    static const std::string Magic;
    static constexpr std::size_t RecordSize = 9;

    // Creates or truncates the file. Throws std::runtime_error when it cannot.
    explicit CaptureWriter(const std::string &path);
    ~CaptureWriter();
    CaptureWriter(const CaptureWriter &) = delete;
    CaptureWriter &operator=(const CaptureWriter &) = delete;

    void append(std::int64_t flightMicroseconds, std::uint8_t byte);
    // Pushes what is buffered to the file; throws std::runtime_error on a write error (disk full).
    void flush();

private:
    std::string m_path;
    std::FILE *m_file = nullptr;
};
