#include "fileio.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qmv {

namespace {

// What went wrong: the detail in English for logs, the fault for the user's message.
struct Reason {
    std::string text;
    FileFault fault = FileFault::Other;
};

Reason Why(const char* what) {
    const int error = errno;
    return {std::string(what) + ": " + std::strerror(error), FaultOfErrno(error)};
}

SaveResult Failed(SaveStatus status, const Reason& why) {
    return {status, why.text, why.fault};
}

ReadResult Failed(ReadStatus status, const Reason& why) {
    return {status, why.text, why.fault};
}

// Closes a descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void Reset(int fd) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    // Closes now, reporting the result: a write may only fail at close on some file systems.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// The parts of a path between its "/".
std::deque<std::string> PartsOf(const std::string& path) {
    std::deque<std::string> parts;
    std::size_t pos = 0;
    while (pos < path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos)
            end = path.size();
        if (end > pos)
            parts.push_back(path.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

// Where a path ends: a folder reached through no link, and a name in it.
struct Location {
    std::string folder;
    std::string name;
};

// Finds where a path ends, through every link on the way, as the kernel will when the file is
// opened. The kernel refuses to follow a link in a sticky, world-writable folder (/tmp) unless it
// belongs to the user or to the folder's owner, but only where fs.protected_symlinks is on; the
// same rule is applied here so that a link planted there never sends a save into the user's files.
bool Locate(const std::string& path, Location& at, Reason& why) {
    if (path.empty() || path.back() == '/') {
        why = {"a folder, not a file", FileFault::NotAFile};
        return false;
    }
    std::string walked; // free of links; empty for the root
    if (path[0] != '/') {
        std::vector<char> cwd(PATH_MAX + 1);
        if (!::getcwd(cwd.data(), cwd.size())) {
            why = Why("cannot find the current folder");
            return false;
        }
        walked = cwd.data() == std::string("/") ? std::string() : std::string(cwd.data());
    }
    std::deque<std::string> left = PartsOf(path);
    int links = 0;
    while (!left.empty()) {
        const std::string part = left.front();
        left.pop_front();
        if (part == ".")
            continue;
        if (part == "..") {
            const std::size_t slash = walked.rfind('/');
            walked.resize(slash == std::string::npos ? 0 : slash);
            continue;
        }
        const std::string next = walked + "/" + part;
        struct stat st {};
        if (::lstat(next.c_str(), &st) != 0) {
            if (errno != ENOENT || !left.empty()) {
                why = Why("cannot open");
                return false;
            }
            at = {walked.empty() ? "/" : walked, part}; // a new file
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            walked = next;
            continue;
        }
        struct stat folder {};
        if (::stat(walked.empty() ? "/" : walked.c_str(), &folder) != 0) {
            why = Why("cannot open");
            return false;
        }
        if ((folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH) && st.st_uid != ::geteuid() &&
            st.st_uid != folder.st_uid) {
            why = {"a link that another user put in a shared folder", FileFault::NoRight};
            return false;
        }
        if (++links > 40) { // the kernel's own limit
            errno = ELOOP;
            why = Why("cannot follow the link");
            return false;
        }
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t n = ::readlink(next.c_str(), buffer.data(), buffer.size());
        if (n < 0 || static_cast<std::size_t>(n) >= buffer.size()) {
            if (n >= 0)
                errno = ENAMETOOLONG;
            why = Why("cannot follow the link");
            return false;
        }
        const std::string target(buffer.data(), static_cast<std::size_t>(n));
        if (!target.empty() && target[0] == '/')
            walked.clear();
        const std::deque<std::string> more = PartsOf(target);
        left.insert(left.begin(), more.begin(), more.end());
    }
    const std::size_t slash = walked.rfind('/');
    if (slash == std::string::npos) {
        why = {"a folder, not a file", FileFault::NotAFile};
        return false;
    }
    at = {slash == 0 ? "/" : walked.substr(0, slash), walked.substr(slash + 1)};
    return true;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A folder that the user may write but not list still takes files; it just cannot be flushed.
int OpenFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 || errno != EACCES)
        return fd;
    return ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

// Puts the folder's names on the disk: a rename is not safe before. A folder opened only as a
// path cannot be flushed (EBADF), and some file systems flush no folder (EINVAL).
bool SyncFolder(int folder) {
    return ::fsync(folder) == 0 || errno == EBADF || errno == EINVAL;
}

// Creates a file that no other file's name can clash with, prefix and six random letters.
int CreateUnique(int folder, const std::string& prefix, mode_t mode, std::string& name) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::mt19937 pick(seed());
    std::uniform_int_distribution<std::size_t> letter(0, sizeof letters - 2);
    for (int tries = 0; tries < 100; ++tries) {
        name = prefix;
        for (int i = 0; i < 6; ++i)
            name += letters[letter(pick)];
        const int fd = ::openat(folder, name.c_str(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Copies the whole of one file over the start of another; size is what was copied.
bool CopyContents(int from, int to, off_t& size, Reason& why) {
    std::vector<char> buffer(65536);
    size = 0;
    for (;;) {
        const ssize_t n = ::pread(from, buffer.data(), buffer.size(), size);
        if (n == 0)
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = Why("cannot read the old bytes");
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w =
                ::pwrite(to, buffer.data() + done, static_cast<std::size_t>(n - done), size + done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0) {
                why = Why("cannot copy the old bytes");
                return false;
            }
            done += w;
        }
        size += n;
    }
}

bool WriteAll(int fd, const std::string& bytes, const ChunkWriter& writer, Reason& why) {
    const auto posixWrite = [](int f, const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(f, data, size);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    };
    constexpr std::size_t Chunk = 4096;
    for (std::size_t pos = 0; pos < bytes.size(); pos += Chunk) {
        const std::size_t size = std::min(Chunk, bytes.size() - pos);
        if (!(writer ? writer(fd, bytes.data() + pos, size)
                     : posixWrite(fd, bytes.data() + pos, size))) {
            why = Why("write failed");
            return false;
        }
    }
    return true;
}

// Puts what was written on the disk and closes: either can be where a write turns out to have
// failed. ok says whether everything before succeeded; the first failure keeps its reason.
bool FlushAndClose(Descriptor& fd, bool ok, Reason& why) {
    if (ok && ::fsync(fd.get()) != 0) {
        ok = false;
        why = Why("cannot flush");
    }
    if (!fd.Close() && ok) {
        ok = false;
        why = Why("cannot close");
    }
    return ok;
}

// The old bytes of a file that is written in place, kept until the new ones are complete: beside
// the file, where a crash leaves them for the user to find, or where the folder takes no new file,
// in an unnamed file of the temporary folder. The copy beside the file goes when this does,
// unless it is all that is left of the old bytes.
class OldBytes {
public:
    explicit OldBytes(int folder) : folder_(folder) {}
    ~OldBytes() {
        if (!name_.empty() && !keep_)
            ::unlinkat(folder_, name_.c_str(), 0);
    }
    OldBytes(const OldBytes&) = delete;
    OldBytes& operator=(const OldBytes&) = delete;

    bool Take(int from, Reason& why) {
        int fd = CreateUnique(folder_, ".qmvbackup-", 0600, name_);
        if (fd < 0) {
            name_.clear();
            const char* tmp = std::getenv("TMPDIR");
            fd = ::open(tmp && *tmp ? tmp : "/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        }
        copy_.Reset(fd);
        if (fd < 0) {
            why = Why("cannot keep a copy of the old bytes");
            return false;
        }
        if (!CopyContents(from, fd, size_, why))
            return false;
        // The copy must be on the disk, under its name, before the old bytes are written over.
        if (::fsync(fd) != 0 || (!name_.empty() && !SyncFolder(folder_))) {
            why = Why("cannot flush the copy of the old bytes");
            return false;
        }
        return true;
    }

    bool PutBack(int to) {
        off_t size = 0;
        Reason ignored;
        return CopyContents(copy_.get(), to, size, ignored) && size == size_ &&
               ::ftruncate(to, size) == 0 && ::fsync(to) == 0;
    }

    // Keeps the copy beside the file; says where, for the report of the failure.
    Reason Keep(Reason why) {
        keep_ = true;
        why.text += name_.empty() ? "; the old bytes are lost" : "; the old bytes are in " + name_;
        return why;
    }

private:
    int folder_;
    Descriptor copy_{-1};
    std::string name_;
    off_t size_ = 0;
    bool keep_ = false;
};

// For a file that a new one cannot stand in for: its other names (hard links) would keep the old
// bytes, its owner (another user's file) cannot be given to a new file, or its folder takes no
// new file. Overwriting before cutting the file to length needs no new disk blocks up to its old
// size, so a full disk is less likely to leave it short.
SaveResult WriteInPlace(int folder, const std::string& name, const struct stat& old,
                        const std::string& bytes, const ChunkWriter& writer) {
    Descriptor fd(::openat(folder, name.c_str(), O_RDWR | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0)
        return Failed(SaveStatus::OpenFailed, Why("cannot open for writing"));
    if (!SameFile(st, old))
        return Failed(SaveStatus::OpenFailed, {"the file was replaced while it was saved"});
    OldBytes copy(folder);
    Reason why;
    if (!copy.Take(fd.get(), why))
        return Failed(SaveStatus::WriteFailed, why);

    bool ok = WriteAll(fd.get(), bytes, writer, why);
    if (ok && ::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0) {
        ok = false;
        why = Why("cannot set the file's length");
    }
    if (ok && ::fsync(fd.get()) != 0) {
        ok = false;
        why = Why("cannot flush");
    }
    if (!ok)
        return Failed(SaveStatus::WriteFailed, copy.PutBack(fd.get()) ? why : copy.Keep(why));
    if (!fd.Close())
        return Failed(SaveStatus::WriteFailed, copy.Keep(Why("cannot close")));
    return {};
}

// Writes the bytes to a new file in the folder that then takes name's place. A file that is
// replaced passes its owner, group and mode on; where that cannot be done, or the folder takes
// no new file, nothing is returned and nothing was changed.
std::optional<SaveResult> Replace(int folder, const std::string& name, const struct stat* old,
                                  const std::string& bytes, const ChunkWriter& writer) {
    std::string tmpName;
    // A new file gets the usual mode: 0666 less the umask.
    Descriptor fd(CreateUnique(folder, ".qmvsave-", old ? 0600 : 0666, tmpName));
    if (fd.get() < 0) {
        if (old)
            return std::nullopt;
        return Failed(SaveStatus::OpenFailed, Why("cannot create"));
    }
    struct stat now {};
    // Giving a file away clears its set-id bits, so the mode comes after the owner.
    if (old && (::fstat(fd.get(), &now) != 0 ||
                ((now.st_uid != old->st_uid || now.st_gid != old->st_gid) &&
                 ::fchown(fd.get(), old->st_uid, old->st_gid) != 0) ||
                ::fchmod(fd.get(), old->st_mode & 07777) != 0)) {
        ::unlinkat(folder, tmpName.c_str(), 0);
        return std::nullopt;
    }
    Reason why;
    bool ok = WriteAll(fd.get(), bytes, writer, why);
    ok = FlushAndClose(fd, ok, why);
    if (ok && ::renameat(folder, tmpName.c_str(), folder, name.c_str()) != 0) {
        ok = false;
        why = Why("cannot replace the file");
    }
    if (!ok) {
        ::unlinkat(folder, tmpName.c_str(), 0);
        return Failed(SaveStatus::WriteFailed, why);
    }
    if (!SyncFolder(folder))
        return Failed(SaveStatus::WriteFailed, Why("cannot flush the folder"));
    return SaveResult{};
}

} // namespace

FileFault FaultOfErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR: // a part of the path is no folder
        return FileFault::NotFound;
    case EACCES:
    case EPERM:
        return FileFault::NoRight;
    case EROFS:
        return FileFault::ReadOnly;
    case ENOSPC:
    case EDQUOT:
        return FileFault::NoSpace;
    case EISDIR:
    case ENXIO: // a device or a pipe with nothing behind it
    case ENODEV:
        return FileFault::NotAFile;
    default:
        return FileFault::Other;
    }
}

const char* FileFaultKey(FileFault fault) {
    switch (fault) {
    case FileFault::None:
        return "";
    case FileFault::NotFound:
        return "MsgWhyNotFound";
    case FileFault::NoRight:
        return "MsgWhyNoRight";
    case FileFault::ReadOnly:
        return "MsgWhyReadOnly";
    case FileFault::NoSpace:
        return "MsgWhyNoSpace";
    case FileFault::NotAFile:
        return "MsgWhyNotAFile";
    case FileFault::DataFile:
        return "MsgWhyDataFile";
    case FileFault::Other:
        break;
    }
    return "MsgWhyOther";
}

ReadResult ReadRegularFile(const std::string& path, std::string& bytes, std::size_t maxBytes) {
    bytes.clear();
    // Not blocking: a pipe named as the file would otherwise hang the open until it is refused.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        return Failed(ReadStatus::OpenFailed, Why("cannot open"));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return Failed(ReadStatus::ReadFailed, Why("cannot read"));
    if (S_ISDIR(st.st_mode))
        return Failed(ReadStatus::NotAFile, {"a folder, not a file", FileFault::NotAFile});
    if (!S_ISREG(st.st_mode))
        return Failed(ReadStatus::NotAFile, {"not a regular file", FileFault::NotAFile});
    const std::string tooLarge = "larger than " + std::to_string(maxBytes) + " bytes";
    if (st.st_size < 0 || static_cast<std::uintmax_t>(st.st_size) > maxBytes)
        return {ReadStatus::TooLarge, tooLarge};
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0)
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);

    std::string data;
    data.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Failed(ReadStatus::ReadFailed, Why("read error"));
        }
        data.append(buffer, static_cast<std::size_t>(n));
        // A file that grows while it is read, or whose size the system does not know.
        if (data.size() > maxBytes)
            return {ReadStatus::TooLarge, tooLarge};
    }
    bytes = std::move(data);
    return {};
}

SaveResult WriteFileAtomically(const std::string& path, const std::string& bytes,
                               const ChunkWriter& writer) {
    Location at;
    Reason why;
    if (!Locate(path, at, why))
        return Failed(SaveStatus::OpenFailed, why);
    Descriptor folder(OpenFolder(at.folder));
    if (folder.get() < 0)
        return Failed(SaveStatus::OpenFailed, Why("cannot open the folder"));
    // The kernel opens the file by the path as given, following links with its own protections;
    // it has to be the file found above, or something was moved in between.
    Descriptor file(::open(path.c_str(), O_PATH | O_CLOEXEC));
    if (file.get() < 0 && errno != ENOENT)
        return Failed(SaveStatus::OpenFailed, Why("cannot open"));
    const bool exists = file.get() >= 0;
    struct stat st {};
    struct stat here {};
    if (exists && ::fstat(file.get(), &st) != 0)
        return Failed(SaveStatus::OpenFailed, Why("cannot open"));
    const bool found = ::fstatat(folder.get(), at.name.c_str(), &here, AT_SYMLINK_NOFOLLOW) == 0;
    if (found != exists || (exists && !SameFile(st, here)))
        return Failed(SaveStatus::OpenFailed, {"the file was replaced while it was saved"});
    if (!exists)
        return *Replace(folder.get(), at.name, nullptr, bytes, writer);

    if (!S_ISREG(st.st_mode))
        return Failed(SaveStatus::OpenFailed,
                      {S_ISDIR(st.st_mode) ? "a folder, not a file" : "not a regular file",
                       FileFault::NotAFile});
    // The file's own permission counts, also where the folder's would let a new file replace it.
    if (::faccessat(folder.get(), at.name.c_str(), W_OK, AT_EACCESS) != 0)
        return Failed(SaveStatus::OpenFailed, Why("cannot write"));
    if (st.st_nlink == 1)
        if (std::optional<SaveResult> replaced = Replace(folder.get(), at.name, &st, bytes, writer))
            return *replaced;
    return WriteInPlace(folder.get(), at.name, st, bytes, writer);
}

} // namespace qmv
