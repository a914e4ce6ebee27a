#include "chartview.h"

#include <QBarSet>
#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QScatterSeries>
#include <QStackedBarSeries>
#include <QValueAxis>
#include <array>
#include <cmath>
#include <utility>

namespace qmv {

namespace {

QColor Rgb(std::uint32_t rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

void StyleAxis(QValueAxis* axis) {
    axis->setGridLinePen(QPen(Qt::black, 1, Qt::DotLine));
    axis->setMinorTickCount(4);
    axis->setMinorGridLineVisible(false);
    axis->setLabelFormat(QStringLiteral("%d"));
    axis->setLinePen(QPen(Qt::black, 1));
}

// One label per record while labels labelWidth wide fit side by side with a gap of half a label
// (at least a few pixels); with many records, or little room, a coarser step.
double TickStep(double range, double pixels, double labelWidth) {
    static const double steps[] = {1, 2, 5, 10, 20, 25, 50, 100};
    const double room = labelWidth + std::max(6.0, labelWidth / 2);
    for (double s : steps)
        if (range / s * room <= pixels)
            return s;
    return 100;
}

// A step of 1, 2 or 5 times a power of ten that gives about eight intervals over range.
double NiceStep(double range) {
    if (range <= 0)
        return 1;
    const double raw = range / 8;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (raw <= m * power)
            return std::max(1.0, m * power);
    return std::max(1.0, 10 * power);
}

// Sets an axis's range and tick step. The axis lays out a label, a grid line and minor ticks for
// every step at once: a new range under the old step (250 records under a step of 1), or the old
// range under a new step, would build hundreds of them in passing, megabytes a document. The
// coarser step goes first, so no passing state has more ticks than the old or the new one.
void SetScale(QValueAxis* axis, double min, double max, double step) {
    axis->setTickInterval(std::max(axis->tickInterval(), step));
    axis->setRange(min, max);
    axis->setTickInterval(step);
}

} // namespace

// All bars of the chart, painted as a bar series paints them: a rectangle a bar from 0 to its
// level, in the pen and brush of its bar set, clipped to the plot. A bar series itself makes an
// object and a graphics item with some ten connections for every bar, over a megabyte a document
// of 250 records.
class BarsItem : public QGraphicsItem {
public:
    BarsItem(QChart* chart, QAbstractSeries* series, std::array<QBarSet*, 2> sets,
             QGraphicsItem* parent)
        : QGraphicsItem(parent), chart_(chart), series_(series), sets_(sets) {}

    // (x, level) of each bar of either set, and the share of an x unit a bar takes.
    void SetBars(std::array<QList<QPointF>, 2> bars, double width) {
        bars_ = std::move(bars);
        width_ = width;
        update();
    }
    // The plot changed its size. The item of a bar series, the parent, has the plot's top left
    // as its origin.
    void Relayout() {
        prepareGeometryChange();
        rect_ = QRectF(QPointF(), chart_->plotArea().size());
    }

    QRectF boundingRect() const override { return rect_; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
        const QPointF shift = mapFromItem(chart_, QPointF());
        const auto at = [&](double x, double y) {
            return chart_->mapToPosition(QPointF(x, y), series_) + shift;
        };
        for (std::size_t s = 0; s < sets_.size(); ++s) {
            painter->setPen(sets_[s]->pen());
            painter->setBrush(sets_[s]->brush());
            for (const QPointF& bar : bars_[s]) {
                const QRectF r =
                    QRectF(at(bar.x() - width_ / 2, bar.y()), at(bar.x() + width_ / 2, 0))
                        .normalized();
                if (!r.isEmpty()) // a level of 0 has no bar
                    painter->drawRect(r);
            }
        }
    }

private:
    QChart* chart_;
    QAbstractSeries* series_;
    std::array<QBarSet*, 2> sets_;
    std::array<QList<QPointF>, 2> bars_;
    double width_ = 0.5;
    QRectF rect_;
};

// The view is built around its own chart: a chart set later replaces one the view made itself,
// and a replaced chart is never freed.
TChartView::TChartView(QWidget* parent) : QChartView(new QChart(), parent) {
    chart_ = chart();
    chart_->legend()->hide();
    chart_->setBackgroundRoundness(0);
    chart_->layout()->setContentsMargins(0, 0, 0, 0);
    chart_->setAnimationOptions(QChart::NoAnimation);
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::NoRubberBand);
    setMouseTracking(true);

