// download: fetches the instrument's records and writes them to a data file.
#include <QCoreApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "coreapp.h"
#include "data/codepage.h"
#include "data/datafile.h"
#include "data/history.h"
#include "data/profile.h"
#include "data/version.h"
#include "device/devicelink.h"
#include "device/download.h"
#include "device/downloadhistory.h"
#include "portreport.h"

namespace qmvtool {

namespace {

constexpr int ExitNoPort = 5;
constexpr int ExitNotWritten = 6;

const char* const DownloadHelp =
    R"(usage: qmvtool download OUT.q27 [--sensor-index 0|1|2]

Finds the port of the instrument's USB-serial bridge (the first CP210x device, or the device
named by QMVWIN_SERIAL_DEVICE), downloads every stored record, and writes them to OUT.q27 as
the program's Graph button followed by Save would: the model of the device (for the second
device type the sensor range of --sensor-index: 0 MAX, the default, 1 MID, 2 MIN), the chart's
upper limit at the next hundred above the largest level and the standard level, the other
chart settings at their defaults, no memo.
Prints the number of records and the device type. There is no connection prompt.

Before OUT.q27 is written, the records are kept in the download history as well (see 'qmvtool
history'); when that fails, a warning says so and the download goes on.

Exit status (the download's result code, then the tool's own):
  0  records downloaded and written (possibly none)
  1  the device holds no records
  2  the port could not be opened or the device did not identify itself; also bad arguments
  3  a block did not arrive whole, a record could not be decoded, or the device sent too much
  4  no answer to the request, a block stayed bad after retries, or the next block did not come
  5  no bridge found
  6  the records could not be written to OUT.q27
  7  no right to open the port (see the group dialout)
  8  the port is held by another program
)";

const char* MessageKey(int result) {
    switch (result) {
    case qmv::DownloadEmpty:
        return "MsgNoData";
    case qmv::DownloadNoDevice:
        return "MsgComErr0";
    case qmv::DownloadBlockLate:
        return "MsgLoadErr";
    default:
        return "MsgComErr1";
    }
}

int RunDownload(const std::vector<std::string>& args) {
    std::string out;
    int sensorIndex = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--sensor-index") {
            if (i + 1 >= args.size())
                return UsageError("download", "--sensor-index needs a value");
            const std::string& v = args[++i];
            if (v != "0" && v != "1" && v != "2")
                return UsageError("download", "--sensor-index takes 0, 1 or 2");
            sensorIndex = v[0] - '0';
        } else if (!args[i].empty() && args[i][0] == '-') {
            return UsageError("download", "unknown option " + args[i]);
        } else if (out.empty()) {
            out = args[i];
        } else {
            return UsageError("download", "takes one output file");
        }
    }
    if (out.empty())
        return UsageError("download", "needs an output file");

    CoreApp app;
    LoadInterfaceTexts();

    qmv::DeviceLink link;
    if (link.FindPort() != qmv::FindPortFound) {
        std::fprintf(stderr, "qmvtool download: no instrument bridge found (no CP210x device; "
                             "QMVWIN_SERIAL_DEVICE is not set)\n");
        return ExitNoPort;
    }
    qmv::RecordDownload download(link);
    const int result = download.DownloadRecords(sensorIndex);
    if (result != qmv::DownloadOk) {
        const std::string text =
            qmv::CodePageToUtf8(qmv::InterfaceTexts().Text("Msg", MessageKey(result)));
        std::fprintf(stderr, "qmvtool download: result %d%s%s\n", result, text.empty() ? "" : ": ",
                     text.c_str());
        return result == qmv::DownloadNoDevice ? ReportRefusal("download", link, result) : result;
    }
    // Kept before anything else is done with the records, as the window does.
    const qmv::KeptDownload kept = qmv::KeepDownload(download, result, sensorIndex);
    if (kept.status == qmv::KeepStatus::Failed)
        std::fprintf(
            stderr, "qmvtool download: %s %s (%s)\n",
            qmv::CodePageToUtf8(qmv::InterfaceTexts().Text("Msg", "MsgHistoryErr")).c_str(),
            qmv::HistoryFolder().c_str(), kept.detail.c_str());
    const int model = qmv::DownloadModel(download.DeviceType, sensorIndex);
    const qmv::DocumentData doc = qmv::DownloadDocumentData(download.DownloadTable, model);
    const qmv::SaveResult saved = qmv::SaveDataFile(out, doc, qmv::VersionText());
    if (saved.status != qmv::SaveStatus::Ok) {
        std::fprintf(stderr, "qmvtool download: cannot write %s: %s\n", out.c_str(),
                     saved.detail.c_str());
        return ExitNotWritten;
    }
    std::printf("%d records from %s\n", download.DownloadCount(),
                qmv::DeviceTypeName(download.DeviceType));
    if (kept.status == qmv::KeepStatus::Kept)
        std::printf("kept in the download history: %s\n", kept.path.c_str());
    return qmv::DownloadOk;
}

const CommandRegistrar registrar({"download", "download the instrument's records to a data file",
                                  DownloadHelp, RunDownload});

} // namespace

} // namespace qmvtool
