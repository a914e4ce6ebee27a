// The chart of a document window (Chart1) on Qt Charts.
#pragma once

#include <QChartView>
#include <QString>

#include "chartdata.h"

class QChart;
class QValueAxis;
class QLineSeries;
class QScatterSeries;
class QStackedBarSeries;
class QBarSet;

namespace qmv {

class BarsItem;

// How a chart is printed: a title, a legend with series titles, and for a monochrome job black
// lines and white bars, those above the standard line cross-hatched.
struct ChartPrintForm {
    QString title;
    PrintLegend legend;
    QString standardTitle; // the standard line, with its level
    QString aboveTitle;    // points and bars above the standard line
    QString belowTitle;    // all other points and bars
    bool monochrome = false;
};

class TChartView : public QChartView {
    Q_OBJECT
public:
    explicit TChartView(QWidget* parent = nullptr);

    // Rebuilds every series and both axes from data.
    void Render(const ChartData& data, const QString& xTitle, const QString& yTitle);
    const ChartData& Shown() const { return shown_; }

    // The whole chart at its current size on a white background.
    QImage Snapshot();

    // The size a printed chart is laid out at before it is scaled onto the page: the proportions
    // of 280 by 200, at twice that so that its texts keep to a readable share of it. The bottom
    // axis picks its label step for the plot's width once the chart is laid out at this size.
    static QSize PrintSize() { return QSize(560, 400); }
    // Turns the chart into its printed form, PrintSize() with axis lines 2 wide. Meant for a
    // chart made for one print job: nothing turns it back.
    void ApplyPrintForm(const ChartPrintForm& form);
    // Paints the whole chart scaled into target as vector graphics, so its texts stay text.
    void PaintInto(QPainter& painter, const QRectF& target);

    // The record under a point of the view, or -1.
    int RecordAt(const QPoint& viewPos) const;

signals:
    void readout(int recordIndex); // -1: the mouse is outside the hot area
    void doubleClicked();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The record axis's label step for the present width of the plot.
    void UpdateRecordLabelStep();
    double RecordLabelStep() const; // the bottom axis step for the shown records and plot width

    QChart* chart_;
    QValueAxis* axisX_;
    QValueAxis* axisY_;
    QLineSeries* series1_;
    QLineSeries* series2_;
    QScatterSeries* series3_;
    QScatterSeries* series4_;
    // Series5 and Series6: two bar sets without values that hold the colours and the legend
    // markers, and one item that paints all bars.
    QStackedBarSeries* bars_;
    QBarSet* series5_;
    QBarSet* series6_;
    BarsItem* barsItem_;
    QLineSeries* barMarks_; // value marks of the bars, drawn as labels only
    ChartData shown_;
};

} // namespace qmv
