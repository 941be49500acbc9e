#include "flightprofile.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>
#include <vector>

namespace {

std::vector<std::string> splitColons(const std::string &text)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, ':'))
        parts.push_back(part);
    if (!text.empty() && text.back() == ':')
        parts.emplace_back();
    return parts;
}

std::optional<double> toNumber(const std::string &text)
{
    if (text.empty())
        return std::nullopt;
    std::size_t used = 0;
    try {
        const double value = std::stod(text, &used);
        if (used != text.size() || !std::isfinite(value))
            return std::nullopt;
        return value;
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

double wave(double t, double period)
{
    return std::sin(2 * std::numbers::pi * t / period);
}

} // namespace

std::optional<ChannelOverride> ChannelOverride::parse(const std::string &text)
{
    const std::vector<std::string> parts = splitColons(text);
    if (parts.empty())
        return std::nullopt;
    struct Shape
    {
        const char *name;
        Kind kind;
        std::size_t arguments;
    };
    static const Shape shapes[] = { { "constant", Kind::Constant, 1 },
                                    { "ramp", Kind::Ramp, 3 },
                                    { "sine", Kind::Sine, 3 },
                                    { "noise", Kind::Noise, 2 } };
    for (const Shape &shape : shapes) {
        if (parts[0] != shape.name)
            continue;
        if (parts.size() != shape.arguments + 1)
            return std::nullopt;
        ChannelOverride result;
        result.kind = shape.kind;
        double *fields[] = { &result.a, &result.b, &result.c };
        for (std::size_t i = 0; i < shape.arguments; ++i) {
            const std::optional<double> value = toNumber(parts[i + 1]);
            if (!value)
                return std::nullopt;
            *fields[i] = *value;
        }
        if ((result.kind == Kind::Ramp || result.kind == Kind::Sine) && result.c <= 0)
            return std::nullopt;
        if (result.kind == Kind::Noise && result.b < 0)
            return std::nullopt;
        return result;
    }
    return std::nullopt;
}

FlightProfile::FlightProfile(EmulatedMode mode, double launchSeconds, std::uint32_t seed)
    : m_mode(mode)
    , m_launch(launchSeconds)
    , m_random(seed ^ 0x5EEDF11Eu)
{ }

void FlightProfile::setOverride(int index, const ChannelOverride &source)
{
    m_overrides.at(std::size_t(index)) = source;
}

std::array<std::uint8_t, 8> FlightProfile::channels(double t)
{
    std::array<std::uint8_t, 8> values {};
    for (int i = 0; i < 8; ++i)
        values[std::size_t(i)] = sample(i, t);
    return values;
}

std::uint8_t FlightProfile::battery(double t)
{
    return sample(8, t);
}

std::uint8_t FlightProfile::sample(int index, double t)
{
    double value = 0;
    // Draw the jitter for every sample, overridden or not, so that overriding one channel leaves
    // the others exactly as they were.
    const double jitter = std::uniform_real_distribution<double>(-1.5, 1.5)(m_random);
    const double unit = std::uniform_real_distribution<double>(-1.0, 1.0)(m_random);
    if (const std::optional<ChannelOverride> &source = m_overrides[std::size_t(index)]) {
        switch (source->kind) {
        case ChannelOverride::Kind::Constant:
            value = source->a;
            break;
        case ChannelOverride::Kind::Ramp:
            value = source->a + (source->b - source->a) * std::min(1.0, t / source->c);
            break;
        case ChannelOverride::Kind::Sine:
            value = source->a + source->b * wave(t, source->c);
            break;
        case ChannelOverride::Kind::Noise:
            value = source->a + source->b * unit;
            break;
        }
    } else {
        value = profileValue(index, t) + (index == 8 ? 0 : jitter);
    }
    return std::uint8_t(std::clamp(std::lround(value), 0L, 255L));
}

double FlightProfile::profileValue(int index, double t) const
{
    if (m_mode == EmulatedMode::Balloon) {
        // An ascent of about two hours: cooling, falling pressure, a sun sensor swinging.
        switch (index) {
        case 0:
            return 170 - std::min(t, 7200.0) / 60 + 4 * wave(t, 300);
        case 1:
            return 20 + 200 * std::exp(-t / 2500);
        case 2:
            return 120 + 40 * wave(t, 600);
        case 3:
            return 128 + 25 * wave(t, 90);
        case 4:
            return 60 + std::min(t / 40, 170.0);
        case 5:
            return 100 + 6 * wave(t, 47);
        case 6:
            return 200 - std::min(t / 45, 150.0);
        case 7:
            return 90 + 30 * wave(t, 240);
        default:
            return 130 - std::min(t / 600, 20.0); // 9.0 V sagging to 7.9 V
        }
    }
    // Rocket: pad, motor burn, coast to apogee, descent under parachute.
    const double s = t - m_launch;
    const bool flying = s >= 0;
    const double burn = flying && s < 3 ? 1.0 : 0.0;
    switch (index) {
    case 0: // axial acceleration
        if (!flying)
            return 128;
        if (s < 3)
            return 245;
        return 128 - 40 * std::exp(-(s - 3) / 2) + 6 * wave(s, 0.9) * std::exp(-(s - 3) / 4);
    case 1: { // pressure: down to apogee at 15 s, then back up slowly
        if (!flying)
            return 220;
        const double height
            = s < 15 ? 1 - (15 - s) * (15 - s) / 225 : std::max(0.0, 1 - (s - 15) / 90);
        return 220 - 150 * height;
    }
    case 2:
        return 128 + (flying ? 60 * std::exp(-s / 20) * wave(s, 1.3) : 0); // roll
    case 3:
        return 128 + (flying ? 30 * std::exp(-s / 10) * wave(s, 0.7) : 0); // lateral
    case 4:
        return 90 + (flying ? std::min(s * 4, 80.0) * std::exp(-s / 60) : 0); // temperature
    case 5:
        return 140 + 40 * burn;
    case 6:
        return flying && s > 16 ? 230 : 25; // parachute switch
    case 7:
        return 100 + 10 * wave(t, 20);
    default:
        return 131 - std::min(t / 120, 12.0) - 6 * burn; // dips while the motor burns
    }
}
