// history: lists the downloads kept in the download history.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "data/history.h"
#include "data/record.h"

namespace qmvtool {

namespace {

const char* const HistoryHelp =
    R"(usage: qmvtool history

Lists the downloads kept in the download history, newest first, one line each with four fields
separated by tabs: the path of the data file, the local date and time of the download
(yyyy-mm-dd hh:nn:ss), the instrument model, and the number of records ("?" for a file that no
longer reads as a data file). Every download that brought records, in the window or with
'qmvtool download', and every clear is kept there, unless the setting KeepDownloadHistory
of the section System turned the history of downloads off (a clear keeps its records always).

The folder is $XDG_DATA_HOME/qmvwin/history, or ~/.local/share/qmvwin/history when
XDG_DATA_HOME is not set. The files are ordinary data files: open them in the window (File >
Download History...), copy them, or delete them by hand; the program never removes one.

Exit status: 0 (also for an empty or missing history), 2 for arguments.
)";

int RunHistory(const std::vector<std::string>& args) {
    if (!args.empty())
        return UsageError("history", "takes no arguments");
    for (const qmv::HistoryEntry& e : qmv::ListHistory(qmv::HistoryFolder())) {
        const std::tm& t = e.name.time;
        const std::string when = qmv::ZeroPad(t.tm_year + 1900, 4) + "-" +
                                 qmv::ZeroPad(t.tm_mon + 1, 2) + "-" + qmv::ZeroPad(t.tm_mday, 2) +
                                 " " + qmv::ZeroPad(t.tm_hour, 2) + ":" +
                                 qmv::ZeroPad(t.tm_min, 2) + ":" + qmv::ZeroPad(t.tm_sec, 2);
        std::printf("%s\t%s\t%s\t%s\n", e.path.c_str(), when.c_str(), e.name.modelName.c_str(),
                    e.records < 0 ? "?" : std::to_string(e.records).c_str());
    }
    return ExitOk;
}

const CommandRegistrar registrar({"history", "list the downloads kept in the download history",
                                  HistoryHelp, RunHistory});

} // namespace

} // namespace qmvtool
