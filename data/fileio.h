// Reading and writing whole files: the data file, the language file and the text export go
// through here, so that every one of them treats folders, devices, links and permissions alike.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace qmv {

// Why a file could not be read or written, as the user is told it: each has its own text in the
// language file ("Msg"/FileFaultKey).
enum class FileFault {
    None,
    NotFound, // the file or a folder on its way does not exist
    NoRight,  // no right to read or write it, or to write its folder
    ReadOnly, // a read-only file system
    NoSpace,  // the disk or the user's quota is full
    NotAFile, // a folder, a device, a pipe
    DataFile, // an export chosen over a data file, which it never replaces
    Other,    // anything else the system reports; the detail tells more
};

// The one place an errno becomes a fault.
FileFault FaultOfErrno(int error);
// The language file's key (section "Msg") for the reason.
const char* FileFaultKey(FileFault fault);

enum class ReadStatus {
    Ok,
    OpenFailed, // missing, or no right to read
    NotAFile,   // a folder, a device, a pipe: nothing a document can come from
    ReadFailed, // opened, but a read failed
    TooLarge,   // larger than the caller takes: nothing was read
};

struct ReadResult {
    ReadStatus status = ReadStatus::Ok;
    std::string detail; // in English, for logs and the command-line tool
    FileFault fault = FileFault::None;
};

// Reads the whole of a regular file of at most maxBytes into bytes (emptied on any failure). A
// larger file is refused before anything is read. Never throws for what the file system reports.
ReadResult ReadRegularFile(const std::string& path, std::string& bytes, std::size_t maxBytes);

enum class SaveStatus {
    Ok,
    OpenFailed,  // the file could not be created (folder missing, no right to write, not a file)
    WriteFailed, // a write failed, or a record cannot be written without corrupting the file
};

struct SaveResult {
    SaveStatus status = SaveStatus::Ok;
    std::string detail; // in English, for logs and the command-line tool
    FileFault fault = FileFault::None;
};

// Writes one chunk; returns false on a write error. Tests inject failures through it.
using ChunkWriter = std::function<bool(int fd, const char* data, std::size_t size)>;

// Writes bytes to path. A path that is a symbolic link is written through to its target, which
// the kernel finds; a link that another user put in a shared sticky folder (/tmp) is refused. The
// bytes go to a temporary file in the target's folder that takes the target's owner, group and
// mode and replaces it only when every write succeeded, so a failed save never destroys the file
// that was there. A file that a new one cannot stand in for (another user's, one with more than
// one name, one in a folder the user may not write) is written in place after its old bytes were
// copied aside; a failed write puts them back. A file the user may not write, or something that is
// not a regular file, is refused (OpenFailed).
SaveResult WriteFileAtomically(const std::string& path, const std::string& bytes,
                               const ChunkWriter& writer = {});

} // namespace qmv
