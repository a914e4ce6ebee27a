// The printed page worked out without a printer: heading, table columns, page breaks, memo.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "data/codepage.h"
#include "output/printlayout.h"

namespace qmv {
namespace {

// A page of round numbers: W/10 = 200, H/10 = 100, pitch 40.
const PrintPage Page{2000, 1000, 40};

// Every byte 10 units wide.
int ByteWidth(const std::string& bytes) {
    return static_cast<int>(bytes.size()) * 10;
}

// Half as wide: every header of Texts() fits its column.
const PrintTextWidth Narrow = [](const std::string& bytes) { return ByteWidth(bytes) / 2; };

TextTable Texts() {
    TextTable t;
    const char* const keys[] = {"PrintFile",   "PrintModel",  "PrintMemo", "PrintRecord",
                                "PrintDataNo", "PrintOnatsu", "PrintDate", "PrintBPF",
                                "PrintNF",     "PrintNR",     "PrintNote"};
    for (const char* k : keys)
        t.Set("Graph", k, std::string("<") + k + ">");
    t.Set("QMVData", "Hz", "Hz");
    return t;
}

recReadDataSeg Record(int no) {
    return {"000" + std::to_string(no),
            "0100",
            "0200",
            "0300",
            "1" + std::to_string(no),
            "0",
            "2011/03/01 10:00",
            "1",
            "2",
            "1",
            "0",
            "note" + std::to_string(no)};
}

DocumentData Doc(int model, int records) {
    DocumentData d;
    d.Model = model;
    for (int i = 1; i <= records; ++i)
        d.Records.push_back(Record(i));
    return d;
}

PrintLayout Lay(const DocumentData& doc, const PrintOptions& options = AllPrintOptions,
                const PrintTextWidth& width = Narrow, const PrintPage& page = Page) {
    return LayOutPrint(page, options, "doc.q27", "QMV-27", doc, Texts(), width, 1252);
}

// The texts of a page on one line (y), left to right.
std::vector<std::pair<int, std::string>> Line(const PrintedPage& page, int y) {
    std::vector<std::pair<int, std::string>> line;
    for (const PrintText& t : page.texts)
        if (t.y == y)
            line.emplace_back(t.x, t.text);
    std::sort(line.begin(), line.end());
    return line;
}

const PrintText* Find(const PrintLayout& layout, const std::string& text, int* pageNo = nullptr) {
    for (std::size_t p = 0; p < layout.pages.size(); ++p)
        for (const PrintText& t : layout.pages[p].texts)
            if (t.text == text) {
                if (pageNo)
                    *pageNo = static_cast<int>(p);
                return &t;
            }
    return nullptr;
}

TEST(PrintLayout, LinePitchIsTenPointsOfTheDeviceAndFive) {
    EXPECT_EQ(LinePitch(72), 15);
    EXPECT_EQ(LinePitch(96), 18);    // 13.3 rounds to 13
    EXPECT_EQ(LinePitch(600), 88);   // 83.3 rounds to 83
    EXPECT_EQ(LinePitch(1200), 172); // 166.7 rounds to 167
}

TEST(PrintLayout, HeadingFollowsTheChartOrTheTopMargin) {
    const PrintLayout withChart = Lay(Doc(1, 1));
    EXPECT_TRUE(withChart.chart);
    EXPECT_EQ(withChart.chartLeft, 200);
    EXPECT_EQ(withChart.chartTop, 100);
    EXPECT_EQ(withChart.chartRight, 1800);
    EXPECT_EQ(withChart.chartBottom, 500);
    using L = std::vector<std::pair<int, std::string>>;
    EXPECT_EQ(Line(withChart.pages[0], 500), (L{{200, "<PrintFile>"}, {400, "doc.q27"}}));
    EXPECT_EQ(Line(withChart.pages[0], 540), (L{{200, "<PrintModel>"}, {400, "QMV-27"}}));
    // One empty line, then the table's first rule just above its header.
    EXPECT_EQ(withChart.pages[0].rules.front().y, 617);

    PrintOptions noChart = AllPrintOptions;
    noChart[PrintGraph] = false;
    const PrintLayout top = Lay(Doc(1, 1), noChart);
    EXPECT_FALSE(top.chart);
    EXPECT_EQ(Line(top.pages[0], 100), (L{{200, "<PrintFile>"}, {400, "doc.q27"}}));
}

TEST(PrintLayout, FilterColumnsOnlyForTheLogger) {
    using L = std::vector<std::pair<int, std::string>>;
    // Header at y 620: Record 200 wide 100, DataNo 125, Onatsu 125, Date 325, BPF 300, NF 150,
    // NR 125.
    const PrintLayout logger = Lay(Doc(ModelQMV27, 1));
    EXPECT_EQ(Line(logger.pages[0], 620), (L{{200, "<PrintRecord>"},
                                             {300, "<PrintDataNo>"},
                                             {425, "<PrintOnatsu>"},
                                             {550, "<PrintDate>"},
                                             {875, "<PrintBPF>"},
                                             {1175, "<PrintNF>"},
                                             {1325, "<PrintNR>"},
                                             {1450, "<PrintNote>"}}));
    EXPECT_EQ(Line(logger.pages[0], 660), (L{{200, "1"},
                                             {300, "001"},
                                             {425, "11"},
                                             {550, "2011/03/01 10:00"},
                                             {875, "200"},
                                             {950, " - "},
                                             {1000, "800"},
                                             {1075, "Hz"},
                                             {1175, "50 Hz"},
                                             {1325, "OFF"},
                                             {1450, "note1"}}));
    // At 10 units a byte the first three headers are wider than their columns: those grow.
    const auto wide = Line(Lay(Doc(ModelQMV27, 1), AllPrintOptions, ByteWidth).pages[0], 620);
    for (std::size_t i = 0; i + 1 < wide.size(); ++i)
        EXPECT_LT(ByteWidth(wide[i].second), wide[i + 1].first - wide[i].first) << wide[i].second;
    for (const PrintRule& r : logger.pages[0].rules) {
        EXPECT_EQ(r.x1, 200);
        EXPECT_EQ(r.x2, 1800);
    }

    // A sensor model has no filter columns even with every option on, and shorter rules.
    const PrintLayout sensor = Lay(Doc(ModelGZNMid, 1));
    EXPECT_EQ(Line(sensor.pages[0], 620), (L{{200, "<PrintRecord>"},
                                             {300, "<PrintDataNo>"},
                                             {425, "<PrintOnatsu>"},
                                             {550, "<PrintDate>"},
                                             {875, "<PrintNote>"}}));
    for (const PrintRule& r : sensor.pages[0].rules)
        EXPECT_EQ(r.x2, 1400);
}

TEST(PrintLayout, OptionsLeaveOutColumnsTableAndMemo) {
    using L = std::vector<std::pair<int, std::string>>;
    DocumentData doc = Doc(ModelQMV27, 1);
    doc.Memo = {"memo"};
    PrintOptions some = AllPrintOptions;
    some[PrintRecord] = false;
    some[PrintDate] = false;
    some[PrintNF] = false;
    const PrintLayout layout = Lay(doc, some);
    EXPECT_EQ(Line(layout.pages[0], 620), (L{{200, "<PrintDataNo>"},
                                             {325, "<PrintOnatsu>"},
                                             {450, "<PrintBPF>"},
                                             {750, "<PrintNR>"},
                                             {875, "<PrintNote>"}}));
    EXPECT_NE(Find(layout, "memo"), nullptr);

    PrintOptions noTable = AllPrintOptions;
    noTable[PrintList] = false;
    const PrintLayout bare = Lay(doc, noTable);
    EXPECT_TRUE(bare.pages[0].rules.empty());
    EXPECT_EQ(Find(bare, "<PrintRecord>"), nullptr);
    // The memo heading takes the table's place, after the empty line below the heading.
    EXPECT_EQ(Line(bare.pages[0], 620), (L{{200, "<PrintMemo>"}}));

    // An empty memo prints no memo heading, whatever the option says.
    doc.Memo = {""};
    EXPECT_EQ(Find(Lay(doc), "<PrintMemo>"), nullptr);
}

TEST(PrintLayout, RowsBreakToANewPageBelowNineTenths) {
    // Rows start at y 660 and step 40: the row at y 900 still fits (900 is not below 900), the
    // next one goes to the top of page 2.
    const PrintLayout layout = Lay(Doc(ModelQMV27, 9));
    ASSERT_EQ(layout.pages.size(), 2u);
    int page = -1;
    const PrintText* seventh = Find(layout, "note7", &page);
    ASSERT_NE(seventh, nullptr);
    EXPECT_EQ(page, 0);
    EXPECT_EQ(seventh->y, 900);
    const PrintText* eighth = Find(layout, "note8", &page);
    ASSERT_NE(eighth, nullptr);
    EXPECT_EQ(page, 1);
    EXPECT_EQ(eighth->y, 100);
    // Headings are not repeated on the new page.
    for (const PrintText& t : layout.pages[1].texts)
        EXPECT_EQ(t.text.rfind("<Print", 0), std::string::npos) << t.text;
    // A rule after every fifth row, and one after the last.
    std::vector<int> ruleYs;
    for (const PrintRule& r : layout.pages[1].rules)
        ruleYs.push_back(r.y);
    EXPECT_EQ(ruleYs, (std::vector<int>{177}));
    ruleYs.clear();
    for (const PrintRule& r : layout.pages[0].rules)
        ruleYs.push_back(r.y);
    EXPECT_EQ(ruleYs, (std::vector<int>{617, 657, 857}));
}

TEST(PrintLayout, HeadingsStayWithTheirFirstLine) {
    // Each heading would just fit at the foot of page one, at y 900: it starts the next page.
    using L = std::vector<std::pair<int, std::string>>;
    DocumentData memo = Doc(ModelQMV27, 5);
    memo.Memo = {"first"};
    const PrintLayout m = Lay(memo);
    EXPECT_EQ(Line(m.pages.back(), 100), (L{{200, "<PrintMemo>"}}));
    EXPECT_EQ(Line(m.pages.back(), 140), (L{{200, "first"}}));
    const PrintLayout t = Lay(Doc(ModelQMV27, 1), AllPrintOptions, Narrow, {2000, 1000, 120});
    const PrintLayout one = Lay(Doc(ModelQMV27, 1));
    EXPECT_EQ(Line(t.pages.back(), 100), Line(one.pages[0], 620)); // header row
    EXPECT_EQ(Line(t.pages.back(), 220), Line(one.pages[0], 660)); // first row
}

TEST(PrintLayout, BadRecordFieldRaisesBeforeAnyPage) {
    DocumentData doc = Doc(ModelQMV27, 2);
    doc.Records[1].DataNo = "x1";
    EXPECT_THROW(Lay(doc), EConvertError);
    // A column that is not printed is not parsed either.
    PrintOptions noDataNo = AllPrintOptions;
    noDataNo[PrintDataNo] = false;
    EXPECT_NO_THROW(Lay(doc, noDataNo));
}

std::string Join(const std::vector<std::string>& pieces) {
    std::string all;
    for (const std::string& p : pieces)
        all += p;
    return all;
}

TEST(PrintLayout, MemoWrapsByWholeCharactersWithinTheWidth) {
    // In code page 932 "\x93\xFA" is one character whose second byte has a lead byte's value.
    const std::string day = "\x93\xFA";
    const std::string a = "\x82\xA0";
    // 8 single bytes fill 80 of 100; the double-byte character would reach 100: it starts the
    // next piece instead of being cut in two.
    const std::string line = "abcdefgh" + a + "ij" + day + day + day + day + "k";
    const auto pieces = WrapPrintLine(line, 100, ByteWidth, 932);
    EXPECT_EQ(pieces,
              (std::vector<std::string>{"abcdefgh", a + "ij" + day + day, day + day + "k"}));

    // Two-byte characters that each end in a byte of lead-byte value cut between characters.
    const auto days = WrapPrintLine(day + day + day + day + day, 40, ByteWidth, 932);
    EXPECT_EQ(days, (std::vector<std::string>{day, day, day, day, day}));
    for (const std::string& p : days)
        EXPECT_EQ(WholeCharPrefix(p, p.size(), 932), p.size());

    // A line that fits stays whole, an empty one too; a character wider than the page still
    // comes out.
    EXPECT_EQ(WrapPrintLine("short", 100, ByteWidth, 932), (std::vector<std::string>{"short"}));
    EXPECT_EQ(WrapPrintLine("", 100, ByteWidth, 932), (std::vector<std::string>{""}));
    EXPECT_EQ(Join(WrapPrintLine(day + "x", 15, ByteWidth, 932)), day + "x");
}

TEST(PrintLayout, MemoPiecesGoOnLinesOfTheirOwn) {
    DocumentData doc = Doc(ModelQMV27, 0);
    // The limit is W - 2 W/10 = 1600: 170 bytes make two pieces.
    doc.Memo = {std::string(170, 'm'), "", "end"};
    PrintOptions noChart = AllPrintOptions;
    noChart[PrintGraph] = false;
    const PrintLayout layout = Lay(doc, noChart, ByteWidth);
    const PrintText* heading = Find(layout, "<PrintMemo>");
    ASSERT_NE(heading, nullptr);
    const int y = heading->y;
    using L = std::vector<std::pair<int, std::string>>;
    EXPECT_EQ(Line(layout.pages[0], y + 40), (L{{200, std::string(159, 'm')}}));
    EXPECT_EQ(Line(layout.pages[0], y + 80), (L{{200, std::string(11, 'm')}}));
    EXPECT_EQ(Line(layout.pages[0], y + 120), (L{{200, ""}}));
    EXPECT_EQ(Line(layout.pages[0], y + 160), (L{{200, "end"}}));
}

TEST(PrintLayout, OptionListNamesTheOptionsThatAreOn) {
    PrintOptions options = AllPrintOptions;
    std::string bad;
    ASSERT_TRUE(ParsePrintOptionList("graph,MEMO,DataNo", options, bad));
    for (int i = 0; i < PrintOptionCount; ++i)
        EXPECT_EQ(options[i], i == PrintGraph || i == PrintMemo || i == PrintDataNo) << i;
    ASSERT_TRUE(ParsePrintOptionList("", options, bad));
    EXPECT_EQ(options, PrintOptions{});
    options = AllPrintOptions;
    EXPECT_FALSE(ParsePrintOptionList("list,chart", options, bad));
    EXPECT_EQ(bad, "chart");
    EXPECT_EQ(options, AllPrintOptions); // untouched
}

} // namespace
} // namespace qmv
