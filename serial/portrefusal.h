// Why a serial device could not be opened, in the terms the user can act on: no right to open it
// (a group or a device rule is missing) or another program holding it.
#pragma once

#include <string>
#include <sys/types.h>

namespace qmv {

enum class PortRefusal {
    None,       // opened, or failed for a reason the user cannot fix by rights or closing programs
    Permission, // EACCES, EPERM
    Busy,       // EBUSY: another program holds the line exclusively or has it locked
};

PortRefusal RefusalOfErrno(int err);

// A program other than except that has devicePath open, as "name (pid N)"; empty when none can
// be seen (an unprivileged user sees only their own processes).
std::string PortHolder(const std::string& devicePath, pid_t except);

} // namespace qmv
