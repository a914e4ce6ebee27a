// Finds the device path of the instrument's USB-serial bridge (a CP210x adapter) and, while it
// is not plugged in, asks the user to connect it.
#pragma once

#include <QString>
#include <functional>

namespace qmv {

enum FindDevicePortResult : unsigned char {
    FindPortFound = 0,       // DevicePort holds the device path
    FindPortCancelled = 1,   // the user gave up at the connection prompt
    FindPortNotSearched = 2, // DevicePort was not empty on entry
};

// Asks the user to connect the bridge: true to search again (OK), false to give up (Cancel).
// The window implements it with TOKBottomDlg; tools without a window answer false.
using ConnectPrompt = std::function<bool()>;

// Where the kernel lists the devices bound to the CP210x driver.
inline constexpr const char* Cp210xDriverDir = "/sys/bus/usb-serial/drivers/cp210x";

// One look-up: QMVWIN_SERIAL_DEVICE when set, else "/dev/" plus the first device (lowest number)
// listed in driverDir; empty when there is none.
QString LookUpDevicePort(const QString& driverDir = QString::fromLatin1(Cp210xDriverDir));

// The search and prompt loop. Callers empty DevicePort first. A missing prompt counts as Cancel.
FindDevicePortResult
FindDevicePort(QString& DevicePort, const ConnectPrompt& askToConnect,
               const QString& driverDir = QString::fromLatin1(Cp210xDriverDir));

} // namespace qmv
