// The real program, on a virtual X display, typed into by xdotool, killed and started again.
#include <QDateTime>
#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(Kill, TypingInAKilledProgramIsRestoredAtTheNextStart) {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
        QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "needs Xvfb and xdotool";
    QTemporaryDir tmp;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    QProcess xvfb; // tells the display it found on fds[1]
    xvfb.start("Xvfb", {"-displayfd", QString::number(fds[1]), "-nolisten", "tcp"});
    ::close(fds[1]);
    char display[16] = {};
    ASSERT_GT(::read(fds[0], display, 15), 0); // end of file when Xvfb could not start
    ::close(fds[0]);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", ":" + QString::fromLatin1(display).trimmed());
    env.insert("QT_QPA_PLATFORM", "xcb");
    for (const char* home : {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"})
        env.insert(home, tmp.filePath(home));
    const auto run = [&](QProcess& p, const QString& program, const QStringList& args) {
        p.setProcessEnvironment(env);
        p.start(program, args);
        p.waitForStarted();
    };
    const auto xdotool = [&](const QStringList& args) {
        QProcess p;
        run(p, "xdotool", args);
        p.waitForFinished(20000);
        return QString::fromLatin1(p.readAllStandardOutput()).trimmed().split('\n').last();
    };
    const auto window = [&](const QProcess& app) { // waits for the last one it shows
        return xdotool({"search", "--sync", "--onlyvisible", "--pid",
                        QString::number(app.processId()), "--name", "QMV"});
    };
    const QString file = tmp.filePath("logger.q27"), state = tmp.filePath("XDG_STATE_HOME");
    ASSERT_TRUE(QFile::copy(QMV_SOURCE_DIR "/examples/logger.q27", file));
    const auto kept = [&] { // the records that hold the typing, under the file's name
        QStringList found;
        for (QDirIterator it(state, {"*.recover"}, QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            QFile f(it.next());
            if (f.open(QIODevice::ReadOnly) && f.readAll().contains("typed before the kill") &&
                f.seek(0) && f.readAll().contains(("file " + file + "\n").toUtf8()))
                found << f.fileName();
        }
        return found;
    };
    QProcess first, second;
    run(first, QMV_BINARY_DIR "/bin/qmvwin", {file});
    const QString w = window(first);
    xdotool({"windowfocus", "--sync", w});
    xdotool({"key", "--window", w, "Tab"}); // from the record list to the memo
    xdotool({"type", "--delay", "10", "typed before the kill"});
    const qint64 typed = QDateTime::currentMSecsSinceEpoch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !kept().isEmpty(); }, 10000));
    std::printf("last key to record: %lld ms\n", QDateTime::currentMSecsSinceEpoch() - typed);
    const QString killed = kept()[0];
    first.kill();
    first.waitForFinished();

    // Enter takes the default answer, Yes: the second program restores the document and keeps
    // it itself, and the killed program's record is gone.
    run(second, QMV_BINARY_DIR "/bin/qmvwin", {});
    xdotool({"key", "--window", window(second), "Return"});
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return kept().size() == 1 && !QFile::exists(killed); }, 20000));
    second.kill();
    second.waitForFinished();
}

} // namespace
