#include "chartdata.h"

#include <cmath>

namespace qmv {

int ChartSeriesData::DrawnCount() const {
    int n = 0;
    for (const ChartPoint& p : points)
        n += p.y.has_value() ? 1 : 0;
    return n;
}

namespace {

void Add(ChartSeriesData& s, double x, double y, std::uint32_t color) {
    s.points.push_back({x, y, color});
}

void AddNull(ChartSeriesData& s, double x) {
    s.points.push_back({x, std::nullopt, 0});
}

} // namespace

ChartData BuildChartData(const DocumentData& doc, const ChartSwitches& sw) {
    ChartData c;
    const int n = static_cast<int>(doc.Records.size());
    c.xMin = 0;
    c.xMax = n + 1;
    c.yMin = doc.AxisMin;
    c.yMax = doc.AxisMax;
    c.series[Series3PointsAbove].outline = doc.BarGraph ? ChartWhite : ChartRed;
    c.series[Series4Points].outline = doc.BarGraph ? ChartWhite : ChartBlue;
    if (n == 0)
        return c;

    auto& s1 = c.series[Series1Levels];
    auto& s2 = c.series[Series2Standard];
    auto& s3 = c.series[Series3PointsAbove];
    auto& s4 = c.series[Series4Points];
    auto& s5 = c.series[Series5BarsAbove];
    auto& s6 = c.series[Series6Bars];
    const double std = doc.StdLevel;

    // The standard line starts at x = 0 so that it spans the whole bottom axis.
    if (sw.stdLine)
        Add(s2, 0, std, ChartGreen);
    else
        AddNull(s2, 0);

    for (int i = 0; i < n; ++i) {
        const double x = i + 1;
        const int v = StrToInt(doc.Records[i].MinDb);
        const bool above = sw.stdLine && v > doc.StdLevel; // equal counts as not above
        if (!doc.BarGraph) {
            Add(s1, x, v, ChartBlue);
            if (sw.stdLine)
                Add(s2, x, std, ChartGreen);
            else
                AddNull(s2, x);
        } else {
            AddNull(s1, x);
            if (sw.stdLine) {
                if (above) {
                    Add(s5, x, v, ChartRed);
                    AddNull(s6, x);
                } else {
                    AddNull(s5, x);
                    Add(s6, x, v, ChartBlue);
                }
                Add(s2, x, std, ChartGreen);
            } else {
                AddNull(s5, x);
                Add(s6, x, v, ChartBlue);
                AddNull(s2, x);
            }
        }
        if (!sw.point) {
            AddNull(s3, x);
            AddNull(s4, x);
        } else if (above) {
            Add(s3, x, v, ChartRed);
            AddNull(s4, x);
        } else {
            AddNull(s3, x);
            Add(s4, x, v, ChartBlue);
        }
    }

    if (sw.stdLine)
        Add(s2, n + 1, std, ChartGreen);
    else
        AddNull(s2, n + 1);

    if (sw.marker) {
        if (doc.BarGraph) {
            s5.marksVisible = true;
            s6.marksVisible = true;
        } else {
            s1.marksVisible = true;
        }
    }
    return c;
}

PrintLegend PrintLegendFor(const ChartSwitches& sw, bool barGraph) {
    PrintLegend legend;
    legend.visible = sw.stdLine;
    legend.points = sw.stdLine && sw.point;
    legend.bars = sw.stdLine && !sw.point && barGraph;
    return legend;
}

int ReadoutIndex(double plotLeft, double plotTop, double plotWidth, double plotHeight,
                 int recordCount, double mouseX, double mouseY) {
    if (recordCount <= 0 || plotWidth <= 0 || plotHeight <= 0)
        return -1;
    // The hot area leaves out the first x unit, left of the first record.
    const int unit = static_cast<int>(plotWidth) / (recordCount + 1);
    const double hotLeft = plotLeft + unit;
    if (mouseX < hotLeft || mouseX > plotLeft + plotWidth || mouseY < plotTop ||
        mouseY > plotTop + plotHeight)
        return -1;
    const double x = (mouseX - plotLeft) / plotWidth * (recordCount + 1);
    int r = static_cast<int>(std::lround(x)) - 1;
    if (r < 0)
        r = 0;
    if (r > recordCount - 1)
        r = recordCount - 1;
    return r;
}

} // namespace qmv
