#include "serial/portdiscovery.h"

#include <QDir>
#include <QRegularExpression>

namespace qmv {

QString LookUpDevicePort(const QString& driverDir) {
    const QString forced = qEnvironmentVariable("QMVWIN_SERIAL_DEVICE").trimmed();
    if (!forced.isEmpty())
        return forced;

    // The driver's folder lists its bound ports (ttyUSB0, ...) beside control files (bind, ...);
    // the lowest-numbered port is the first device of the bridge.
    static const QRegularExpression portName(QStringLiteral("^tty[A-Za-z]*([0-9]+)$"));
    const QStringList entries =
        QDir(driverDir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    QString best;
    long bestNumber = -1;
    for (const QString& entry : entries) {
        const QRegularExpressionMatch m = portName.match(entry);
        if (!m.hasMatch())
            continue;
        const long number = m.captured(1).toLong();
        if (bestNumber < 0 || number < bestNumber) {
            bestNumber = number;
            best = entry;
        }
    }
    return best.isEmpty() ? QString() : QStringLiteral("/dev/") + best;
}

FindDevicePortResult FindDevicePort(QString& DevicePort, const ConnectPrompt& askToConnect,
                                    const QString& driverDir) {
    FindDevicePortResult result = FindPortNotSearched;
    while (DevicePort.isEmpty()) {
        const QString found = LookUpDevicePort(driverDir);
        if (!found.isEmpty()) {
            DevicePort = found;
            result = FindPortFound;
        }
        if (result != FindPortFound) {
            if (!askToConnect || !askToConnect()) {
                result = FindPortCancelled;
                break;
            }
        }
    }
    return result;
}

} // namespace qmv
