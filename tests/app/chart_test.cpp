// The chart: series contents, the value read-out, the copy to the clipboard.
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMouseEvent>
#include <QValueAxis>

#include "apptest.h"
#include "document/chartdata.h"
#include "document/chartview.h"
#include "document/graphsetdlg.h"
#include "document/panelbar.h"

namespace qmv::test {
namespace {

std::vector<std::optional<double>> Ys(const ChartSeriesData& s) {
    std::vector<std::optional<double>> out;
    for (const ChartPoint& p : s.points)
        out.push_back(p.y);
    return out;
}

std::vector<double> Xs(const ChartSeriesData& s) {
    std::vector<double> out;
    for (const ChartPoint& p : s.points)
        out.push_back(p.x);
    return out;
}

using Y = std::optional<double>;
const Y null = std::nullopt;

DocumentData ThreeLevels(bool bar) {
    DocumentData d = LoggerDoc({"150", "200", "250"}); // below, equal to, above the standard
    d.BarGraph = bar;
    d.StdLevel = 200;
    d.AxisMax = 400;
    d.AxisMin = 100;
    return d;
}

TEST(ChartData, LineModeWithStandardLineAndPoints) {
    const ChartData c = BuildChartData(ThreeLevels(false), {true, false, true});
    EXPECT_EQ(c.xMin, 0);
    EXPECT_EQ(c.xMax, 4);
    EXPECT_EQ(c.yMin, 100);
    EXPECT_EQ(c.yMax, 400);
    EXPECT_EQ(Ys(c.series[Series1Levels]), (std::vector<Y>{150, 200, 250}));
    EXPECT_EQ(Xs(c.series[Series1Levels]), (std::vector<double>{1, 2, 3}));
    for (const ChartPoint& p : c.series[Series1Levels].points)
        EXPECT_EQ(p.color, ChartBlue);
    // The standard line spans the bottom axis from 0 to count + 1, in ascending x.
    EXPECT_EQ(Xs(c.series[Series2Standard]), (std::vector<double>{0, 1, 2, 3, 4}));
    EXPECT_EQ(Ys(c.series[Series2Standard]), (std::vector<Y>{200, 200, 200, 200, 200}));
    EXPECT_EQ(c.series[Series2Standard].points[0].color, ChartGreen);
    // Only the level above the standard is red; the equal one is blue.
    EXPECT_EQ(Ys(c.series[Series3PointsAbove]), (std::vector<Y>{null, null, 250}));
    EXPECT_EQ(Ys(c.series[Series4Points]), (std::vector<Y>{150, 200, null}));
    EXPECT_EQ(c.series[Series3PointsAbove].points[2].color, ChartRed);
    EXPECT_EQ(Ys(c.series[Series5BarsAbove]), std::vector<Y>{});
    EXPECT_EQ(Ys(c.series[Series6Bars]), std::vector<Y>{});
    EXPECT_FALSE(c.series[Series1Levels].marksVisible);
}

TEST(ChartData, LineModeWithoutStandardLineIsAllBlue) {
    const ChartData c = BuildChartData(ThreeLevels(false), {true, true, false});
    EXPECT_EQ(Ys(c.series[Series2Standard]), (std::vector<Y>{null, null, null, null, null}));
    EXPECT_EQ(Ys(c.series[Series3PointsAbove]), (std::vector<Y>{null, null, null}));
    EXPECT_EQ(Ys(c.series[Series4Points]), (std::vector<Y>{150, 200, 250}));
    EXPECT_TRUE(c.series[Series1Levels].marksVisible);
    EXPECT_FALSE(c.series[Series6Bars].marksVisible);
}

TEST(ChartData, BarModeSplitsAtTheStandardLevel) {
    const ChartData c = BuildChartData(ThreeLevels(true), {false, true, true});
    EXPECT_EQ(Ys(c.series[Series1Levels]), (std::vector<Y>{null, null, null}));
    EXPECT_EQ(Ys(c.series[Series5BarsAbove]), (std::vector<Y>{null, null, 250}));
    EXPECT_EQ(Ys(c.series[Series6Bars]), (std::vector<Y>{150, 200, null}));
    EXPECT_EQ(c.series[Series5BarsAbove].points[2].color, ChartRed);
    EXPECT_EQ(c.series[Series6Bars].points[1].color, ChartBlue);
    EXPECT_EQ(Ys(c.series[Series2Standard]), (std::vector<Y>{200, 200, 200, 200, 200}));
    EXPECT_EQ(Ys(c.series[Series3PointsAbove]), (std::vector<Y>{null, null, null}));
    EXPECT_EQ(Ys(c.series[Series4Points]), (std::vector<Y>{null, null, null}));
    EXPECT_TRUE(c.series[Series5BarsAbove].marksVisible);
    EXPECT_TRUE(c.series[Series6Bars].marksVisible);
    EXPECT_FALSE(c.series[Series1Levels].marksVisible);
}

TEST(ChartData, BarModeWithoutStandardLineIsAllBlue) {
    const ChartData c = BuildChartData(ThreeLevels(true), {true, false, false});
    EXPECT_EQ(Ys(c.series[Series5BarsAbove]), (std::vector<Y>{null, null, null}));
    EXPECT_EQ(Ys(c.series[Series6Bars]), (std::vector<Y>{150, 200, 250}));
    EXPECT_EQ(Ys(c.series[Series4Points]), (std::vector<Y>{150, 200, 250}));
    EXPECT_EQ(Ys(c.series[Series2Standard]), (std::vector<Y>{null, null, null, null, null}));
    EXPECT_EQ(c.series[Series4Points].outline, ChartWhite); // ringed off the tops of the bars
    EXPECT_LT(c.barWidth, 1);                               // and the bars apart
}

TEST(ChartData, EmptyDocumentHasAxesOnly) {
    DocumentData d;
    const ChartData c = BuildChartData(d, {true, true, true});
    EXPECT_EQ(c.xMin, 0);
    EXPECT_EQ(c.xMax, 1);
    EXPECT_EQ(c.yMin, 0);
    EXPECT_EQ(c.yMax, 600);
    for (const ChartSeriesData& s : c.series)
        EXPECT_TRUE(s.points.empty());
}

TEST(ChartData, LevelThatIsNotANumberRaises) {
    DocumentData d = LoggerDoc({"100", "1 0"});
    EXPECT_THROW(BuildChartData(d, {}), EConvertError);
}

TEST(ChartReadout, IndexFromMousePosition) {
    // Plot 100..500 wide (400 pixels), 4 records: x units of 80 pixels, record r at 100 + 80(r+1).
    auto at = [](double mx, double my = 50) { return ReadoutIndex(100, 10, 400, 200, 4, mx, my); };
    EXPECT_EQ(at(150), -1); // within the first x unit
    EXPECT_EQ(at(180), 0);  // exactly x = 1
    EXPECT_EQ(at(219), 0);  // x = 1.49
    EXPECT_EQ(at(221), 1);  // x = 1.51
    EXPECT_EQ(at(420), 3);
    EXPECT_EQ(at(499), 3);  // x = 5 rounds past the last record and is clamped
    EXPECT_EQ(at(501), -1); // right of the plot
    EXPECT_EQ(at(300, 5), -1);
    EXPECT_EQ(at(300, 211), -1);
    // An empty document has no hot area at all.
    EXPECT_EQ(ReadoutIndex(100, 10, 400, 200, 0, 300, 50), -1);
}

class ChartWindowTest : public AppTest {};

TEST_F(ChartWindowTest, MouseOverTheChartReadsOutTheRecord) {
    TMainForm& form = Form();
    DocumentData d = LoggerDoc({"150", "200", "250"});
    d.Records[1].Note = "door";
    form.OpenDroppedFiles({WriteDoc("r.q27", d)});
    TMDIChild* doc = form.ActiveDocument();
    doc->Chart1->resize(500, 300);
    doc->DrawChart();
    QApplication::processEvents();
    const QRectF plot = doc->Chart1->chart()->plotArea();
    ASSERT_GT(plot.width(), 0);
    const QPointF inView = doc->Chart1->mapFromScene(
        doc->Chart1->chart()->mapToScene(plot.left() + plot.width() / 2, plot.center().y()));
    QMouseEvent move(QEvent::MouseMove, inView, doc->Chart1->mapToGlobal(inView), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(doc->Chart1->viewport(), &move);
    EXPECT_EQ(doc->stbAtai->Text(0), "Data No.: 002");
    EXPECT_EQ(doc->stbAtai->Text(1), "Level: 200");
    EXPECT_EQ(doc->stbAtai->Text(2), "Date: 2010/05/31 14:01");
    EXPECT_EQ(doc->stbAtai->Text(3), "door");
    form.Command("AcDeleteItem")->trigger(); // the records change: the read-out goes
    EXPECT_EQ(doc->stbAtai->Text(3), "");

    const QPointF left = doc->Chart1->mapFromScene(
        doc->Chart1->chart()->mapToScene(plot.left() + 2, plot.center().y()));
    QMouseEvent away(QEvent::MouseMove, left, doc->Chart1->mapToGlobal(left), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(doc->Chart1->viewport(), &away);
    EXPECT_EQ(doc->stbAtai->Text(0), "");
    EXPECT_EQ(doc->stbAtai->Text(3), "");
}

TEST_F(ChartWindowTest, RecordLabelsStayWholeWhenTheChartIsMadeSmaller) {
    TChartView view;
    view.resize(1200, 300);
    view.show();
    view.Render(BuildChartData(LoggerDoc(std::vector<std::string>(19, "300")), {}), "", "");
    view.resize(300, 300); // as a document tiled four times on a small screen
    QApplication::processEvents();
    EXPECT_FALSE(view.chart()->axes(Qt::Horizontal)[0]->labelsTruncated());
}

TEST_F(ChartWindowTest, CopyGraphPutsTheChartOnWhiteOnTheClipboard) {
    TMainForm& form = Form();
    form.OpenDroppedFiles({WriteDoc("c.q27", LoggerDoc({"150", "250"}))});
    TMDIChild* doc = form.ActiveDocument();
    doc->Chart1->resize(320, 200);
    QApplication::clipboard()->clear();
    form.Command("AcGraphCopy")->trigger();
    const QImage image = QApplication::clipboard()->image();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(320, 200));
    EXPECT_EQ(QColor(image.pixel(1, 1)), QColor(Qt::white));
}

TEST_F(ChartWindowTest, DoubleClickOpensTheGraphSettings) {
    TMainForm& form = Form();
    form.Command("AcNewFile")->trigger();
    TMDIChild* doc = form.ActiveDocument();
    int asked = 0;
    form.GraphSetDialog().SetShowHook([&](TGraphSetDlg&) { ++asked; });
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(20, 20), QPointF(20, 20), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(doc->Chart1->viewport(), &dbl);
    EXPECT_EQ(asked, 1);
}

// A rebuilt chart never lays out in passing more ticks than it shows before or after: 250 records
// under the empty chart's step of 1 would make 250 labels, grid lines and minor ticks.
TEST(ChartAxes, RebuildLaysOutNoMoreTicksThanItShows) {
    TChartView view;
    view.resize(900, 500);
    const auto ticks = [](const QValueAxis* a) {
        return a->tickInterval() > 0 ? (a->max() - a->min()) / a->tickInterval() : 0.0;
    };
    double most = 0, shown = 0;
    for (QAbstractAxis* a : view.chart()->axes()) {
        auto* axis = qobject_cast<QValueAxis*>(a);
        const auto note = [&, axis] { most = std::max(most, ticks(axis)); };
        QObject::connect(axis, &QValueAxis::rangeChanged, note);
        QObject::connect(axis, &QValueAxis::tickIntervalChanged, note);
    }
    for (int records : {0, 250, 3, 250}) {
        const DocumentData d = LoggerDoc(std::vector<std::string>(records, "300"));
        view.Render(BuildChartData(d, {true, false, true}), "x", "y");
        for (QAbstractAxis* a : view.chart()->axes())
            shown = std::max(shown, ticks(qobject_cast<QValueAxis*>(a)));
    }
    EXPECT_GT(shown, 10); // the 250 records are labelled, in steps
    EXPECT_LE(most, shown);
}

// A bar chart has no more graphics items than the line chart of the same records (a bar series
// made one a bar, a point series one a value mark); its bars lie over the grid, under the standard
// line and inside the plot.
TEST(ChartBars, NoItemABarAndBarsBetweenGridAndStandardLine) {
    TChartView view;
    view.resize(600, 400);
    view.show();
    const auto render = [&view](std::vector<std::string> levels, bool bars) {
        DocumentData d = LoggerDoc(levels);
        d.BarGraph = bars;
        d.AxisMin = 100;
        d.AxisMax = 400;
        view.Render(BuildChartData(d, {false, true, true}), "x", "y");
        QApplication::processEvents();
        return view.items().size();
    };
    const std::vector<std::string> many(250, "300");
    EXPECT_EQ(render(many, true), render(many, false));
    render({"150", "250"}, true);
    const QImage image = view.Snapshot();
    const auto at = [&](double x, double y) {
        const QPointF p = view.chart()->mapToScene(view.chart()->mapToPosition({x, y}));
        return QColor(image.pixel(view.mapFromScene(p)));
    };
    EXPECT_EQ(at(2, 200).green(), 197);   // the standard line across the red bar
    for (double y = 110; y < 190; y += 4) // the grid line x = 2 runs through it
        EXPECT_EQ(at(2, y), QColor(Qt::red)) << y;
    EXPECT_EQ(at(2.1, 97), QColor(Qt::white)); // below the plot, beside tick and label
}

} // namespace
} // namespace qmv::test
