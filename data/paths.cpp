#include "paths.h"

#include <cerrno>
#include <cstring>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qmv {

std::string ProgramFolder() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return "./";
    std::string path(buffer, static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

namespace {

// A shared file of the program: beside the executable, else in the installed layout's
// ../share/qmvwin/. Only a regular file counts: a folder of that name is as good as no file.
std::string FindSharedFile(const std::string& programFolder, const std::string& relative) {
    const std::string beside = programFolder + relative;
    const std::string installed = programFolder + "../share/qmvwin/" + relative;
    const auto isFile = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    };
    if (isFile(beside))
        return beside;
    if (isFile(installed))
        return installed;
    return beside;
}

} // namespace

std::string FindLanguageFile(const std::string& programFolder) {
    return FindSharedFile(programFolder, LanguageFileName);
}

std::string FindManual(const std::string& programFolder) {
    return FindSharedFile(programFolder, ManualIndex);
}

std::string XdgProgramFolder(const char* xdgValue, const char* home, const char* fallback,
                             const char* leaf) {
    std::string base;
    if (xdgValue && xdgValue[0] == '/')
        base = xdgValue;
    else if (home && home[0] != '\0')
        base = std::string(home) + "/" + fallback;
    else
        return {};
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/qmvwin/" + leaf;
}

bool MakeUserFolders(const std::string& folder, std::string& why) {
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at != folder.size() && folder[at] != '/')
            continue;
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            why = part + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        why = folder + ": not a folder";
        return false;
    }
    return true;
}

} // namespace qmv
