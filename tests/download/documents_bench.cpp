// Resident memory and CPU time of the program with no document, one and twenty documents of 250
// logger records each, opened from the command line: on the offscreen platform, and on a virtual
// X display of its own (Xvfb, with openbox as the window manager when it is installed) when Xvfb
// is installed. Memory is read once the program's resident size has settled; on the X display the
// time from the start to the shown main window is measured too, with xdotool. With --bars the
// documents are bar charts, with point symbols, value marks and the standard line switched on.
// Run by hand: qmvdocuments_bench [RUNS] [--bars]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "data/datafile.h"
#include "data/version.h"
#include "device/download.h"
#include "device/recorddecode.h"
#include "protocol.h"

namespace {

constexpr int Documents = 20;
constexpr int RecordsPerDocument = 250;
// What twenty documents may cost: 80 MB resident in all, 0.5 s of CPU to open them.
constexpr double TargetMb = 80;
constexpr double TargetCpu = 0.5;

// Twenty data files as a download of the simulator's sample records makes them, each starting at
// another record so that no two are alike.
QStringList MakeFiles(const QString& folder, bool bars) {
    const std::string bytes = qmvsim::GenerateLoggerRecords(RecordsPerDocument);
    std::vector<qmv::recReadDataSeg> records;
    if (qmv::DecodeRecords(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                           qmv::DeviceQMV27, 0, records) != qmv::DecodeStatus::Ok)
        return {};
    QStringList files;
    for (int i = 0; i < Documents; ++i) {
        qmv::DocumentData doc = qmv::DownloadDocumentData(records, qmv::ModelQMV27);
        doc.BarGraph = bars;
        const QString path = QStringLiteral("%1/doc%2.q27").arg(folder).arg(i + 1);
        if (qmv::SaveDataFile(path.toStdString(), doc, qmv::VersionText()).status !=
            qmv::SaveStatus::Ok)
            return {};
        files << path;
        std::rotate(records.begin(), records.begin() + 1, records.end());
    }
    return files;
}

struct Usage {
    double residentMb = 0;
    double cpuSeconds = 0;
    double shownMs = -1; // start to the shown main window; -1 when not measured
};

// Resident memory and user plus system CPU time of a running process, from /proc.
bool ReadUsage(qint64 pid, Usage& u) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!status.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly))
        return false;
    bool found = false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) {
            u.residentMb = line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
            found = true;
        }
    // The fields after the command name in parentheses, which may hold blanks: utime is the
    // twelfth of them, stime the thirteenth.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (!found || fields.size() < 13)
        return false;
    u.cpuSeconds = (fields[11].toDouble() + fields[12].toDouble()) / sysconf(_SC_CLK_TCK);
    return true;
}

bool HasProgram(const char* name) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}