    axisX_ = new QValueAxis(chart_);
    axisY_ = new QValueAxis(chart_);
    StyleAxis(axisX_);
    StyleAxis(axisY_);
    axisX_->setTickType(QValueAxis::TicksDynamic);
    axisX_->setTickAnchor(0);
    axisX_->setTickInterval(1);
    axisY_->setTickType(QValueAxis::TicksDynamic);
    axisY_->setTickAnchor(0);
    chart_->addAxis(axisX_, Qt::AlignBottom);
    chart_->addAxis(axisY_, Qt::AlignLeft);

    series1_ = new QLineSeries();
    series1_->setPen(QPen(Rgb(ChartBlue), 3));
    series2_ = new QLineSeries();
    series2_->setPen(QPen(Rgb(ChartGreen), 3));
    series3_ = new QScatterSeries();
    series3_->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
    series3_->setColor(Rgb(ChartRed));
    series3_->setBorderColor(Rgb(ChartRed));
    series4_ = new QScatterSeries();
    series4_->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    series4_->setColor(Rgb(ChartBlue));
    series4_->setBorderColor(Rgb(ChartBlue));
    // The labels of a line that is not drawn: a point series would make a graphics item a mark.
    // The pen's width still sets how far above its point a label stands.
    barMarks_ = new QLineSeries();
    QPen noLine(Qt::NoPen);
    noLine.setWidth(2);
    barMarks_->setPen(noLine);

    bars_ = new QStackedBarSeries();
    series5_ = new QBarSet(QString());
    series5_->setColor(Rgb(ChartRed));
    series5_->setBorderColor(Rgb(ChartRed));
    series6_ = new QBarSet(QString());
    series6_->setColor(Rgb(ChartBlue));
    series6_->setBorderColor(Rgb(ChartBlue));
    QPen outline5(Rgb(ChartRed), 2), outline6(Rgb(ChartBlue), 2);
    series5_->setPen(outline5);
    series6_->setPen(outline6);
    bars_->append(series5_);
    bars_->append(series6_);

