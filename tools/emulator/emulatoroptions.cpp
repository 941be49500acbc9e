#include "emulatoroptions.h"

#include "publishedports.h"

#include <cmath>
#include <functional>
#include <map>
#include <sstream>

namespace {

double number(const std::string &option, const std::string &text)
{
    std::size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception &) {
        used = 0;
    }
    if (used == 0 || used != text.size() || !std::isfinite(value))
        throw UsageError(option + ": \"" + text + "\" is not a number");
    return value;
}

long long integer(const std::string &option, const std::string &text, long long low, long long high)
{
    std::size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(text, &used);
    } catch (const std::exception &) {
        used = 0;
    }
    if (used == 0 || used != text.size() || value < low || value > high)
        throw UsageError(option + ": \"" + text + "\" is not a whole number from "
                         + std::to_string(low) + " to " + std::to_string(high));
    return value;
}

double probability(const std::string &option, const std::string &text)
{
    const double value = number(option, text);
    if (value < 0 || value > 1)
        throw UsageError(option + ": a rate is a probability from 0 to 1, not " + text);
    return value;
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (text.empty() || text.back() == separator)
        parts.emplace_back();
    return parts;
}

// "0.05" (a rate) or "@3,10,11" (frame numbers).
FrameFault frameFault(const std::string &option, const std::string &text)
{
    FrameFault fault;
    if (text.empty() || text[0] != '@') {
        fault.rate = probability(option, text);
        return fault;
    }
    for (const std::string &item : split(text.substr(1), ','))
        fault.frames.insert(std::uint64_t(integer(option, item, 1, 1000000000LL)));
    return fault;
}

// "START+SECONDS,..." after the "@": flight-time windows.
std::vector<std::pair<double, double>> windows(const std::string &option, const std::string &list)
{
    std::vector<std::pair<double, double>> result;
    for (const std::string &item : split(list, ',')) {
        const std::vector<std::string> parts = split(item, '+');
        if (parts.size() != 2)
            throw UsageError(option + ": \"" + item + "\" is not START+SECONDS");
        const double start = number(option, parts[0]);
        const double length = number(option, parts[1]);
        if (start < 0 || length <= 0)
            throw UsageError(option + ": \"" + item + "\" needs START >= 0 and SECONDS > 0");
        result.emplace_back(start, length);
    }
    return result;
}

void silence(const std::string &option, const std::string &text, FaultSettings &faults)
{
    if (text.empty() || text[0] != '@') {
        faults.silenceRate = probability(option, text);
        return;
    }
    for (const auto &window : windows(option, text.substr(1)))
        faults.silences.push_back(window);
}

void channelOverride(const std::string &option, const std::string &text, EmulatorOptions &options)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos)
        throw UsageError(option + ": \"" + text + "\" is not CHANNEL=SHAPE");
    const std::string which = text.substr(0, equals);
    int index = 0;
    if (which == "battery")
        index = 8;
    else
        index = int(integer(option, which, 1, 8)) - 1;
    const std::optional<ChannelOverride> source = ChannelOverride::parse(text.substr(equals + 1));
    if (!source)
        throw UsageError(option + ": \"" + text.substr(equals + 1)
                         + "\" is not constant:V, ramp:FROM:TO:SECONDS, sine:MID:AMP:PERIOD or "
                           "noise:MID:SPREAD");
    options.overrides[std::size_t(index)] = *source;
}

} // namespace

