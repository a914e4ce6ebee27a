// The commands of qmvtool. Each lives in its own cmd_*.cpp and registers itself here.
#pragma once

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

namespace qmvtool {

// Exit statuses shared by every command.
constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;
constexpr int ExitUnexpected = 9; // out of memory or an internal error, whatever the command

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

// Runs a command to its end: whatever it throws becomes "qmvtool NAME: ..." on err and
// ExitUnexpected, never an abort.
template <typename F> int RunToTheEnd(const char* name, F&& run, FILE* err = stderr) {
    try {
        return run();
    } catch (const std::bad_alloc&) {
        std::fprintf(err, "qmvtool %s: out of memory\n", name);
    } catch (const std::exception& e) {
        std::fprintf(err, "qmvtool %s: unexpected error: %s\n", name, e.what());
    } catch (...) {
        std::fprintf(err, "qmvtool %s: unexpected error\n", name);
    }
    return ExitUnexpected;
}

// Loads the language file the program itself would use (beside the executable, then the
// installed location) into the program-wide text table.
void LoadInterfaceTexts();

} // namespace qmvtool
