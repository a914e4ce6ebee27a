#include "datafile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
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

// Splits a file's bytes into lines: LF ends a line, a CR before it is dropped. A final line
// without a line end still counts; an empty tail after the last line end does not.
std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        const bool last = end == std::string::npos;
        if (last)
            end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        pos = end + 1;
    }
    return lines;
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
    if (!IsDigits(digits))
        return false;
    out = (negative ? "-" : "") + std::string(width - value.size(), '0') + digits;
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
            doc.Model = StrToInt(Cut(first, 8, 2));
            doc.BarGraph = StrToInt(Cut(first, 11, 1)) != 0;
            doc.AxisMax = StrToInt(Cut(first, 13, 3));
            doc.AxisMin = StrToInt(Cut(first, 17, 3));
            doc.StdLevel = StrToInt(Cut(first, 21, 3));
        } else {
            const std::string header = first.substr(0, HeaderSlotBytes - 1);
            doc.Model = StrToInt(Cut(header, 8, 2));
            doc.BarGraph = StrToInt(Cut(header, 11, 1)) != 0;
            doc.AxisMax = StrToInt(Cut(header, 13, 4));
            doc.AxisMin = StrToInt(Cut(header, 18, 4));
            doc.StdLevel = StrToInt(Cut(header, 23, 4));
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
        if (records.size() >= static_cast<std::size_t>(MaxRecords))
            return fail("more than 250 records");
        // The slot takes the line without its last character (the closing comma), at most
        // the slot size less its terminating zero.
        std::string slot = line.empty() ? std::string() : line.substr(0, line.size() - 1);
        if (slot.size() > static_cast<std::size_t>(RecordLineSlot - 1))
            slot.resize(RecordLineSlot - 1);
        recReadDataSeg r;
        for (int f = 0; f < 12; ++f)
            *FieldOf(r, f) = Cut(slot, RecordColumns[f].offset, RecordColumns[f].width);
        // A cut through a double-byte character would leave half a character behind.
        r.Note.resize(WholeCharPrefix(r.Note, r.Note.size()));
        records.push_back(std::move(r));
    }
    doc.Records = std::move(records);
    return {};
}

LoadResult LoadDataFile(const std::string& path, DocumentData& doc) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {LoadStatus::OpenFailed, std::string("cannot open: ") + std::strerror(errno)};
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        doc.Records.clear();
        doc.Memo.clear();
        return {LoadStatus::BadData, "read error"};
    }
    return ParseDataFile(bytes, doc);
}

void CheckForDisplay(const DocumentData& doc) {
    for (const recReadDataSeg& r : doc.Records) {
        StrToInt(r.DataNo);
        StrToInt(r.MinDb);
    }
    if (doc.Model == ModelQMV27 && !doc.Records.empty()) {
        const recReadDataSeg& r = doc.Records.front();
        StrToInt(r.HpfCode);
        StrToInt(r.LpfCode);
        StrToInt(r.NfCode);
        StrToInt(r.NrCode);
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
                fitted = value.substr(0, WholeCharPrefix(value, width));
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
    out = std::move(text);
    return true;
}

SaveResult WriteFileAtomically(const std::string& path, const std::string& bytes,
                               const ChunkWriter& writer) {
    const std::size_t slash = path.rfind('/');
    std::string tmpl = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
                       ".qmvsave-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return {SaveStatus::OpenFailed, std::string("cannot create: ") + std::strerror(errno)};
    const std::string tmpPath(name.data());

    // A file that is replaced keeps its permissions; a new one gets the usual ones.
    struct stat st {};
    mode_t mode = 0666;
    if (stat(path.c_str(), &st) == 0)
        mode = st.st_mode & 07777;
    else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);

    const auto posixWrite = [](int f, const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(f, data, size);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    };
    bool ok = true;
    constexpr std::size_t Chunk = 4096;
    for (std::size_t pos = 0; ok && pos < bytes.size(); pos += Chunk) {
        const std::size_t size = std::min(Chunk, bytes.size() - pos);
        ok = writer ? writer(fd, bytes.data() + pos, size)
                    : posixWrite(fd, bytes.data() + pos, size);
    }
    std::string why = ok ? std::string() : std::string("write failed: ") + std::strerror(errno);
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        why = std::string("cannot flush: ") + std::strerror(errno);
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        why = std::string("cannot close: ") + std::strerror(errno);
    }
    if (ok && std::rename(tmpPath.c_str(), path.c_str()) != 0) {
        ok = false;
        why = std::string("cannot replace the file: ") + std::strerror(errno);
    }
    if (!ok) {
        ::unlink(tmpPath.c_str());
        return {SaveStatus::WriteFailed, why};
    }
    return {};
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
