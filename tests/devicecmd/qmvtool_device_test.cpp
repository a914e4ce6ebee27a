// qmvtool clear, set-clock and timing: what they send, print and exit with.
#include <QProcess>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "tests/device/simulator.h"

namespace qmv {
namespace {

using test::Simulator;

struct ToolRun {
    int status = -1;
    QByteArray out, err;
};

ToolRun Tool(const QStringList& args, const QByteArray& input = {}) {
    QProcess run;
    run.start(QStringLiteral(QMV_BINARY_DIR "/bin/qmvtool"), args);
    ToolRun r;
    if (!run.waitForStarted(5000))
        return r;
    run.write(input);
    run.closeWriteChannel();
    if (!run.waitForFinished(15000))
        return r;
    r.status = run.exitCode();
    r.out = run.readAllStandardOutput();
    r.err = run.readAllStandardError();
    return r;
}

TEST(QmvtoolClear, KeepsTheRecordsThenAsksUnlessYes) {
    QTemporaryDir home;
    const QByteArray old = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    Simulator sim;
    ASSERT_TRUE(sim.Start());
    ToolRun r = Tool({"clear"}, "n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(sim.Received().contains("CLR"));
    r = Tool({"clear"}); // no answer at all declines too
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(sim.Received().contains("CLR"));

    r = Tool({"clear"}, "y\n");
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("The records were first kept in the download history: " +
                                 home.filePath("qmvwin/history/20").toUtf8()));
    EXPECT_TRUE(r.out.endsWith(".q27\nThe device memory has been cleared.\n"));
    // The instrument is empty now: cleared again without a file; three were kept.
    EXPECT_EQ(Tool({"clear", "--yes"}).out, "The device memory has been cleared.\n");
    EXPECT_EQ(Tool({"history"}).out.count("\tQMV-27\t20\n"), 3);
    EXPECT_EQ(Tool({"clear", "--now"}).status, 2);

    // A history that cannot be written: nothing is erased.
    sim.Stop();
    ASSERT_TRUE(sim.Start());
    qputenv("XDG_DATA_HOME", QMV_BINARY_DIR "/bin/qmvsim"); // a file: no folder can be made there
    r = Tool({"clear", "--yes"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("Nothing was erased from the device.")) << r.err.toStdString();
    EXPECT_FALSE(sim.Received().contains("CLR"));
    qputenv("XDG_DATA_HOME", old);
}

TEST(QmvtoolClear, FailuresExitNonZero) {
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--refuse", "CLR"}));
    ToolRun r = Tool({"clear", "--yes"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("The device did not clear its memory.")) << r.err.toStdString();
    sim.Stop();

    qputenv("QMVWIN_SERIAL_DEVICE", "/nonexistent/tty");
    r = Tool({"clear", "--yes"});
    qunsetenv("QMVWIN_SERIAL_DEVICE");
    EXPECT_EQ(r.status, 4);

    // A line another program holds: why, who, and a status of its own.
    ASSERT_TRUE(sim.Start());
    const int held = ::open(sim.Path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    r = Tool({"clear", "--yes"});
    ::close(held);
    EXPECT_EQ(r.status, 8);
    EXPECT_TRUE(r.err.contains("qmvtool clear: The port is in use by another program."))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("qmvtool clear: Program using the port: ")) << r.err.toStdString();
    EXPECT_TRUE(sim.Received().isEmpty());
}

TEST(QmvtoolSetClock, BothTypes) {
    for (const char* device : {"qmv27", "plx01"}) {
        Simulator sim;
        ASSERT_TRUE(sim.Start({"--device", device}));
        const ToolRun r = Tool({"set-clock", "--yes"});
        EXPECT_EQ(r.status, 0) << device << r.err.toStdString();
        EXPECT_EQ(r.out, "The device clock has been set.\n");
        EXPECT_TRUE(sim.Received().contains("SET:"));
    }
}

TEST(QmvtoolSetClock, ShortInformationFails) {
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--length", "INFO:96"}));
    const ToolRun r = Tool({"set-clock"}, "yes\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("The device did not accept the setting.")) << r.err.toStdString();
    EXPECT_FALSE(sim.Received().contains("SET:"));
}

TEST(QmvtoolTiming, ReadsAndWrites) {
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--device", "plx01", "--timing", "42"}));
    ToolRun r = Tool({"timing"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "42\n");

    r = Tool({"timing", "7"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "The timing value has been set.\n");
    EXPECT_TRUE(sim.Received().endsWith("BBR:67:07\r\n"));
    EXPECT_EQ(Tool({"timing"}).out, "07\n"); // the device kept it
}

TEST(QmvtoolTiming, RefusesOutOfRangeBeforeAnyPortAndFailsOnALogger) {
    Simulator sim;
    ASSERT_TRUE(sim.Start());
    EXPECT_EQ(Tool({"timing", "61"}).status, 2);
    EXPECT_EQ(Tool({"timing", "seven"}).status, 2);
    EXPECT_TRUE(sim.Received().isEmpty()); // nothing sent for either

    const ToolRun r = Tool({"timing"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("does not have this setting")) << r.err.toStdString();
}

} // namespace
} // namespace qmv
