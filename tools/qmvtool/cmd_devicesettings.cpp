// clear, set-clock, timing: the device menu's small commands without windows. They ask and
// report as the menu commands do, with the language file's texts, on the terminal.
#include <QCoreApplication>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "command.h"
#include "coreapp.h"
#include "data/codepage.h"
#include "data/history.h"
#include "data/profile.h"
#include "data/record.h"
#include "device/devicecommands.h"
#include "device/downloadhistory.h"
#include "portreport.h"

namespace qmvtool {

namespace {

constexpr int ExitNoPort = 3;
constexpr int ExitOpenFailed = 4;

const char* const ExitStatusHelp = R"(
Exit status:
  0  the instrument accepted the command
  1  the instrument refused it, did not answer, was not identified, or the question was
     answered no
  2  bad arguments
  3  no bridge found
  4  the port could not be opened
)"
                                   "  7  no right to open the port (see the group dialout)\n"
                                   "  8  the port is held by another program\n";

const std::string ClearHelp = std::string(R"(usage: qmvtool clear [--yes]

Erases every record stored in the instrument (either device type). First downloads every
record into the download history (see 'qmvtool history'; for the PLX01 with the sensor range
MAX) and prints the file they went to; when the download fails or the file cannot be written,
nothing is erased. An instrument that holds no records is cleared as before. Then asks, as the
menu command does, unless --yes is given; only "y" or "yes" goes on. Prints the outcome's
message. The port is found as for 'qmvtool identify'.
)") + ExitStatusHelp;

const std::string SetClockHelp = std::string(R"(usage: qmvtool set-clock [--yes]

Sets the instrument's clock to this computer's local date and time (to the minute). The QMV-27
logger is asked for its information first and takes its settings back unchanged with the time.
Asks first, as the menu command does, unless --yes is given. Prints the outcome's message.
)") + ExitStatusHelp;

const std::string TimingHelp = std::string(R"(usage: qmvtool timing [VALUE]

The timing value of the PLX01 device. Without VALUE, reads it and prints its two characters.
With VALUE (0 to 60), writes it and prints the outcome's message; a value outside the range is
refused before any port is opened.
)") + ExitStatusHelp;

std::string Text(const char* key) {
    return qmv::CodePageToUtf8(qmv::InterfaceTexts().Text("Msg", key));
}

// The message of a notice, or its key when the language file lacks it.
std::string NoticeText(const qmv::Notice& n) {
    auto one = [](const char* key) {
        const std::string t = Text(key);
        return t.empty() ? std::string(key) : t;
    };
    std::string text = n.key ? one(n.key) : std::string();
    if (n.key2)
        text += "\n" + one(n.key2);
    return text;
}

// The menu command's question on the terminal; anything but "y" or "yes" declines.
bool Confirm(const std::string& question, const char* fallback) {
    std::fprintf(stderr, "%s [y/N] ", question.empty() ? fallback : question.c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' '))
        answer.pop_back();
    for (char& c : answer)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "y" || answer == "yes";
}

// Prints how the frame or the command ended and gives the exit status.
template <typename Outcome>
int Report(const char* name, const qmv::DeviceResult<Outcome>& r, const qmv::DeviceLink& link) {
    switch (r.frame) {
    case qmv::FrameStatus::PortCancelled:
    case qmv::FrameStatus::PortNotSearched:
        std::fprintf(stderr,
                     "qmvtool %s: no instrument bridge found (no CP210x device; "
                     "QMVWIN_SERIAL_DEVICE is not set)\n",
                     name);
        return ExitNoPort;
    case qmv::FrameStatus::OpenFailed:
        std::fprintf(stderr, "qmvtool %s: cannot open %s: %s\n", name,
                     link.DevicePort.toLocal8Bit().constData(),
                     NoticeText(qmv::NoticeOf(r)).c_str());
        return ReportRefusal(name, link, ExitOpenFailed);
    case qmv::FrameStatus::Ran:
        break;
    }
    const qmv::Notice n = qmv::NoticeOf(r);
    if (n.success) {
        if (n.key)
            std::printf("%s\n", NoticeText(n).c_str());
        return ExitOk;
    }
    std::fprintf(stderr, "qmvtool %s: %s\n", name, NoticeText(n).c_str());
    return ExitFailed;
}

// True when args are empty or exactly "--yes"; yes tells which.
bool YesOption(const std::vector<std::string>& args, bool& yes) {
    yes = args.size() == 1 && (args[0] == "--yes" || args[0] == "-y");
    return args.empty() || yes;
}

