#include "simulator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <limits>

namespace qmv::test {

QString Simulator::Executable() {
    return QStringLiteral(QMV_BINARY_DIR "/bin/qmvsim");
}

bool Simulator::Start(const QStringList& args) {
    Stop();
    syncs_ = 0;
    args_ = args;
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

namespace {
QMutex gTrafficLock;
QList<ProgramTraffic::Event> gTraffic;
QtMessageHandler gPreviousHandler = nullptr;

void RecordTraffic(QtMsgType type, const QMessageLogContext& ctx, const QString& msg) {
    if (ctx.category && qstrcmp(ctx.category, "qmvwin.serial") == 0) {
        // steady_clock is the monotonic clock of the simulator's log.
        const double now =
            std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
                .count();
        QMutexLocker l(&gTrafficLock);
        if (msg.startsWith(QLatin1String("queued ")))
            gTraffic.append({ProgramTraffic::Queued, msg.mid(7).toInt(), {}, now});
        else if (msg.startsWith(QLatin1String("received ")))
            gTraffic.append(
                {ProgramTraffic::Received, 0, QByteArray::fromHex(msg.mid(9).toLatin1()), now});
        else if (msg.startsWith(QLatin1String("waited ")))
            gTraffic.append({ProgramTraffic::Waited, 0, {}, now});
        return;
    }
    if (gPreviousHandler)
        gPreviousHandler(type, ctx, msg);
}
} // namespace

ProgramTraffic::ProgramTraffic() {
    gTraffic.clear();
    gPreviousHandler = qInstallMessageHandler(RecordTraffic);
    QLoggingCategory::setFilterRules(QStringLiteral("qmvwin.serial.debug=true"));
}

ProgramTraffic::~ProgramTraffic() {
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(gPreviousHandler);
}

QList<ProgramTraffic::Event> ProgramTraffic::Events() const {
    QMutexLocker l(&gTrafficLock);
    return gTraffic;
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

QString Simulator::LateReply(const ProgramTraffic& traffic) const {
    // The program's writes, cut from what the simulator received by the sizes the program queued,
    // each with whether anything came in after it and when the last wait after it ended.
    const QByteArray stream = Received();
    struct Write {
        QByteArray bytes;
        bool answerSeen = false;
        double waitEnded = -1;
    };
    QList<Write> writes;
    qsizetype at = 0;
    for (const ProgramTraffic::Event& e : traffic.Events()) {
        if (e.kind == ProgramTraffic::Queued) {
            writes.append({stream.mid(at, e.size)});
            at += e.size;
        } else if (!writes.isEmpty()) {
            if (e.kind == ProgramTraffic::Received)
                writes.last().answerSeen = true;
            else
                writes.last().waitEnded = e.seconds;
        }
    }
    if (at != stream.size())
        return {}; // not the run the traffic belongs to
    // What the simulator did with each request: "NAME #n", then "no reply to NAME" when it was
    // told to keep silent, or "line closed on NAME"; and when each reply began.
    QHash<QString, QList<bool>> answered; // by command, in order
    QHash<QString, double> began;         // by "NAME #n"
    QString current;
    for (const QByteArray& line : LogLines(LogPath())) {
        const int ev = line.indexOf(" EV ");
        if (ev < 0)
            continue;
        const QString e = QString::fromLatin1(line.mid(ev + 4));
        const int hash = e.indexOf(QLatin1String(" #"));
        if (e.startsWith(QLatin1String("reply to ")) && e.endsWith(QLatin1String(" begins"))) {
            began.insert(e.mid(9, e.size() - 16), line.left(ev).toDouble());
        } else if (hash > 0 && e.indexOf(QLatin1Char(' ')) == hash) {
            current = e.left(hash);
            answered[current].append(true);
        } else if (!current.isEmpty() && (e == QLatin1String("no reply to ") + current ||
                                          e == QLatin1String("line closed on ") + current)) {
            answered[current].last() = false;
        }
    }
    const auto name = [](const QByteArray& w) {
        if (w == "GET\r\nC")
            return QStringLiteral("GET");
        if (!w.endsWith("\r\n"))
            return QString(); // not a request: an ACK or a NAK
        const qsizetype end = w.indexOf(':') > 0 ? w.indexOf(':') : w.size() - 2;
        return QString::fromLatin1(w.left(end));
    };
    QHash<QString, int> seen;
    for (qsizetype i = 0; i + 1 < writes.size(); ++i) {
        const QString n = name(writes[i].bytes);
        if (n.isEmpty())
            continue;
        const int k = seen[n]++;
        const QList<bool> replies = answered.value(n);
        // Asked again after a wait that saw nothing, although the simulator did reply.
        if (name(writes[i + 1].bytes) != n || writes[i].answerSeen || writes[i].waitEnded < 0 ||
            k >= replies.size() || !replies[k])
            continue;
        const QString request = n + QStringLiteral(" #") + QString::number(k + 1);
        // A reply that has not begun yet comes later still.
        const double begins = began.value(request, std::numeric_limits<double>::infinity());
        if (begins <= writes[i].waitEnded)
            continue; // it was there in time: the program missed it
        if (begins == std::numeric_limits<double>::infinity())
            return QStringLiteral("the reply to %1 had not begun by the end").arg(request);
        return QStringLiteral("the reply to %1 began %2 ms after the program's wait for it ended")
            .arg(request)
            .arg((begins - writes[i].waitEnded) * 1000, 0, 'f', 1);
    }
    return {};
}

bool RunAgain(Simulator& sim, const ProgramTraffic& traffic, int attempt) {
    const QString late = sim.LateReply(traffic);
    if (late.isEmpty())
        return false;
    if (attempt == 5) {
        ADD_FAILURE() << "five runs in a row on a machine too busy for the reply waits; the last: "
                      << late.toStdString();
        return false;
    }
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::fprintf(stderr, "[ RERUN    ] %s.%s after run %d: %s\n",
                 test ? test->test_suite_name() : "?", test ? test->name() : "?", attempt,
                 qPrintable(late));
    std::fflush(stderr);
    if (!sim.Restart()) {
        ADD_FAILURE() << "simulator did not start";
        return false;
    }
    return true;
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
