// qmvtool: the program's data and device operations without windows, for scripts and batch work.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "command.h"
#include "data/paths.h"
#include "data/profile.h"
#include "data/version.h"

namespace qmvtool {

namespace {
std::map<std::string, Command>& Registry() {
    static std::map<std::string, Command> commands;
    return commands;
}

void PrintOverview(FILE* out) {
    std::fprintf(out, "usage: qmvtool COMMAND [ARGS...]\n\ncommands:\n");
    for (const auto& [name, command] : Registry())
        std::fprintf(out, "  %-12s %s\n", name.c_str(), command.synopsis);
    std::fprintf(out, "\n'qmvtool COMMAND --help' describes one command; 'qmvtool --version' prints"
                      " the version.\n"
                      "\nExit status 9, for every command: an unexpected failure, such as running"
                      " out of memory,\nsaid on standard error.\n");
}
} // namespace

CommandRegistrar::CommandRegistrar(const Command& command) {
    Registry()[command.name] = command;
}

int UsageError(const char* name, const std::string& message) {
    std::fprintf(stderr, "qmvtool %s: %s\n", name, message.c_str());
    std::fprintf(stderr, "Try 'qmvtool %s --help'.\n", name);
    return ExitUsage;
}

bool WantsHelp(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h")
            return true;
    return false;
}

void LoadInterfaceTexts() {
    qmv::InterfaceTexts().Load(qmv::FindLanguageFile(qmv::ProgramFolder()));
}

} // namespace qmvtool

int main(int argc, char** argv) {
    using namespace qmvtool;
    // A write past the file size limit must fail as a write, so that a save puts the old bytes
    // back and says so, instead of the kernel ending the tool with the file cut short.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc < 2) {
        PrintOverview(stderr);
        return ExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintOverview(stdout);
        return ExitOk;
    }
    if (name == "--version") {
        std::printf("qmvtool %s\n", qmv::VersionText().c_str());
        return ExitOk;
    }
    const auto it = Registry().find(name);
    if (it == Registry().end()) {
        std::fprintf(stderr, "qmvtool: unknown command '%s'\n\n", name.c_str());
        PrintOverview(stderr);
        return ExitUsage;
    }
    return RunToTheEnd(name.c_str(), [&] {
        const std::vector<std::string> args(argv + 2, argv + argc);
        if (WantsHelp(args)) {
            std::fputs(it->second.help, stdout);
            return ExitOk;
        }
        return it->second.run(args);
    });
}
