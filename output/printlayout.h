// The printed page of a document worked out without a printer: where the chart goes, and every
// text and rule of every page, in the printer's device units.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "data/datafile.h"
#include "data/profile.h"

namespace qmv {

// The print options, in the order of their keys in section "Print" of the settings store.
enum PrintOption : int {
    PrintGraph,
    PrintList,
    PrintRecord,
    PrintDataNo,
    PrintOnatsu,
    PrintDate,
    PrintBPF,
    PrintNF,
    PrintNR,
    PrintNote,
    PrintMemo,
    PrintOptionCount
};
extern const std::array<const char*, PrintOptionCount> PrintOptionKeys;

using PrintOptions = std::array<bool, PrintOptionCount>;
constexpr PrintOptions AllPrintOptions{true, true, true, true, true, true,
                                       true, true, true, true, true};

// Options from a comma-separated list of settings keys in any case ("graph,list,memo"): the
// named ones on, every other off. False, with the offending name in bad, for an unknown name.
bool ParsePrintOptionList(const std::string& list, PrintOptions& options, std::string& bad);

// The printable area in device pixels and the line pitch.
struct PrintPage {
    int W = 0;
    int H = 0;
    int L = 0;
};

// The line pitch on a device of dpi pixels per inch: the height of a 10-point font in pixels,
// plus 5. Texts are drawn at 8 points but keep this pitch.
int LinePitch(int dpi);

struct PrintText {
    int x = 0;
    int y = 0;        // top of the line
    std::string text; // bytes in the code page
};

struct PrintRule {
    int x1 = 0;
    int x2 = 0;
    int y = 0;
};

struct PrintedPage {
    std::vector<PrintText> texts;
    std::vector<PrintRule> rules;
};

struct PrintLayout {
    bool chart = false; // the chart goes into this rectangle of the first page
    int chartLeft = 0, chartTop = 0, chartRight = 0, chartBottom = 0;
    std::vector<PrintedPage> pages; // never empty
};

// Width of some bytes of the code page as the printer draws them at 8 points.
using PrintTextWidth = std::function<int(const std::string& bytes)>;

// Cuts a memo line into pieces each narrower than limit, never inside a double-byte character.
// A line narrower than limit is its own single piece; a character wider than limit on its own
// still makes a piece, so the line always comes out whole.
std::vector<std::string> WrapPrintLine(const std::string& line, int limit,
                                       const PrintTextWidth& width, int codePage);

// The pages of a document: heading, record table, memo. Raises EConvertError when a record field
// the table shows is not a number, before anything is printed.
PrintLayout LayOutPrint(const PrintPage& page, const PrintOptions& options,
                        const std::string& caption, const std::string& modelName,
                        const DocumentData& doc, const TextTable& texts,
                        const PrintTextWidth& width, int codePage);

} // namespace qmv
