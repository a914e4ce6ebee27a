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
#include <cmath>

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
    barMarks_ = new QScatterSeries();
    barMarks_->setMarkerSize(0.01);
    barMarks_->setColor(Qt::transparent);
    barMarks_->setBorderColor(Qt::transparent);

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

    // Bars first, so that the standard line and the symbols stay visible over them.
    chart_->addSeries(bars_);
    chart_->addSeries(series1_);
    chart_->addSeries(series2_);
    chart_->addSeries(series3_);
    chart_->addSeries(series4_);
    chart_->addSeries(barMarks_);
    for (QAbstractSeries* s : chart_->series()) {
        s->attachAxis(axisX_);
        s->attachAxis(axisY_);
    }
    for (QXYSeries* s : {static_cast<QXYSeries*>(series1_), static_cast<QXYSeries*>(barMarks_)}) {
        s->setPointLabelsFormat(QStringLiteral("@yPoint"));
        s->setPointLabelsClipping(false);
        s->setPointLabelsColor(Qt::black);
    }
    // The record labels follow the plot's width, also when only the window is resized (tiled).
    connect(chart_, &QChart::plotAreaChanged, this, [this] { UpdateRecordLabelStep(); });
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
    bars_->setBarWidth(data.barWidth);

    // A bar set has one value per category, and category k sits at x = k: category 0 is the
    // empty unit left of the first record.
    QList<qreal> v5{0}, v6{0};
    QList<QPointF> marks;
    const auto& s5 = data.series[Series5BarsAbove].points;
    const auto& s6 = data.series[Series6Bars].points;
    for (std::size_t i = 0; i < s5.size() && i < s6.size(); ++i) {
        v5.append(s5[i].y.value_or(0));
        v6.append(s6[i].y.value_or(0));
        if (s5[i].y)
            marks.append(QPointF(s5[i].x, *s5[i].y));
        else if (s6[i].y)
            marks.append(QPointF(s6[i].x, *s6[i].y));
    }
    if (s5.empty()) {
        v5.clear();
        v6.clear();
    }
    series5_->remove(0, series5_->count());
    series6_->remove(0, series6_->count());
    series5_->append(v5);
    series6_->append(v6);

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
