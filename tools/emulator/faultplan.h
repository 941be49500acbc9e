#pragma once

#include "telemetryframe.h"

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

// A fault given either as a probability or as the numbers of the frames it hits (frames counted
// from 1 in the order they are put on the air, every copy counted).
struct FrameFault
{
    double rate = 0;
    std::set<std::uint64_t> frames;
    bool any() const { return rate > 0 || !frames.empty(); }
};

struct FaultSettings
{
    FrameFault badCheck; // rate: per frame
    FrameFault drop; // rate: per byte; schedule: one byte of each listed frame
    FrameFault noise; // rate: per frame, a burst of 1 to 4 random bytes just before it
    double silenceRate = 0; // per frame slot: a loss of signal starts there
    double silenceLength = 10; // seconds, for silences started by silenceRate
    std::vector<std::pair<double, double>> silences; // (start, length) in seconds of flight time
};

// What happened to one frame, for the log and the tests.
struct FaultReport
{
    bool badCheck = false;
    int dropped = 0;
    int noise = 0;
};

// Decides, repeatably for a seed, which frames are damaged and how. Each kind of fault draws from
// its own random stream, so turning one on does not move the others.
class FaultPlan
{
public:
    FaultPlan(FaultSettings settings, std::uint32_t seed);

    // Whether the transmitter is unheard at the frame slot of flight time t (seconds). Call once
    // per slot, in time order: a rate-started silence begins at such a slot.
    bool silentAt(double t);
    // Whether t (seconds) lies in a loss of signal already decided (no new draw).
    bool inSilence(double t) const;

    // The bytes that reach the line for frame number `number` (1-based): noise, then the frame
    // with its faults applied.
    std::string transmit(TelemetryFrame frame, std::uint64_t number, FaultReport &report);

private:
    bool hits(const FrameFault &fault, std::mt19937 &random, std::uint64_t number);

    FaultSettings m_settings;
    std::mt19937 m_checkRandom;
    std::mt19937 m_dropRandom;
    std::mt19937 m_noiseRandom;
    std::mt19937 m_silenceRandom;
    double m_randomSilenceEnd = -1;
};
