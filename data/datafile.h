// The data file (*.q27): a fixed-column text file of one header line, one line per record and a
// memo section, CR LF line ends, bytes of the code page.
#pragma once

#include <string>
#include <vector>

#include "fileio.h"
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

    bool operator==(const DocumentData& o) const {
        return Model == o.Model && BarGraph == o.BarGraph && AxisMax == o.AxisMax &&
               AxisMin == o.AxisMin && StdLevel == o.StdLevel && Records == o.Records &&
               Memo == o.Memo;
    }
};

// Column layout of a record line.
constexpr int RecordLineSlot = 67; // bytes a reader slot holds, terminating zero included
constexpr int HeaderSlotBytes = 28;
constexpr int NoteBytes = 14;
constexpr int VersionWidth = 7;

// The largest file read as a data file. 250 record lines take 17 KB and no one types a memo of
// megabytes, so a larger file is none, and reading it whole could take all the memory there is.
constexpr std::size_t MaxDataFileBytes = 4 * 1024 * 1024;

enum class LoadStatus {
    Ok,
    OpenFailed, // the file could not be opened at all
    BadData,    // not a file, too large, empty file, bad header, read error, too many records
};

struct LoadResult {
    LoadStatus status = LoadStatus::Ok;
    std::string detail;     // for logs and the command-line tool; the window shows its own message
    bool overLimit = false; // refused for holding more records than a document can
    bool notAFile = false;  // a folder, a device, a pipe: there was nothing to read
    FileFault fault = FileFault::None; // why the file could not be read, for the user
};

// Reads path into doc. doc's header values stay set even when the rest fails; on any failure
// the records and the memo are emptied.
LoadResult LoadDataFile(const std::string& path, DocumentData& doc);
LoadResult ParseDataFile(const std::string& bytes, DocumentData& doc);
// Whether path is a regular file that starts as a data file does, whether or not it loads.
bool LooksLikeDataFile(const std::string& path);

// Parses what showing a loaded document parses: every DataNo and MinDb and, for the logger,
// the four filter codes of the first record. Raises EConvertError.
void CheckForDisplay(const DocumentData& doc);

// The exact bytes of the data file, or false with detail when a record field cannot be put in
// its column (the reader would then mis-read every later field).
bool FormatDataFile(const DocumentData& doc, const std::string& versionText, std::string& out,
                    std::string* detail = nullptr);

SaveResult SaveDataFile(const std::string& path, const DocumentData& doc,
                        const std::string& versionText, const ChunkWriter& writer = {});

} // namespace qmv
