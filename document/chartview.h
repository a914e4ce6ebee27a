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

class TChartView : public QChartView {
    Q_OBJECT
public:
    explicit TChartView(QWidget* parent = nullptr);

    // Rebuilds every series and both axes from data.
    void Render(const ChartData& data, const QString& xTitle, const QString& yTitle);
    const ChartData& Shown() const { return shown_; }

    // The whole chart at its current size on a white background.
    QImage Snapshot();

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
    QChart* chart_;
    QValueAxis* axisX_;
    QValueAxis* axisY_;
    QLineSeries* series1_;
    QLineSeries* series2_;
    QScatterSeries* series3_;
    QScatterSeries* series4_;
    QStackedBarSeries* bars_; // Series5 and Series6 as two bar sets stacked on one x each
    QBarSet* series5_;
    QBarSet* series6_;
    QScatterSeries* barMarks_; // value marks of the bars, drawn as labels only
    ChartData shown_;
};

} // namespace qmv
