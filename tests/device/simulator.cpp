#include "simulator.h"

#include <QFile>

namespace qmv::test {

QString Simulator::Executable() {
    return QStringLiteral(QMV_BINARY_DIR "/bin/qmvsim");
}

bool Simulator::Start(const QStringList& args) {
    Stop();
    process_.setProgram(Executable());
    process_.setArguments(QStringList{QStringLiteral("--log"), LogPath()} + args);
    process_.start();
    if (!process_.waitForStarted(5000))
        return false;
    while (!process_.canReadLine()) {
        if (!process_.waitForReadyRead(5000))
            return false;
    }
    path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    if (path_.isEmpty())
        return false;
    qputenv("QMVWIN_SERIAL_DEVICE", path_.toLocal8Bit());
    return true;
}

void Simulator::Stop() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    qunsetenv("QMVWIN_SERIAL_DEVICE");
}

static QList<QByteArray> LogLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().split('\n');
}

QByteArray Simulator::Received() const {
    QByteArray bytes;
    for (const QByteArray& line : LogLines(LogPath())) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() >= 2 && parts[1] == "RX")
            for (int i = 2; i < parts.size(); ++i)
                bytes += QByteArray::fromHex(parts[i]);
    }
    return bytes;
}

QStringList Simulator::Events() const {
    QStringList events;
    for (const QByteArray& line : LogLines(LogPath())) {
        const int ev = line.indexOf(" EV ");
        if (ev >= 0)
            events << QString::fromLatin1(line.mid(ev + 4));
    }
    return events;
}

} // namespace qmv::test
