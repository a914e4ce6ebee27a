// The instruments' side of the link: how the QMV-27 logger and the PLX01 device encode their
// replies, transfer blocks and stored records. Plain functions over bytes so that tests can call
// them directly; the simulator's state machine (instrument.h) only strings them together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/record.h"

namespace qmvsim {

enum class DeviceKind { Logger, Plx }; // reply "QMV27" or "PLX01"

constexpr char SOH = 0x01;
constexpr char STX = 0x02;
constexpr char EOT = 0x04;
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;

constexpr int LoggerRecordBytes = 33;
constexpr int PlxRecordBytes = 10;
constexpr int LoggerInfoBytes = 97;
constexpr int PlxInfoBytes = 23;
constexpr int TypeReplyBytes = 15;

// CRC-16/XMODEM: polynomial 0x1021, initial 0, no reflection, no final XOR.
uint16_t Crc16Xmodem(const std::string& bytes);

// Sum of the bytes modulo 256 as two upper-case hexadecimal digits.
std::string ChecksumHex(const std::string& bytes);

// "NAME:" + checksum + ":" + payload + CR LF, the shape of every framed command and reply.
std::string Framed(const std::string& name, const std::string& payload);

// Parses "NAME:CS:PAYLOAD" (line without CR LF). Returns false when the shape is wrong; checksumOk
// tells whether CS is exactly the upper-case checksum of the payload.
bool ParseFramed(const std::string& line, const std::string& name, std::string& payload,
                 bool& checksumOk);

// The 15-byte identification reply "TYPE:" CS ":" id CR LF; id is padded or cut to 5 bytes.
std::string TypeReply(const std::string& id);

// One XMODEM-CRC frame: SOH (128-byte payload) or STX (1024), number, complement, payload, CRC
// high and low. The payload is padded with zero bytes to the block size.
std::string BuildBlock(uint8_t number, const std::string& payload, int blockSize);

// How the record area is cut into blocks: all 128, all 1024, or 1024 while a whole 1024-byte
// block remains and 128 for the tail.
enum class BlockMode { Small, Large, Mixed };

// Cuts data into frames numbered from 1 (wrapping after 255).
std::vector<std::string> BuildBlocks(const std::string& data, BlockMode mode);

// The frames an empty instrument sends: one 128-byte block whose payload is the end marker
// followed by zeros, so payload bytes 1 to 7 are zero.
std::vector<std::string> EmptyDeviceBlocks(DeviceKind kind);

// Stored raw records and their end markers.
std::string LoggerEndMarker(); // 0x1A 0x00 0x00 ... (33 bytes)
std::string PlxEndMarker();    // 0x1A and five zeros ... (10 bytes)

// The level of a logger record as the program decodes it, exactly: raw / gain * 999 / 3276,
// times 100 for range codes below 6 and 10 below 17, clamped to 0..999, rounded half up.
double GainOf(int rangeCode);
int DecodeLoggerLevel(uint16_t raw, int rangeCode);
// A raw word that decodes to level under rangeCode; false when the range cannot express it.
bool EncodeLoggerLevel(int level, int rangeCode, uint16_t& raw);

// The level of a PLX01 record: 20*log10(max(raw,1)*0.003)+42, ties to even, clamped to 0..99.
int DecodePlxLevel(uint16_t raw);
// A raw word that decodes to level; a level no word decodes to (5, for one) is stored as the
// next one up, and levels above the largest a 16-bit word reaches (88) are clamped to it.
uint16_t EncodePlxLevel(int level);

// Civil date and time without any time zone; seconds since 1970-01-01 00:00.
struct CivilTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
int64_t ToEpochSeconds(const CivilTime& t);
CivilTime FromEpochSeconds(int64_t seconds);
// "yyyy/mm/dd hh:nn" of a record; false when it is not a valid date.
bool ParseRecordDate(const std::string& text, CivilTime& t);
// "yymmddhhnn" as in the clock payload and the information replies.
std::string ClockText(const CivilTime& t);
bool ParseClockText(const std::string& text, CivilTime& t);

// Field values of one logger record, as stored in the instrument.
struct LoggerRecord {
    uint8_t dataNo = 0;
    uint16_t raw1 = 0, raw2 = 0, raw3 = 0;
    uint16_t level = 0; // raw minimum level
    uint8_t flag = 0;
    int32_t seconds = 0; // since 1970-01-01 00:00, no time zone
    uint8_t lpf = 0, hpf = 0, nf = 0, nr = 0;
    uint8_t rangeCode = 40;
};
std::string EncodeLoggerRecord(const LoggerRecord& r);

struct PlxRecord {
    uint16_t counter = 0; // bytes 0 and 1, which the program does not read
    uint16_t level = 0;   // raw level, big-endian on the line
    uint8_t year = 0, month = 1, day = 1, hour = 0, minute = 0;
};
std::string EncodePlxRecord(const PlxRecord& r);

// A record of a data file turned into the stored form. levelOffset is subtracted from MinDb
// first (20 for a file of the MID range, 40 for MIN). Raises qmv::EConvertError on a field that
// is not a number and std::invalid_argument on a bad date.
LoggerRecord LoggerRecordFrom(const qmv::recReadDataSeg& r);
PlxRecord PlxRecordFrom(const qmv::recReadDataSeg& r, int levelOffset);

// Deterministic sample records: varied levels, flags and filter codes, a date every ten minutes
// from 2024/03/01 08:00.
std::string GenerateLoggerRecords(int count);
std::string GeneratePlxRecords(int count);

// Settings that the logger reports in its information reply and takes back with the clock.
struct LoggerSettings {
    std::string serial = "QMV2700417"; // bytes 8 to 17
    std::string g45 = "03";            // bytes 45, 46
    std::string g63 = "10";            // 63, 64
    std::string g66 = "0600";          // 66 to 69
    std::string g71 = "1";             // 71
    std::string g73 = "0030";          // 73 to 76
    std::string g78 = "0";             // 78
    std::string g80 = "0100";          // 80 to 83
    std::string g85 = "2";             // 85
    std::string g87 = "01";            // 87, 88
    std::string g90 = "00";            // 90, 91
    std::string g93 = "12";            // 93, 94
};

// The 97-byte information reply of the logger: "INFO:" CS ":" 87 payload bytes CR LF with the
// checksum over bytes 8 to 94; its fields are separated by commas.
std::string LoggerInfoReply(const LoggerSettings& s, const CivilTime& clock, int recordCount);
// The 23-byte information reply of the PLX01: "INFO:" CS ":" clock "," timing CR LF.
std::string PlxInfoReply(const CivilTime& clock, int timing);

// Checks a logger clock payload (57 characters: serial, "yymmddhhnn" and the eleven setting
// groups, comma-separated); on success fills clock and settings. why tells what was wrong.
bool ParseLoggerClockPayload(const std::string& payload, const LoggerSettings& current,
                             CivilTime& clock, LoggerSettings& settings, std::string& why);

// Hex bytes "54 59 50 45" for the traffic log.
std::string HexBytes(const std::string& bytes);

} // namespace qmvsim
