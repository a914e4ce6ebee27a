#include "datafile.h"

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "codepage.h"

namespace qmv {

namespace {

constexpr const char* Crlf = "\r\n";
constexpr const char* MemoMark = "Memo";

// Columns of a record line: offset and width of each field.
struct Column {
    int offset;
    int width;
};
constexpr Column RecordColumns[12] = {{0, 5},  {6, 4},  {11, 4},  {16, 4},
                                      {21, 3}, {25, 1}, {27, 16}, {44, 1},
                                      {46, 1}, {48, 1}, {50, 1},  {52, NoteBytes}};

std::string* FieldOf(recReadDataSeg& r, int i) {
    std::string* fields[12] = {&r.DataNo, &r.Raw1,    &r.Raw2,    &r.Raw3,   &r.MinDb,  &r.Flag,
                               &r.Date,   &r.HpfCode, &r.LpfCode, &r.NfCode, &r.NrCode, &r.Note};
    return fields[i];
}

const std::string& FieldOf(const recReadDataSeg& r, int i) {
    return *FieldOf(const_cast<recReadDataSeg&>(r), i);
}

// A field cut from a slot: from its offset for its width, ending early where the slot's
// text ends (the reader's terminating zero).
std::string Cut(const std::string& slot, int offset, int width) {
    if (static_cast<std::size_t>(offset) >= slot.size())
        return {};
    std::string field =
        slot.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(width));
    const std::size_t zero = field.find('\0');
    if (zero != std::string::npos)
        field.resize(zero);
    return field;
}

// Splits a file's bytes into lines: CR LF, LF and a lone CR each end a line (files that passed
// through other systems end lines either way). A final line without a line end still counts; an
// empty tail after the last line end does not.
std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = bytes.size();
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 1;
        if (end < bytes.size() && bytes[end] == '\r' && pos < bytes.size() && bytes[pos] == '\n')
            ++pos;
    }
    return lines;
}

// A header value held in the range its column can be written back in: a negative value parses
// but has no zero-filled form of the column's width, so the document could never be saved.
int HeaderValue(const std::string& text, int digits) {
    int most = 1;
    for (int d = 0; d < digits; ++d)
        most *= 10;
    return std::clamp(StrToInt(text), 0, most - 1);
}

bool IsDigits(const std::string& s) {
    if (s.empty())
        return false;
    for (const char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Puts a numeric field into its column: shorter values are zero-filled after the sign, as the
// instrument's own "%0.Nd" fields are, so "40" becomes "040" and "-15" stays "-15".
bool FitNumber(const std::string& value, std::size_t width, std::string& out) {
    if (value.size() == width) {
        out = value;
        return true;
    }
    if (value.size() > width)
        return false;
    const bool negative = !value.empty() && value[0] == '-';
    const std::string digits = negative ? value.substr(1) : value;
    if (IsDigits(digits)) {
        out = (negative ? "-" : "") + std::string(width - value.size(), '0') + digits;
        return true;
    }
    // A number the reader took with blanks in front ("  7") keeps them in front, so it still
    // reads as that number; anything else is no number to place.
    try {
        StrToInt(value);
    } catch (const EConvertError&) {
        return false;
    }
    out = std::string(width - value.size(), ' ') + value;
    return true;
}

} // namespace

LoadResult ParseDataFile(const std::string& bytes, DocumentData& doc) {
    doc.Records.clear();
    doc.Memo.clear();
    const auto fail = [&doc](const std::string& why) {
        doc.Records.clear();
        doc.Memo.clear();
        return LoadResult{LoadStatus::BadData, why};
    };

    const std::vector<std::string> lines = SplitLines(bytes);
    if (lines.empty() || lines[0].empty())
        return fail("the file is empty");

    const std::string& first = lines[0];
    try {
        if (first.size() > 16 && first[16] == ',') {
            // Older header form with three-digit axis values.
            doc.Model = HeaderValue(Cut(first, 8, 2), 2);
            doc.BarGraph = StrToInt(Cut(first, 11, 1)) != 0;
            doc.AxisMax = HeaderValue(Cut(first, 13, 3), 4);
            doc.AxisMin = HeaderValue(Cut(first, 17, 3), 4);
            doc.StdLevel = HeaderValue(Cut(first, 21, 3), 4);
        } else {
            const std::string header = first.substr(0, HeaderSlotBytes - 1);
            doc.Model = HeaderValue(Cut(header, 8, 2), 2);
            doc.BarGraph = StrToInt(Cut(header, 11, 1)) != 0;
            doc.AxisMax = HeaderValue(Cut(header, 13, 4), 4);
            doc.AxisMin = HeaderValue(Cut(header, 18, 4), 4);
            doc.StdLevel = HeaderValue(Cut(header, 23, 4), 4);
        }
    } catch (const EConvertError& e) {
        return fail(std::string("bad header: ") + e.what());
    }

    std::vector<recReadDataSeg> records;
    std::size_t i = 1;
    for (; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line == MemoMark) {
            doc.Memo.assign(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, lines.end());
            break;
        }
        // Refused rather than cut: saving a cut document back would lose records.
        if (records.size() >= static_cast<std::size_t>(MaxRecords)) {
            LoadResult refused = fail("more than 250 records");
            refused.overLimit = true;
            return refused;
        }
        // The slot takes the line without its last character (the closing comma), at most
        // the slot size less its terminating zero.
        std::string slot = line.empty() ? std::string() : line.substr(0, line.size() - 1);
        const bool cut = slot.size() > static_cast<std::size_t>(RecordLineSlot - 1);
        if (cut)
            slot.resize(RecordLineSlot - 1);
        recReadDataSeg r;
        for (int f = 0; f < 12; ++f)
            *FieldOf(r, f) = Cut(slot, RecordColumns[f].offset, RecordColumns[f].width);
        // A cut through a double-byte character would leave half a character behind. A note
        // that was not cut is kept whole: its last byte may be a character of another code page.
        if (cut)
            r.Note.resize(WholeCharPrefix(r.Note, r.Note.size()));
        records.push_back(std::move(r));
    }
    doc.Records = std::move(records);
    return {};
}

