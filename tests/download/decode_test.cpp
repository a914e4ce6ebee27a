#include <array>
#include <cstring>
#include <gtest/gtest.h>

#include "device/recorddecode.h"

using namespace qmv;

namespace {

using Raw33 = std::array<std::uint8_t, LoggerRecordSize>;

Raw33 LoggerRaw(std::uint8_t no, std::uint16_t level, std::uint8_t range, std::int32_t seconds) {
    Raw33 r{};
    r[0] = no;
    r[1] = 0x39; // 12345 = 0x3039
    r[2] = 0x30;
    r[3] = 0x10;
    r[5] = 0x02;
    r[7] = static_cast<std::uint8_t>(level & 0xFF);
    r[8] = static_cast<std::uint8_t>(level >> 8);
    r[10] = 1;
    const auto u = static_cast<std::uint32_t>(seconds);
    for (int i = 0; i < 4; ++i)
        r[11 + i] = static_cast<std::uint8_t>(u >> (8 * i));
    r[15] = 2;
    r[16] = 3;
    r[17] = 1;
    r[18] = 12; // a code wider than its column
    r[19] = range;
    return r;
}

} // namespace

TEST(Crc, CheckValue) {
    const char* text = "123456789";
    EXPECT_EQ(Crc16Xmodem(reinterpret_cast<const std::uint8_t*>(text), 9), 0x31C3);
    EXPECT_EQ(Crc16Xmodem(nullptr, 0), 0);
}

TEST(LoggerDecoding, Levels) {
    // raw / gain * 999 / 3276, scaled by 100 below code 6 and by 10 below code 17.
    EXPECT_EQ(LoggerLevel(0, 0), "000");
    EXPECT_EQ(LoggerLevel(0, 40), "000");
    // 41 / 1.0 * 999 / 3276 = 12.503: the integer part of 13.003 is 13.
    EXPECT_EQ(LoggerLevel(41, 40), "013");
    // 3281 / 1.0 * 999 / 3276 = 1000.5: clamped.
    EXPECT_EQ(LoggerLevel(3281, 40), "999");
    EXPECT_EQ(LoggerLevel(65535, 0), "999");
    EXPECT_EQ(LoggerLevel(1, 0), "305");    // 1 / 0.1 * 999 / 3276 * 100 = 304.9
    EXPECT_EQ(LoggerLevel(100, 16), "313"); // 100/0.97336*999/3276*10 = 313.28
    EXPECT_EQ(LoggerLevel(3276, 40), "999");
    EXPECT_EQ(LoggerLevel(328, 40), "100"); // 100.02
    EXPECT_THROW(LoggerLevel(10, 41), EConvertError);
    EXPECT_THROW(LoggerLevel(10, 255), EConvertError);
}

TEST(LoggerDecoding, GainTableRanges) {
    EXPECT_DOUBLE_EQ(GainTable[0], 0.1);
    EXPECT_DOUBLE_EQ(GainTable[5], 0.95957);
    EXPECT_DOUBLE_EQ(GainTable[6], 0.12978);
    EXPECT_DOUBLE_EQ(GainTable[16], 0.97336);
    EXPECT_DOUBLE_EQ(GainTable[17], 0.11233);
    EXPECT_DOUBLE_EQ(GainTable[40], 1.0);
    // The same raw level reads ten times higher one range group down.
    EXPECT_EQ(LoggerLevel(200, 40), "061");
    EXPECT_EQ(LoggerLevel(200, 16), "627");
}

TEST(LoggerDecoding, Dates) {
    EXPECT_EQ(LoggerDate(1234567890), "2009/02/13 23:31");
    EXPECT_EQ(LoggerDate(0), "2070/01/01 00:00"); // the century is always written as 20
    EXPECT_EQ(LoggerDate(1275314700), "2010/05/31 14:05");
    EXPECT_EQ(LoggerDate(951782400), "2000/02/29 00:00");
    EXPECT_EQ(LoggerDate(-60), "2069/12/31 23:59");
}

TEST(LoggerDecoding, WholeRecord) {
    const Raw33 raw = LoggerRaw(7, 41, 40, 1234567890);
    const recReadDataSeg r = DecodeLoggerRecord(raw.data());
    EXPECT_EQ(r.DataNo, "00007");
    EXPECT_EQ(r.Raw1, "9999"); // 12345 does not fit four columns
    EXPECT_EQ(r.Raw2, "0016");
    EXPECT_EQ(r.Raw3, "0002");
    EXPECT_EQ(r.MinDb, "013");
    EXPECT_EQ(r.Flag, "1");
    EXPECT_EQ(r.Date, "2009/02/13 23:31");
    EXPECT_EQ(r.LpfCode, "2");
    EXPECT_EQ(r.HpfCode, "3");
    EXPECT_EQ(r.NfCode, "1");
    EXPECT_EQ(r.NrCode, "9");
    EXPECT_EQ(r.Note, "");
}

