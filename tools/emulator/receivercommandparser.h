#pragma once

#include <string>
#include <vector>

// One command line received from the ground station.
struct ReceiverCommand
{
    enum class Kind { Tune, LoudspeakerOn, LoudspeakerOff, Sweep, Malformed };
    Kind kind = Kind::Malformed;
    int channel = -1; // Tune only: 0..60
    std::string text; // the line as received, without its CR LF
    std::string problem; // Malformed only: why it was refused
};

// Cuts the bytes the ground station writes into command lines ("$C" + 0..60, "$HF", "$HM", "$S",
// each ended by CR LF) and recognises them.
class ReceiverCommandParser
{
public:
    // A line that grows past this without its LF is refused and dropped, so that a stream of
    // garbage cannot make the emulator hoard memory.
    static constexpr std::size_t MaxLine = 64;

    // Returns the commands completed by these bytes, in order.
    std::vector<ReceiverCommand> feed(const std::string &bytes);

    static ReceiverCommand parseLine(const std::string &line);

private:
    std::string m_pending;
    bool m_overlong = false;
};
