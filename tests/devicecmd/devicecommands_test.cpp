// Clearing, the clock and the timing value on the link alone, against the instrument simulator.
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "data/history.h"
#include "data/profile.h"
#include "device/devicecommands.h"
#include "device/downloadhistory.h"
#include "tests/device/simulator.h"

namespace qmv {
namespace {

using test::Simulator;

using test::CountingUi;

QDateTime FixedClock() {
    return QDateTime(QDate(2026, 12, 7), QTime(14, 5, 31));
}

// When (seconds on the simulator's clock) each line the program sent began with prefix.
std::vector<double> SentAt(const Simulator& sim, const QByteArray& prefix) {
    std::vector<double> at;
    QFile f(sim.LogPath());
    if (!f.open(QIODevice::ReadOnly))
        return at;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() < 3 || parts[1] != "RX")
            continue;
        QByteArray bytes;
        for (int i = 2; i < parts.size(); ++i)
            bytes += QByteArray::fromHex(parts[i]);
        if (bytes.startsWith(prefix))
            at.push_back(parts[0].toDouble());
    }
    return at;
}

// --- Pieces over bytes ------------------------------------------------------------------------

TEST(ClockPayload, CopiesTheLoggerGroupsInOrderAroundTheStamp) {
    // Every byte of the reply different, so a wrong position shows.
    std::string reply(LoggerInfoBytes, '\0');
    for (int i = 0; i < LoggerInfoBytes; ++i)
        reply[i] = static_cast<char>(0x21 + i);
    auto at = [&](std::initializer_list<int> positions) {
        std::string s;
        for (int p : positions)
            s += reply[p];
        return s;
    };
    const std::string expected = at({8, 9, 10, 11, 12, 13, 14, 15, 16, 17}) + ",2612071405," +
                                 at({45, 46}) + "," + at({63, 64}) + "," + at({66, 67, 68, 69}) +
                                 "," + at({71}) + "," + at({73, 74, 75, 76}) + "," + at({78}) +
                                 "," + at({80, 81, 82, 83}) + "," + at({85}) + "," + at({87, 88}) +
                                 "," + at({90, 91}) + "," + at({93, 94});
    const std::string payload = LoggerClockPayload(reply.data(), ClockStamp(FixedClock()));
    EXPECT_EQ(payload, expected);
    EXPECT_EQ(payload.size(), static_cast<std::size_t>(LoggerClockPayloadBytes));
    EXPECT_EQ(FramedCommand("SET", payload).size(), 66u);
}

TEST(ClockPayload, StampAndChecks) {
    EXPECT_EQ(ClockStamp(FixedClock()), "2612071405");
    EXPECT_EQ(ClockStamp(QDateTime(QDate(2009, 1, 2), QTime(3, 4))), "0901020304");
    EXPECT_EQ(TimingCommand(7), "BBR:67:07\r\n");
    EXPECT_EQ(TimingCommand(0), "BBR:60:00\r\n");
    EXPECT_EQ(TimingCommand(60), "BBR:66:60\r\n");
    EXPECT_TRUE(TimingInRange(0));
    EXPECT_TRUE(TimingInRange(60));
    EXPECT_FALSE(TimingInRange(61));
    EXPECT_FALSE(TimingInRange(-1));
    // bytes 5 and 6 against bytes 8 to 20 of a PLX01 reply; lower-case digits do not count.
    EXPECT_TRUE(ReplyChecksumOk("INFO:8F:2612071405,07\r\n", 23, 8, 20));
    EXPECT_FALSE(ReplyChecksumOk("INFO:8f:2612071405,07\r\n", 23, 8, 20));
    EXPECT_FALSE(ReplyChecksumOk("INFO:8E:2612071405,07\r\n", 23, 8, 20));
    EXPECT_FALSE(ReplyChecksumOk("INFO:8F:2612071405,0", 20, 8, 20)); // too short to judge
    EXPECT_TRUE(Accepted("+", 1));
    EXPECT_FALSE(Accepted("-+", 2));
    EXPECT_FALSE(Accepted("+", 0));
}

// --- The clear that keeps the records ------------------------------------------------------

