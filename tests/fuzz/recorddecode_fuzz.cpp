// The record decoder on arbitrary assembled download data of either device type. Input: byte 0
// picks the device type (0 and 3 are none), byte 1 the sensor range, the rest is what the
// blocks delivered. Every record it gives must have the shape of its device type, stand
// before the first end marker or padding, and be one a document can save and load back
// unchanged.
#include <cstdint>
#include <string>
#include <vector>

#include "data/datafile.h"
#include "device/recorddecode.h"
#include "fuzzcheck.h"

using namespace qmv;

namespace {

bool IsDigits(const std::string& s, std::size_t minimum, std::size_t maximum) {
    if (s.size() < minimum || s.size() > maximum)
        return false;
    for (const char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// "20yy/mm/dd hh:nn"
bool IsDateText(const std::string& s) {
    if (s.size() != 16 || s.compare(0, 2, "20") != 0)
        return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char expected = i == 4 || i == 7 ? '/' : i == 10 ? ' ' : i == 13 ? ':' : '#';
        if (expected == '#' ? (s[i] < '0' || s[i] > '9') : s[i] != expected)
            return false;
    }
    return true;
}

void CheckLogger(const recReadDataSeg& r, const std::uint8_t* raw) {
    FUZZ_CHECK(IsDigits(r.DataNo, 5, 5) && StrToInt(r.DataNo) == raw[0], r.DataNo);
    for (const std::string* word : {&r.Raw1, &r.Raw2, &r.Raw3})
        FUZZ_CHECK(IsDigits(*word, 4, 4), *word);
    FUZZ_CHECK(IsDigits(r.MinDb, 3, 3), r.MinDb);
    for (const std::string* code : {&r.Flag, &r.HpfCode, &r.LpfCode, &r.NfCode, &r.NrCode})
        FUZZ_CHECK(IsDigits(*code, 1, 1), *code);
    FUZZ_CHECK(IsDateText(r.Date), r.Date);
    // The clock counts real seconds, so its dates are real ones.
    const int month = StrToInt(r.Date.substr(5, 2));
    const int day = StrToInt(r.Date.substr(8, 2));
    const int hour = StrToInt(r.Date.substr(11, 2));
    const int minute = StrToInt(r.Date.substr(14, 2));
    FUZZ_CHECK(month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour <= 23 && minute <= 59,
               r.Date);
    FUZZ_CHECK(r.Note.empty(), r.Note);
}

void CheckSensor(const recReadDataSeg& r, std::size_t position, int sensorIndex) {
    FUZZ_CHECK(IsDigits(r.DataNo, 5, 5) && StrToInt(r.DataNo) == static_cast<int>(position) + 1,
               r.DataNo);
    FUZZ_CHECK(r.Raw1 == "0000" && r.Raw2 == "0000" && r.Raw3 == "0000", r.Raw1);
    // 0..99 on the MAX range, moved up by 20 for MID and 40 for MIN.
    FUZZ_CHECK(IsDigits(r.MinDb, 2, 3), r.MinDb);
    const int level = StrToInt(r.MinDb);
    FUZZ_CHECK(level >= 20 * sensorIndex && level <= 99 + 20 * sensorIndex, r.MinDb);
    for (const std::string* code : {&r.Flag, &r.HpfCode, &r.LpfCode, &r.NfCode, &r.NrCode})
        FUZZ_CHECK(*code == "9", *code);
    FUZZ_CHECK(IsDateText(r.Date), r.Date);
    FUZZ_CHECK(r.Note.empty(), r.Note);
}

// A download becomes a document that is saved; the file must give the same records back.
void CheckSavesAndLoads(const std::vector<recReadDataSeg>& records, int model) {
    DocumentData doc;
    doc.Model = model;
    doc.Records = records;
    std::string saved;
    std::string why;
    FUZZ_CHECK(FormatDataFile(doc, "1.0.0.0", saved, &why), why);
    DocumentData loaded;
    const LoadResult result = ParseDataFile(saved, loaded);
    FUZZ_CHECK(result.status == LoadStatus::Ok, result.detail);
    FUZZ_CHECK(loaded.Model == model && loaded.Records.size() == records.size(), "records lost");
    for (std::size_t n = 0; n < records.size(); ++n) {
        recReadDataSeg expected = records[n];
        // A two-digit sensor level is written into its three-digit column.
        FUZZ_CHECK(StrToInt(loaded.Records[n].MinDb) == StrToInt(expected.MinDb),
                   loaded.Records[n].MinDb);
        expected.MinDb = loaded.Records[n].MinDb;
        FUZZ_CHECK(loaded.Records[n] == expected, "record " + std::to_string(n + 1) + " changed");
    }
    CheckForDisplay(loaded); // raises, and so stops the run, when a value does not show
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const int deviceType = data[0] % 4;
    const int sensorIndex = data[1] % 3;
    const std::uint8_t* payload = data + 2;
    const std::size_t assembled = size - 2;

    std::vector<recReadDataSeg> out;
    const DecodeStatus status = DecodeRecords(payload, assembled, deviceType, sensorIndex, out);
    if (deviceType != DeviceQMV27 && deviceType != DevicePLX01) {
        FUZZ_CHECK(status == DecodeStatus::BadRecord && out.empty(), "decoded without a type");
        return 0;
    }
    const bool logger = deviceType == DeviceQMV27;
    const std::size_t recordSize = logger ? LoggerRecordSize : SensorRecordSize;
    FUZZ_CHECK(out.size() <= static_cast<std::size_t>(MaxRecords), std::to_string(out.size()));
    FUZZ_CHECK(out.size() * recordSize <= assembled, "a record beyond the data");
    if (status == DecodeStatus::TooManyRecords)
        FUZZ_CHECK(out.size() == static_cast<std::size_t>(MaxRecords), "stopped early");

    for (std::size_t n = 0; n < out.size(); ++n) {
        const std::uint8_t* raw = payload + n * recordSize;
        FUZZ_CHECK(!EndsRecords(raw, deviceType), "a record after the end marker or padding");
        if (logger)
            CheckLogger(out[n], raw);
        else
            CheckSensor(out[n], n, sensorIndex);
    }
    if (status == DecodeStatus::Ok) {
        // Decoding ran to the end marker, the padding or the last whole record.
        const std::size_t next = out.size() * recordSize;
        FUZZ_CHECK(next + recordSize > assembled || EndsRecords(payload + next, deviceType),
                   "stopped before the end");
    }
    CheckSavesAndLoads(out, logger ? ModelQMV27 : ModelGZNMax + sensorIndex);
    return 0;
}