EmulatorOptions EmulatorOptions::parse(const std::vector<std::string> &arguments)
{
    EmulatorOptions options;
    options.folder = PublishedPorts::defaultFolder();
    bool receiverSet = false;

    using Setter = std::function<void(const std::string &option, const std::string &value)>;
    const std::map<std::string, Setter> valued = {
        { "--mode",
          [&](const std::string &option, const std::string &value) {
              if (value == "balloon" || value == "ballon")
                  options.mode = EmulatedMode::Balloon;
              else if (value == "rocket" || value == "fusee")
                  options.mode = EmulatedMode::Rocket;
              else
                  throw UsageError(option + ": \"" + value + "\" is neither balloon nor rocket");
          } },
        { "--speed",
          [&](const std::string &option, const std::string &value) {
              options.speed = number(option, value);
              if (options.speed < 0.01 || options.speed > 100000)
                  throw UsageError(option + ": the factor must be from 0.01 to 100000");
          } },
        { "--copies",
          [&](const std::string &option, const std::string &value) {
              options.copies = int(integer(option, value, 1, 4));
          } },
        { "--tx-channel",
          [&](const std::string &option, const std::string &value) {
              options.transmitterChannel = int(integer(option, value, 0, 60));
          } },
        { "--rx-channel",
          [&](const std::string &option, const std::string &value) {
              options.receiverChannel = int(integer(option, value, 0, 60));
              receiverSet = true;
          } },
        { "--launch",
          [&](const std::string &option, const std::string &value) {
              options.launchSeconds = number(option, value);
              if (options.launchSeconds < 0)
                  throw UsageError(option + ": the launch time cannot be negative");
          } },
        { "--seed",
          [&](const std::string &option, const std::string &value) {
              options.seed = std::uint32_t(integer(option, value, 0, 4294967295LL));
          } },
        { "--duration",
          [&](const std::string &option, const std::string &value) {
              options.durationSeconds = number(option, value);
              if (options.durationSeconds <= 0)
                  throw UsageError(option + ": the duration must be above 0 seconds");
          } },
        { "--bad-check",
          [&](const std::string &option, const std::string &value) {
              options.faults.badCheck = frameFault(option, value);
          } },
        { "--drop",
          [&](const std::string &option, const std::string &value) {
              options.faults.drop = frameFault(option, value);
          } },
        { "--noise",
          [&](const std::string &option, const std::string &value) {
              options.faults.noise = frameFault(option, value);
          } },
        { "--silence",
          [&](const std::string &option, const std::string &value) {
              silence(option, value, options.faults);
          } },
        { "--unplug",
          [&](const std::string &option, const std::string &value) {
              if (value.empty() || value[0] != '@')
                  throw UsageError(option + ": \"" + value + "\" is not @START+SECONDS,...");
              for (const auto &window : windows(option, value.substr(1)))
                  options.unplugs.push_back(window);
          } },
        { "--silence-length",
          [&](const std::string &option, const std::string &value) {
              options.faults.silenceLength = number(option, value);
              if (options.faults.silenceLength <= 0)
                  throw UsageError(option + ": the length must be above 0 seconds");
          } },
        { "--channel",
          [&](const std::string &option, const std::string &value) {
              channelOverride(option, value, options);
          } },
        { "--folder",
          [&](const std::string &option, const std::string &value) {
              if (value.empty())
                  throw UsageError(option + ": the folder cannot be empty");
              options.folder = value;
          } },
        { "--alias",
          [&](const std::string &option, const std::string &value) {
              if (value.empty() || value.find('/') != std::string::npos || value == "."
                  || value == "..")
                  throw UsageError(option + ": \"" + value + "\" is not a plain file name");
              options.alias = value;
          } },
        { "--device",
          [&](const std::string &, const std::string &value) { options.device = value; } },
        { "--capture",
          [&](const std::string &, const std::string &value) { options.capturePath = value; } },
        { "--replay",
          [&](const std::string &, const std::string &value) { options.replayPath = value; } },
        { "--log",
          [&](const std::string &, const std::string &value) { options.logPath = value; } },
    };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string option = arguments[i];
        std::optional<std::string> value;
        if (const std::size_t equals = option.find('=');
            option.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option = option.substr(0, equals);
        }
        if (option == "--help" || option == "-h") {
            options.help = true;
            continue;
        }
        if (option == "--version") {
            options.version = true;
            continue;
        }
        if (option == "--verbose" || option == "-v") {
            options.verbose = true;
            continue;
        }
        const auto found = valued.find(option);
        if (found == valued.end())
            throw UsageError("unknown option \"" + arguments[i] + "\"");
        if (!value) {
            if (i + 1 >= arguments.size())
                throw UsageError(option + " needs a value");
            value = arguments[++i];
        }
        found->second(option, *value);
    }
    if (!receiverSet)
        options.receiverChannel = options.transmitterChannel;
    if (!options.capturePath.empty() && options.capturePath == options.replayPath)
        throw UsageError("--capture and --replay cannot name the same file");
    if (!options.unplugs.empty() && !options.device.empty())
        throw UsageError("--unplug needs the emulator's own port: it cannot unplug --device");
    return options;
}

