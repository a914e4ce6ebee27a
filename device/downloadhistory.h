// Keeping every download that brought records in the download history (data/history.h), and
// the clear that keeps the instrument's records there before it erases them. The window and
// qmvtool both call these right after a download, before anything of it is shown.
#pragma once

#include <string>
#include <vector>

#include "device/devicecommands.h"
#include "device/download.h"

namespace qmv {

// Settings store, section "System": false turns the history of ordinary downloads off.
constexpr const char* KeepHistoryKey = "KeepDownloadHistory";
bool HistoryEnabled();

enum class KeepStatus {
    Kept,    // written to path
    Off,     // the setting turned the history off
    Nothing, // the download failed or brought no record
    Failed,  // the history could not be written (detail says why)
};

struct KeptDownload {
    KeepStatus status = KeepStatus::Nothing;
    std::string path;
    std::string detail;
};

// Writes what download brought (result is its DownloadRecords result) to the history folder,
// as the document Graph would make of every record with the model of the device and the range
// of sensorModelIndex, plus a memo line saying when and how many. evenWhenOff keeps it whatever
// the setting says (the clear's own copy).
KeptDownload KeepDownload(const RecordDownload& download, int result, int sensorModelIndex,
                          bool evenWhenOff = false);

// The clear that keeps the records: the download before it, and what it allows.
struct KeepBeforeClear {
    FrameStatus frame = FrameStatus::Ran; // the port search and opening of the download
    int download = DownloadNoAnswer;      // its result
    KeptDownload kept;
    int deviceType = DeviceUnknown;      // what the download found on the line
    std::vector<recReadDataSeg> records; // and what it brought
    // Clearing may go on: the records are in the history, or there were none.
    bool ClearAllowed() const {
        return frame == FrameStatus::Ran &&
               (download == DownloadEmpty ||
                (download == DownloadOk && kept.status == KeepStatus::Kept));
    }
};

// Finds the port, downloads every record (with the window's command steps around it) and keeps
// them in the history. Nothing is erased here.
KeepBeforeClear DownloadBeforeClear(DeviceLink& link, int sensorModelIndex);

// Whether the instrument on the line now is the one kept, holding just what was kept: the
// question before the erase may stay open for long, and another instrument may be plugged in, or
// this one may have measured since. Downloads again, keeping nothing.
bool InstrumentUnchanged(DeviceLink& link, const KeepBeforeClear& kept, int sensorModelIndex);

// Why a clear did not go on: the download's message, or none for a cancelled port search.
Notice NoticeOfDownload(int result);

} // namespace qmv
