#include "faultplan.h"

#include <utility>

namespace {

double draw(std::mt19937 &random)
{
    return std::uniform_real_distribution<double>(0.0, 1.0)(random);
}

} // namespace

FaultPlan::FaultPlan(FaultSettings settings, std::uint32_t seed)
    : m_settings(std::move(settings))
    , m_checkRandom(seed * 4u + 1u)
    , m_dropRandom(seed * 4u + 2u)
    , m_noiseRandom(seed * 4u + 3u)
    , m_silenceRandom(seed * 4u + 4u)
{ }

bool FaultPlan::hits(const FrameFault &fault, std::mt19937 &random, std::uint64_t number)
{
    if (fault.frames.count(number))
        return true;
    return fault.rate > 0 && draw(random) < fault.rate;
}

bool FaultPlan::inSilence(double t) const
{
    if (t < m_randomSilenceEnd)
        return true;
    for (const auto &[start, length] : m_settings.silences) {
        if (t >= start && t < start + length)
            return true;
    }
    return false;
}

bool FaultPlan::silentAt(double t)
{
    if (inSilence(t))
        return true;
    if (m_settings.silenceRate > 0 && draw(m_silenceRandom) < m_settings.silenceRate) {
        m_randomSilenceEnd = t + m_settings.silenceLength;
        return true;
    }
    return false;
}

std::string FaultPlan::transmit(TelemetryFrame frame, std::uint64_t number, FaultReport &report)
{
    report = FaultReport();
    std::string out;
    if (hits(m_settings.noise, m_noiseRandom, number)) {
        const int count = std::uniform_int_distribution<int>(1, 4)(m_noiseRandom);
        for (int i = 0; i < count; ++i)
            out.push_back(char(std::uniform_int_distribution<int>(0, 255)(m_noiseRandom)));
        report.noise = count;
    }
    if (hits(m_settings.badCheck, m_checkRandom, number)) {
        frame.corruptCheckByte(
            std::uint8_t(std::uniform_int_distribution<int>(1, 255)(m_checkRandom)));
        report.badCheck = true;
    }
    std::string bytes = frame.bytes();
    if (m_settings.drop.frames.count(number)) {
        const auto at
            = std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(m_dropRandom);
        bytes.erase(at, 1);
        ++report.dropped;
    }
    if (m_settings.drop.rate > 0) {
        std::string kept;
        for (char byte : bytes) {
            if (draw(m_dropRandom) < m_settings.drop.rate)
                ++report.dropped;
            else
                kept.push_back(byte);
        }
        bytes = std::move(kept);
    }
    return out + bytes;
}
