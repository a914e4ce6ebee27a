// Crash recovery: the unsaved state of each open document is kept in a folder of the user's, under
// a subfolder that belongs to one running program (it holds the lock file of that folder for its
// whole life). A subfolder whose lock nobody holds was left by a program that ended without
// tidying up (a crash, a kill, a power cut); its records are offered back at the next start.
#pragma once

#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace qmv {

// $XDG_STATE_HOME/qmvwin/recovery, or home/.local/state/qmvwin/recovery when that is unset, empty
// or not an absolute path. Empty when neither is known.
std::string RecoveryFolder(const char* xdgStateHome, const char* home);
// The same from this process's environment.
std::string RecoveryFolder();

// What is kept of one document.
struct RecoveryRecord {
    std::string fileName; // the document's data file; empty for a document never saved
    std::string caption;  // the window's caption, UTF-8
    std::time_t time = 0; // when it was kept
    std::string data;     // the document as its data file carries it
};

// A small header of name, caption and time, then the data file's bytes.
std::string FormatRecoveryRecord(const RecoveryRecord& record);
// False for anything FormatRecoveryRecord cannot have made (a file cut short included).
bool ParseRecoveryRecord(const std::string& bytes, RecoveryRecord& out);

// "doc-7.recover" for the document numbered id within its program.
std::string RecoveryFileName(int id);
bool IsRecoveryFileName(const std::string& name);

// This process's own subfolder of base: made and locked on first use, held until the process
// ends. Empty (with why set) when it cannot be made.
std::string OwnRecoveryFolder(const std::string& base, std::string* why = nullptr);

// A record left by a program that no longer runs.
struct OrphanRecord {
    std::string path;
    RecoveryRecord record;
};

// The records of every subfolder of base whose owner no longer runs, oldest first. The claim
// holds those folders' locks until it is destroyed, so that a second program starting at the
// same time cannot take them too. Files that do not parse are left alone and not listed.
class RecoveryClaim {
public:
    RecoveryClaim() = default;
    RecoveryClaim(const RecoveryClaim&) = delete;
    RecoveryClaim& operator=(const RecoveryClaim&) = delete;
    RecoveryClaim(RecoveryClaim&&) = default;
    RecoveryClaim& operator=(RecoveryClaim&&) = default;
    ~RecoveryClaim();

    std::vector<OrphanRecord> records;
    // Removes one listed record, and its folder once nothing but the lock is left.
    bool Remove(const OrphanRecord& record);

private:
    friend RecoveryClaim ClaimOrphans(const std::string& base);
    struct Folder {
        std::string path;
        int lockFd = -1;
    };
    std::vector<Folder> folders_;
    void RemoveIfEmpty(const std::string& folder);
};

RecoveryClaim ClaimOrphans(const std::string& base);

} // namespace qmv