TEST(SensorDecoding, LevelsAndDates) {
    EXPECT_EQ(SensorLevel(0, 0), "00"); // treated as 1: -8.46 rounds to -8, clamped
    EXPECT_EQ(SensorLevel(0, 2), "40");
    EXPECT_EQ(SensorLevel(0, 1), "20");
    EXPECT_EQ(SensorLevel(333, 0), "42");   // 20 log10(0.999) + 42 = 41.99
    EXPECT_EQ(SensorLevel(65535, 0), "88"); // the largest raw level the device can send
    EXPECT_EQ(SensorLevel(65535, 2), "128");
    EXPECT_EQ(SensorDate(5, 12, 31, 9, 7), "2005/12/31 09:07");
    EXPECT_EQ(SensorDate(123, 1, 2, 3, 4), "2023/01/02 03:04");
    const std::uint8_t raw[10] = {0, 0, 0x01, 0x4D, 5, 12, 31, 9, 7, 0};
    const recReadDataSeg r = DecodeSensorRecord(raw, 4, 1);
    EXPECT_EQ(r.DataNo, "00005");
    EXPECT_EQ(r.Raw1, "0000");
    EXPECT_EQ(r.Flag, "9");
    EXPECT_EQ(r.NrCode, "9");
    EXPECT_EQ(r.MinDb, "62"); // 42 on the MAX range, 20 more on MID
    EXPECT_EQ(r.Date, "2005/12/31 09:07");
}

TEST(SensorDecoding, RoundsToTheNearestLevel) {
    // Either side of 41.5.
    EXPECT_EQ(SensorLevel(314, 0), "41");  // 41.481
    EXPECT_EQ(SensorLevel(315, 0), "42");  // 41.509
    EXPECT_EQ(SensorLevel(1000, 0), "52"); // 51.54
    EXPECT_EQ(SensorLevel(33, 0), "22");   // 21.91
}

TEST(Records, EndMarkersStopTheDecoding) {
    std::vector<std::uint8_t> data;
    for (int i = 0; i < 3; ++i) {
        const Raw33 r = LoggerRaw(static_cast<std::uint8_t>(i + 1), 100, 40, 1234567890);
        data.insert(data.end(), r.begin(), r.end());
    }
    Raw33 end{};
    end[0] = 0x1A;
    data.insert(data.end(), end.begin(), end.end());
    const Raw33 after = LoggerRaw(9, 100, 40, 0);
    data.insert(data.end(), after.begin(), after.end());
    std::vector<recReadDataSeg> out;
    EXPECT_EQ(DecodeRecords(data.data(), data.size(), DeviceQMV27, 0, out), DecodeStatus::Ok);
    EXPECT_EQ(out.size(), 3u);

    // Data number 26 with a first word of zero reads as the end marker.
    Raw33 looksLikeEnd = LoggerRaw(0x1A, 100, 40, 0);
    looksLikeEnd[1] = looksLikeEnd[2] = 0;
    EXPECT_TRUE(IsLoggerEndMarker(looksLikeEnd.data()));

    std::uint8_t sensor[30] = {0, 0, 0, 10, 9, 1, 1, 0, 0,  0, 0x1A, 0, 0, 0, 0,
                               0, 9, 9, 9,  9, 0, 0, 0, 10, 9, 1,    2, 0, 0, 0};
    EXPECT_EQ(DecodeRecords(sensor, 30, DevicePLX01, 0, out), DecodeStatus::Ok);
    EXPECT_EQ(out.size(), 1u);
    sensor[15] = 1; // byte 5 not zero: not an end marker
    EXPECT_EQ(DecodeRecords(sensor, 30, DevicePLX01, 0, out), DecodeStatus::Ok);
    EXPECT_EQ(out.size(), 3u);
}

TEST(Records, OnlyWholeRecordsAreDecoded) {
    // No end marker and a partial record at the end: nothing is invented.
    std::vector<std::uint8_t> data(LoggerRecordSize * 2 + 5, 0);
    data[0] = 1;
    data[LoggerRecordSize] = 2;
    data[LoggerRecordSize + 19] = 40;
    std::vector<recReadDataSeg> out;
    EXPECT_EQ(DecodeRecords(data.data(), data.size(), DeviceQMV27, 0, out), DecodeStatus::Ok);
    EXPECT_EQ(out.size(), 2u);
    EXPECT_EQ(DecodeRecords(data.data(), 0, DeviceQMV27, 0, out), DecodeStatus::Ok);
    EXPECT_TRUE(out.empty());
}

