// The data file (*.q27): a fixed-column text file of one header line, one line per record and a
// memo section, CR LF line ends, bytes of the code page.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "record.h"

namespace qmv {

// What a document saves and loads: its records, model, chart settings and memo lines.
struct DocumentData {
    int Model = ModelNone;
    bool BarGraph = false;
    int AxisMax = 600;
    int AxisMin = 0;
    int StdLevel = 200;
    std::vector<recReadDataSeg> Records; // at most MaxRecords
    std::vector<std::string> Memo;       // memo lines, without line ends
};

// Column layout of a record line.
constexpr int RecordLineSlot = 67; // bytes a reader slot holds, terminating zero included
constexpr int HeaderSlotBytes = 28;
constexpr int NoteBytes = 14;
constexpr int VersionWidth = 7;

enum class LoadStatus {
    Ok,
    OpenFailed, // the file could not be opened at all
    BadData,    // empty file, bad header, unreadable line, too many records
};

struct LoadResult {
    LoadStatus status = LoadStatus::Ok;
    std::string detail; // for logs and the command-line tool; the window shows its own message
};

// Reads path into doc. doc's header values stay set even when the rest fails; on any failure
// the records and the memo are emptied.
LoadResult LoadDataFile(const std::string& path, DocumentData& doc);
LoadResult ParseDataFile(const std::string& bytes, DocumentData& doc);

// Parses what showing a loaded document parses: every DataNo and MinDb and, for the logger,
// the four filter codes of the first record. Raises EConvertError.
void CheckForDisplay(const DocumentData& doc);

enum class SaveStatus {
    Ok,
    OpenFailed,  // the file could not be created (folder missing, no right to write)
    WriteFailed, // a write failed, or a record cannot be written without corrupting the file
};

struct SaveResult {
    SaveStatus status = SaveStatus::Ok;
    std::string detail;
};

// The exact bytes of the data file, or false with detail when a record field cannot be put in
// its column (the reader would then mis-read every later field).
bool FormatDataFile(const DocumentData& doc, const std::string& versionText, std::string& out,
                    std::string* detail = nullptr);

// Writes one chunk; returns false on a write error. Tests inject failures through it.
using ChunkWriter = std::function<bool(int fd, const char* data, std::size_t size)>;

// Writes bytes to path through a temporary file in the same folder that replaces path only when
// every write succeeded, so a failed save never destroys the file that was there.
SaveResult WriteFileAtomically(const std::string& path, const std::string& bytes,
                               const ChunkWriter& writer = {});

SaveResult SaveDataFile(const std::string& path, const DocumentData& doc,
                        const std::string& versionText, const ChunkWriter& writer = {});

} // namespace qmv
