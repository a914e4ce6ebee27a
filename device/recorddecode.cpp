#include "recorddecode.h"

#include <cfenv>
#include <cmath>
#include <cstdio>

namespace qmv {

const double GainTable[GainTableSize] = {
    0.1,     0.18383, 0.30486, 0.46994, 0.6859,  0.95957, 0.12978, 0.17074, 0.21952,
    0.27681, 0.34328, 0.41963, 0.50653, 0.60467, 0.71473, 0.8374,  0.97336, 0.11233,
    0.12879, 0.14678, 0.16638, 0.18764, 0.21064, 0.23546, 0.26214, 0.29078, 0.32142,
    0.35414, 0.38902, 0.42611, 0.46548, 0.50721, 0.55137, 0.59801, 0.64721, 0.69904,
    0.75357, 0.81086, 0.87098, 0.93401, 1.0};

std::uint16_t Crc16Xmodem(const std::uint8_t* data, std::size_t size) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= static_cast<std::uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
    }
    return crc;
}

bool IsLoggerEndMarker(const std::uint8_t* raw) {
    return raw[0] == 0x1A && raw[1] == 0 && raw[2] == 0;
}

bool IsSensorEndMarker(const std::uint8_t* raw) {
    if (raw[0] != 0x1A)
        return false;
    for (int i = 1; i <= 5; ++i)
        if (raw[i] != 0)
            return false;
    return true;
}

bool IsPadding(const std::uint8_t* raw, std::size_t size) {
    constexpr std::uint8_t BlockPadding = 0x1A;
    if (size == 0 || (raw[0] != 0 && raw[0] != BlockPadding))
        return false;
    for (std::size_t i = 1; i < size; ++i)
        if (raw[i] != raw[0])
            return false;
    return true;
}

bool EndsRecords(const std::uint8_t* raw, int deviceType) {
    if (deviceType == DeviceQMV27)
        return IsLoggerEndMarker(raw) || IsPadding(raw, LoggerRecordSize);
    return IsSensorEndMarker(raw) || IsPadding(raw, SensorRecordSize);
}

namespace {

std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::string TwoDigits(int value) {
    // The last two characters of "0" and the number, as the instrument's dates are written.
    const std::string s = "0" + std::to_string(value);
    return s.substr(s.size() - 2);
}

// A one-digit code of the data file; anything wider is "9", the code shown as "-".
std::string CodeText(std::uint8_t value) {
    return value <= 9 ? std::to_string(value) : std::string("9");
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

} // namespace

std::string LoggerLevel(std::uint16_t rawLevel, int rangeCode) {
    if (rangeCode < 0 || rangeCode >= GainTableSize)
        throw EConvertError("range code " + std::to_string(rangeCode));
    double v = rawLevel / GainTable[rangeCode] * 999.0 / 3276.0;
    if (rangeCode < 6)
        v *= 100.0;
    else if (rangeCode < 17)
        v *= 10.0;
    if (v < 0)
        v = 0;
    if (v > 999)
        v = 999;
    return ZeroPad(static_cast<int>(v + 0.5), 3);
}

std::string LoggerDate(std::int32_t seconds) {
    const long long s = seconds;
    long long days = s / 86400;
    long long rest = s % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int y = 0, m = 0, d = 0;
    CivilFromDays(days, y, m, d);
    const int hour = static_cast<int>(rest / 3600);
    const int minute = static_cast<int>(rest % 3600 / 60);
    return "20" + TwoDigits(((y % 100) + 100) % 100) + "/" + TwoDigits(m) + "/" + TwoDigits(d) +
           " " + TwoDigits(hour) + ":" + TwoDigits(minute);
}

std::string SensorLevel(std::uint16_t rawLevel, int sensorModelIndex) {
    const double x = rawLevel == 0 ? 1.0 : rawLevel;
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST); // ties to even
    double level = std::nearbyint(20.0 * std::log10(x * 0.003) + 42.0);
    std::fesetround(previous);
    if (level < 0)
        level = 0;
    if (level > 99)
        level = 99;
    return ConvertLevel(ModelGZNMax, ModelGZNMax + sensorModelIndex,
                        ZeroPad(static_cast<int>(level), 2));
}

std::string SensorDate(int year, int month, int day, int hour, int minute) {
    return "20" + TwoDigits(year) + "/" + TwoDigits(month) + "/" + TwoDigits(day) + " " +
           TwoDigits(hour) + ":" + TwoDigits(minute);
}

recReadDataSeg DecodeLoggerRecord(const std::uint8_t* raw) {
    recReadDataSeg r;
    const auto word = [raw](int offset) {
        const int v = Le16(raw + offset);
        return ZeroPad(v > 9999 ? 9999 : v, 4);
    };
    r.DataNo = ZeroPad(raw[0], 5);
    r.Raw1 = word(1);
    r.Raw2 = word(3);
    r.Raw3 = word(5);
    r.MinDb = LoggerLevel(Le16(raw + 7), raw[19]);
    r.Flag = CodeText(raw[10]);
    const std::int32_t seconds = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(raw[11]) | (static_cast<std::uint32_t>(raw[12]) << 8) |
        (static_cast<std::uint32_t>(raw[13]) << 16) | (static_cast<std::uint32_t>(raw[14]) << 24));
    r.Date = LoggerDate(seconds);
    r.LpfCode = CodeText(raw[15]);
    r.HpfCode = CodeText(raw[16]);
    r.NfCode = CodeText(raw[17]);
    r.NrCode = CodeText(raw[18]);
    return r;
}

recReadDataSeg DecodeSensorRecord(const std::uint8_t* raw, int position, int sensorModelIndex) {
    recReadDataSeg r;
    r.DataNo = ZeroPad(position + 1, 5);
    r.Raw1 = r.Raw2 = r.Raw3 = "0000";
    r.MinDb = SensorLevel(static_cast<std::uint16_t>((raw[2] << 8) | raw[3]), sensorModelIndex);
    r.Flag = "9";
    r.Date = SensorDate(raw[4], raw[5], raw[6], raw[7], raw[8]);
    r.HpfCode = r.LpfCode = r.NfCode = r.NrCode = "9";
    return r;
}

DecodeStatus DecodeRecords(const std::uint8_t* data, std::size_t assembled, int deviceType,
                           int sensorModelIndex, std::vector<recReadDataSeg>& out) {
    out.clear();
    const std::size_t size = deviceType == DeviceQMV27 ? LoggerRecordSize : SensorRecordSize;
    if (deviceType != DeviceQMV27 && deviceType != DevicePLX01)
        return DecodeStatus::BadRecord;
    for (std::size_t offset = 0; offset + size <= assembled; offset += size) {
        const std::uint8_t* raw = data + offset;
        if (EndsRecords(raw, deviceType))
            break;
        if (out.size() >= static_cast<std::size_t>(MaxRecords))
            return DecodeStatus::TooManyRecords;
        try {
            out.push_back(
                deviceType == DeviceQMV27
                    ? DecodeLoggerRecord(raw)
                    : DecodeSensorRecord(raw, static_cast<int>(out.size()), sensorModelIndex));
        } catch (const EConvertError&) {
            return DecodeStatus::BadRecord;
        }
    }
    return DecodeStatus::Ok;
}

} // namespace qmv
