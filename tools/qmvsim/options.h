// The simulator's command line.
#pragma once

#include <string>
#include <vector>

#include "instrument.h"

namespace qmvsim {

// Settings of the running program rather than of the instrument.
struct RunSettings {
    std::string link;    // symbolic link to the terminal, empty for none
    std::string logPath; // traffic log, "-" for standard error, empty for none
    int lineRate = 256000;
    bool help = false;
    bool version = false;
};

// Parses args (without the program name). Reads --records and --raw files. Returns false with a
// message in error on a bad switch, value or file.
bool ParseCommandLine(const std::vector<std::string>& args, Options& options, RunSettings& run,
                      std::string& error);

const char* UsageText();

// The stored bytes of a data file's records for the given device.
bool LoadRecordFile(const std::string& path, DeviceKind kind, std::string& records,
                    std::string& error);

} // namespace qmvsim
