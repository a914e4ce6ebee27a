#include "recovery.h"

#include "paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fileio.h"

namespace qmv {

namespace {

constexpr const char* Magic = "QMVwin recovery 1\n";
constexpr const char* LockName = "lock";
constexpr const char* Prefix = "doc-";
constexpr const char* Extension = ".recover";
// Larger than any data file the program writes (250 records), smaller than a mistake.
constexpr std::size_t MaxRecordBytes = 1 << 20;

// Header values are one line each: the few characters that would break a line are escaped.
std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '%')
            out += "%25";
        else if (c == '\n')
            out += "%0A";
        else if (c == '\r')
            out += "%0D";
        else
            out += c;
    }
    return out;
}

bool Unescape(const std::string& text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const std::string code = text.substr(i + 1, 2);
        if (code == "25")
            out += '%';
        else if (code == "0A")
            out += '\n';
        else if (code == "0D")
            out += '\r';
        else
            return false;
        i += 2;
    }
    return true;
}

bool ParseNumber(const std::string& text, long long& value) {
    if (text.empty() || text.size() > 18)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// Locks folder's lock file without waiting; -1 when a running program holds it (or it is gone).
int TryLock(const std::string& folder) {
    const std::string lock = folder + "/" + LockName;
    const int fd = ::open(lock.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir))
            names.emplace_back(e->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct Owner {
    std::string folder;
    int lockFd = -1;
    pid_t pid = 0; // a forked child is a program of its own: the parent's lock is not its
};

} // namespace

std::string RecoveryFolder(const char* xdgStateHome, const char* home) {
    return XdgProgramFolder(xdgStateHome, home, ".local/state", "recovery");
}

std::string RecoveryFolder() {
    return RecoveryFolder(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
}

std::string FormatRecoveryRecord(const RecoveryRecord& r) {
    return std::string(Magic) + "file " + Escape(r.fileName) + "\ncaption " + Escape(r.caption) +
           "\ntime " + std::to_string(static_cast<long long>(r.time)) + "\nsize " +
           std::to_string(r.data.size()) + "\n\n" + r.data;
}

bool ParseRecoveryRecord(const std::string& bytes, RecoveryRecord& out) {
    const std::string magic = Magic;
    if (bytes.compare(0, magic.size(), magic) != 0)
        return false;
    const std::size_t end = bytes.find("\n\n", magic.size() - 1);
    if (end == std::string::npos)
        return false;
    std::map<std::string, std::string> fields;
    std::size_t at = magic.size();
    while (at < end) {
        const std::size_t eol = bytes.find('\n', at);
        const std::string line = bytes.substr(at, eol - at);
        const std::size_t space = line.find(' ');
        if (space == std::string::npos || fields.count(line.substr(0, space)))
            return false;
        fields[line.substr(0, space)] = line.substr(space + 1);
        at = eol + 1;
    }
    RecoveryRecord r;
    long long time = 0, size = 0;
    if (fields.size() != 4 || !Unescape(fields["file"], r.fileName) ||
        !Unescape(fields["caption"], r.caption) || !ParseNumber(fields["time"], time) ||
        !ParseNumber(fields["size"], size) ||
        bytes.size() - (end + 2) != static_cast<unsigned long long>(size))
        return false;
    r.time = static_cast<std::time_t>(time);
    r.data = bytes.substr(end + 2);
    out = std::move(r);
    return true;
}

std::string RecoveryFileName(int id) {
    return Prefix + std::to_string(id) + Extension;
}

bool IsRecoveryFileName(const std::string& name) {
    const std::string prefix = Prefix, ext = Extension;
    if (name.size() <= prefix.size() + ext.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - ext.size(), ext.size(), ext) != 0)
        return false;
    const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - ext.size());
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string OwnRecoveryFolder(const std::string& base, std::string* why) {
    // One owner per base for the whole process; the lock is given back by the kernel when the
    // process ends, however it ends.
    static std::map<std::string, Owner> owners;
    Owner& owner = owners[base];
    if (owner.lockFd >= 0 && owner.pid == ::getpid())
        return owner.folder;
    std::string reason;
    if (base.empty() || !MakeUserFolders(base, reason)) {
        if (why)
            *why = base.empty() ? "no recovery folder" : reason;
        return {};
    }
    // The folder is made and locked under a hidden name and only then given its real one, so
    // that no scan ever sees a folder of a live program without its lock held.
    const std::string pid = std::to_string(::getpid());
    std::string temp = base + "/.new-" + pid + "-XXXXXX";
    if (!::mkdtemp(temp.data())) {
        if (why)
            *why = base + ": " + std::strerror(errno);
        return {};
    }
    const std::string lock = temp + "/" + LockName;
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (why)
            *why = lock + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        ::unlink(lock.c_str());
        ::rmdir(temp.c_str());
        return {};
    }
    // A process id comes back after a reboot: a folder of an earlier program with ours is kept.
    for (int n = 1; n < 10000; ++n) {
        const std::string name = base + "/" + pid + "-" + std::to_string(n);
        if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0) {
            owner = {name, fd, ::getpid()};
            return name;
        }
        if (errno != EEXIST)
            break;
    }
    if (why)
        *why = temp + ": " + std::strerror(errno);
    ::close(fd);
    ::unlink(lock.c_str());
    ::rmdir(temp.c_str());
    return {};
}

RecoveryClaim::~RecoveryClaim() {
    for (const Folder& f : folders_)
        ::close(f.lockFd);
}

void RecoveryClaim::RemoveIfEmpty(const std::string& folder) {
    for (const std::string& name : Names(folder))
        if (name != "." && name != ".." && name != LockName)
            return;
    ::unlink((folder + "/" + LockName).c_str());
    ::rmdir(folder.c_str());
}

bool RecoveryClaim::Remove(const OrphanRecord& record) {
    if (::unlink(record.path.c_str()) != 0 && errno != ENOENT)
        return false;
    RemoveIfEmpty(record.path.substr(0, record.path.rfind('/')));
    return true;
}

RecoveryClaim ClaimOrphans(const std::string& base) {
    RecoveryClaim claim;
    if (base.empty())
        return claim;
    for (const std::string& sub : Names(base)) {
        if (sub.empty() || sub[0] == '.')
            continue; // ".", "..", and folders still being made
        const std::string folder = base + "/" + sub;
        const int fd = TryLock(folder);
        if (fd < 0)
            continue; // a running program's, or not one of ours
        claim.folders_.push_back({folder, fd});
        bool any = false;
        for (const std::string& name : Names(folder)) {
            if (!IsRecoveryFileName(name))
                continue;
            any = true;
            OrphanRecord orphan{folder + "/" + name, {}};
            std::string bytes;
            if (ReadRegularFile(orphan.path, bytes, MaxRecordBytes).status == ReadStatus::Ok &&
                ParseRecoveryRecord(bytes, orphan.record))
                claim.records.push_back(std::move(orphan));
        }
        if (!any)
            claim.RemoveIfEmpty(folder); // a program that ended with nothing unsaved
    }
    std::stable_sort(
        claim.records.begin(), claim.records.end(),
        [](const OrphanRecord& a, const OrphanRecord& b) { return a.record.time < b.record.time; });
    return claim;
}

} // namespace qmv
