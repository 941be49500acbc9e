#pragma once

#include "faultplan.h"
#include "flightprofile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A command line the emulator cannot follow; the message says which option and why.
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Everything the command line sets.
struct EmulatorOptions
{
    EmulatedMode mode = EmulatedMode::Balloon;
    double speed = 1; // compresses byte pacing and frame periods alike
    int copies = 2; // balloon: identical copies of each measurement, back to back
    int transmitterChannel = 21;
    int receiverChannel = 21; // where the receiver is tuned until a "$C" says otherwise
    double launchSeconds = 10; // rocket: flight time of the launch
    std::uint32_t seed = 1;
    double durationSeconds = 0; // flight time after which the emulator ends; 0: until stopped
    FaultSettings faults;
    std::array<std::optional<ChannelOverride>, 9> overrides; // channels 1..8, then the battery
    std::string folder; // where the port is published
    std::string alias = "zephul-emulator";
    std::string device; // drive this device instead of a pseudo-terminal
    // Flight times (start, seconds) during which the receiver is unplugged: its port goes away
    // and comes back under the same name.
    std::vector<std::pair<double, double>> unplugs;
    std::string capturePath;
    std::string replayPath;
    std::string logPath;
    bool verbose = false; // log every frame, not only commands and events
    bool help = false;
    bool version = false;

    // Accepts "--name value" and "--name=value". Throws UsageError.
    static EmulatorOptions parse(const std::vector<std::string> &arguments);
    static std::string helpText();
};
