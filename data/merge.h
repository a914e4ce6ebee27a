// Merging a data file into a document: the file's records after the document's own, its memo
// lines after the document's memo. The window and qmvtool both take the outcome from here and
// show the messages it asks for.
#pragma once

#include <string>

#include "datafile.h"

namespace qmv {

enum class MergeStatus {
    Merged,        // after holds the document with the file's records and memo lines
    LimitReached,  // as Merged, but dropped records of the file did not fit: MsgDataOver0 /
                   // MsgOverErr
    ModelMismatch, // the file is of another model: MsgModErr0 / MsgModErr1, nothing changed
    BadData,       // a read error, a file too large, a bad header or a field the list cannot
                   // show: MsgDataErr0 / MsgDataErr1, nothing changed
    OpenFailed,    // not a readable regular file (missing, a folder, a device): the error report
};

struct MergeResult {
    MergeStatus status = MergeStatus::BadData;
    DocumentData after;   // only for Merged and LimitReached
    int added = 0;        // records of the file that were appended
    int dropped = 0;      // records of the file left out at the limit
    bool changed = false; // records or memo lines were added
    std::string detail;   // what went wrong, for logs and the command-line tool
    // For OpenFailed: why, for the user.
    FileFault fault = FileFault::None;
};

// Appends the contents of a parsed data file to doc. The file's model must be doc's model (an
// empty document of model 0 takes no other model). Records past MaxRecords in all are dropped;
// the memo lines are appended all the same.
MergeResult MergeDocuments(const DocumentData& doc, const DocumentData& file);

// The same for the bytes of a data file.
MergeResult MergeDataBytes(const DocumentData& doc, const std::string& bytes);

// The same for the data file at path, read as LoadDataFile reads it.
MergeResult MergeDataFile(const DocumentData& doc, const std::string& path);

} // namespace qmv