int RunClear(const std::vector<std::string>& args) {
    bool yes = false;
    if (!YesOption(args, yes))
        return UsageError("clear", "takes only --yes");
    CoreApp app;
    LoadInterfaceTexts();
    qmv::DeviceLink link;
    // The records go to the download history first; nothing is erased that is not kept there.
    const qmv::KeepBeforeClear kept = qmv::DownloadBeforeClear(link, 0);
    if (kept.frame != qmv::FrameStatus::Ran)
        return Report("clear", qmv::DeviceResult<qmv::ClearOutcome>{kept.frame, {}}, link);
    if (!kept.ClearAllowed()) {
        if (kept.download != qmv::DownloadOk) {
            std::fprintf(stderr, "qmvtool clear: %s\n",
                         NoticeText(qmv::NoticeOfDownload(kept.download)).c_str());
        } else {
            std::fprintf(stderr, "qmvtool clear: %s %s (%s)\n", Text("MsgHistoryErr").c_str(),
                         qmv::HistoryFolder().c_str(), kept.kept.detail.c_str());
        }
        std::fprintf(stderr, "qmvtool clear: %s\n", Text("MsgClearNone").c_str());
        return ExitFailed;
    }
    std::string question = Text("MsgClear");
    if (kept.kept.status == qmv::KeepStatus::Kept) {
        std::printf("%s %s\n", Text("MsgClearKept").c_str(), kept.kept.path.c_str());
        std::fflush(stdout);
    }
    if (!yes && !Confirm(question, "Erase every record in the instrument?")) {
        std::fprintf(stderr, "qmvtool clear: not confirmed, nothing was erased\n");
        return ExitFailed;
    }
    // While the question was open another instrument may have been plugged in, or this one
    // measured: only what was kept is erased.
    if (!yes && !qmv::InstrumentUnchanged(link, kept, 0)) {
        std::fprintf(stderr, "qmvtool clear: the instrument no longer holds what was kept; %s\n",
                     Text("MsgClearNone").c_str());
        return ExitFailed;
    }
    return Report("clear", qmv::RunClearMemory(link), link);
}

int RunSetClock(const std::vector<std::string>& args) {
    bool yes = false;
    if (!YesOption(args, yes))
        return UsageError("set-clock", "takes only --yes");
    CoreApp app;
    LoadInterfaceTexts();
    const std::string question = Text("MsgDate0").empty() && Text("MsgDate1").empty()
                                     ? std::string()
                                     : Text("MsgDate0") + "\n" + Text("MsgDate1");
    if (!yes && !Confirm(question, "Set the instrument's clock to this computer's time?")) {
        std::fprintf(stderr, "qmvtool set-clock: not confirmed, nothing was sent\n");
        return ExitFailed;
    }
    qmv::DeviceLink link;
    return Report("set-clock", qmv::RunSetClock(link), link);
}

int RunTiming(const std::vector<std::string>& args) {
    if (args.size() > 1)
        return UsageError("timing", "takes at most one VALUE");
    int value = -1;
    if (!args.empty()) {
        try {
            value = qmv::StrToInt(args[0]);
        } catch (const qmv::EConvertError&) {
            return UsageError("timing", "VALUE must be a whole number from 0 to 60");
        }
    }
    CoreApp app;
    LoadInterfaceTexts();
    qmv::DeviceLink link;
    if (args.empty()) {
        const qmv::TimingReadResult r = qmv::RunReadTiming(link);
        if (r.Ran() && r.outcome == qmv::TimingReadOutcome::Read) {
            std::printf("%s\n", r.value.c_str());
            return ExitOk;
        }
        return Report("timing", r, link);
    }
    if (!qmv::TimingInRange(value)) {
        std::fprintf(stderr, "qmvtool timing: %s (0 to 60)\n",
                     NoticeText(qmv::NoticeOf(qmv::TimingWriteOutcome::OutOfRange)).c_str());
        return ExitUsage;
    }
    return Report("timing", qmv::RunWriteTiming(link, value), link);
}

const CommandRegistrar clearRegistrar({"clear", "erase the records stored in the instrument",
                                       ClearHelp.c_str(), RunClear});
const CommandRegistrar clockRegistrar({"set-clock", "set the instrument's clock to local time",
                                       SetClockHelp.c_str(), RunSetClock});
const CommandRegistrar timingRegistrar({"timing", "read or write the PLX01 timing value",
                                        TimingHelp.c_str(), RunTiming});

} // namespace

} // namespace qmvtool
