// The simulator's encoding of replies, blocks and records, and its instrument state machine,
// called directly.
#include <gtest/gtest.h>

#include <cmath>

#include "instrument.h"
#include "options.h"
#include "protocol.h"

namespace qmvsim {
namespace {

std::string Bytes(std::initializer_list<int> v) {
    std::string s;
    for (int b : v)
        s += static_cast<char>(b);
    return s;
}

TEST(SimProtocol, CrcAndChecksums) {
    EXPECT_EQ(Crc16Xmodem("123456789"), 0x31C3);
    EXPECT_EQ(Crc16Xmodem(""), 0);
    EXPECT_EQ(ChecksumHex("QMV27"), "5D");
    EXPECT_EQ(ChecksumHex("PLX01"), "55");
    EXPECT_EQ(ChecksumHex("07"), "67");
    EXPECT_EQ(TypeReply("QMV27"), "TYPE:5D:QMV27\r\n");
    EXPECT_EQ(TypeReply("PLX01").size(), 15u);
    EXPECT_EQ(TypeReply("AB").size(), 15u); // identifiers are always five bytes
}

TEST(SimProtocol, BlockFraming) {
    const std::string small = BuildBlock(1, "abc", 128);
    ASSERT_EQ(small.size(), 133u);
    EXPECT_EQ(small[0], SOH);
    EXPECT_EQ(static_cast<unsigned char>(small[1]), 1);
    EXPECT_EQ(static_cast<unsigned char>(small[2]), 0xFE);
    EXPECT_EQ(small.substr(3, 3), "abc");
    EXPECT_EQ(small.substr(6, 125), std::string(125, '\0')); // padded with zeros
    const uint16_t crc = Crc16Xmodem(small.substr(3, 128));
    EXPECT_EQ(static_cast<unsigned char>(small[131]), crc >> 8);
    EXPECT_EQ(static_cast<unsigned char>(small[132]), crc & 0xFF);

    const std::string large = BuildBlock(200, std::string(1024, 'x'), 1024);
    ASSERT_EQ(large.size(), 1029u);
    EXPECT_EQ(large[0], STX);
    EXPECT_EQ(static_cast<unsigned char>(large[2]), 55);

    // 2500 bytes: 1024-byte blocks pad the tail; mixed finishes with 128-byte blocks.
    const std::string data(2500, 'r');
    EXPECT_EQ(BuildBlocks(data, BlockMode::Large).size(), 3u);
    EXPECT_EQ(BuildBlocks(data, BlockMode::Small).size(), 20u);
    const auto mixed = BuildBlocks(data, BlockMode::Mixed);
    ASSERT_EQ(mixed.size(), 2u + 4u);
    EXPECT_EQ(mixed[1][0], STX);
    EXPECT_EQ(mixed[2][0], SOH);
    // Numbers run from 1 and wrap after 255.
    const auto many = BuildBlocks(std::string(128 * 257, 'z'), BlockMode::Small);
    EXPECT_EQ(static_cast<unsigned char>(many[0][1]), 1);
    EXPECT_EQ(static_cast<unsigned char>(many[254][1]), 255);
    EXPECT_EQ(static_cast<unsigned char>(many[255][1]), 0);

    // The empty device: block 1 of 128 bytes whose payload bytes 1 to 7 are zero.
    for (DeviceKind kind : {DeviceKind::Logger, DeviceKind::Plx}) {
        const auto empty = EmptyDeviceBlocks(kind);
        ASSERT_EQ(empty.size(), 1u);
        EXPECT_EQ(empty[0].substr(0, 2), Bytes({1, 1}));
        EXPECT_EQ(empty[0].substr(4, 7), std::string(7, '\0'));
    }
}

TEST(SimProtocol, LoggerRecordLayout) {
    qmv::recReadDataSeg r{"00300", "1234", "0002", "9999", "512", "1", "2009/02/13 23:31",
                          "2",     "3",    "1",    "0",    ""};
    const std::string raw = EncodeLoggerRecord(LoggerRecordFrom(r));
    ASSERT_EQ(raw.size(), 33u);
    EXPECT_EQ(static_cast<unsigned char>(raw[0]), 300 & 0xFF);
    EXPECT_EQ(raw.substr(1, 2), Bytes({0xD2, 0x04})); // 1234, little-endian
    EXPECT_EQ(raw.substr(5, 2), Bytes({0x0F, 0x27})); // 9999
    EXPECT_EQ(raw[10], 1);
    EXPECT_EQ(raw.substr(11, 4), Bytes({0xB4, 0x02, 0x96, 0x49})); // 1234567860 s
    EXPECT_EQ(raw[15], 3);                                         // low-pass
    EXPECT_EQ(raw[16], 2);                                         // high-pass
    EXPECT_EQ(raw[17], 1);
    EXPECT_EQ(raw[18], 0);
    const int range = static_cast<unsigned char>(raw[19]);
    const uint16_t level = static_cast<uint16_t>(static_cast<unsigned char>(raw[7]) |
                                                 static_cast<unsigned char>(raw[8]) << 8);
    EXPECT_EQ(DecodeLoggerLevel(level, range), 512);
    EXPECT_EQ(raw.substr(20), std::string(13, '\0'));

    EXPECT_EQ(LoggerEndMarker().substr(0, 3), Bytes({0x1A, 0, 0}));
    r.Date = "1999/12/31 23:59"; // the program would read it back as 2099
    EXPECT_THROW(LoggerRecordFrom(r), std::invalid_argument);
    r.Date = "2009/02/13 23:31";
    r.MinDb = "x";
    EXPECT_THROW(LoggerRecordFrom(r), qmv::EConvertError);
}

TEST(SimProtocol, LevelsRoundTripThroughTheDecoding) {
    for (int level = 0; level <= 999; ++level) {
        uint16_t raw = 0;
        ASSERT_TRUE(EncodeLoggerLevel(level, 40, raw)) << level;
        EXPECT_EQ(DecodeLoggerLevel(raw, 40), level);
    }
    // The gain table scales by range: codes below 6 by 100, below 17 by 10.
    EXPECT_EQ(DecodeLoggerLevel(3276, 40), 999);
    EXPECT_EQ(DecodeLoggerLevel(0, 3), 0);
    EXPECT_EQ(DecodeLoggerLevel(1, 0), 305);
    EXPECT_EQ(DecodeLoggerLevel(100, 16), static_cast<int>(100 / 0.97336 * 999 / 3276 * 10 + 0.5));

    EXPECT_EQ(DecodePlxLevel(0), 0); // 0 reads as 1: -8 clamped
    std::vector<bool> reachable(100, false);
    for (int raw = 0; raw <= 65535; ++raw)
        reachable[DecodePlxLevel(static_cast<uint16_t>(raw))] = true;
    for (int level = 0; level <= 88; ++level) {
        int next = level; // a level no word reaches is stored as the next one that is reached
        while (!reachable[next])
            ++next;
        EXPECT_EQ(DecodePlxLevel(EncodePlxLevel(level)), next) << level;
    }
    EXPECT_TRUE(reachable[0] && !reachable[5] && reachable[30] && reachable[88] && !reachable[89]);
    EXPECT_EQ(DecodePlxLevel(EncodePlxLevel(99)), 88); // the most a 16-bit word reaches
}

TEST(SimProtocol, PlxRecordLayout) {
    qmv::recReadDataSeg r{"00001", "0000", "0000", "0000", "85", "9", "2005/12/31 09:07",
                          "9",     "9",    "9",    "9",    ""};
    const std::string raw = EncodePlxRecord(PlxRecordFrom(r, 40)); // a MIN-range file
    ASSERT_EQ(raw.size(), 10u);
    EXPECT_EQ(raw.substr(4, 5), Bytes({5, 12, 31, 9, 7}));
    const uint16_t level = static_cast<uint16_t>(static_cast<unsigned char>(raw[2]) << 8 |
                                                 static_cast<unsigned char>(raw[3]));
    EXPECT_EQ(DecodePlxLevel(level), 45);
    EXPECT_EQ(PlxEndMarker().substr(0, 6), Bytes({0x1A, 0, 0, 0, 0, 0}));
}

TEST(SimProtocol, InformationReplies) {
    const LoggerSettings s;
    const CivilTime clock{2026, 12, 7, 14, 5, 0};
    const std::string info = LoggerInfoReply(s, clock, 12);
    ASSERT_EQ(info.size(), 97u);
    EXPECT_NE(info[0], '-');
    EXPECT_EQ(info.substr(5, 2), ChecksumHex(info.substr(8, 87)));
    EXPECT_EQ(info.substr(8, 10), s.serial);
    EXPECT_EQ(info.substr(19, 10), "2612071405");
    EXPECT_EQ(info.substr(45, 2), s.g45);
    EXPECT_EQ(info.substr(63, 2), s.g63);
    EXPECT_EQ(info.substr(66, 4), s.g66);
    EXPECT_EQ(info.substr(71, 1), s.g71);
    EXPECT_EQ(info.substr(73, 4), s.g73);
    EXPECT_EQ(info.substr(78, 1), s.g78);
    EXPECT_EQ(info.substr(80, 4), s.g80);
    EXPECT_EQ(info.substr(85, 1), s.g85);
    EXPECT_EQ(info.substr(87, 2), s.g87);
    EXPECT_EQ(info.substr(90, 2), s.g90);
    EXPECT_EQ(info.substr(93, 2), s.g93);
    EXPECT_EQ(info.substr(95), "\r\n");

    const std::string plx = PlxInfoReply(clock, 7);
    ASSERT_EQ(plx.size(), 23u);
    EXPECT_EQ(plx.substr(5, 2), ChecksumHex(plx.substr(8, 13)));
    EXPECT_EQ(plx.substr(19, 2), "07");
}

// The clock payload built from an information reply the way the program builds it.
std::string ClockPayload(const std::string& info, const std::string& now) {
    return info.substr(8, 10) + "," + now + "," + info.substr(45, 2) + "," + info.substr(63, 2) +
           "," + info.substr(66, 4) + "," + info.substr(71, 1) + "," + info.substr(73, 4) + "," +
           info.substr(78, 1) + "," + info.substr(80, 4) + "," + info.substr(85, 1) + "," +
           info.substr(87, 2) + "," + info.substr(90, 2) + "," + info.substr(93, 2);
}

struct Driven {
    int64_t now = 0;
    Instrument inst;
    explicit Driven(Options o) : inst(std::move(o), [this] { return now; }) {}
    std::string Send(const std::string& bytes) {
        std::string out;
        for (const Output& o : inst.Receive(bytes))
            out += o.bytes;
        return out;
    }
};

Options Logger(int records) {
    Options o;
    o.records = GenerateLoggerRecords(records);
    o.clock = CivilTime{2026, 1, 2, 3, 4, 0};
    return o;
}

TEST(SimInstrument, IdentificationAndItsFaults) {
    Options o = Logger(1);
    o.faults[static_cast<int>(Cmd::Type)].split = {10};
    o.splitDelayMs = 300;
    Driven d(o);
    const auto out = d.inst.Receive("TY");
    EXPECT_TRUE(out.empty());
    const auto reply = d.inst.Receive("PE\r\n");
    ASSERT_EQ(reply.size(), 2u);
    EXPECT_EQ(reply[0].bytes, "TYPE:5D:QM");
    EXPECT_EQ(reply[1].bytes, "V27\r\n");
    EXPECT_EQ(reply[1].delayMs, 300);
    EXPECT_FALSE(reply[0].held || reply[1].held);
    // Held instead: the first piece goes as usual, the rest waits for a release.
    o.splitHold = true;
    Driven held(o);
    const auto pieces = held.inst.Receive("TYPE\r\n");
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_FALSE(pieces[0].held);
    EXPECT_TRUE(pieces[1].held);
    EXPECT_EQ(pieces[1].delayMs, 0);

    Options f = Logger(1);
    f.faults[static_cast<int>(Cmd::Type)].silent = 1;
    f.faults[static_cast<int>(Cmd::Type)].badChecksum = true;
    Driven bad(f);
    EXPECT_EQ(bad.Send("TYPE\r\n"), "");
    EXPECT_EQ(bad.Send("TYPE\r\n"), "TYPE:5E:QMV27\r\n");

    Options u = Logger(1);
    u.faults[static_cast<int>(Cmd::Type)].unplug = true;
    Driven unplug(u);
    const auto closed = unplug.inst.Receive("TYPE\r\n");
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_TRUE(closed[0].hangUp);
    EXPECT_TRUE(unplug.inst.Receive("TYPE\r\n").empty());
}

TEST(SimInstrument, TransferWithNakRepeatAndEot) {
    Options o = Logger(10); // 330 bytes and the end marker: three 128-byte blocks
    o.blockMode = BlockMode::Small;
    o.badCrc[1] = 1;
    o.repeatBlock.insert(2);
    Driven d(o);
    const std::string first = d.Send("GET\r\nC");
    ASSERT_EQ(first.size(), 133u);
    EXPECT_NE(static_cast<unsigned char>(first[132]), Crc16Xmodem(first.substr(3, 128)) & 0xFF);
    const std::string again = d.Send(std::string(1, NAK));
    EXPECT_EQ(again.substr(0, 131), first.substr(0, 131));
    EXPECT_EQ(static_cast<unsigned char>(again[132]), Crc16Xmodem(again.substr(3, 128)) & 0xFF);
    const std::string second = d.Send(std::string(1, ACK));
    EXPECT_EQ(static_cast<unsigned char>(second[1]), 2);
    EXPECT_EQ(d.Send(std::string(1, ACK)), second); // repeated once after its ACK
    const std::string third = d.Send(std::string(1, ACK));
    EXPECT_EQ(static_cast<unsigned char>(third[1]), 3);
    // The records followed by the end marker, in order.
    const std::string payload = again.substr(3, 128) + second.substr(3, 128) + third.substr(3, 128);
    EXPECT_EQ(payload.substr(0, 330), GenerateLoggerRecords(10));
    EXPECT_EQ(payload.substr(330, 33), LoggerEndMarker());
    EXPECT_EQ(d.Send(std::string(1, ACK)), std::string(1, EOT));
    EXPECT_EQ(d.Send(std::string(1, ACK)), "");
    // Back to commands.
    EXPECT_EQ(d.Send("TYPE\r\n"), "TYPE:5D:QMV27\r\n");
}

TEST(SimInstrument, TransferFaults) {
    Options always = Logger(40);
    always.badCrc[2] = -1;
    Driven a(always);
    const std::string b1 = a.Send("GET\r\nC");
    EXPECT_EQ(b1[0], STX);
    const std::string b2 = a.Send(std::string(1, ACK));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(a.Send(std::string(1, NAK)), b2); // wrong every time

    Options silent = Logger(40);
    silent.silentAfterAck = 1;
    Driven s(silent);
    EXPECT_EQ(s.Send("GET\r\nC").size(), 1029u);
    EXPECT_EQ(s.Send(std::string(1, ACK)), "");

    Options stall = Logger(40);
    stall.stallBlock = 1;
    Driven st(stall);
    EXPECT_EQ(st.Send("GET\r\nC").size(), 514u);

    Options unplug = Logger(40);
    unplug.unplugBlock = 2;
    unplug.unplugBytes = 100;
    Driven u(unplug);
    u.Send("GET\r\nC");
    const auto out = u.inst.Receive(std::string(1, ACK));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes.size(), 100u);
    EXPECT_TRUE(out[0].hangUp);

