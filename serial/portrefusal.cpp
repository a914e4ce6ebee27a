#include "serial/portrefusal.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qmv {

PortRefusal RefusalOfErrno(int err) {
    switch (err) {
    case EACCES:
    case EPERM:
        return PortRefusal::Permission;
    case EBUSY:
        return PortRefusal::Busy;
    default:
        return PortRefusal::None;
    }
}

namespace {

bool AllDigits(const char* s) {
    if (!*s)
        return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9')
            return false;
    return true;
}

} // namespace

std::string PortHolder(const std::string& devicePath, pid_t except) {
    // Compare device numbers, so that a link such as /dev/serial/by-id/... matches too.
    struct stat target {};
    if (::stat(devicePath.c_str(), &target) != 0 || !S_ISCHR(target.st_mode))
        return {};
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return {};
    std::string found;
    while (const dirent* e = ::readdir(proc)) {
        if (!AllDigits(e->d_name) || std::atol(e->d_name) == static_cast<long>(except))
            continue;
        const std::string base = std::string("/proc/") + e->d_name;
        DIR* fds = ::opendir((base + "/fd").c_str());
        if (!fds)
            continue;
        bool holds = false;
        while (const dirent* f = ::readdir(fds)) {
            if (!AllDigits(f->d_name))
                continue;
            struct stat st {};
            if (::stat((base + "/fd/" + f->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
                st.st_rdev == target.st_rdev) {
                holds = true;
                break;
            }
        }
        ::closedir(fds);
        if (!holds)
            continue;
        std::string name;
        std::ifstream comm(base + "/comm");
        std::getline(comm, name);
        found = (name.empty() ? std::string("?") : name) + " (pid " + e->d_name + ")";
        break;
    }
    ::closedir(proc);
    return found;
}

} // namespace qmv
