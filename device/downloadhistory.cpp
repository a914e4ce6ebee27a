#include "device/downloadhistory.h"

#include <QSettings>

#include <ctime>

#include "data/history.h"
#include "data/profile.h"
#include "data/version.h"

namespace qmv {

bool HistoryEnabled() {
    QSettings store(QStringLiteral("Brasketon"), QStringLiteral("QMV27Win"));
    return store.value(QStringLiteral("System/") + QLatin1String(KeepHistoryKey), true).toBool();
}

KeptDownload KeepDownload(const RecordDownload& download, int result, int sensorModelIndex,
                          bool evenWhenOff) {
    KeptDownload kept;
    if (result != DownloadOk || download.DownloadTable.empty())
        return kept;
    if (!evenWhenOff && !HistoryEnabled()) {
        kept.status = KeepStatus::Off;
        return kept;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    DocumentData doc;
    try {
        doc = DownloadDocumentData(download.DownloadTable,
                                   DownloadModel(download.DeviceType, sensorModelIndex));
    } catch (const EConvertError& e) {
        // A level that is no number keeps its bytes: the chart limit is only a default.
        doc.Model = DownloadModel(download.DeviceType, sensorModelIndex);
        doc.Records = download.DownloadTable;
    }
    const std::string format = InterfaceTexts().Text("Msg", "MsgHistoryMemo");
    doc.Memo = {HistoryMemoLine(format, local, static_cast<int>(doc.Records.size()))};
    const HistoryWriteResult written = WriteHistoryFile(HistoryFolder(), doc, VersionText(), local);
    kept.path = written.path;
    kept.detail = written.detail;
    kept.status =
        written.status == HistoryWriteStatus::Written ? KeepStatus::Kept : KeepStatus::Failed;
    return kept;
}

namespace {

// The window's command steps around an exchange (the main window disabled, the wait cursor).
struct CommandScope {
    DeviceLink& link;
    explicit CommandScope(DeviceLink& l) : link(l) { link.Ui().BeginCommand(); }
    ~CommandScope() { link.Ui().EndCommand(); }
};

} // namespace

KeepBeforeClear DownloadBeforeClear(DeviceLink& link, int sensorModelIndex) {
    KeepBeforeClear r;
    switch (link.FindPort()) {
    case FindPortFound:
        break;
    case FindPortCancelled:
        r.frame = FrameStatus::PortCancelled;
        return r;
    default:
        r.frame = FrameStatus::PortNotSearched;
        return r;
    }
    const CommandScope command(link);
    RecordDownload download(link);
    // The download keeps this when the port does not open at all, which the caller reports as
    // every command's frame does.
    constexpr int PortNotOpened = -1;
    download.DeviceType = PortNotOpened;
    r.download = download.DownloadRecords(sensorModelIndex);
    if (r.download == DownloadNoDevice && download.DeviceType == PortNotOpened)
        r.frame = FrameStatus::OpenFailed;
    r.kept = KeepDownload(download, r.download, sensorModelIndex, true);
    r.deviceType = download.DeviceType;
    r.records = download.DownloadTable;
    return r;
}

bool InstrumentUnchanged(DeviceLink& link, const KeepBeforeClear& kept, int sensorModelIndex) {
    if (link.FindPort() != FindPortFound)
        return false;
    const CommandScope command(link);
    RecordDownload again(link);
    const int result = again.DownloadRecords(sensorModelIndex);
    return result == kept.download && again.DeviceType == kept.deviceType &&
           again.DownloadTable == kept.records;
}

Notice NoticeOfDownload(int result) {
    switch (result) {
    case DownloadOk:
    case DownloadEmpty:
        return {};
    case DownloadNoDevice:
        return {NoticeKind::Warning, "MsgComErr0"};
    case DownloadBlockLate:
        return {NoticeKind::Error, "MsgLoadErr"};
    default:
        return {NoticeKind::Warning, "MsgComErr1"};
    }
}

} // namespace qmv
