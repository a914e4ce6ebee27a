// The download history: every download that brought records is kept as an ordinary data file in
// one folder of the user's, named after when it came and from which instrument. Nothing here
// ever removes a file of the history; the user cleans it by hand.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "datafile.h"

namespace qmv {

// $XDG_DATA_HOME/qmvwin/history, or home/.local/share/qmvwin/history when that is unset, empty
// or not an absolute path (as the XDG base directory rules say). Empty when neither is known.
std::string HistoryFolder(const char* xdgDataHome, const char* home);
// The same from this process's environment.
std::string HistoryFolder();

// The instrument part of a history file's name: "QMV-27", "GZN-4P-MAX", ...; "none" for an
// unknown model.
std::string HistoryModelName(int model);

// "2026-12-08_21-05-33_QMV-27.q27"; a second file of the same second and model gets "_2" before
// the extension, a third "_3", and so on.
std::string HistoryFileName(const std::tm& local, int model, int serial = 1);

// What a history file's name says of it.
struct HistoryName {
    std::tm time{};        // local time of the download (seconds included)
    std::string modelName; // as HistoryModelName wrote it
    int serial = 1;
};
// False for any name HistoryFileName cannot have made.
bool ParseHistoryFileName(const std::string& name, HistoryName& out);

// The memo line of a history file: format is the language file's text, in which "%1" stands for
// the date and time ("2026/12/08 21:05:33") and "%2" for the number of records.
std::string HistoryMemoLine(const std::string& format, const std::tm& local, int records);

// One file of the history, as listed.
struct HistoryEntry {
    std::string path;
    HistoryName name;
    int records = -1; // -1 when the file cannot be read as a data file
};
// The history files in folder, newest first (later serials of one second before earlier ones).
// Files whose names the history does not make are left out. A missing folder lists nothing.
std::vector<HistoryEntry> ListHistory(const std::string& folder);

enum class HistoryWriteStatus {
    Written,
    NoFolder,    // the folder could not be made or is not a folder
    NoName,      // no free name could be claimed (no right to create a file, or thousands taken)
    WriteFailed, // the data file writer failed
};

struct HistoryWriteResult {
    HistoryWriteStatus status = HistoryWriteStatus::Written;
    std::string path;   // the file written
    std::string detail; // why it failed, for logs and the command-line tool
};

// Writes doc to a new file of folder (made when missing) named for local and doc.Model, with
// the data file writer. A name is claimed by creating it exclusively, so that two downloads of
// one second, even from two programs, never share a file.
HistoryWriteResult WriteHistoryFile(const std::string& folder, const DocumentData& doc,
                                    const std::string& versionText, const std::tm& local,
                                    const ChunkWriter& writer = {});

} // namespace qmv
