#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>

// The receiver's answer to "$S": one level reading per channel 0..60, each sent as "#" and three
// characters holding the number right-aligned ("#  7", "#183").
class SweepGenerator
{
public:
    static constexpr int Channels = 61;
    static constexpr int MaxReading = 230; // the tallest bar the ground station can draw

    // A few other stations at fixed, seed-chosen channels away from the transmitter.
    SweepGenerator(int transmitterChannel, std::uint32_t seed);

    // Readings of one sweep: noise everywhere, the stations, and a peak at the transmitter's
    // channel unless it is not on the air.
    std::array<int, Channels> readings(bool transmitterHeard);

    static std::string answer(int reading);
    static std::string answers(const std::array<int, Channels> &readings);

    const std::array<int, 3> &stationChannels() const { return m_stations; }

private:
    int m_transmitter;
    std::mt19937 m_random;
    std::array<int, 3> m_stations {};
    std::array<int, 3> m_stationLevels {};
};
