#pragma once

#include <chrono>
#include <string>

// A pseudo-terminal pair standing in for the receiver's serial line: the program opens the
// slave by its path; the test plays the receiver on the master.
class PtyPair
{
public:
    PtyPair(); // throws std::runtime_error if no pair can be had
    ~PtyPair(); // closes whatever is still open
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    const std::string &slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // Writes all bytes to the master (as the receiver would send them).
    void send(const std::string &bytes);
    // Reads from the master what the program wrote, until `count` bytes came or the timeout.
    std::string receive(std::size_t count, std::chrono::milliseconds timeout);
    // Reads whatever arrives within the timeout.
    std::string receiveFor(std::chrono::milliseconds timeout);
    // Closes the master: for the program this is the receiver being unplugged.
    void closeMaster();

private:
    int m_master = -1;
    int m_slaveKeep = -1; // kept open so the pair survives until the program opens the slave
    std::string m_slavePath;
};