    Options none = Logger(3);
    none.eotOnly = true;
    Driven e(none);
    EXPECT_EQ(e.Send("GET\r\nC"), std::string(1, EOT));

    Options noMarker = Logger(3);
    noMarker.endMarker = false;
    noMarker.blockMode = BlockMode::Small;
    Driven n(noMarker);
    const std::string only = n.Send("GET\r\nC");
    EXPECT_EQ(only.substr(3, 128), GenerateLoggerRecords(3) + std::string(29, '\0'));

    Options silentGet = Logger(3);
    silentGet.faults[static_cast<int>(Cmd::Get)].silent = -1;
    Driven g(silentGet);
    EXPECT_EQ(g.Send("GET\r\nC"), "");
    EXPECT_EQ(g.Send("TYPE\r\n"), "TYPE:5D:QMV27\r\n"); // the C was not taken for a command
}

TEST(SimInstrument, ClearSetAndTimingKeepWhatTheyWereGiven) {
    Options o = Logger(5);
    Driven d(o);
    EXPECT_EQ(d.Send("CLR\r\n"), "+\r\n");
    EXPECT_EQ(d.inst.RecordCount(), 0);
    const std::string empty = d.Send("GET\r\nC");
    EXPECT_EQ(empty, EmptyDeviceBlocks(DeviceKind::Logger)[0]);
    d.Send(std::string(1, ACK));
    d.Send(std::string(1, ACK));

    const std::string info = d.Send("INFO\r\n");
    ASSERT_EQ(info.size(), 97u);
    std::string payload = ClockPayload(info, "2612071405");
    EXPECT_EQ(payload.size(), 57u);
    EXPECT_EQ(d.Send("SET:00:" + payload + "\r\n"), "-\r\n"); // wrong checksum
    const std::string set = "SET:" + ChecksumHex(payload) + ":" + payload + "\r\n";
    EXPECT_EQ(set.size(), 66u);
    EXPECT_EQ(d.Send(set), "+\r\n");
    EXPECT_EQ(ClockText(d.inst.Clock()), "2612071405");
    d.now += 61000; // the clock runs on
    EXPECT_EQ(ClockText(d.inst.Clock()), "2612071406");
    payload[0] = 'X'; // another logger's serial number
    EXPECT_EQ(d.Send("SET:" + ChecksumHex(payload) + ":" + payload + "\r\n"), "-\r\n");

    Options p;
    p.kind = DeviceKind::Plx;
    p.timing = 10;
    Driven x(p);
    EXPECT_EQ(x.Send("BBR:67:07\r\n"), "+\r\n");
    EXPECT_EQ(x.inst.Timing(), 7);
    EXPECT_EQ(x.Send("INFO\r\n").substr(19, 2), "07");
    EXPECT_EQ(x.Send("BBR:" + ChecksumHex("61") + ":61\r\n"), "-\r\n");
    EXPECT_EQ(x.Send("BBR:68:07\r\n"), "-\r\n");
    EXPECT_EQ(x.inst.Timing(), 7);
    EXPECT_EQ(x.Send("SET:" + ChecksumHex("2612071405") + ":2612071405\r\n"), "+\r\n");
    EXPECT_EQ(x.Send("INFO\r\n").substr(8, 10), "2612071405");

    Options r;
    r.faults[static_cast<int>(Cmd::Clr)].refuse = true;
    r.faults[static_cast<int>(Cmd::Clr)].refuseText = "E";
    r.records = GenerateLoggerRecords(2);
    Driven refuse(r);
    EXPECT_EQ(refuse.Send("CLR\r\n"), "E\r\n");
    EXPECT_EQ(refuse.inst.RecordCount(), 2);
}

TEST(SimOptions, SwitchesParseAndBadValuesAreRefused) {
    Options o;
    RunSettings run;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"--device",
                                  "plx01",
                                  "--generate",
                                  "300",
                                  "--block-size",
                                  "mixed",
                                  "--clock",
                                  "2612071405",
                                  "--timing",
                                  "33",
                                  "--silent",
                                  "TYPE:2",
                                  "--split",
                                  "INFO:20,1",
                                  "--split-hold",
                                  "--length",
                                  "INFO:22",
                                  "--refuse",
                                  "clr:NG",
                                  "--bad-crc",
                                  "3:2",
                                  "--bad-crc-always",
                                  "5",
                                  "--repeat-block",
                                  "4",
                                  "--silent-after-ack",
                                  "6",
                                  "--stall-block",
                                  "7:10",
                                  "--unplug-block",
                                  "8",
                                  "--unplug-on",
                                  "SET",
                                  "--line-rate",
                                  "0",
                                  "--no-end-marker"},
                                 o, run, error))
        << error;
    EXPECT_EQ(o.kind, DeviceKind::Plx);
    EXPECT_EQ(o.records.size(), 3000u);
    EXPECT_EQ(o.faults[static_cast<int>(Cmd::Type)].silent, 2);
    EXPECT_EQ(o.faults[static_cast<int>(Cmd::Info)].split, (std::vector<int>{20, 1}));
    EXPECT_TRUE(o.splitHold);
    EXPECT_EQ(o.faults[static_cast<int>(Cmd::Clr)].refuseText, "NG");
    EXPECT_EQ(o.badCrc.at(3), 2);
    EXPECT_EQ(o.badCrc.at(5), -1);
    EXPECT_EQ(o.stallBytes, 10);
    EXPECT_EQ(o.unplugBytes, -1);
    EXPECT_TRUE(o.faults[static_cast<int>(Cmd::Set)].unplug);
    EXPECT_EQ(o.timing, 33);
    EXPECT_FALSE(o.endMarker);

    const std::vector<std::vector<std::string>> bad = {{"--device", "qmv28"},
                                                       {"--silent", "FOO"},
                                                       {"--timing", "61"},
                                                       {"--clock", "2613011200"},
                                                       {"--length", "TYPE"},
                                                       {"--bad-crc", "0"},
                                                       {"--generate"},
                                                       {"--empty", "--generate", "3"},
                                                       {"stray"},
                                                       {"--records", "/nonexistent.q27"}};
    for (const auto& args : bad) {
        Options b;
        error.clear();
        EXPECT_FALSE(ParseCommandLine(args, b, run, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
    // Every switch is described in the help.
    for (const char* sw : {"--device",        "--id",
                           "--records",       "--generate",
                           "--raw",           "--empty",
                           "--no-end-marker", "--eot-only",
                           "--block-size",    "--clock",
                           "--timing",        "--link",
                           "--log",           "--line-rate",
                           "--reply-delay",   "--silent",
                           "--unplug-on",     "--length",
                           "--split",         "--split-delay",
                           "--split-hold",    "--refuse",
                           "--bad-checksum",  "--lower-checksum",
                           "--bad-crc",       "--bad-crc-always",
                           "--repeat-block",  "--silent-after-ack",
                           "--stall-block",   "--unplug-block",
                           "--reuse-number"})
        EXPECT_NE(std::string(UsageText()).find(sw), std::string::npos) << sw;
}

} // namespace
} // namespace qmvsim
