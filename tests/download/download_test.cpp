// The download exchange against the instrument simulator on a pseudo-terminal: what the program
// sends, what it assembles and decodes, and how each fault of the transfer ends.
#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "device/download.h"
#include "device/recorddecode.h"
#include "protocol.h"
#include "tests/device/simulator.h"

namespace qmv {
namespace {

using test::Simulator;

const QByteArray Type = "TYPE\r\n";
const QByteArray Get = "GET\r\nC";
const QByteArray Ack(1, '\x06');
const QByteArray Nak(1, '\x15');

// The payloads of the frames the simulator sends for data, in order.
std::string Payloads(const std::vector<std::string>& frames) {
    std::string out;
    for (const std::string& f : frames)
        out += f.substr(3, f.size() - 5);
    return out;
}

std::vector<recReadDataSeg> Decoded(const std::string& bytes, int deviceType, int sensorIndex) {
    std::vector<recReadDataSeg> out;
    EXPECT_EQ(DecodeRecords(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                            deviceType, sensorIndex, out),
              DecodeStatus::Ok);
    return out;
}

std::string Assembled(const RecordDownload& d) {
    return std::string(d.Assembled.begin(), d.Assembled.end());
}

#define EXPECT_SENT(sim, expected) EXPECT_EQ((sim).Received(), expected)

class DownloadExchange : public ::testing::Test {
protected:
    // Starts the simulator with args and runs one download against it (again when the run was
    // inconclusive, see Conclusively: the request wait is 300 ms).
    int Run(const QStringList& args, int sensorIndex = 0) {
        if (!sim.Start(args)) {
            ADD_FAILURE() << "simulator did not start";
            return -1;
        }
        const std::vector<recReadDataSeg> before = download.DownloadTable;
        return test::Conclusively(sim, [&] {
            download.DownloadTable = before;
            EXPECT_EQ(link.FindPort(), FindPortFound);
            download.KeepAssembled = true;
            waits.clear();
            link.OnWait = [this](int ms) { ++waits[ms]; };
            QElapsedTimer clock;
            clock.start();
            const int result = download.DownloadRecords(sensorIndex);
            elapsedMs = clock.elapsed();
            // However it ended, the port is closed and the buffers are gone.
            EXPECT_FALSE(link.Comm1.IsOpen());
            EXPECT_TRUE(link.RecvBuffer.empty());
            return result;
        });
    }

    // A stale table from an earlier device, which a failed download must not leave behind.
    void Stale() {
        download.DownloadTable.assign(3,
                                      recReadDataSeg{"00001", "0000", "0000", "0000", "050", "9",
                                                     "2010/01/01 00:00", "9", "9", "9", "9", ""});
    }