LoadResult LoadDataFile(const std::string& path, DocumentData& doc) {
    std::string bytes;
    const ReadResult read = ReadRegularFile(path, bytes, MaxDataFileBytes);
    if (read.status == ReadStatus::OpenFailed) {
        LoadResult failed{LoadStatus::OpenFailed, read.detail};
        failed.fault = read.fault;
        return failed;
    }
    if (read.status != ReadStatus::Ok) {
        doc.Records.clear();
        doc.Memo.clear();
        LoadResult bad{LoadStatus::BadData, read.detail};
        bad.notAFile = read.status == ReadStatus::NotAFile;
        bad.fault = read.fault;
        return bad;
    }
    return ParseDataFile(bytes, doc);
}

bool LooksLikeDataFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    char head[16];
    const ssize_t n =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ::read(fd, head, sizeof head) : 0;
    ::close(fd);
    // Version, model and line/bar, each ended by a comma: the header every data file starts with.
    return n >= 13 && head[7] == ',' && head[10] == ',' && head[12] == ',' &&
           std::isdigit(static_cast<unsigned char>(head[8])) &&
           std::isdigit(static_cast<unsigned char>(head[9]));
}

void CheckForDisplay(const DocumentData& doc) {
    for (const recReadDataSeg& r : doc.Records) {
        StrToInt(r.DataNo);
        StrToInt(r.MinDb);
    }
    // Any record may be the one selected, so every record's filter codes must read.
    if (doc.Model == ModelQMV27) {
        for (const recReadDataSeg& r : doc.Records) {
            StrToInt(r.HpfCode);
            StrToInt(r.LpfCode);
            StrToInt(r.NfCode);
            StrToInt(r.NrCode);
        }
    }
}

bool FormatDataFile(const DocumentData& doc, const std::string& versionText, std::string& out,
                    std::string* detail) {
    const auto refuse = [detail](const std::string& why) {
        if (detail)
            *detail = why;
        return false;
    };
    if (doc.Records.size() > static_cast<std::size_t>(MaxRecords))
        return refuse("more than 250 records");

    // The reader finds every header field at a fixed offset, so the version is exactly seven
    // characters wide whatever the build calls itself.
    std::string version = versionText.substr(0, VersionWidth);
    version.resize(VersionWidth, ' ');

    std::string text = version + ',' + ZeroPad(doc.Model, 2) + ',' + (doc.BarGraph ? "1" : "0") +
                       ',' + ZeroPad(doc.AxisMax, 4) + ',' + ZeroPad(doc.AxisMin, 4) + ',' +
                       ZeroPad(doc.StdLevel, 4) + ',' + Crlf;
    if (text.size() != HeaderSlotBytes + 2)
        return refuse("a chart setting does not fit the header");

    for (std::size_t n = 0; n < doc.Records.size(); ++n) {
        const recReadDataSeg& r = doc.Records[n];
        std::string line;
        for (int f = 0; f < 12; ++f) {
            const std::string& value = FieldOf(r, f);
            const std::size_t width = static_cast<std::size_t>(RecordColumns[f].width);
            std::string fitted;
            if (value.find_first_of("\r\n") != std::string::npos)
                return refuse("record " + std::to_string(n + 1) + ": a field holds a line break");
            if (f == 11) {
                // Only a note that has to be cut loses a trailing lead byte with the cut.
                fitted =
                    value.size() <= width ? value : value.substr(0, WholeCharPrefix(value, width));
            } else if (f <= 4 && FitNumber(value, width, fitted)) {
                // zero-filled into its column
            } else if (value.size() <= width) {
                // Anything else keeps its column with blanks, so later fields stay in place.
                fitted = value + std::string(width - value.size(), ' ');
            } else {
                return refuse("record " + std::to_string(n + 1) + ": field " +
                              std::to_string(f + 1) + " \"" + value + "\" is too long");
            }
            line += fitted;
            line += ',';
        }
        text += line;
        text += Crlf;
    }
    text += MemoMark;
    text += Crlf;
    // A memo that is one empty line is an empty memo: nothing follows the mark.
    if (!(doc.Memo.size() == 1 && doc.Memo[0].empty()))
        for (const std::string& m : doc.Memo) {
            text += m;
            text += Crlf;
        }
    // What the reader would refuse is not written at all.
    if (text.size() > MaxDataFileBytes)
        return refuse("larger than " + std::to_string(MaxDataFileBytes) +
                      " bytes, which no data file may be");
    out = std::move(text);
    return true;
}

SaveResult SaveDataFile(const std::string& path, const DocumentData& doc,
                        const std::string& versionText, const ChunkWriter& writer) {
    std::string bytes;
    std::string why;
    if (!FormatDataFile(doc, versionText, bytes, &why))
        return {SaveStatus::WriteFailed, why};
    return WriteFileAtomically(path, bytes, writer);
}

} // namespace qmv
