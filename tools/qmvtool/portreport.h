// How the device commands tell that the port was refused: a line on standard error saying why,
// and an exit status of its own, the same for every command.
#pragma once

#include <cstdio>
#include <string>

#include "data/codepage.h"
#include "device/devicecommands.h"
#include "device/devicelink.h"

namespace qmvtool {

constexpr int ExitPortDenied = 7; // no right to open the port
constexpr int ExitPortBusy = 8;   // another program holds the port

// After the command's own message on a port that would not open: when the port was refused,
// prints why ("qmvtool NAME: ...", one line each) and returns ExitPortDenied or ExitPortBusy;
// otherwise prints nothing and returns fallback.
inline int ReportRefusal(const char* name, const qmv::DeviceLink& link, int fallback) {
    const std::string lines =
        qmv::CodePageToUtf8(qmv::RefusalLines(link.OpenRefusal, link.OpenHolder));
    if (lines.empty())
        return fallback;
    std::size_t start = 0;
    while (start <= lines.size()) {
        const std::size_t end = lines.find('\n', start);
        const std::string line = lines.substr(start, end - start);
        std::fprintf(stderr, "qmvtool %s: %s\n", name, line.c_str());
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return link.OpenRefusal == qmv::PortRefusal::Permission ? ExitPortDenied : ExitPortBusy;
}

} // namespace qmvtool
