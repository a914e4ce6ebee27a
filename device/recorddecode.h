// Decoding of what the instruments send: the block checksum and the raw records of both device
// types. Pure functions over bytes, with no port and no waiting, so that they can be checked on
// recorded or constructed data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/record.h"
#include "devicetype.h"

namespace qmv {

constexpr int LoggerRecordSize = 33;
constexpr int SensorRecordSize = 10;
constexpr int GainTableSize = 41;
constexpr std::size_t AssemblyBufferSize = 120000;

// Amplifier gain of each range code of the logger.
extern const double GainTable[GainTableSize];

// CRC-16/XMODEM: polynomial 0x1021, initial 0, no reflection, no final XOR.
std::uint16_t Crc16Xmodem(const std::uint8_t* data, std::size_t size);

bool IsLoggerEndMarker(const std::uint8_t* raw);
bool IsSensorEndMarker(const std::uint8_t* raw);

// The filling after the last record of a transfer that carries no end marker: a raw record of
// size bytes that are all zero, or all the block padding byte 0x1A. No measurement looks like
// that (its logger data number would be 0 or 26 with every device word alike, its month on the
// second device type 0 or 26).
bool IsPadding(const std::uint8_t* raw, std::size_t size);

// True where the records end: the device type's end marker, or padding.
bool EndsRecords(const std::uint8_t* raw, int deviceType);

// Logger level: raw / gain * 999 / 3276, scaled by the range, clamped to 0..999, three digits.
// A range code outside the gain table raises EConvertError.
std::string LoggerLevel(std::uint16_t rawLevel, int rangeCode);

// "yyyy/mm/dd hh:nn" of a count of seconds since 1970-01-01 00:00, taken as local wall time
// (the logger keeps no time zone); the century is always written as "20".
std::string LoggerDate(std::int32_t seconds);

// Second-type level: 20 log10(raw * 0.003) + 42, ties to even, clamped to 0..99, then moved to
// the sensor range of the list index (0 MAX, 1 MID, 2 MIN).
std::string SensorLevel(std::uint16_t rawLevel, int sensorModelIndex);

std::string SensorDate(int year, int month, int day, int hour, int minute);

// One raw record into a record. The logger's device words are kept up to 9999 and its one-digit
// codes up to 9 (shown as "-"), since their data file columns are four and one wide.
recReadDataSeg DecodeLoggerRecord(const std::uint8_t* raw);
recReadDataSeg DecodeSensorRecord(const std::uint8_t* raw, int position, int sensorModelIndex);

enum class DecodeStatus {
    Ok,
    TooManyRecords, // more than the download table holds before the end marker
    BadRecord,      // a record that does not convert
};

// Cuts the assembled bytes into whole raw records and decodes them up to the first end marker or
// padding (EndsRecords). Bytes after the last whole record are not a record. On failure, out
// holds the records decoded before the failing one. Ok with no record means the device holds
// none.
DecodeStatus DecodeRecords(const std::uint8_t* data, std::size_t assembled, int deviceType,
                           int sensorModelIndex, std::vector<recReadDataSeg>& out);

} // namespace qmv
