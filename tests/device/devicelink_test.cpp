// The link and command frame against the instrument simulator on a pseudo-terminal.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "device/devicelink.h"
#include "simulator.h"

namespace qmv {
namespace {

using test::Simulator;

using test::CountingUi;

struct Identified {
    FrameStatus status;
    int deviceType;
    qint64 ms;
};

Identified Identify(DeviceLink& link) {
    QElapsedTimer clock;
    clock.start();
    int type = -1;
    const FrameStatus status = link.RunFrame(RecvCapacityIdentify, [&] { type = link.DeviceType; });
    return {status, type, clock.elapsed()};
}

// The link's waits by their length, from now on.
std::map<int, int>& CountWaits(DeviceLink& link, std::map<int, int>& waits) {
    waits.clear();
    link.OnWait = [&waits](int ms) { ++waits[ms]; };
    return waits;
}

QByteArray Times(const QByteArray& bytes, int n) {
    return bytes.repeated(n);
}

TEST(DeviceIdentify, BothDeviceTypesSendOneTypeRequest) {
    const struct {
        const char* device;
        int type;
    } cases[] = {{"qmv27", DeviceQMV27}, {"plx01", DevicePLX01}};
    for (const auto& c : cases) {
        Simulator sim;
        ASSERT_TRUE(sim.Start({"--device", c.device}));
        DeviceLink link;
        CountingUi ui;
        link.SetUi(&ui);
        const Identified r = test::Conclusively(sim, [&] {
            ui = CountingUi();
            return Identify(link);
        });
        EXPECT_EQ(r.status, FrameStatus::Ran) << c.device;
        EXPECT_EQ(r.deviceType, c.type) << c.device;
        EXPECT_EQ(link.DeviceType, c.type);
        EXPECT_EQ(sim.Received(), QByteArray("TYPE\r\n")) << c.device;
        EXPECT_EQ(ui.begins, 1);
        EXPECT_EQ(ui.ends, 1);
        EXPECT_EQ(ui.prompts, 0);
        // The frame always ends with the port closed and the buffer gone.
        EXPECT_FALSE(link.Comm1.IsOpen());
        EXPECT_TRUE(link.RecvBuffer.empty());
        EXPECT_EQ(link.RecvCount, 0);
    }
}

TEST(DeviceIdentify, NoReplyGivesThreeTriesThenUnknown) {
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--silent", "TYPE"}));
    DeviceLink link;
    std::map<int, int> waits;
    CountWaits(link, waits);
    const Identified r = Identify(link);
    EXPECT_EQ(r.deviceType, DeviceUnknown);
    EXPECT_EQ(sim.Received(), Times("TYPE\r\n", 3));
    // Three waits of 0.8 s and no other, which take at least their time.
    EXPECT_EQ(waits, (std::map<int, int>{{ReplyWaitMs, 3}}));
    EXPECT_GE(r.ms, 3 * 800);
}

// What makes Conclusively run a test again: a reply the simulator sent after the program's wait
// had ended (a machine too busy for the simulator), never one in time that the program lost.
TEST(DeviceIdentify, OnlyAReplyLaterThanTheWaitMakesARunInconclusive) {
    Simulator late;
    ASSERT_TRUE(late.Start({"--reply-delay", "2000"}));
    DeviceLink link;
    {
        test::ProgramTraffic traffic;
        EXPECT_EQ(Identify(link).deviceType, DeviceQMV27); // the first reply, during the third wait
        const QString why = late.LateReply(traffic);
        EXPECT_TRUE(why.startsWith("the reply to TYPE #1 began")) << why.toStdString();
    }
    Simulator prompt;
    ASSERT_TRUE(prompt.Start());
    link.Comm1.OnReceive = [](TCustomCommX* sender, int) { sender->PurgeReceive(); };
    test::ProgramTraffic traffic;
    EXPECT_EQ(Identify(link).deviceType, DeviceUnknown);
    EXPECT_EQ(prompt.Received(), Times("TYPE\r\n", 3));
    EXPECT_EQ(prompt.LateReply(traffic).toStdString(), "");
}

TEST(DeviceIdentify, ReplyAfterOneSilentTryIsTaken) {
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--silent", "TYPE:1"}));
    DeviceLink link;
    EXPECT_EQ(test::Conclusively(sim, [&] { return Identify(link); }).deviceType, DeviceQMV27);
    EXPECT_EQ(sim.Received(), Times("TYPE\r\n", 2));
}

// Each fault gives DeviceUnknown after a single try.
class FaultyTypeReply : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(FaultyTypeReply, GivesUnknownAfterOneTry) {
    QStringList args;
    for (const std::string& a : GetParam())
        args << QString::fromStdString(a);
    Simulator sim;
    ASSERT_TRUE(sim.Start(args));
    DeviceLink link;
    const Identified r = test::Conclusively(sim, [&] { return Identify(link); });
    EXPECT_EQ(r.status, FrameStatus::Ran);
    EXPECT_EQ(r.deviceType, DeviceUnknown);
    EXPECT_EQ(sim.Received(), QByteArray("TYPE\r\n"));
}

INSTANTIATE_TEST_SUITE_P(DeviceIdentify, FaultyTypeReply,
                         ::testing::Values(std::vector<std::string>{"--length", "TYPE:14"},
                                           std::vector<std::string>{"--length", "TYPE:16"},
                                           std::vector<std::string>{"--bad-checksum", "TYPE"},
                                           std::vector<std::string>{"--lower-checksum", "TYPE"},
                                           std::vector<std::string>{"--id", "QMV28"},
                                           std::vector<std::string>{"--device", "plx01", "--id",
                                                                    "plx01"}));

TEST(DeviceIdentify, ReplyInTwoPiecesIsAssembled) {
    // The simulator holds the last 5 bytes until the program has taken in the first 10; they
    // then have the rest of the 800 ms reply wait to arrive.
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--split", "TYPE:10", "--split-hold"}));
    DeviceLink link;
    const TCommReceiveEvent take = link.Comm1.OnReceive;
    std::vector<int> counts;
    link.Comm1.OnReceive = [&](TCustomCommX* sender, int size) {
        take(sender, size);
        counts.push_back(link.RecvCount);
        if (link.RecvCount == 10)
            sim.Release();
    };
    EXPECT_EQ(test::Conclusively(sim,
                                 [&] {
                                     counts.clear();
                                     return Identify(link);
                                 })
                  .deviceType,
              DeviceQMV27);
    EXPECT_EQ(counts, (std::vector<int>{10, 15}));
    EXPECT_EQ(sim.Received(), QByteArray("TYPE\r\n"));
}

TEST(DeviceIdentify, UnpluggedLineEndsWithoutHangingAndClosesThePort) {
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--unplug-on", "TYPE"}));
    DeviceLink link;
    CountingUi ui;
    link.SetUi(&ui);
    std::map<int, int> waits;
    CountWaits(link, waits);
    const Identified r = Identify(link);
    EXPECT_EQ(r.status, FrameStatus::Ran);
    EXPECT_EQ(r.deviceType, DeviceUnknown);
    // No further try once the line is gone (the receive thread sees the hang-up at once; the
    // margin is the 800 ms of the first reply wait).
    EXPECT_LE(waits[ReplyWaitMs], 1);
    EXPECT_FALSE(link.Comm1.IsOpen());
    EXPECT_EQ(ui.ends, 1);
}

TEST(DeviceFrame, OpenFailureRunsNothing) {
    QTemporaryDir dir;
    qputenv("QMVWIN_SERIAL_DEVICE", dir.filePath(QStringLiteral("no-such-tty")).toLocal8Bit());
    DeviceLink link;
    CountingUi ui;
    link.SetUi(&ui);
    bool ran = false;
    EXPECT_EQ(link.RunFrame(RecvCapacityClear, [&] { ran = true; }), FrameStatus::OpenFailed);
    qunsetenv("QMVWIN_SERIAL_DEVICE");
    EXPECT_FALSE(ran);
    EXPECT_EQ(ui.begins, 0);
    EXPECT_EQ(ui.ends, 0);
}

TEST(DeviceFrame, NoBridgeAsksOnceAndEndsWhenCancelled) {
    if (!QDir(QString::fromLatin1(Cp210xDriverDir))
             .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
             .isEmpty())
        GTEST_SKIP() << "a CP210x bridge is plugged in";
    qunsetenv("QMVWIN_SERIAL_DEVICE");
    DeviceLink link;
    CountingUi ui;
    link.SetUi(&ui);
    bool ran = false;
    EXPECT_EQ(link.RunFrame(RecvCapacityClear, [&] { ran = true; }), FrameStatus::PortCancelled);
    EXPECT_EQ(ui.prompts, 1);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(link.DevicePort.isEmpty());
}

TEST(DeviceFrame, CommandExceptionPassesOnAfterCleanup) {
    Simulator sim;
    ASSERT_TRUE(sim.Start());
    DeviceLink link;
    CountingUi ui;
    link.SetUi(&ui);
    EXPECT_THROW(link.RunFrame(RecvCapacityClear, [] { throw std::runtime_error("boom"); }),
                 std::runtime_error);
    EXPECT_FALSE(link.Comm1.IsOpen());
    EXPECT_TRUE(link.RecvBuffer.empty());
    EXPECT_EQ(ui.begins, 1);
    EXPECT_EQ(ui.ends, 1);
    // The port can be opened again by the next command.
    EXPECT_EQ(test::Conclusively(sim, [&] { return Identify(link); }).deviceType, DeviceQMV27);
}

TEST(DeviceExchange, BytesBeyondTheCapacityAreDropped) {
    Simulator sim;
    ASSERT_TRUE(sim.Start());
    DeviceLink link;
    QByteArray got;
    bool replied = false;
    test::Conclusively(sim, [&] {
        return link.RunFrame(RecvCapacityClear, [&] {
            replied = link.Exchange("INFO\r\n", ReplyWaitMs); // a 97-byte reply into 20 bytes
            got = link.Received();
        });
    });
    EXPECT_TRUE(replied);
    EXPECT_EQ(got.size(), RecvCapacityClear);
    EXPECT_TRUE(got.startsWith("INFO:")) << got.toStdString();
    EXPECT_EQ(sim.Received(), QByteArray("TYPE\r\nINFO\r\n"));
}

TEST(DeviceExchange, LateRestOfAReplyIsWaitedFor) {
    // 60 bytes within the reply wait; the other 37 only once it is over, so they come during the
    // extra waits (600 ms for them to arrive).
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--split", "INFO:60", "--split-hold"}));
    DeviceLink link;
    int first = -1;
    bool whole = false;
    test::Conclusively(sim, [&] {
        return link.RunFrame(RecvCapacityClock, [&] {
            link.Exchange("INFO\r\n", ReplyWaitMs);
            first = link.RecvCount;
            sim.Release();
            whole = link.WaitForCount(97, 3, 200);
        });
    });
    EXPECT_EQ(first, 60);
    EXPECT_TRUE(whole);

    // A reply that stays one byte short is given up after the extra waits.
    Simulator shortSim;
    ASSERT_TRUE(shortSim.Start({"--length", "INFO:96"}));
    QElapsedTimer clock;
    qint64 waited = 0;
    link.RunFrame(RecvCapacityClock, [&] {
        link.Exchange("INFO\r\n", ReplyWaitMs);
        clock.start();
        whole = link.WaitForCount(97, 3, 200);
        waited = clock.elapsed();
    });
    EXPECT_FALSE(whole);
    EXPECT_GE(waited, 600);
}

TEST(DeviceExchange, FramedCommandAgreesWithTheInstrument) {
    EXPECT_EQ(FramedCommand("BBR", "07"), "BBR:67:07\r\n");
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--device", "plx01"}));
    DeviceLink link;
    QByteArray reply;
    test::Conclusively(sim, [&] {
        return link.RunFrame(RecvCapacityTiming, [&] {
            if (link.Exchange(FramedCommand("BBR", "07"), ReplyWaitBbrMs))
                reply = link.Received();
        });
    });
    EXPECT_EQ(reply, QByteArray("+\r\n"));
    EXPECT_EQ(sim.Received(), QByteArray("TYPE\r\nBBR:67:07\r\n"));
    EXPECT_TRUE(sim.Events().contains(QStringLiteral("timing set to 07")));
}

TEST(DeviceWait, ReturnsEarlyWhenTheApplicationQuits) {
    DeviceLink link;
    qint64 first = -1, later = -1;
    QTimer::singleShot(0, [&] {
        QElapsedTimer clock;
        clock.start();
        link.WaitMs(5000);
        first = clock.elapsed();
        clock.restart();
        link.WaitMs(5000); // after the quit every wait is skipped
        later = clock.elapsed();
    });
    QTimer::singleShot(100, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    // Both far below the 5 s asked for, with seconds to spare for a busy machine.
    EXPECT_GE(first, 50);
    EXPECT_LT(first, 2500);
    EXPECT_LT(later, 2500);
    EXPECT_TRUE(link.Terminating());
}

TEST(DeviceWait, WaitsWithoutSpinning) {
    DeviceLink link;
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer clock;
    clock.start();
    link.WaitMs(400);
    const qint64 wall = clock.elapsed();
    getrusage(RUSAGE_SELF, &after);
    const auto us = [](const timeval& t) { return t.tv_sec * 1000000LL + t.tv_usec; };
    const long long cpuUs =
        us(after.ru_utime) - us(before.ru_utime) + us(after.ru_stime) - us(before.ru_stime);
    EXPECT_GE(wall, 400);
    EXPECT_LT(cpuUs, 40000); // under a tenth of the wait
}

TEST(DeviceReceive, NothingIsAppendedWhenNothingCouldBeRead) {
    // A receive event on a closed port reads nothing: no zero bytes may appear in the buffer.
    DeviceLink link;
    link.AllocateRecvBuffer(20);
    link.Comm1Receive(&link.Comm1, 5);
    EXPECT_EQ(link.RecvCount, 0);
}

TEST(DeviceJudge, TypeReplies) {
    EXPECT_EQ(JudgeTypeReply("TYPE:5D:QMV27\r\n", 15), DeviceQMV27);
    EXPECT_EQ(JudgeTypeReply("TYPE:55:PLX01\r\n", 15), DevicePLX01);
    EXPECT_EQ(JudgeTypeReply("TYPE:5d:QMV27\r\n", 15), DeviceUnknown); // lower-case digit
    EXPECT_EQ(JudgeTypeReply("TYPE:5C:QMV27\r\n", 15), DeviceUnknown);
    EXPECT_EQ(JudgeTypeReply("TYPE:5D:QMV27\r\n", 14), DeviceUnknown);
    // Bytes 0 to 4, 7, 13 and 14 are not examined.
    EXPECT_EQ(JudgeTypeReply("xxxxx55yPLX01zz", 15), DevicePLX01);
}

TEST(QmvtoolIdentify, PrintsTypeAndNameWithItsExitStatus) {
    const QString tool = QStringLiteral(QMV_BINARY_DIR "/bin/qmvtool");
    const struct {
        QStringList simArgs;
        QByteArray out;
        int status;
    } cases[] = {{{}, "1 QMV-27\n", 0},
                 {{"--device", "plx01"}, "2 PLX01\n", 0},
                 {{"--id", "XYZ12"}, "0 none\n", 1}};
    for (const auto& c : cases) {
        Simulator sim;
        ASSERT_TRUE(sim.Start(c.simArgs));
        QProcess run;
        run.start(tool, {QStringLiteral("identify")});
        ASSERT_TRUE(run.waitForFinished(10000));
        EXPECT_EQ(run.readAllStandardOutput(), c.out);
        EXPECT_EQ(run.exitCode(), c.status);
    }
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QMVWIN_SERIAL_DEVICE"), QStringLiteral("/nonexistent/tty"));
    run.setProcessEnvironment(env);
    run.start(tool, {QStringLiteral("identify")});
    ASSERT_TRUE(run.waitForFinished(10000));
    EXPECT_EQ(run.exitCode(), 4);
}

} // namespace
} // namespace qmv