    Simulator sim;
    DeviceLink link;
    RecordDownload download{link};
    qint64 elapsedMs = 0;
    std::map<int, int> waits; // the download's waits by their length
};

TEST_F(DownloadExchange, FullLoggerDownloadIn1024ByteBlocks) {
    const std::string records = qmvsim::GenerateLoggerRecords(250);
    const auto frames =
        qmvsim::BuildBlocks(records + qmvsim::LoggerEndMarker(), qmvsim::BlockMode::Large);
    ASSERT_EQ(frames.size(), 9u);
    ASSERT_EQ(Run({"--generate", "250"}), DownloadOk);
    EXPECT_EQ(download.DeviceType, DeviceQMV27);
    EXPECT_EQ(download.DownloadCount(), 250);
    EXPECT_EQ(download.DownloadTable, Decoded(records, DeviceQMV27, 0));
    EXPECT_EQ(download.DownloadTable.front().DataNo, "00001");
    EXPECT_EQ(download.DownloadTable.back().DataNo, "00250");
    EXPECT_EQ(download.AssembledCount, 9u * 1024u);
    EXPECT_EQ(Assembled(download), Payloads(frames));
    EXPECT_EQ(download.NaksSent, 0);
    // One ACK per block and one for the EOT.
    EXPECT_SENT(sim, Type + Get + Ack.repeated(10));
}

TEST_F(DownloadExchange, SecondTypeDownloadOnTheMinRange) {
    const std::string records = qmvsim::GeneratePlxRecords(30);
    ASSERT_EQ(Run({"--device", "plx01", "--generate", "30", "--line-rate", "0"}, 2), DownloadOk);
    EXPECT_EQ(download.DeviceType, DevicePLX01);
    ASSERT_EQ(download.DownloadCount(), 30);
    EXPECT_EQ(download.DownloadTable, Decoded(records, DevicePLX01, 2));
    // The MIN range reads 40 above the device's own level.
    const std::vector<recReadDataSeg> max = Decoded(records, DevicePLX01, 0);
    for (std::size_t i = 0; i < max.size(); ++i)
        EXPECT_EQ(StrToInt(download.DownloadTable[i].MinDb), StrToInt(max[i].MinDb) + 40);
    EXPECT_EQ(download.DownloadTable[29].DataNo, "00030");
    EXPECT_EQ(download.DownloadTable[0].Flag, "9");
    EXPECT_SENT(sim, Type + Get + Ack + Ack);
}

TEST_F(DownloadExchange, EmptyDeviceGivesOneAndEmptiesTheTable) {
    Stale();
    EXPECT_EQ(Run({"--empty", "--line-rate", "0"}), DownloadEmpty);
    EXPECT_EQ(download.DownloadCount(), 0);
    EXPECT_SENT(sim, Type + Get + Ack + Ack);

    // An EOT right after the request brings nothing either.
    Stale();
    EXPECT_EQ(Run({"--eot-only", "--line-rate", "0"}), DownloadEmpty);
    EXPECT_EQ(download.DownloadCount(), 0);
    EXPECT_EQ(download.AssembledCount, 0u);
    EXPECT_SENT(sim, Type + Get + Ack);
}

TEST_F(DownloadExchange, AFirstRecordStartingWithZeroBytesIsARecord) {
    // Device words of 0 and a level whose low byte is 0 (256): the first block's payload bytes 1
    // to 7 are zero, as in the empty device's block, yet the device holds three records.
    std::string raw;
    for (int i = 0; i < 3; ++i) {
        qmvsim::LoggerRecord r;
        r.dataNo = static_cast<std::uint8_t>(i + 1);
        r.level = 256;
        r.seconds = 1234567890 + 600 * i;
        raw += qmvsim::EncodeLoggerRecord(r);
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("first.raw"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(raw.data(), static_cast<qint64>(raw.size()));
    out.close();
    ASSERT_EQ(Run({"--raw", file, "--block-size", "128", "--line-rate", "0"}), DownloadOk);
    ASSERT_EQ(download.DownloadCount(), 3);
    EXPECT_EQ(download.DownloadTable, Decoded(raw, DeviceQMV27, 0));
    EXPECT_EQ(download.DownloadTable[0].Raw1, "0000");
}

TEST_F(DownloadExchange, OneBadCrcIsAnsweredWithNakAndTheRepeatIsAccepted) {
    const std::string records = qmvsim::GenerateLoggerRecords(100);
    const auto frames =
        qmvsim::BuildBlocks(records + qmvsim::LoggerEndMarker(), qmvsim::BlockMode::Large);
    ASSERT_EQ(frames.size(), 4u);
    ASSERT_EQ(Run({"--generate", "100", "--bad-crc", "2", "--line-rate", "0"}), DownloadOk);
    EXPECT_EQ(download.NaksSent, 1);
    EXPECT_EQ(download.DownloadTable, Decoded(records, DeviceQMV27, 0));
    EXPECT_EQ(Assembled(download), Payloads(frames));
    EXPECT_SENT(sim, Type + Get + Ack + Nak + Ack + Ack + Ack + Ack);
}

TEST_F(DownloadExchange, SixBadCopiesOfABlockGiveFour) {
    Stale();
    EXPECT_EQ(Run({"--generate", "20", "--bad-crc-always", "1", "--line-rate", "0"}),
              DownloadNoAnswer);
    EXPECT_EQ(download.NaksSent, 5);
    EXPECT_EQ(download.AssembledCount, 0u);
    EXPECT_EQ(download.DownloadCount(), 0);
    EXPECT_SENT(sim, Type + Get + Nak.repeated(5));

    // Five bad copies and a good sixth still make it.
    EXPECT_EQ(Run({"--generate", "20", "--bad-crc", "1:5", "--line-rate", "0"}), DownloadOk);
    EXPECT_EQ(download.DownloadCount(), 20);
    EXPECT_SENT(sim, Type + Get + Nak.repeated(5) + Ack + Ack);
}

TEST_F(DownloadExchange, ABlockSentAgainAfterALostAckIsAcknowledgedAndNotAppended) {
    const std::string records = qmvsim::GenerateLoggerRecords(100);
    const auto frames =
        qmvsim::BuildBlocks(records + qmvsim::LoggerEndMarker(), qmvsim::BlockMode::Large);
    ASSERT_EQ(Run({"--generate", "100", "--repeat-block", "2", "--line-rate", "0"}), DownloadOk);
    EXPECT_EQ(download.DownloadTable, Decoded(records, DeviceQMV27, 0));
    EXPECT_EQ(download.BlocksAccepted, 4);
    EXPECT_EQ(download.Duplicates, 1);
    EXPECT_EQ(Assembled(download), Payloads(frames));
    // The repeat is acknowledged like any block, so that the device goes on.
    EXPECT_SENT(sim, Type + Get + Ack.repeated(6));
}

TEST_F(DownloadExchange, ABlockNumberUsedAgainForOtherDataGivesFourUnacknowledged) {
    Stale();
    EXPECT_EQ(Run({"--generate", "100", "--reuse-number", "3", "--line-rate", "0"}),
              DownloadNoAnswer);
    EXPECT_EQ(download.BlocksAccepted, 2);
    EXPECT_EQ(download.DownloadCount(), 0);
    EXPECT_SENT(sim, Type + Get + Ack + Ack);
}

TEST_F(DownloadExchange, NoAnswerToTheRequestGivesFourAfterFiveRequests) {
    Stale();
    EXPECT_EQ(Run({"--silent", "GET", "--line-rate", "0"}), DownloadNoAnswer);
    EXPECT_EQ(download.Requests, 5);
    EXPECT_EQ(download.DeviceType, DeviceQMV27);
    EXPECT_EQ(download.DownloadCount(), 0);
    EXPECT_SENT(sim, Type + Get.repeated(5));
    EXPECT_GE(elapsedMs, 800 + 5 * RequestWaitMs);

    // An answer to the third request is taken.
    EXPECT_EQ(Run({"--silent", "GET:2", "--generate", "5", "--line-rate", "0"}), DownloadOk);
    EXPECT_EQ(download.Requests, 3);
    EXPECT_EQ(download.DownloadCount(), 5);
    EXPECT_SENT(sim, Type + Get.repeated(3) + Ack + Ack);
}

TEST_F(DownloadExchange, ABlockThatStopsHalfWayGivesThree) {
    Stale();
    EXPECT_EQ(Run({"--generate", "100", "--stall-block", "2", "--line-rate", "0"}),
              DownloadBlockLate);
    EXPECT_EQ(download.BlocksAccepted, 1);
    EXPECT_EQ(download.DownloadCount(), 0);
    EXPECT_SENT(sim, Type + Get + Ack);
    EXPECT_GE(elapsedMs, 800 + 5 * BlockWaitMs);
}

TEST_F(DownloadExchange, SilenceAfterAnAckGivesFour) {
    EXPECT_EQ(Run({"--generate", "100", "--silent-after-ack", "1", "--line-rate", "0"}),
              DownloadNoAnswer);
    EXPECT_EQ(download.BlocksAccepted, 1);
    EXPECT_SENT(sim, Type + Get + Ack);
    EXPECT_GE(elapsedMs, 800 + 5 * NextBlockWaitMs);
}

TEST_F(DownloadExchange, UnpluggingMidTransferEndsWithAnErrorAndThePortClosed) {
    // It gives up as soon as it sees the line lost instead of waiting out every retry: fewer
    // waits than the tries. (The hang-up is seen by the receive thread within a millisecond or
    // so; the margin is the waits left, 400 ms and more.)
    // Half a block, then the line is gone: the block cannot become whole.
    Stale();
    // Whether the half block was taken in before the hang-up was seen decides between "block
    // not whole" and "next block did not begin"; both are errors.
    int result = Run({"--generate", "100", "--unplug-block", "2:500", "--line-rate", "0"});
    EXPECT_TRUE(result == DownloadBlockLate || result == DownloadNoAnswer) << result;
    EXPECT_EQ(download.BlocksAccepted, 1);
    EXPECT_EQ(download.DownloadCount(), 0);
    EXPECT_LT(waits[BlockWaitMs], DownloadTries);
    EXPECT_LT(waits[NextBlockWaitMs], 1 + DownloadTries);

    // A whole block, then the line is gone: nothing can follow the ACK.
    result = Run({"--generate", "100", "--unplug-block", "2", "--line-rate", "0"});
    EXPECT_TRUE(result == DownloadBlockLate || result == DownloadNoAnswer) << result;
    EXPECT_LE(download.BlocksAccepted, 2);
    EXPECT_EQ(download.DownloadCount(), 0);
    EXPECT_LT(waits[BlockWaitMs], DownloadTries);
    EXPECT_LT(waits[NextBlockWaitMs], 2 + DownloadTries);
}

TEST_F(DownloadExchange, MoreThan250RecordsGivesThree) {
    Stale();
    EXPECT_EQ(Run({"--generate", "251", "--line-rate", "0"}), DownloadBlockLate);
    EXPECT_EQ(download.DownloadCount(), 0);
    EXPECT_FALSE(download.Overflow);
}

TEST(DownloadOverflow, MoreThanTheAssemblyBufferGivesThreeWithoutWritingPastIt) {
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--generate", "200", "--line-rate", "0"}));
    DeviceLink link;
    ASSERT_EQ(link.FindPort(), FindPortFound);
    // Four 1024-byte blocks fit; the fifth of seven does not.
    RecordDownload download(link, 4096);
    download.KeepAssembled = true;
    EXPECT_EQ(download.DownloadRecords(0), DownloadBlockLate);
    EXPECT_TRUE(download.Overflow);
    EXPECT_EQ(download.AssembledCount, 4096u);
    EXPECT_EQ(download.BlocksAccepted, 4);
    EXPECT_EQ(download.DownloadCount(), 0);
    EXPECT_FALSE(link.Comm1.IsOpen());
    // The refused block gets no ACK.
    EXPECT_SENT(sim, Type + Get + Ack.repeated(4));
}

TEST(DownloadOpen, NoPortOrUnknownDeviceGivesTwo) {
    DeviceLink link;
    RecordDownload download(link);
    download.DeviceType = DevicePLX01;
    link.DevicePort = QStringLiteral("/nonexistent/tty");
    EXPECT_EQ(download.DownloadRecords(0), DownloadNoDevice);
    // The port never opened: the device type of the previous download stays.
    EXPECT_EQ(download.DeviceType, DevicePLX01);

    Simulator sim;
    ASSERT_TRUE(sim.Start({"--id", "XYZ99", "--line-rate", "0"}));
    ASSERT_EQ(link.FindPort(), FindPortFound);
    EXPECT_EQ(download.DownloadRecords(0), DownloadNoDevice);
    EXPECT_EQ(download.DeviceType, DeviceUnknown);
    EXPECT_SENT(sim, Type);
    EXPECT_FALSE(link.Comm1.IsOpen());
}

TEST(GraphRules, AxisMaxFromTheLargestLevel) {
    const int cases[][3] = {{92, 200, 300}, {92, 60, 100}, {139, 60, 200},  {100, 60, 200},
                            {60, 100, 200}, {0, 0, 100},   {312, 200, 400}, {999, 250, 1000}};
    for (const auto& [level, stdLevel, axis] : cases)
        EXPECT_EQ(GraphAxisMax(level, stdLevel), axis) << level << " " << stdLevel;
    EXPECT_EQ(DownloadModel(DeviceQMV27, 2), ModelQMV27);
    EXPECT_EQ(DownloadModel(DevicePLX01, 1), ModelGZNMid);
    // A stored index out of range is taken as MAX rather than a model that does not exist.
    EXPECT_EQ(DownloadModel(DevicePLX01, 7), ModelGZNMax);
    EXPECT_EQ(DownloadModel(DeviceUnknown, -1), ModelGZNMax);

    std::vector<recReadDataSeg> recs(2);
    recs[0].MinDb = "95";
    recs[1].MinDb = "120";
    const DocumentData d = DownloadDocumentData(recs, ModelQMV27);
    EXPECT_EQ(d.Records[0].MinDb, "095"); // as the data file will hold it
    EXPECT_EQ(d.AxisMax, 300);
    EXPECT_EQ(d.AxisMin, 0);
    EXPECT_EQ(d.StdLevel, 200);
    EXPECT_FALSE(d.BarGraph);
    EXPECT_TRUE(d.Memo.empty());
    recs[1].MinDb = "x";
    EXPECT_THROW(LargestLevel(recs), EConvertError);
}

} // namespace
} // namespace qmv
