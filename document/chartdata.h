// What the chart of a document shows, worked out without any widget: the six series with their
// points (a null point keeps the series aligned on x), colours, value marks and axis ranges.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "data/datafile.h"
#include "documenthost.h"

namespace qmv {

constexpr std::uint32_t ChartBlue = 0x0000FF; // 0xRRGGBB
constexpr std::uint32_t ChartRed = 0xFF0000;
constexpr std::uint32_t ChartGreen = 0x3EC53A; // RGB(62, 197, 58), the standard line
constexpr std::uint32_t ChartWhite = 0xFFFFFF;

struct ChartPoint {
    double x = 0;
    std::optional<double> y; // empty: a null point, not drawn
    std::uint32_t color = 0;
};

struct ChartSeriesData {
    std::vector<ChartPoint> points;
    bool marksVisible = false;
    // Point symbols only: the colour of their outline. On bars it is white, so that a symbol
    // stands out from the top of a bar of its own colour.
    std::uint32_t outline = 0;

    int DrawnCount() const;
};

// Index into ChartData::series: Series1 is series[0] and so on.
enum ChartSeries : int {
    Series1Levels = 0, // line mode
    Series2Standard = 1,
    Series3PointsAbove = 2,
    Series4Points = 3,
    Series5BarsAbove = 4,
    Series6Bars = 5,
};

struct ChartData {
    std::array<ChartSeriesData, 6> series;
    double xMin = 0, xMax = 1;
    double yMin = 0, yMax = 600;
    // The share of an x unit that a bar takes: less than all of it, so that bars stand apart.
    double barWidth = 0.5;
};

// The chart of doc under the three switches. Raises EConvertError when a MinDb is not a number.
ChartData BuildChartData(const DocumentData& doc, const ChartSwitches& sw);

// Which series the legend of the printed chart lists: there is a legend only with the standard
// line on; it always lists the standard line, then the point symbols when they are on, else the
// bars in bar mode.
struct PrintLegend {
    bool visible = false;
    bool points = false;
    bool bars = false;
};
PrintLegend PrintLegendFor(const ChartSwitches& sw, bool barGraph);

// The record under a mouse position for the value read-out, or -1. plot is the plotting
// rectangle, whose x range is 0 to recordCount + 1; the first x unit reads nothing.
int ReadoutIndex(double plotLeft, double plotTop, double plotWidth, double plotHeight,
                 int recordCount, double mouseX, double mouseY);

} // namespace qmv
