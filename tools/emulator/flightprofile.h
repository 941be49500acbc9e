#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

enum class EmulatedMode { Balloon, Rocket };

// What a channel (or the battery) shows instead of the built-in flight profile. Values are raw
// bytes (0..255: 0.0196 V a step on a channel; (b + 14) / 16 V for the battery).
struct ChannelOverride
{
    enum class Kind { Constant, Ramp, Sine, Noise };
    Kind kind = Kind::Constant;
    double a = 0; // Constant: value; Ramp: from; Sine: middle; Noise: middle
    double b = 0; // Ramp: to; Sine: amplitude; Noise: spread (+/-)
    double c = 0; // Ramp: seconds to go from a to b (then holds b); Sine: period in seconds

    // Parses "constant:V", "ramp:FROM:TO:SECONDS", "sine:MID:AMP:PERIOD", "noise:MID:SPREAD".
    // Returns nothing when the text is not one of these.
    static std::optional<ChannelOverride> parse(const std::string &text);
};

// A plausible flight: slowly varying channels, a launch transient in rocket mode and a battery
// that starts near 9 V and sags. Deterministic for a given seed and sequence of calls.
class FlightProfile
{
public:
    FlightProfile(EmulatedMode mode, double launchSeconds, std::uint32_t seed);

    // index 0..7 = channel 1..8; 8 = battery
    void setOverride(int index, const ChannelOverride &source);

    // Channel bytes (index 0 = channel 1) and battery byte at flight time t seconds.
    std::array<std::uint8_t, 8> channels(double t);
    std::uint8_t battery(double t);

private:
    double profileValue(int index, double t) const;
    std::uint8_t sample(int index, double t);

    EmulatedMode m_mode;
    double m_launch;
    std::mt19937 m_random;
    std::array<std::optional<ChannelOverride>, 9> m_overrides;
};
