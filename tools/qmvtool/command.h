// The commands of qmvtool. Each lives in its own cmd_*.cpp and registers itself here.
#pragma once

#include <string>
#include <vector>

namespace qmvtool {

// Exit statuses shared by every command.
constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

using CommandFn = int (*)(const std::vector<std::string>& args);

struct Command {
    const char* name;
    const char* synopsis; // one line for the overview
    const char* help;     // full text for "qmvtool NAME --help"
    CommandFn run;
};

// Registers a command at static initialisation time.
struct CommandRegistrar {
    explicit CommandRegistrar(const Command& command);
};

// Prints "qmvtool NAME: message" and the usage hint to stderr; returns ExitUsage.
int UsageError(const char* name, const std::string& message);

// True when args ask for help ("--help" or "-h").
bool WantsHelp(const std::vector<std::string>& args);

// Loads the language file the program itself would use (beside the executable, then the
// installed location) into the program-wide text table.
void LoadInterfaceTexts();

} // namespace qmvtool
