#include "capturereader.h"

#include "capturewriter.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

CaptureReader::CaptureReader(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open capture file " + path + ": " + std::strerror(errno));
    const std::string content((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    if (in.bad())
        throw std::runtime_error("cannot read capture file " + path);
    const std::string &magic = CaptureWriter::Magic;
    if (content.compare(0, magic.size(), magic) != 0)
        throw std::runtime_error(path + " is not a capture file (no \"ZEPHUL-CAPTURE 1\" header)");
    const std::size_t body = content.size() - magic.size();
    if (body % CaptureWriter::RecordSize != 0)
        throw std::runtime_error("capture file " + path + " is truncated");
    m_records.reserve(body / CaptureWriter::RecordSize);
    std::int64_t previous = 0;
    for (std::size_t at = magic.size(); at < content.size(); at += CaptureWriter::RecordSize) {
        std::uint64_t time = 0;
        for (int i = 7; i >= 0; --i)
            time = (time << 8) | static_cast<unsigned char>(content[at + std::size_t(i)]);
        const auto flight = std::int64_t(time);
        if (flight < previous)
            throw std::runtime_error("capture file " + path + " is damaged (time goes backwards)");
        previous = flight;
        m_records.push_back({ flight, static_cast<std::uint8_t>(content[at + 8]) });
    }
}