// The question before the erase may stay open while another instrument is plugged in: only the
// instrument that still holds what was kept may be erased.
TEST(ClearKeeps, OnlyTheInstrumentHoldingWhatWasKept) {
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--generate", "12", "--line-rate", "0"}));
    DeviceLink link;
    const KeepBeforeClear kept = DownloadBeforeClear(link, 0);
    ASSERT_TRUE(kept.ClearAllowed());
    EXPECT_TRUE(InstrumentUnchanged(link, kept, 0));
    ASSERT_TRUE(sim.Start({"--device", "plx01", "--generate", "7", "--line-rate", "0"}));
    EXPECT_FALSE(InstrumentUnchanged(link, kept, 0));
}

// --- The clock --------------------------------------------------------------------------------

TEST(SetClock, SecondTypeSendsTheStampAloneWithoutInfo) {
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--device", "plx01", "--clock", "1001010000"}));
    DeviceLink link;
    const auto r = test::Conclusively(sim, [&] { return RunSetClock(link, FixedClock); });
    EXPECT_EQ(r.frame, FrameStatus::Ran);
    EXPECT_EQ(r.outcome, ClockOutcome::Set);
    // "2612071405" adds up to 508, 0xFC modulo 256.
    EXPECT_EQ(sim.Received(), QByteArray("TYPE\r\nSET:FC:2612071405\r\n"));
    EXPECT_TRUE(sim.Events().contains(QStringLiteral("clock set to 2612071405")));
}

TEST(SetClock, LoggerSendsItsSettingsBackWithTheStamp) {
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--clock", "1001010000"}));
    DeviceLink link;
    const auto r = test::Conclusively(sim, [&] { return RunSetClock(link, FixedClock); });
    EXPECT_EQ(r.outcome, ClockOutcome::Set);
    // The simulator's logger reports these settings; they come back unchanged.
    const QByteArray payload = "QMV2700417,2612071405,03,10,0600,1,0030,0,0100,2,01,00,12";
    EXPECT_EQ(sim.Received(), "TYPE\r\nINFO\r\nSET:" +
                                  QByteArray::fromStdString(ChecksumText(payload.toStdString())) +
                                  ":" + payload + "\r\n");
    EXPECT_TRUE(sim.Events().contains(QStringLiteral("clock set to 2612071405")));
}

struct FaultyInfo {
    const char* name;
    std::vector<const char*> args;
    ClockOutcome outcome;
};

void PrintTo(const FaultyInfo& info, std::ostream* out) {
    *out << info.name;
}

class SetClockFault : public ::testing::TestWithParam<FaultyInfo> {};

TEST_P(SetClockFault, SendsNoSet) {
    QStringList args;
    for (const char* a : GetParam().args)
        args << a;
    Simulator sim;
    ASSERT_TRUE(sim.Start(args));
    DeviceLink link;
    QElapsedTimer clock;
    clock.start();
    const auto r = test::Conclusively(sim, [&] { return RunSetClock(link, FixedClock); });
    EXPECT_EQ(r.outcome, GetParam().outcome);
    EXPECT_FALSE(sim.Received().contains("SET:"));
    if (GetParam().outcome == ClockOutcome::InfoShort) { // the reply wait, then three of 200 ms
        EXPECT_GE(clock.elapsed(), 800 + 800 + 600);
    }
}

