#include "protocol.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace qmvsim {

namespace {

constexpr double GainTable[41] = {0.1,     0.18383, 0.30486, 0.46994, 0.6859,  0.95957, 0.12978,
                                  0.17074, 0.21952, 0.27681, 0.34328, 0.41963, 0.50653, 0.60467,
                                  0.71473, 0.8374,  0.97336, 0.11233, 0.12879, 0.14678, 0.16638,
                                  0.18764, 0.21064, 0.23546, 0.26214, 0.29078, 0.32142, 0.35414,
                                  0.38902, 0.42611, 0.46548, 0.50721, 0.55137, 0.59801, 0.64721,
                                  0.69904, 0.75357, 0.81086, 0.87098, 0.93401, 1.0};

std::string TwoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v % 100);
    return buf;
}

bool AllDigits(const std::string& s) {
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return !s.empty();
}

int Clamp(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

void PutLe16(std::string& out, std::size_t at, uint16_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>(v >> 8);
}

// Smallest raw word whose decoded level is at least level (65536 when none is).
template <typename Decode> uint32_t FirstRawReaching(int level, Decode decode) {
    uint32_t lo = 0, hi = 65536;
    while (lo < hi) {
        const uint32_t mid = (lo + hi) / 2;
        if (decode(static_cast<uint16_t>(mid)) >= level)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// The middle of the raw words that decode to level, so a decoder that rounds a little
// differently still reads the same level.
template <typename Decode> bool MiddleRaw(int level, Decode decode, uint16_t& raw) {
    const uint32_t first = FirstRawReaching(level, decode);
    if (first > 65535 || decode(static_cast<uint16_t>(first)) != level)
        return false;
    uint32_t last = FirstRawReaching(level + 1, decode) - 1;
    if (last > first + 8) // the clamped ends decode alike for every larger word
        last = first + 8;
    raw = static_cast<uint16_t>((first + last) / 2);
    return true;
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

bool ValidCivil(const CivilTime& t) {
    return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= DaysInMonth(t.year, t.month) &&
           t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60;
}

int Number(const std::string& s, std::size_t at, std::size_t len) {
    return std::stoi(s.substr(at, len));
}

} // namespace

uint16_t Crc16Xmodem(const std::string& bytes) {
    uint16_t crc = 0;
    for (unsigned char b : bytes) {
        crc ^= static_cast<uint16_t>(b << 8);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<uint16_t>(crc << 1);
    }
    return crc;
}

std::string ChecksumHex(const std::string& bytes) {
    unsigned sum = 0;
    for (unsigned char b : bytes)
        sum += b;
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", sum & 0xFF);
    return buf;
}

std::string Framed(const std::string& name, const std::string& payload) {
    return name + ":" + ChecksumHex(payload) + ":" + payload + "\r\n";
}

bool ParseFramed(const std::string& line, const std::string& name, std::string& payload,
                 bool& checksumOk) {
    const std::string head = name + ":";
    if (line.compare(0, head.size(), head) != 0 || line.size() < head.size() + 3 ||
        line[head.size() + 2] != ':')
        return false;
    payload = line.substr(head.size() + 3);
    checksumOk = line.substr(head.size(), 2) == ChecksumHex(payload);
    return true;
}

std::string TypeReply(const std::string& id) {
    std::string five = id.substr(0, 5);
    five.resize(5, ' ');
    return Framed("TYPE", five);
}

std::string BuildBlock(uint8_t number, const std::string& payload, int blockSize) {
    std::string data = payload.substr(0, blockSize);
    data.resize(blockSize, '\0');
    const uint16_t crc = Crc16Xmodem(data);
    std::string frame;
    frame.reserve(blockSize + 5);
    frame += blockSize == 1024 ? STX : SOH;
    frame += static_cast<char>(number);
    frame += static_cast<char>(~number & 0xFF);
    frame += data;
    frame += static_cast<char>(crc >> 8);
    frame += static_cast<char>(crc & 0xFF);
    return frame;
}

std::vector<std::string> BuildBlocks(const std::string& data, BlockMode mode) {
    std::vector<std::string> frames;
    std::size_t at = 0;
    uint8_t number = 1;
    while (at < data.size()) {
        const std::size_t left = data.size() - at;
        int size = 128;
        if (mode == BlockMode::Large || (mode == BlockMode::Mixed && left >= 1024))
            size = 1024;
        frames.push_back(BuildBlock(number++, data.substr(at, size), size));
        at += size;
    }
    return frames;
}

std::vector<std::string> EmptyDeviceBlocks(DeviceKind kind) {
    return {BuildBlock(1, kind == DeviceKind::Logger ? LoggerEndMarker() : PlxEndMarker(), 128)};
}

std::string LoggerEndMarker() {
    std::string r(LoggerRecordBytes, '\0');
    r[0] = 0x1A;
    return r;
}

std::string PlxEndMarker() {
    std::string r(PlxRecordBytes, '\0');
    r[0] = 0x1A;
    return r;
}

double GainOf(int rangeCode) {
    return GainTable[Clamp(rangeCode, 0, 40)];
}

int DecodeLoggerLevel(uint16_t raw, int rangeCode) {
    double v = raw / GainOf(rangeCode) * 999 / 3276;
    if (rangeCode < 6)
        v *= 100;
    else if (rangeCode < 17)
        v *= 10;
    if (v < 0)
        v = 0;
    if (v > 999)
        v = 999;
    return static_cast<int>(v + 0.5);
}

bool EncodeLoggerLevel(int level, int rangeCode, uint16_t& raw) {
    if (level < 0 || level > 999)
        return false;
    return MiddleRaw(
        level, [rangeCode](uint16_t r) { return DecodeLoggerLevel(r, rangeCode); }, raw);
}

int DecodePlxLevel(uint16_t raw) {
    const double x = raw == 0 ? 1 : raw;
    const int level = static_cast<int>(std::nearbyint(20 * std::log10(x * 0.003) + 42));
    return Clamp(level, 0, 99);
}

uint16_t EncodePlxLevel(int level) {
    const int top = DecodePlxLevel(65535);
    const int wanted = Clamp(level, 0, top);
    uint16_t raw = 0;
    // Near the bottom of the scale one raw step jumps more than one level; a level between
    // two steps is stored as the next one up.
    if (!MiddleRaw(wanted, DecodePlxLevel, raw))
        raw = static_cast<uint16_t>(FirstRawReaching(wanted, DecodePlxLevel));
    return raw;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
static int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int64_t ToEpochSeconds(const CivilTime& t) {
    return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

CivilTime FromEpochSeconds(int64_t seconds) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    CivilTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest % 3600 / 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

bool ParseRecordDate(const std::string& s, CivilTime& t) {
    if (s.size() != 16 || s[4] != '/' || s[7] != '/' || s[10] != ' ' || s[13] != ':')
        return false;
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15})
        if (s[i] < '0' || s[i] > '9')
            return false;
    CivilTime r;
    r.year = Number(s, 0, 4);
    r.month = Number(s, 5, 2);
    r.day = Number(s, 8, 2);
    r.hour = Number(s, 11, 2);
    r.minute = Number(s, 14, 2);
    if (!ValidCivil(r))
        return false;
    t = r;
    return true;
}

std::string ClockText(const CivilTime& t) {
    return TwoDigits(t.year) + TwoDigits(t.month) + TwoDigits(t.day) + TwoDigits(t.hour) +
           TwoDigits(t.minute);
}

bool ParseClockText(const std::string& s, CivilTime& t) {
    if (s.size() != 10 || !AllDigits(s))
        return false;
    CivilTime r;
    r.year = 2000 + Number(s, 0, 2);
    r.month = Number(s, 2, 2);
    r.day = Number(s, 4, 2);
    r.hour = Number(s, 6, 2);
    r.minute = Number(s, 8, 2);
    if (!ValidCivil(r))
        return false;
    t = r;
    return true;
}

std::string EncodeLoggerRecord(const LoggerRecord& r) {
    std::string out(LoggerRecordBytes, '\0');
    out[0] = static_cast<char>(r.dataNo);
    PutLe16(out, 1, r.raw1);
    PutLe16(out, 3, r.raw2);
    PutLe16(out, 5, r.raw3);
    PutLe16(out, 7, r.level);
    out[10] = static_cast<char>(r.flag);
    const uint32_t s = static_cast<uint32_t>(r.seconds);
    for (int i = 0; i < 4; ++i)
        out[11 + i] = static_cast<char>((s >> (8 * i)) & 0xFF);
    out[15] = static_cast<char>(r.lpf);
    out[16] = static_cast<char>(r.hpf);
    out[17] = static_cast<char>(r.nf);
    out[18] = static_cast<char>(r.nr);
    out[19] = static_cast<char>(r.rangeCode);
    return out;
}

std::string EncodePlxRecord(const PlxRecord& r) {
    std::string out(PlxRecordBytes, '\0');
    out[0] = static_cast<char>(r.counter & 0xFF);
    out[1] = static_cast<char>(r.counter >> 8);
    out[2] = static_cast<char>(r.level >> 8);
    out[3] = static_cast<char>(r.level & 0xFF);
    out[4] = static_cast<char>(r.year);
    out[5] = static_cast<char>(r.month);
    out[6] = static_cast<char>(r.day);
    out[7] = static_cast<char>(r.hour);
    out[8] = static_cast<char>(r.minute);
    return out;
}

LoggerRecord LoggerRecordFrom(const qmv::recReadDataSeg& r) {
    LoggerRecord out;
    out.dataNo = static_cast<uint8_t>(qmv::StrToInt(r.DataNo) & 0xFF);
    out.raw1 = static_cast<uint16_t>(Clamp(qmv::StrToInt(r.Raw1), 0, 65535));
    out.raw2 = static_cast<uint16_t>(Clamp(qmv::StrToInt(r.Raw2), 0, 65535));
    out.raw3 = static_cast<uint16_t>(Clamp(qmv::StrToInt(r.Raw3), 0, 65535));
    const int level = Clamp(qmv::StrToInt(r.MinDb), 0, 999);
    out.rangeCode = 40;
    EncodeLoggerLevel(level, out.rangeCode, out.level); // every level 0..999 fits range 40
    out.flag = static_cast<uint8_t>(Clamp(qmv::StrToInt(r.Flag), 0, 255));
    CivilTime t;
    // The program writes "20" before the two-digit year of a decoded date.
    if (!ParseRecordDate(r.Date, t) || t.year < 2000 || t.year > 2037)
        throw std::invalid_argument("date \"" + r.Date + "\" cannot be stored by the logger");
    out.seconds = static_cast<int32_t>(ToEpochSeconds(t));
    out.lpf = static_cast<uint8_t>(Clamp(qmv::StrToInt(r.LpfCode), 0, 255));
    out.hpf = static_cast<uint8_t>(Clamp(qmv::StrToInt(r.HpfCode), 0, 255));
    out.nf = static_cast<uint8_t>(Clamp(qmv::StrToInt(r.NfCode), 0, 255));
    out.nr = static_cast<uint8_t>(Clamp(qmv::StrToInt(r.NrCode), 0, 255));
    return out;
}

PlxRecord PlxRecordFrom(const qmv::recReadDataSeg& r, int levelOffset) {
    PlxRecord out;
    out.level = EncodePlxLevel(qmv::StrToInt(r.MinDb) - levelOffset);
    CivilTime t;
    if (!ParseRecordDate(r.Date, t) || t.year < 2000 || t.year > 2099)
        throw std::invalid_argument("date \"" + r.Date + "\" cannot be stored by the device");
    out.year = static_cast<uint8_t>(t.year % 100);
    out.month = static_cast<uint8_t>(t.month);
    out.day = static_cast<uint8_t>(t.day);
    out.hour = static_cast<uint8_t>(t.hour);
    out.minute = static_cast<uint8_t>(t.minute);
    return out;
}

static int64_t SampleStart() {
    return ToEpochSeconds(CivilTime{2024, 3, 1, 8, 0, 0});
}

std::string GenerateLoggerRecords(int count) {
    std::string out;
    out.reserve(static_cast<std::size_t>(count) * LoggerRecordBytes);
    for (int i = 0; i < count; ++i) {
        LoggerRecord r;
        r.dataNo = static_cast<uint8_t>((i + 1) & 0xFF);
        // Device words stay within the four columns the data file gives them, and the
        // first never reads 0 so no sample record looks like the end marker.
        r.raw1 = static_cast<uint16_t>(1000 + (i * 7) % 9000);
        r.raw2 = static_cast<uint16_t>(2000 + (i * 11) % 7000);
        r.raw3 = static_cast<uint16_t>(500 + (i * 13) % 9000);
        const int level = 150 + (i * 37) % 700;
        r.rangeCode = 40;
        if (i % 4 == 3) {
            const uint8_t code = static_cast<uint8_t>(17 + i % 24);
            uint16_t raw = 0;
            if (EncodeLoggerLevel(level, code, raw))
                r.rangeCode = code;
        }
        EncodeLoggerLevel(level, r.rangeCode, r.level);
        r.flag = i % 7 == 3 ? 1 : 0;
        r.seconds = static_cast<int32_t>(SampleStart() + int64_t(i) * 600);
        r.lpf = static_cast<uint8_t>(i % 5);
        r.hpf = static_cast<uint8_t>(i % 4);
        r.nf = static_cast<uint8_t>(i % 3);
        r.nr = static_cast<uint8_t>(i % 4);
        out += EncodeLoggerRecord(r);
    }
    return out;
}

std::string GeneratePlxRecords(int count) {
    std::string out;
    out.reserve(static_cast<std::size_t>(count) * PlxRecordBytes);
    for (int i = 0; i < count; ++i) {
        PlxRecord r;
        r.counter = static_cast<uint16_t>(i + 1);
        r.level = EncodePlxLevel(20 + (i * 13) % 65);
        const CivilTime t = FromEpochSeconds(SampleStart() + int64_t(i) * 600);
        r.year = static_cast<uint8_t>(t.year % 100);
        r.month = static_cast<uint8_t>(t.month);
        r.day = static_cast<uint8_t>(t.day);
        r.hour = static_cast<uint8_t>(t.hour);
        r.minute = static_cast<uint8_t>(t.minute);
        out += EncodePlxRecord(r);
    }
    return out;
}

std::string LoggerInfoReply(const LoggerSettings& s, const CivilTime& clock, int recordCount) {
    char count[8];
    std::snprintf(count, sizeof count, "%04d", Clamp(recordCount, 0, 9999));
    const std::string payload = s.serial + "," + ClockText(clock) + "," + count + "," +
                                "FW1.02.03" + "," + s.g45 + "," + "CAP0250BAT3.0V" + "," + s.g63 +
                                "," + s.g66 + "," + s.g71 + "," + s.g73 + "," + s.g78 + "," +
                                s.g80 + "," + s.g85 + "," + s.g87 + "," + s.g90 + "," + s.g93;
    return Framed("INFO", payload);
}

std::string PlxInfoReply(const CivilTime& clock, int timing) {
    return Framed("INFO", ClockText(clock) + "," + TwoDigits(Clamp(timing, 0, 99)));
}

bool ParseLoggerClockPayload(const std::string& payload, const LoggerSettings& current,
                             CivilTime& clock, LoggerSettings& settings, std::string& why) {
    static const std::size_t widths[13] = {10, 10, 2, 2, 4, 1, 4, 1, 4, 1, 2, 2, 2};
    std::vector<std::string> groups;
    std::size_t at = 0;
    for (std::size_t i = 0; i < 13; ++i) {
        if (at + widths[i] > payload.size()) {
            why = "payload too short";
            return false;
        }
        groups.push_back(payload.substr(at, widths[i]));
        at += widths[i];
        if (i < 12) {
            if (at >= payload.size() || payload[at] != ',') {
                why = "group " + std::to_string(i + 1) + " not followed by a comma";
                return false;
            }
            ++at;
        }
    }
    if (at != payload.size()) {
        why = "payload of " + std::to_string(payload.size()) + " characters, not 57";
        return false;
    }
    if (groups[0] != current.serial) {
        why = "serial number \"" + groups[0] + "\" is not this logger's";
        return false;
    }
    CivilTime t;
    if (!ParseClockText(groups[1], t)) {
        why = "clock \"" + groups[1] + "\" is not a valid yymmddhhnn";
        return false;
    }
    for (std::size_t i = 2; i < 13; ++i)
        if (!AllDigits(groups[i])) {
            why = "setting group " + std::to_string(i + 1) + " is not digits";
            return false;
        }
    LoggerSettings s = current;
    s.g45 = groups[2];
    s.g63 = groups[3];
    s.g66 = groups[4];
    s.g71 = groups[5];
    s.g73 = groups[6];
    s.g78 = groups[7];
    s.g80 = groups[8];
    s.g85 = groups[9];
    s.g87 = groups[10];
    s.g90 = groups[11];
    s.g93 = groups[12];
    clock = t;
    settings = s;
    return true;
}

std::string HexBytes(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (unsigned char b : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[b >> 4];
        out += digits[b & 0xF];
    }
    return out;
}

} // namespace qmvsim
