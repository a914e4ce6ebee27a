#include "simulator.h"

#include <QElapsedTimer>
#include <QFile>

#include <csignal>

namespace qmv::test {

QString Simulator::Executable() {
    return QStringLiteral(QMV_BINARY_DIR "/bin/qmvsim");
}

bool Simulator::Start(const QStringList& args) {
    Stop();
    syncs_ = 0;
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
    // The path comes before the simulator listens: a start slowed down by a busy machine would
    // leave the program's first request unread past its reply wait. A sync answered shows that
    // it reads the line.
    if (!Sync())
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

void Simulator::Release() {
    if (process_.state() == QProcess::Running)
        ::kill(static_cast<pid_t>(process_.processId()), SIGUSR1);
}

bool Simulator::Sync() const {
    if (process_.state() != QProcess::Running)
        return true; // it has ended, and its log with it
    ::kill(static_cast<pid_t>(process_.processId()), SIGUSR2);
    const QByteArray mark = " EV sync " + QByteArray::number(++syncs_);
    QElapsedTimer clock;
    clock.start();
    // A generous bound: the simulator answers at once unless the machine is starved. It ends by
    // itself once it has closed the line.
    while (clock.elapsed() < 20000) {
        QFile f(LogPath());
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray log = f.readAll();
            if (log.contains(mark + '\n') || log.contains(" EV line closed\n"))
                return true;
        }
        if (process_.waitForFinished(2))
            return true;
    }
    return false;
}

QByteArray Simulator::Received() const {
    Sync();
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
    Sync();
    QStringList events;
    for (const QByteArray& line : LogLines(LogPath())) {
        const int ev = line.indexOf(" EV ");
        if (ev >= 0)
            events << QString::fromLatin1(line.mid(ev + 4));
    }
    return events;
}

} // namespace qmv::test