std::string EmulatorOptions::helpText()
{
    return R"(Usage: zephul-emulator [OPTION]...
Plays the radio receiver and the Tuvo transmitter behind it, so that the Zephul ground station
can receive a whole flight without hardware. The emulator creates a pseudo-terminal, publishes
it as a serial port (it appears in the ground station's "Port serie" menu), prints the port's
name, and removes it again when it ends (Ctrl+C, SIGTERM, or the end of --duration).

Line: 600 bit/s, 10 bits a character (16.7 ms a byte), times the --speed factor.
Transmitter: 11-byte frames (0xFF, channels 8 down to 1, battery, check byte).
Receiver: "$C" + channel 0..60, "$HF", "$HM" and "$S", each ended by CR LF, are logged with a
time stamp. Frames are heard only while the receiver is tuned to the transmitter's channel.
"$S" pauses the frames and answers 61 readings "#" + three characters, e.g. "# 12", "#198".
Channel n is 136.000 + 0.05 x n MHz.

Port
  --folder DIR        publish the port in DIR, a folder of your own (default zephul-ports
                      in $XDG_RUNTIME_DIR, or /tmp/zephul-ports-UID without it)
                        e.g. --folder /tmp/my-ports
  --alias NAME        name of the published port (default zephul-emulator)
                        e.g. --alias bench-receiver
  --device PATH       drive an existing serial device instead (nothing is published)
                        e.g. --device /dev/ttyUSB0
  --unplug @START+SECONDS,...  unplug the receiver at START (flight time) for SECONDS: its
                      port goes away and comes back under the same name, still tuned
                        e.g. --unplug @60+10

Flight
  --mode MODE         balloon (one measurement every 1.77 s) or rocket (one frame every
                      460 ms); default balloon             e.g. --mode rocket
  --copies N          balloon: identical copies of each measurement sent back to back,
                      1 to 4 (default 2)                   e.g. --copies 1
  --launch SECONDS    rocket: flight time of the launch (default 10)
                        e.g. --launch 30
  --channel C=SHAPE   replace channel C (1..8, or "battery") of the built-in flight profile;
                      values are raw bytes 0..255 (a channel step is 0.0196 V, the battery
                      byte b means (b + 14) / 16 V). SHAPE is one of
                        constant:V  ramp:FROM:TO:SECONDS  sine:MID:AMP:PERIOD  noise:MID:SPREAD
                        e.g. --channel 3=sine:128:100:60 --channel battery=ramp:130:100:600
  --tx-channel N      the transmitter's channel, 0..60 (default 21, 137.050 MHz)
                        e.g. --tx-channel 30
  --rx-channel N      where the receiver is tuned at start (default: the transmitter's)
                        e.g. --rx-channel 0
  --speed FACTOR      run FACTOR times faster than real time, 0.01 to 100000 (default 1)
                        e.g. --speed 20
  --duration SECONDS  end after this much flight time (default: run until stopped)
                        e.g. --duration 600

Faults (RATE is a probability 0..1; @LIST names frames, counted from 1 as sent)
  --bad-check RATE|@LIST  corrupt the check byte of a frame    e.g. --bad-check 0.05
  --drop RATE|@LIST       RATE: lose each byte with this probability; @LIST: lose one byte
                          of each listed frame                 e.g. --drop @10,11,12
  --noise RATE|@LIST      1 to 4 random bytes before a frame   e.g. --noise 0.02
  --silence RATE|@LIST    loss of signal: RATE per frame slot, lasting --silence-length, or
                          @START+SECONDS,... in flight time    e.g. --silence @60+20,300+5
  --silence-length S      length of the silences started by a rate (default 10)
  --seed N                seed of the fault and profile draws (default 1): the same seed gives
                          the same flight                      e.g. --seed 42

Recording
  --capture FILE      keep every byte sent, with its flight time, in FILE
                        e.g. --capture flight.zcap
  --replay FILE       send a captured flight again, byte for byte and at its pace, instead of
                      the transmitter (commands are still logged; "$S" is not answered)
                        e.g. --replay flight.zcap --speed 5
  --log FILE          also append the log to FILE          e.g. --log emulator.log
  -v, --verbose       log every frame too
  -h, --help          show this help
      --version       show the version

Examples
  zephul-emulator
  zephul-emulator --mode rocket --bad-check 0.02 --silence @40+5
  zephul-emulator --speed 10 --duration 3600 --capture ascent.zcap
  zephul-emulator --device /dev/ttyUSB0 --mode rocket

Exit status: 0 on a normal end or on SIGINT/SIGTERM, 1 when the port, the device or a file
cannot be used, 2 for a command line it cannot follow.
)";
}