INSTANTIATE_TEST_SUITE_P(
    SetClock, SetClockFault,
    ::testing::Values(
        FaultyInfo{"Refused", {"--refuse", "INFO"}, ClockOutcome::InfoRefused},
        FaultyInfo{"BadChecksum", {"--bad-checksum", "INFO"}, ClockOutcome::InfoBadChecksum},
        FaultyInfo{
            "LowerCaseChecksum", {"--lower-checksum", "INFO"}, ClockOutcome::InfoBadChecksum},
        FaultyInfo{"StuckAt96", {"--length", "INFO:96"}, ClockOutcome::InfoShort},
        FaultyInfo{"Silent", {"--silent", "INFO"}, ClockOutcome::NoReply},
        FaultyInfo{"NotIdentified", {"--id", "QMV99"}, ClockOutcome::NotIdentified}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The download history -------------------------------------------------------------------

TEST(DownloadHistory, KeepsWhatTheDeviceSentInItsOrderAndNothingOfAFailure) {
    QTemporaryDir home;
    const QByteArray old = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    const QString folder = home.filePath(QStringLiteral("qmvwin/history"));
    InterfaceTexts().Load(QMV_SOURCE_DIR "/lang/en/QMVLanguage.Lib");
    const struct {
        QStringList args;
        int sensor;
        const char* model; // empty: nothing kept
    } cases[] = {
        {{"--generate", "30"}, 0, "QMV-27"},
        {{"--device", "plx01", "--generate", "12"}, 2, "GZN-4P-MIN"},
        {{"--empty"}, 0, ""},
        {{"--bad-crc-always", "1"}, 0, ""},
    };
    for (const auto& c : cases) {
        Simulator sim;
        ASSERT_TRUE(sim.Start(c.args));
        DeviceLink link;
        ASSERT_EQ(link.FindPort(), FindPortFound);
        RecordDownload download(link);
        const int result =
            test::Conclusively(sim, [&] { return download.DownloadRecords(c.sensor); });
        const KeptDownload kept = KeepDownload(download, result, c.sensor);
        if (!*c.model) {
            EXPECT_EQ(kept.status, KeepStatus::Nothing) << result;
            EXPECT_EQ(ListHistory(folder.toStdString()).size(), 2u); // the two above
            continue;
        }
        ASSERT_EQ(kept.status, KeepStatus::Kept) << kept.detail;
        EXPECT_TRUE(QString::fromStdString(kept.path).startsWith(folder + "/20"));
        DocumentData doc;
        ASSERT_EQ(LoadDataFile(kept.path, doc).status, LoadStatus::Ok);
        EXPECT_EQ(HistoryModelName(doc.Model), c.model);
        ASSERT_EQ(doc.Records.size(), download.DownloadTable.size()); // all, in the device's order
        for (std::size_t i = 0; i < doc.Records.size(); ++i)
            EXPECT_EQ(doc.Records[i].DataNo, download.DownloadTable[i].DataNo);
        ASSERT_EQ(doc.Memo.size(), 1u);
        EXPECT_EQ(doc.Memo[0].rfind("Downloaded from the device on 20", 0), 0u) << doc.Memo[0];
        EXPECT_NE(doc.Memo[0].find(": " + std::to_string(doc.Records.size()) + " records."),
                  std::string::npos);
    }
    qputenv("XDG_DATA_HOME", old);
}

// --- The timing value -------------------------------------------------------------------------

TEST(Timing, ReadsTheTwoCharactersOfTheSecondType) {
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--device", "plx01", "--timing", "42"}));
    DeviceLink link;
    const TimingReadResult r = test::Conclusively(sim, [&] { return RunReadTiming(link); });
    EXPECT_EQ(r.outcome, TimingReadOutcome::Read);
    EXPECT_EQ(r.value, "42");
    EXPECT_EQ(sim.Received(), QByteArray("TYPE\r\nINFO\r\n"));
}

TEST(Timing, ReplyGrowingTo23IsUsedOneStuckAt22IsNot) {
    Simulator grows;
    // 20 bytes within the reply wait; the last 3 are let go when the first extra wait begins, and
    // have the extra waits' 600 ms to arrive.
    ASSERT_TRUE(
        grows.Start({"--device", "plx01", "--timing", "33", "--split", "INFO:20", "--split-hold"}));
    DeviceLink link;
    int extraWaits = 0;
    link.OnWait = [&](int ms) {
        if (ms == InfoExtraWaitMs && link.RecvCount == 20 && extraWaits++ == 0)
            grows.Release();
    };
    TimingReadResult r = test::Conclusively(grows, [&] {
        extraWaits = 0;
        return RunReadTiming(link);
    });
    link.OnWait = nullptr;
    EXPECT_EQ(r.outcome, TimingReadOutcome::Read);
    EXPECT_EQ(r.value, "33");
    EXPECT_GE(extraWaits, 1);

    Simulator stuck;
    ASSERT_TRUE(stuck.Start({"--device", "plx01", "--length", "INFO:22"}));
    r = test::Conclusively(stuck, [&] { return RunReadTiming(link); });
    EXPECT_EQ(r.outcome, TimingReadOutcome::Short);
    EXPECT_TRUE(r.value.empty());
    EXPECT_EQ(NoticeOf(r).key, std::string("MsgSetErr"));
}

TEST(Timing, FaultyReadings) {
    const struct {
        QStringList args;
        TimingReadOutcome outcome;
        const char* key;
    } cases[] = {
        {{"--device", "plx01", "--refuse", "INFO"}, TimingReadOutcome::Refused, "MsgLoadErr"},
        {{"--device", "plx01", "--bad-checksum", "INFO"},
         TimingReadOutcome::BadChecksum,
         "MsgLoadErr"},
        {{"--device", "qmv27"}, TimingReadOutcome::NotPlx, "MsgPLXSet"},
    };
    for (const auto& c : cases) {
        Simulator sim;
        ASSERT_TRUE(sim.Start(c.args));
        DeviceLink link;
        const TimingReadResult r = test::Conclusively(sim, [&] { return RunReadTiming(link); });
        EXPECT_EQ(r.outcome, c.outcome) << c.args.join(' ').toStdString();
        EXPECT_EQ(NoticeOf(r).key, std::string(c.key));
        if (c.outcome == TimingReadOutcome::NotPlx) {
            EXPECT_EQ(sim.Received(), QByteArray("TYPE\r\n"));
        }
    }
}

TEST(Timing, WritingSevenSendsTwoDigitsWithTheirChecksum) {
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--device", "plx01"}));
    DeviceLink link;
    const auto r = test::Conclusively(sim, [&] { return RunWriteTiming(link, 7); });
    EXPECT_EQ(r.outcome, TimingWriteOutcome::Written);
    // '0' + '7' = 103 = 0x67.
    EXPECT_EQ(sim.Received(), QByteArray("TYPE\r\nBBR:67:07\r\n"));
    EXPECT_TRUE(sim.Events().contains(QStringLiteral("timing set to 07")));

    Simulator logger;
    ASSERT_TRUE(logger.Start());
    EXPECT_EQ(test::Conclusively(logger, [&] { return RunWriteTiming(link, 7); }).outcome,
              TimingWriteOutcome::NotPlx);
    EXPECT_EQ(logger.Received(), QByteArray("TYPE\r\n"));

    Simulator refusing;
    ASSERT_TRUE(refusing.Start({"--device", "plx01", "--refuse", "BBR"}));
    EXPECT_EQ(test::Conclusively(refusing, [&] { return RunWriteTiming(link, 7); }).outcome,
              TimingWriteOutcome::Refused);
}

TEST(Timing, OutOfRangeOpensNothing) {
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--device", "plx01"}));
    DeviceLink link;
    CountingUi ui;
    link.SetUi(&ui);
    for (int value : {61, -1}) {
        const auto r = RunWriteTiming(link, value);
        EXPECT_EQ(r.outcome, TimingWriteOutcome::OutOfRange);
        EXPECT_EQ(NoticeOf(r).key, std::string("MsgWriErr"));
    }
    EXPECT_EQ(ui.begins, 0);
    EXPECT_TRUE(link.DevicePort.isEmpty()); // not even searched for
    EXPECT_FALSE(link.Comm1.IsOpen());
    EXPECT_TRUE(sim.Received().isEmpty());
}

TEST(Timing, ReplyWaitAfterBbrIsHalfASecond) {
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--device", "plx01", "--silent", "BBR"}));
    DeviceLink link;
    std::vector<int> waits;
    link.OnWait = [&](int ms) { waits.push_back(ms); };
    const auto r = test::Conclusively(sim, [&] {
        waits.clear();
        return RunWriteTiming(link, 7);
    });
    EXPECT_EQ(r.outcome, TimingWriteOutcome::NoReply);
    EXPECT_EQ(NoticeOf(r).key, std::string("MsgComErr1"));
    EXPECT_EQ(NoticeOf(r).key2, std::string("MsgComErr2"));
    // The waits asked for: the TYPE reply's, then three of half a second (the other commands
    // wait 800 ms) ...
    EXPECT_EQ(waits,
              (std::vector<int>{ReplyWaitMs, ReplyWaitBbrMs, ReplyWaitBbrMs, ReplyWaitBbrMs}));
    // ... which really pass between the tries.
    const std::vector<double> at = SentAt(sim, "BBR:");
    ASSERT_EQ(at.size(), 3u);
    for (std::size_t i = 1; i < at.size(); ++i)
        EXPECT_GE((at[i] - at[i - 1]) * 1000, 480);
}

} // namespace
} // namespace qmv
