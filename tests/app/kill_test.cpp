// The real program killed with typing unsaved, and started again: the typing comes back. Runs the
// built qmvwin on a virtual X display, typing into it with xdotool.
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

namespace {

const QString Typed = QStringLiteral("typed before the kill");

// The first recovery record under folder whose text has what, and whose path starts with
// prefix (empty: any); empty when there is none yet.
QString RecordWith(const QString& folder, const QString& what, const QString& prefix = {}) {
    QDirIterator it(folder, {"*.recover"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (path.startsWith(prefix) && f.open(QIODevice::ReadOnly) &&
            f.readAll().contains(what.toUtf8()))
            return path;
    }
    return {};
}

template <typename Condition> bool WaitFor(Condition condition, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > ms)
            return false;
        QThread::msleep(20);
    }
    return true;
}

class KillTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess xvfb;

    // Starts a virtual display; false when the machine has none to offer.
    bool StartDisplay() {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
            QStandardPaths::findExecutable("xdotool").isEmpty())
            return false;
        int fds[2];
        if (::pipe(fds) != 0)
            return false;
        xvfb.start("Xvfb", {"-displayfd", QString::number(fds[1]), "-nolisten", "tcp", "-screen",
                            "0", "1280x1024x24"});
        ::close(fds[1]);
        pollfd p{fds[0], POLLIN, 0};
        char number[16] = {};
        const bool ok = ::poll(&p, 1, 20000) == 1 && ::read(fds[0], number, 15) > 0;
        ::close(fds[0]);
        env.insert("DISPLAY", ":" + QString::fromLatin1(number).trimmed());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("HOME", tmp.filePath("home"));
        env.insert("XDG_CONFIG_HOME", tmp.filePath("config"));
        env.insert("XDG_STATE_HOME", tmp.filePath("state"));
        return ok;
    }

    QString Xdotool(const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start("xdotool", args);
        p.waitForFinished(20000);
        return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
    }

    // The last visible window of the program with process id pid, waiting for one to show.
    QString Window(qint64 pid) {
        const QStringList windows =
            Xdotool({"search", "--sync", "--onlyvisible", "--pid", QString::number(pid), "--name",
                     "QMV"})
                .split('\n');
        return windows.last();
    }

    void Start(QProcess& app, const QStringList& args) {
        app.setProcessEnvironment(env);
        app.start(QMV_BINARY_DIR "/bin/qmvwin", args);
        ASSERT_TRUE(app.waitForStarted());
    }

    void TearDown() override {
        xvfb.terminate();
        xvfb.waitForFinished();
    }
};

TEST_F(KillTest, TypingInAKilledProgramIsRestoredAtTheNextStart) {
    ASSERT_TRUE(tmp.isValid());
    if (!StartDisplay())
        GTEST_SKIP() << "needs Xvfb and xdotool";
    const QString file = tmp.filePath("logger.q27");
    ASSERT_TRUE(QFile::copy(QMV_SOURCE_DIR "/examples/logger.q27", file));
    const QString state = tmp.filePath("state");

    QProcess first;
    Start(first, {file});
    const QString window = Window(first.processId());
    ASSERT_FALSE(window.isEmpty());
    // The record list has the focus at start; Tab leads to the memo.
    Xdotool({"windowfocus", "--sync", window});
    Xdotool({"key", "--window", window, "Tab"});
    Xdotool({"type", "--delay", "10", Typed});
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(WaitFor([&] { return !RecordWith(state, Typed).isEmpty(); }, 10000));
    std::printf("last key to recovery record: %lld ms\n", static_cast<long long>(clock.elapsed()));
    const QString firstFolder = QFileInfo(RecordWith(state, Typed)).absolutePath();
    first.kill();
    ASSERT_TRUE(first.waitForFinished());

    // The next start asks; Enter takes the default answer, Yes: restore.
    QProcess second;
    Start(second, {});
    Xdotool({"key", "--window", Window(second.processId()), "Return"});
    // Restored, it is kept again by the second program, under the file's name, and the killed
    // program's folder is gone.
    EXPECT_TRUE(WaitFor(
        [&] {
            const QString kept = RecordWith(state, Typed);
            QFile f(kept);
            return !kept.isEmpty() && !kept.startsWith(firstFolder) && f.open(QIODevice::ReadOnly) &&
                   f.readAll().contains(("file " + file + "\n").toUtf8()) &&
                   !QFileInfo::exists(firstFolder);
        },
        20000));
    second.kill();
    second.waitForFinished();
}

} // namespace
