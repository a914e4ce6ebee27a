// The data file reader on arbitrary bytes. Whatever it accepts must fit the columns the writer
// puts it back into, and must survive a save and a reload: the same header, the same number of
// records, the same notes and memo, every field the same or only zero-filled or blank-filled
// into its column, and a document that could be shown still can be.
#include <cstdint>
#include <string>

#include "data/codepage.h"
#include "data/datafile.h"
#include "fuzzcheck.h"

using namespace qmv;

namespace {

constexpr std::size_t FieldWidths[12] = {5, 4, 4, 4, 3, 1, 16, 1, 1, 1, 1, NoteBytes};
constexpr int NoteField = 11;

const std::string& Field(const recReadDataSeg& r, int i) {
    const std::string* fields[12] = {&r.DataNo,  &r.Raw1,   &r.Raw2,   &r.Raw3,
                                     &r.MinDb,   &r.Flag,   &r.Date,   &r.HpfCode,
                                     &r.LpfCode, &r.NfCode, &r.NrCode, &r.Note};
    return *fields[i];
}

bool ParsesAs(const std::string& text, int& value) {
    try {
        value = StrToInt(text);
        return true;
    } catch (const EConvertError&) {
        return false;
    }
}

bool Shows(const DocumentData& doc) {
    try {
        CheckForDisplay(doc);
        return true;
    } catch (const EConvertError&) {
        return false;
    }
}

// A field after a save and a reload: unchanged, the same number written wider, or the same
// text followed by the blanks that keep later columns in place.
bool SameField(const std::string& before, const std::string& after, std::size_t width) {
    if (before == after)
        return true;
    if (after.size() == width && after.compare(0, before.size(), before) == 0 &&
        after.find_first_not_of(' ', before.size()) == std::string::npos)
        return true;
    // Parsed last: most fields take one of the cases above, and exceptions are slow.
    int a = 0;
    int b = 0;
    return after.size() == width && ParsesAs(before, a) && ParsesAs(after, b) && a == b;
}

// The writer leaves out a memo that is one empty line; it reads back as no memo at all.
std::vector<std::string> SavedMemo(const std::vector<std::string>& memo) {
    if (memo.size() == 1 && memo[0].empty())
        return {};
    return memo;
}

void CheckFits(const DocumentData& doc) {
    FUZZ_CHECK(doc.Records.size() <= static_cast<std::size_t>(MaxRecords),
               std::to_string(doc.Records.size()) + " records");
    for (const recReadDataSeg& r : doc.Records)
        for (int f = 0; f < 12; ++f) {
            const std::string& value = Field(r, f);
            const std::string which = "field " + std::to_string(f + 1);
            FUZZ_CHECK(value.size() <= FieldWidths[f], which);
            FUZZ_CHECK(value.find('\0') == std::string::npos, which);
            FUZZ_CHECK(value.find_first_of("\r\n") == std::string::npos, which);
        }
    for (const std::string& line : doc.Memo)
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos, "memo line holds a line end");
}

void CheckOne(const std::string& bytes) {
    DocumentData doc;
    const LoadResult loaded = ParseDataFile(bytes, doc);
    if (loaded.status != LoadStatus::Ok) {
        FUZZ_CHECK(doc.Records.empty() && doc.Memo.empty(), "a failed load left data behind");
        return;
    }
    CheckFits(doc);

    std::string saved;
    std::string why;
    FUZZ_CHECK(FormatDataFile(doc, "1.0.0.0", saved, &why), why);
    DocumentData again;
    const LoadResult reloaded = ParseDataFile(saved, again);
    FUZZ_CHECK(reloaded.status == LoadStatus::Ok, reloaded.detail);
    CheckFits(again);
    FUZZ_CHECK(again.Model == doc.Model && again.BarGraph == doc.BarGraph &&
                   again.AxisMax == doc.AxisMax && again.AxisMin == doc.AxisMin &&
                   again.StdLevel == doc.StdLevel,
               "header changed");
    FUZZ_CHECK(again.Records.size() == doc.Records.size(), "record count changed");
    for (std::size_t n = 0; n < doc.Records.size(); ++n)
        for (int f = 0; f < 12; ++f) {
            const std::string& before = Field(doc.Records[n], f);
            const std::string& after = Field(again.Records[n], f);
            FUZZ_CHECK(f == NoteField ? before == after : SameField(before, after, FieldWidths[f]),
                       "record " + std::to_string(n + 1) + " field " + std::to_string(f + 1) +
                           ": \"" + before + "\" became \"" + after + "\"");
        }
    FUZZ_CHECK(again.Memo == SavedMemo(doc.Memo), "memo changed");
    FUZZ_CHECK(!Shows(doc) || Shows(again), "a document that showed no longer does after a save");

    // A saved file is the writer's fixed point.
    std::string savedAgain;
    FUZZ_CHECK(FormatDataFile(again, "1.0.0.0", savedAgain, &why), why);
    FUZZ_CHECK(savedAgain == saved, "a second save wrote different bytes");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // A note that is too long is cut at a whole character, so the code page matters: a
    // single-byte and a double-byte one.
    for (const int codePage : {1252, 932}) {
        SetActiveCodePage(codePage);
        CheckOne(bytes);
    }
    return 0;
}
