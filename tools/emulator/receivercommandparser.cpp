#include "receivercommandparser.h"

#include <cctype>

namespace {

ReceiverCommand malformed(std::string text, std::string problem)
{
    ReceiverCommand command;
    command.text = std::move(text);
    command.problem = std::move(problem);
    return command;
}

} // namespace

std::vector<ReceiverCommand> ReceiverCommandParser::feed(const std::string &bytes)
{
    std::vector<ReceiverCommand> commands;
    for (char byte : bytes) {
        if (byte == '\n') {
            if (m_overlong)
                commands.push_back(malformed(m_pending + "...", "line too long"));
            else if (m_pending.empty() || m_pending.back() != '\r')
                commands.push_back(malformed(m_pending, "not ended by CR LF"));
            else
                commands.push_back(parseLine(m_pending.substr(0, m_pending.size() - 1)));
            m_pending.clear();
            m_overlong = false;
            continue;
        }
        if (m_pending.size() < MaxLine)
            m_pending.push_back(byte);
        else
            m_overlong = true;
    }
    return commands;
}

ReceiverCommand ReceiverCommandParser::parseLine(const std::string &line)
{
    ReceiverCommand command;
    command.text = line;
    if (line == "$HF") {
        command.kind = ReceiverCommand::Kind::LoudspeakerOn;
        return command;
    }
    if (line == "$HM") {
        command.kind = ReceiverCommand::Kind::LoudspeakerOff;
        return command;
    }
    if (line == "$S") {
        command.kind = ReceiverCommand::Kind::Sweep;
        return command;
    }
    if (line.rfind("$C", 0) == 0) {
        const std::string digits = line.substr(2);
        // The ground station writes the channel without leading zeros: 0, 7, 21, 60.
        const bool plain = !digits.empty() && digits.size() <= 2
            && std::isdigit(static_cast<unsigned char>(digits[0]))
            && (digits.size() == 1
                || (digits[0] != '0' && std::isdigit(static_cast<unsigned char>(digits[1]))));
        if (!plain)
            return malformed(line, "channel is not a number from 0 to 60");
        const int channel = std::stoi(digits);
        if (channel > 60)
            return malformed(line, "channel is not a number from 0 to 60");
        command.kind = ReceiverCommand::Kind::Tune;
        command.channel = channel;
        return command;
    }
    return malformed(line, "unknown command");
}
