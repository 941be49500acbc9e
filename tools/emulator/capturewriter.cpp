#include "capturewriter.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

const std::string CaptureWriter::Magic = "ZEPHUL-CAPTURE 1\n";

namespace {

std::runtime_error failure(const std::string &what, const std::string &path)
{
    return std::runtime_error(what + " capture file " + path + ": " + std::strerror(errno));
}

} // namespace

CaptureWriter::CaptureWriter(const std::string &path)
    : m_path(path)
    , m_file(std::fopen(path.c_str(), "wb"))
{
    if (!m_file)
        throw failure("cannot create", path);
    if (std::fwrite(Magic.data(), 1, Magic.size(), m_file) != Magic.size())
        throw failure("cannot write", path);
}

CaptureWriter::~CaptureWriter()
{
    if (m_file)
        std::fclose(m_file);
}

void CaptureWriter::append(std::int64_t flightMicroseconds, std::uint8_t byte)
{
    unsigned char record[RecordSize];
    auto time = std::uint64_t(flightMicroseconds);
    for (int i = 0; i < 8; ++i) {
        record[i] = static_cast<unsigned char>(time & 0xFF);
        time >>= 8;
    }
    record[8] = byte;
    if (std::fwrite(record, 1, RecordSize, m_file) != RecordSize)
        throw failure("cannot write", m_path);
}

void CaptureWriter::flush()
{
    if (std::fflush(m_file) != 0)
        throw failure("cannot write", m_path);
}
