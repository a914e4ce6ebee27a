#include "fileio.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qmv {

namespace {

std::string Why(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
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
    // Closes now, reporting the result: a write may only fail at close on some file systems.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// The folder part of a path, with its trailing "/"; empty for a bare name.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows symbolic links from path to what they finally name, which may not exist yet (a new
// file behind a dangling link). False when the links loop or cannot be read.
bool FollowLinks(std::string path, std::string& target) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = path;
            return true;
        }
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (static_cast<std::size_t>(n) >= buffer.size()) {
            errno = ENAMETOOLONG;
            return false;
        }
        const std::string link(buffer.data(), static_cast<std::size_t>(n));
        path = !link.empty() && link[0] == '/' ? link : FolderOf(path) + link;
    }
    errno = ELOOP;
    return false;
}

bool WriteAll(int fd, const std::string& bytes, const ChunkWriter& writer, std::string& why) {
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
bool FlushAndClose(Descriptor& fd, bool ok, std::string& why) {
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

// For a file whose folder the user may not write: no temporary file can be made beside it.
// Overwriting before cutting the file to length needs no new disk blocks up to its old size, so
// a full disk is less likely to leave it short.
SaveResult WriteInPlace(const std::string& path, const std::string& bytes,
                        const ChunkWriter& writer) {
    Descriptor fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        return {SaveStatus::OpenFailed, Why("cannot open for writing")};
    std::string why;
    bool ok = WriteAll(fd.get(), bytes, writer, why);
    if (ok && ::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0) {
        ok = false;
        why = Why("cannot set the file's length");
    }
    ok = FlushAndClose(fd, ok, why);
    if (!ok)
        return {SaveStatus::WriteFailed, why};
    return {};
}

} // namespace

ReadResult ReadRegularFile(const std::string& path, std::string& bytes, std::size_t maxBytes) {
    bytes.clear();
    // Not blocking: a pipe named as the file would otherwise hang the open until it is refused.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        return {ReadStatus::OpenFailed, Why("cannot open")};
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return {ReadStatus::ReadFailed, Why("cannot read")};
    if (S_ISDIR(st.st_mode))
        return {ReadStatus::NotAFile, "a folder, not a file"};
    if (!S_ISREG(st.st_mode))
        return {ReadStatus::NotAFile, "not a regular file"};
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
            return {ReadStatus::ReadFailed, Why("read error")};
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
    // Saving through a link updates what it points to and leaves the link a link.
    std::string target;
    if (!FollowLinks(path, target))
        return {SaveStatus::OpenFailed, Why("cannot follow the link")};

    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode))
        return {SaveStatus::OpenFailed,
                S_ISDIR(st.st_mode) ? "a folder, not a file" : "not a regular file"};
    // Replacing by rename needs only the folder's permission; the file's own is what counts.
    if (exists && ::access(target.c_str(), W_OK) != 0)
        return {SaveStatus::OpenFailed, Why("cannot write")};
    const std::string folder = FolderOf(target);
    if (exists && ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) != 0)
        return WriteInPlace(target, bytes, writer);

    std::string tmpl = folder + ".qmvsave-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    Descriptor fd(::mkstemp(name.data()));
    if (fd.get() < 0)
        return {SaveStatus::OpenFailed, Why("cannot create")};
    const std::string tmpPath(name.data());

    // A file that is replaced keeps its permissions; a new one gets the usual ones.
    mode_t mode = 0666;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd.get(), mode);

    std::string why;
    bool ok = WriteAll(fd.get(), bytes, writer, why);
    ok = FlushAndClose(fd, ok, why);
    if (ok && std::rename(tmpPath.c_str(), target.c_str()) != 0) {
        ok = false;
        why = Why("cannot replace the file");
    }
    if (!ok) {
        ::unlink(tmpPath.c_str());
        return {SaveStatus::WriteFailed, why};
    }
    return {};
}

} // namespace qmv