// Runs a helper to its end; true when it succeeded.
bool RunQuietly(const QProcessEnvironment& env, const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Starts the program on files and measures it once its resident size has stayed the same for a
// second (at most 30 s).
bool Measure(const QProcessEnvironment& env, bool onX, const QStringList& files, Usage& u) {
    QProcess app;
    app.setProcessEnvironment(env);
    app.setStandardOutputFile(QProcess::nullDevice());
    app.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    app.start(QCoreApplication::applicationDirPath() + QStringLiteral("/qmvwin"), files);
    if (!app.waitForStarted())
        return false;
    const QString pid = QString::number(app.processId());
    if (onX && HasProgram("xdotool")) {
        while (!RunQuietly(env, QStringLiteral("xdotool"),
                           {"search", "--onlyvisible", "--pid", pid, "--name", "."})) {
            if (app.state() != QProcess::Running || clock.elapsed() > 30000)
                return false;
            QThread::msleep(5);
        }
        u.shownMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    }
    double last = -1;
    int same = 0;
    while (same < 10 && clock.elapsed() < 30000) {
        QThread::msleep(100);
        if (!ReadUsage(app.processId(), u))
            return false;
        same = u.residentMb == last ? same + 1 : 0;
        last = u.residentMb;
    }
    app.terminate();
    app.waitForFinished();
    return same >= 10;
}

// Three starts: no document, one, twenty.
bool Report(const char* platform, int run, const QProcessEnvironment& env, bool onX,
            const QStringList& files) {
    Usage none, one, twenty;
    if (!Measure(env, onX, {}, none) || !Measure(env, onX, files.mid(0, 1), one) ||
        !Measure(env, onX, files, twenty)) {
        std::fprintf(stderr, "%s: the program did not start or did not settle\n", platform);
        return false;
    }
    std::printf("%s, run %d: resident %.1f MB with no document, %.1f MB with one, %.1f MB with "
                "twenty (%.2f MB a document); CPU %.2f s, %.2f s, %.2f s (%.2f s for the twenty "
                "documents); twenty documents %s %.0f MB and %s %.1f s of CPU\n",
                platform, run, none.residentMb, one.residentMb, twenty.residentMb,
                (twenty.residentMb - none.residentMb) / Documents, none.cpuSeconds, one.cpuSeconds,
                twenty.cpuSeconds, twenty.cpuSeconds - none.cpuSeconds,
                twenty.residentMb <= TargetMb ? "within" : "beyond", TargetMb,
                twenty.cpuSeconds <= TargetCpu ? "within" : "beyond", TargetCpu);
    if (one.shownMs >= 0)
        std::printf("%s, run %d: start to the shown window with one document %.0f ms\n", platform,
                    run, one.shownMs);
    std::fflush(stdout);
    return true;
}

// A virtual X display of its own, with openbox when installed; stopped when it goes.
class VirtualDisplay {
public:
    bool Start(QProcessEnvironment& env) {
        int fds[2];
        if (::pipe(fds) != 0)
            return false;
        // Xvfb writes the number of the free display it took on fds[1].
        xvfb_.start(QStringLiteral("Xvfb"), {"-displayfd", QString::number(fds[1]), "-nolisten",
                                             "tcp", "-screen", "0", "1400x900x24"});
        ::close(fds[1]);
        char display[16] = {};
        const bool started = ::read(fds[0], display, sizeof display - 1) > 0;
        ::close(fds[0]);
        if (!started)
            return false;
        env.insert(QStringLiteral("DISPLAY"), ":" + QString::fromLatin1(display).trimmed());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        if (HasProgram("openbox")) {
            wm_.setProcessEnvironment(env);
            wm_.start(QStringLiteral("openbox"), {});
            // The window manager is up once it answers for its desktops.
            for (int i = 0; i < 200 && HasProgram("xdotool") &&
                            !RunQuietly(env, QStringLiteral("xdotool"), {"get_num_desktops"});
                 ++i)
                QThread::msleep(50);
            withWm_ = true;
        }
        return true;
    }
    const char* Name() const { return withWm_ ? "Xvfb+openbox" : "Xvfb"; }
    ~VirtualDisplay() {
        for (QProcess* p : {&wm_, &xvfb_}) {
            p->terminate();
            p->waitForFinished();
        }
    }

private:
    QProcess xvfb_, wm_;
    bool withWm_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const bool bars = app.arguments().contains(QStringLiteral("--bars"));
    QTemporaryDir tmp;
    const QStringList files = MakeFiles(tmp.path(), bars);
    if (files.size() != Documents) {
        std::fprintf(stderr, "could not write the data files in %s\n", qPrintable(tmp.path()));
        return 1;
    }
    // Settings, recovery copies and history of a home of its own: the user's stay untouched, and
    // every start is a first start.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* home : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME",
                             "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        env.insert(QString::fromLatin1(home), tmp.filePath(QString::fromLatin1(home)));
    ::mkdir(qPrintable(tmp.filePath("XDG_RUNTIME_DIR")), 0700);
    if (bars) {
        // The chart switches are the program's settings, read at its start.
        QSettings store(tmp.filePath("XDG_CONFIG_HOME/Brasketon/QMV27Win.conf"),
                        QSettings::IniFormat);
        for (const char* key : {"Graph/Point", "Graph/Marker", "Graph/StdLine"})
            store.setValue(QString::fromLatin1(key), true);
        std::printf("bar charts with point symbols, value marks and the standard line\n");
    }

    QProcessEnvironment offscreen = env;
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    bool ok = true;
    for (int i = 1; i <= runs; ++i)
        ok = Report("offscreen", i, offscreen, false, files) && ok;

    if (!HasProgram("Xvfb")) {
        std::printf("Xvfb is not installed: no measurement on an X display\n");
        return ok ? 0 : 1;
    }
    QProcessEnvironment x = env;
    VirtualDisplay display;
    if (!display.Start(x)) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    for (int i = 1; i <= runs; ++i)
        ok = Report(display.Name(), i, x, true, files) && ok;
    return ok ? 0 : 1;
}
