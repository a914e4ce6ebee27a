// identify: finds the instrument's port and asks the instrument what it is.
#include <QCoreApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "coreapp.h"
#include "data/codepage.h"
#include "data/profile.h"
#include "device/devicelink.h"
#include "portreport.h"

namespace qmvtool {

namespace {

constexpr int ExitNotIdentified = 1;
constexpr int ExitNoPort = 3;
constexpr int ExitOpenFailed = 4;

const char* const IdentifyHelp =
    R"(usage: qmvtool identify

Finds the port of the instrument's USB-serial bridge (the first CP210x device, or the device
named by QMVWIN_SERIAL_DEVICE), opens it, sends the identification request and prints the
device type and its name on one line:
  0 none      the device did not answer, or not with a known identification
  1 QMV-27    the logger
  2 PLX01     the second device type
There is no connection prompt: a missing bridge is an error.

Exit status:
  0  a known device answered (type 1 or 2)
  1  no known device answered (type 0 is printed)
  2  bad arguments
  3  no bridge found
  4  the port could not be opened
)"
    "  7  no right to open the port (see the group dialout)\n"
    "  8  the port is held by another program\n";

int RunIdentify(const std::vector<std::string>& args) {
    if (!args.empty())
        return UsageError("identify", "takes no arguments");
    CoreApp app;
    LoadInterfaceTexts();

    qmv::DeviceLink link;
    int deviceType = qmv::DeviceUnknown;
    const qmv::FrameStatus status =
        link.RunFrame(qmv::RecvCapacityIdentify, [&] { deviceType = link.DeviceType; });
    switch (status) {
    case qmv::FrameStatus::PortCancelled:
    case qmv::FrameStatus::PortNotSearched:
        std::fprintf(stderr, "qmvtool identify: no instrument bridge found (no CP210x device; "
                             "QMVWIN_SERIAL_DEVICE is not set)\n");
        return ExitNoPort;
    case qmv::FrameStatus::OpenFailed: {
        const std::string text =
            qmv::CodePageToUtf8(qmv::InterfaceTexts().Text("Msg", "MsgComErr0"));
        std::fprintf(stderr, "qmvtool identify: cannot open %s%s%s\n",
                     link.DevicePort.toLocal8Bit().constData(), text.empty() ? "" : ": ",
                     text.c_str());
        return ReportRefusal("identify", link, ExitOpenFailed);
    }
    case qmv::FrameStatus::Ran:
        break;
    }
    std::printf("%d %s\n", deviceType, qmv::DeviceTypeName(deviceType));
    return deviceType == qmv::DeviceUnknown ? ExitNotIdentified : ExitOk;
}

const CommandRegistrar registrar({"identify", "name the instrument on the serial bridge",
                                  IdentifyHelp, RunIdentify});

} // namespace

} // namespace qmvtool
