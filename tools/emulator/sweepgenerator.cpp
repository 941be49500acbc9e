#include "sweepgenerator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

SweepGenerator::SweepGenerator(int transmitterChannel, std::uint32_t seed)
    : m_transmitter(transmitterChannel)
    , m_random(seed ^ 0x5CA11EDu)
{
    std::uniform_int_distribution<int> channel(0, Channels - 1);
    std::uniform_int_distribution<int> level(60, 150);
    for (std::size_t i = 0; i < m_stations.size(); ++i) {
        int candidate = 0;
        // Keep stations apart from the transmitter and each other so each shows as its own peak.
        bool clear = false;
        while (!clear) {
            candidate = channel(m_random);
            clear = std::abs(candidate - m_transmitter) > 3;
            for (std::size_t j = 0; j < i; ++j)
                clear = clear && std::abs(candidate - m_stations[j]) > 3;
        }
        m_stations[i] = candidate;
        m_stationLevels[i] = level(m_random);
    }
}

std::array<int, SweepGenerator::Channels> SweepGenerator::readings(bool transmitterHeard)
{
    std::array<int, Channels> values {};
    std::uniform_int_distribution<int> noise(0, 14);
    for (int &value : values)
        value = noise(m_random);
    auto raise = [&](int centre, int level) {
        const int spread[] = { level, level * 2 / 5, level / 8 };
        for (int d = -2; d <= 2; ++d) {
            const int c = centre + d;
            if (c >= 0 && c < Channels)
                values[std::size_t(c)] = std::max(values[std::size_t(c)], spread[std::abs(d)]);
        }
    };
    for (std::size_t i = 0; i < m_stations.size(); ++i)
        raise(m_stations[i],
              m_stationLevels[i] + std::uniform_int_distribution<int>(-5, 5)(m_random));
    if (transmitterHeard)
        raise(m_transmitter, std::uniform_int_distribution<int>(185, 205)(m_random));
    for (int &value : values)
        value = std::clamp(value, 0, MaxReading);
    return values;
}

std::string SweepGenerator::answer(int reading)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%3d", std::clamp(reading, 0, 999));
    return text;
}

std::string SweepGenerator::answers(const std::array<int, Channels> &readings)
{
    std::string out;
    for (int reading : readings)
        out += answer(reading);
    return out;
}