// Data sent without an end marker: the rest of the last block is padding, not records.
TEST(Records, BlockPaddingEndsTheRecords) {
    for (const std::uint8_t pad : {std::uint8_t{0x00}, std::uint8_t{0x1A}}) {
        // 20 logger records in one 1024-byte block: 364 bytes of padding, 11 records' worth.
        std::vector<std::uint8_t> data(1024, pad);
        for (int i = 0; i < 20; ++i) {
            const Raw33 r = LoggerRaw(static_cast<std::uint8_t>(i + 1), 100, 40, 1234567890);
            std::copy(r.begin(), r.end(), data.begin() + i * LoggerRecordSize);
        }
        std::vector<recReadDataSeg> out;
        EXPECT_EQ(DecodeRecords(data.data(), data.size(), DeviceQMV27, 0, out), DecodeStatus::Ok);
        EXPECT_EQ(out.size(), 20u) << int(pad);

        // A full download table in nine blocks is not refused for the 29 padding records.
        std::vector<std::uint8_t> full(9 * 1024, pad);
        for (int i = 0; i < MaxRecords; ++i) {
            const Raw33 r = LoggerRaw(static_cast<std::uint8_t>(i + 1), 100, 40, 1234567890);
            std::copy(r.begin(), r.end(), full.begin() + i * LoggerRecordSize);
        }
        EXPECT_EQ(DecodeRecords(full.data(), full.size(), DeviceQMV27, 0, out), DecodeStatus::Ok);
        EXPECT_EQ(out.size(), static_cast<std::size_t>(MaxRecords)) << int(pad);

        // The second device type: 3 records, then padding (a month of 0 or 26).
        std::vector<std::uint8_t> sensor(128, pad);
        for (int i = 0; i < 3; ++i) {
            const std::uint8_t raw[10] = {
                0, 0, 0x01, 0x4D, 24, 3, 1, 8, static_cast<std::uint8_t>(i), 0};
            std::copy(raw, raw + 10, sensor.begin() + i * SensorRecordSize);
        }
        EXPECT_EQ(DecodeRecords(sensor.data(), sensor.size(), DevicePLX01, 0, out),
                  DecodeStatus::Ok);
        EXPECT_EQ(out.size(), 3u) << int(pad);
    }

    // Only a record whose every byte is the padding byte ends the data.
    Raw33 zeroNumber{};
    zeroNumber[19] = 40; // data number 0, all else zero but the range code
    EXPECT_FALSE(IsPadding(zeroNumber.data(), LoggerRecordSize));
    Raw33 mixed{};
    mixed.fill(0x1A);
    mixed[32] = 0;
    EXPECT_FALSE(IsPadding(mixed.data(), LoggerRecordSize));
    Raw33 other{};
    other.fill(0xFF);
    EXPECT_FALSE(IsPadding(other.data(), LoggerRecordSize));
}

TEST(Records, LimitsAndBadRecords) {
    std::vector<std::uint8_t> data(SensorRecordSize * 251, 0);
    for (int i = 0; i < 251; ++i)
        data[static_cast<std::size_t>(i) * SensorRecordSize + 3] = 100;
    std::vector<recReadDataSeg> out;
    EXPECT_EQ(DecodeRecords(data.data(), SensorRecordSize * 250, DevicePLX01, 0, out),
              DecodeStatus::Ok);
    EXPECT_EQ(out.size(), 250u);
    EXPECT_EQ(DecodeRecords(data.data(), data.size(), DevicePLX01, 0, out),
              DecodeStatus::TooManyRecords);

    Raw33 good = LoggerRaw(1, 10, 40, 0);
    Raw33 bad = LoggerRaw(2, 10, 41, 0); // range code past the gain table
    std::vector<std::uint8_t> two(good.begin(), good.end());
    two.insert(two.end(), bad.begin(), bad.end());
    EXPECT_EQ(DecodeRecords(two.data(), two.size(), DeviceQMV27, 0, out), DecodeStatus::BadRecord);
    EXPECT_EQ(out.size(), 1u);
    EXPECT_EQ(DecodeRecords(two.data(), two.size(), DeviceUnknown, 0, out),
              DecodeStatus::BadRecord);
}
