#include "printlayout.h"

#include <algorithm>
#include <cctype>

#include "data/codepage.h"
#include "data/record.h"

namespace qmv {

const std::array<const char*, PrintOptionCount> PrintOptionKeys = {
    "Graph", "List", "Record", "DataNo", "Onatsu", "Date", "BPF", "NF", "NR", "Note", "Memo"};

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Whether the memo holds anything: a memo of one empty line is empty.
bool MemoEmpty(const std::vector<std::string>& memo) {
    return memo.empty() || (memo.size() == 1 && memo[0].empty());
}

// One table column: the option that shows it, its header and how far the next column starts.
struct Column {
    PrintOption option;
    const char* header; // key of section "Graph"
    int width;
};

// A column is at least as wide as its header and a gap, so that a long header does not run into
// the next one; all other columns keep their widths.
std::vector<Column> TableColumns(int W, const PrintOptions& options, int model,
                                 const TextTable& texts, const PrintTextWidth& width) {
    const std::vector<Column> all = {
        {PrintRecord, "PrintRecord", W / 20},
        {PrintDataNo, "PrintDataNo", W / 20 + W / 80},
        {PrintOnatsu, "PrintOnatsu", W / 20 + W / 80},
        {PrintDate, "PrintDate", W / 10 + W / 20 + W / 80},
        {PrintBPF, "PrintBPF", W / 10 + W / 20},
        {PrintNF, "PrintNF", W / 20 + W / 40},
        {PrintNR, "PrintNR", W / 20 + W / 80},
        {PrintNote, "PrintNote", 0},
    };
    // Only the logger measures filters; other models have no such columns whatever is ticked.
    const bool filters = model == ModelQMV27;
    std::vector<Column> shown;
    for (const Column& c : all) {
        const bool filter = c.option == PrintBPF || c.option == PrintNF || c.option == PrintNR;
        if (options[c.option] && (filters || !filter))
            shown.push_back(c);
    }
    for (Column& c : shown)
        if (c.width > 0)
            c.width = std::max(c.width, width(texts.Text("Graph", c.header)) + W / 80);
    return shown;
}

class Pages {
public:
    Pages(const PrintPage& page, PrintLayout& layout) : page_(page), layout_(layout) {
        layout_.pages.emplace_back();
    }

    void Text(int x, const std::string& text) { Current().texts.push_back({x, y, text}); }
    void Rule(int x1, int x2) { Current().rules.push_back({x1, x2, y - 3}); }

    // A line that would start below nine tenths of the page goes to the top of a new page; so do
    // lines that must stay together (a heading and its first line) when the last would.
    void Check(int together = 1) {
        if (9 * (page_.H / 10) < y + (together - 1) * page_.L) {
            layout_.pages.emplace_back();
            y = page_.H / 10;
        }
    }

    int y = 0;

private:
    PrintedPage& Current() { return layout_.pages.back(); }
    const PrintPage& page_;
    PrintLayout& layout_;
};

} // namespace

bool ParsePrintOptionList(const std::string& list, PrintOptions& options, std::string& bad) {
    PrintOptions chosen{};
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string name = Lower(list.substr(start, end - start));
        if (!name.empty()) {
            int found = -1;
            for (int i = 0; i < PrintOptionCount; ++i)
                if (name == Lower(PrintOptionKeys[i]))
                    found = i;
            if (found < 0) {
                bad = name;
                return false;
            }
            chosen[found] = true;
        }
        start = end + 1;
    }
    options = chosen;
    return true;
}

int LinePitch(int dpi) {
    // The font height of 10 points, rounded to the nearest pixel.
    return (10 * dpi + 36) / 72 + 5;
}