    // Bars first, so that the standard line and the symbols stay visible over them. The bars'
    // item goes into the graphics item the bar series brings, the one new in the chart: there it
    // has its place in the order of the series and the clip to the plot.
    const QList<QGraphicsItem*> before = chart_->childItems();
    chart_->addSeries(bars_);
    QGraphicsItem* barsPlace = chart_;
    for (QGraphicsItem* item : chart_->childItems())
        if (!before.contains(item))
            barsPlace = item;
    barsItem_ = new BarsItem(chart_, bars_, {series5_, series6_}, barsPlace);
    chart_->addSeries(series1_);
    chart_->addSeries(series2_);
    chart_->addSeries(series3_);
    chart_->addSeries(series4_);
    chart_->addSeries(barMarks_);
    for (QAbstractSeries* s : chart_->series()) {
        s->attachAxis(axisX_);
        s->attachAxis(axisY_);
    }
    for (QXYSeries* s : {series1_, barMarks_}) {
        s->setPointLabelsFormat(QStringLiteral("@yPoint"));
        s->setPointLabelsClipping(false);
        s->setPointLabelsColor(Qt::black);
    }
    // The record labels follow the plot's width, also when only the window is resized (tiled).
    connect(chart_, &QChart::plotAreaChanged, this, [this] {
        UpdateRecordLabelStep();
        barsItem_->Relayout();
    });
}

void TChartView::UpdateRecordLabelStep() {
    axisX_->setTickInterval(RecordLabelStep());
}

double TChartView::RecordLabelStep() const {
    QRectF plot = chart_->plotArea();
    if (plot.width() < 1) // not laid out yet: an estimate of it
        plot.setWidth(std::max(100, width() - 80));
    const double widest = QFontMetricsF(axisX_->labelsFont())
                              .horizontalAdvance(QString::number(std::lround(shown_.xMax)));
    return TickStep(shown_.xMax - shown_.xMin, plot.width(), widest);
}

void TChartView::Render(const ChartData& data, const QString& xTitle, const QString& yTitle) {
    shown_ = data;
    SetScale(axisX_, data.xMin, data.xMax, RecordLabelStep());
    SetScale(axisY_, data.yMin, data.yMax, NiceStep(data.yMax - data.yMin));
    axisX_->setTitleText(xTitle);
    axisY_->setTitleText(yTitle);

    auto fill = [](QXYSeries* s, const ChartSeriesData& d) {
        QList<QPointF> pts;
        for (const ChartPoint& p : d.points)
            if (p.y)
                pts.append(QPointF(p.x, *p.y));
        s->replace(pts);
    };
    fill(series1_, data.series[Series1Levels]);
    fill(series2_, data.series[Series2Standard]);
    fill(series3_, data.series[Series3PointsAbove]);
    fill(series4_, data.series[Series4Points]);
    // A symbol ringed in white is made larger by its ring.
    const auto outline = [](QScatterSeries* s, const ChartSeriesData& d, double size) {
        const bool ringed = d.outline == ChartWhite;
        s->setPen(QPen(Rgb(d.outline), ringed ? 2 : 1));
        s->setMarkerSize(ringed ? size + 3 : size);
    };
    outline(series3_, data.series[Series3PointsAbove], 9);
    outline(series4_, data.series[Series4Points], 8);

    // A record has a bar in one of the two sets; its value mark is over it.
    std::array<QList<QPointF>, 2> bars;
    QList<QPointF> marks;
    const auto& s5 = data.series[Series5BarsAbove].points;
    const auto& s6 = data.series[Series6Bars].points;
    for (std::size_t i = 0; i < s5.size() && i < s6.size(); ++i) {
        const int set = s5[i].y ? 0 : 1;
        const ChartPoint& p = set == 0 ? s5[i] : s6[i];
        if (p.y) {
            bars[set].append(QPointF(p.x, *p.y));
            marks.append(bars[set].back());
        }
    }
    barsItem_->SetBars(std::move(bars), data.barWidth);

    const bool barMarks =
        data.series[Series5BarsAbove].marksVisible || data.series[Series6Bars].marksVisible;
    barMarks_->replace(barMarks ? marks : QList<QPointF>());
    barMarks_->setPointLabelsVisible(barMarks);
    series1_->setPointLabelsVisible(data.series[Series1Levels].marksVisible);
}

QImage TChartView::Snapshot() {
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    render(&painter);
    return image;
}

void TChartView::ApplyPrintForm(const ChartPrintForm& form) {
    if (form.monochrome) {
        series2_->setPen(QPen(Qt::black, 3));
        series5_->setPen(QPen(Qt::black, 2));
        series5_->setBrush(QBrush(Qt::black, Qt::DiagCrossPattern));
        series6_->setPen(QPen(Qt::black, 2));
        series6_->setBrush(QBrush(Qt::white));
    }
    series2_->setName(form.standardTitle);
    series3_->setName(form.aboveTitle);
    series4_->setName(form.belowTitle);
    series5_->setLabel(form.aboveTitle);
    series6_->setLabel(form.belowTitle);
    QLegend* legend = chart_->legend();
    const auto list = [legend](QAbstractSeries* series, bool listed) {
        for (QLegendMarker* marker : legend->markers(series))
            marker->setVisible(listed);
    };
    list(series1_, false);
    list(barMarks_, false);
    list(series2_, true);
    list(series3_, form.legend.points);
    list(series4_, form.legend.points);
    list(bars_, form.legend.bars);
    legend->setVisible(form.legend.visible);
    chart_->setTitle(form.title);
    axisX_->setLinePen(QPen(Qt::black, 2));
    axisY_->setLinePen(QPen(Qt::black, 2));
    chart_->setPos(0, 0);
    chart_->resize(PrintSize());
    chart_->layout()->activate();
}

void TChartView::PaintInto(QPainter& painter, const QRectF& target) {
    chart_->scene()->render(&painter, target, chart_->sceneBoundingRect(), Qt::KeepAspectRatio);
}

int TChartView::RecordAt(const QPoint& viewPos) const {
    const QPointF inChart = chart_->mapFromScene(mapToScene(viewPos));
    const QRectF plot = chart_->plotArea();
    const int n = static_cast<int>(std::lround(shown_.xMax)) - 1;
    return ReadoutIndex(plot.left(), plot.top(), plot.width(), plot.height(), n, inChart.x(),
                        inChart.y());
}

void TChartView::mouseMoveEvent(QMouseEvent* event) {
    emit readout(RecordAt(event->position().toPoint()));
    event->accept();
}

void TChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

// A single click does nothing: no zoom, no panning.
void TChartView::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void TChartView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}

} // namespace qmv
