#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <utility>

// What a reception should write, worked out from the bytes put on the line and the flight times
// at which they were put there, without any of the program's code: the framing (0xFF and ten
// more bytes), the check byte, the chronometer and the voltage texts under French settings; in
// balloon mode the 900 ms repeat lock and the "hh:mm:ss" chronometer, in rocket mode every good
// frame and the elapsed milliseconds. Tests compare the record files line by line against it.
class FlightModel
{
public:
    enum class Mode { Balloon, Rocket };

    struct Line
    {
        std::int64_t flightMs = 0; // when the frame was handled
        std::int64_t elapsedMs = 0; // since the first accepted frame
        QString chrono; // balloon "hh:mm:ss", rocket the milliseconds shown by "mm:ss.zzz"
        std::array<QString, 8> values; // channels 1..8
        QString battery;
        // The data line without its date and clock fields: "chrono;v1;...;v8;battery".
        QString tail() const;
    };

    explicit FlightModel(Mode mode = Mode::Balloon)
        : m_mode(mode)
    { }

    // Bytes received at flightMs. Returns how many 10-byte packets the framer completes.
    int receive(std::int64_t flightMs, const QByteArray &bytes);
    // The line was cut (the receiver unplugged and back): a frame begun before is dropped, as
    // the program's framer is attached afresh when it takes the receiver back.
    void lineCut() { m_pending.clear(); }
    // Channel n (1..8) shown on the chart or not; a hidden channel repeats its last text.
    void setShown(int n, bool shown) { m_shown[n - 1] = shown; }

    const QList<Line> &lines() const { return m_lines; }
    // The lines worked out so far, handed over and forgotten (a long flight keeps them on disk).
    QList<Line> takeLines() { return std::exchange(m_lines, {}); }
    int packets() const { return m_packets; }
    int badPackets() const { return m_bad; }
    int ignoredPackets() const { return m_ignored; }

    // A frame as it goes on the line: 0xFF, channels 8 down to 1, the battery byte and the check
    // byte, plus checkDelta to damage it.
    static QByteArray lineFrame(const std::array<int, 8> &channels, int battery,
                                int checkDelta = 0);

    // Texts as the program shows them under French settings (comma), computed in integers.
    static QString channelText(int byte);
    static QString batteryText(int byte);
    static QString chronoText(std::int64_t elapsedMs);
    // The rocket's record field: the chronometer "mm:ss.zzz" wraps every hour.
    static QString rocketChronoField(std::int64_t elapsedMs);

private:
    void packet(std::int64_t flightMs, const QByteArray &data);

    Mode m_mode;
    QByteArray m_pending;
    std::array<bool, 8> m_shown { true, true, true, true, true, true, true, true };
    std::array<QString, 8> m_lastText;
    QList<Line> m_lines;
    std::int64_t m_firstAcceptMs = -1;
    std::int64_t m_lastAcceptMs = -1;
    int m_packets = 0;
    int m_bad = 0;
    int m_ignored = 0;
};
