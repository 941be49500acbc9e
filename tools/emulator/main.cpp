#include "capturereader.h"
#include "emulator.h"
#include "emulatoroptions.h"
#include "eventlog.h"
#include "serialendpoint.h"
#include "shutdownsignals.h"
#include "zephulversion.h"

#include <iostream>
#include <optional>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    EmulatorOptions options;
    try {
        options = EmulatorOptions::parse(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError &error) {
        std::cerr << "zephul-emulator: " << error.what()
                  << "\nTry \"zephul-emulator --help\" for the options.\n";
        return 2;
    }
    if (options.help) {
        std::cout << EmulatorOptions::helpText();
        return 0;
    }
    if (options.version) {
        std::cout << "zephul-emulator " ZEPHUL_VERSION "\n"
                     "Copyright (c) The Zephul developers. MIT licence.\n";
        return 0;
    }
    try {
        std::optional<CaptureReader> replay;
        if (!options.replayPath.empty())
            replay.emplace(options.replayPath);
        EventLog log(options.logPath);
        ShutdownSignals signals;
        std::unique_ptr<SerialEndpoint> endpoint = options.device.empty()
            ? SerialEndpoint::openPseudoTerminal(options.folder, options.alias)
            : SerialEndpoint::openDevice(options.device);
        Emulator emulator(options, std::move(endpoint), log, signals, std::move(replay));
        return emulator.run();
    } catch (const std::exception &error) {
        std::cerr << "zephul-emulator: " << error.what() << "\n";
        return 1;
    }
}