std::vector<std::string> WrapPrintLine(const std::string& line, int limit,
                                       const PrintTextWidth& width, int codePage) {
    std::vector<std::string> pieces;
    if (width(line) < limit) {
        pieces.push_back(line);
        return pieces;
    }
    std::size_t start = 0;
    while (start < line.size()) {
        // Grow the piece one whole character at a time while it still fits.
        std::size_t fits = 0;
        std::size_t next = start;
        while (next < line.size()) {
            const bool lead = IsLeadByte(static_cast<unsigned char>(line[next]), codePage);
            std::size_t end = next + (lead ? 2 : 1);
            if (end > line.size())
                end = line.size();
            if (width(line.substr(start, end - start)) >= limit)
                break;
            fits = end - start;
            next = end;
        }
        if (fits == 0) {
            // A single character wider than the page still has to go somewhere.
            const bool lead = IsLeadByte(static_cast<unsigned char>(line[start]), codePage);
            fits = std::min<std::size_t>(lead ? 2 : 1, line.size() - start);
        }
        pieces.push_back(line.substr(start, fits));
        start += fits;
    }
    return pieces;
}

PrintLayout LayOutPrint(const PrintPage& page, const PrintOptions& options,
                        const std::string& caption, const std::string& modelName,
                        const DocumentData& doc, const TextTable& texts,
                        const PrintTextWidth& width, int codePage) {
    const int W = page.W;
    const int H = page.H;
    const int L = page.L;
    const int left = W / 10;
    const auto t = [&texts](const char* key) { return texts.Text("Graph", key); };

    PrintLayout layout;
    Pages out(page, layout);

    if (options[PrintGraph]) {
        layout.chart = true;
        layout.chartLeft = W / 10;
        layout.chartTop = H / 10;
        layout.chartRight = W - W / 10;
        layout.chartBottom = H / 2;
        out.y = H / 2;
    } else {
        out.y = H / 10;
    }

    out.Text(left, t("PrintFile"));
    out.Text(2 * left, caption);
    out.y += L;
    out.Text(left, t("PrintModel"));
    out.Text(2 * left, modelName);
    out.y += 2 * L;

    if (options[PrintList]) {
        const int ruleEnd = doc.Model == ModelQMV27 ? 9 * (W / 10) : 7 * (W / 10);
        const std::vector<Column> columns = TableColumns(W, options, doc.Model, texts, width);
        // The header row goes with the first row, never alone at the foot of a page.
        if (!doc.Records.empty())
            out.Check(2);
        out.Rule(left, ruleEnd);
        int x = left;
        for (const Column& c : columns) {
            out.Text(x, t(c.header));
            x += c.width;
        }
        out.y += L;
        out.Rule(left, ruleEnd);

        for (std::size_t i = 0; i < doc.Records.size(); ++i) {
            const recReadDataSeg& r = doc.Records[i];
            out.Check();
            x = left;
            for (const Column& c : columns) {
                switch (c.option) {
                case PrintRecord:
                    out.Text(x, std::to_string(i + 1));
                    break;
                case PrintDataNo:
                    out.Text(x, FormatDataNo(doc.Model, r.DataNo));
                    break;
                case PrintOnatsu:
                    out.Text(x, r.MinDb);
                    break;
                case PrintDate:
                    out.Text(x, r.Date);
                    break;
                case PrintBPF: {
                    // High-pass " - " low-pass, then the unit, each at its own stop.
                    const int dash = x + W / 40 + W / 80;
                    const int low = dash + W / 40;
                    const int unit = low + W / 40 + W / 80;
                    out.Text(x, HpfText(r.HpfCode));
                    out.Text(dash, " - ");
                    out.Text(low, LpfText(r.LpfCode));
                    out.Text(unit, texts.Text("QMVData", "Hz"));
                    break;
                }
                case PrintNF:
                    out.Text(x, NfText(r.NfCode));
                    break;
                case PrintNR:
                    out.Text(x, NrText(r.NrCode));
                    break;
                default:
                    out.Text(x, r.Note);
                    break;
                }
                x += c.width;
            }
            out.y += L;
            if ((i + 1) % 5 == 0)
                out.Rule(left, ruleEnd);
        }
        out.Rule(left, ruleEnd);
        out.y += L;
    }

    if (options[PrintMemo] && !MemoEmpty(doc.Memo)) {
        out.Check(2); // the heading with the first line of the memo
        out.Text(left, t("PrintMemo"));
        out.y += L;
        const int limit = W - 2 * (W / 10);
        for (const std::string& line : doc.Memo)
            for (const std::string& piece : WrapPrintLine(line, limit, width, codePage)) {
                out.Check();
                out.Text(left, piece);
                out.y += L;
            }
    }
    return layout;
}

} // namespace qmv
