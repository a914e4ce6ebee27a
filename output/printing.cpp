#include "printing.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QSettings>
#include <algorithm>
#include <memory>
#include <stdexcept>

#include "data/codepage.h"
#include "document/chartdata.h"
#include "document/chartview.h"
#include "ui/uitext.h"

namespace qmv {

namespace {

// The hourglass for the length of a job, given back on every path.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

std::unique_ptr<TChartView> PrintChart(const PrintJob& job, bool monochrome) {
    auto chart = std::make_unique<TChartView>();
    chart->resize(TChartView::PrintSize());
    chart->Render(BuildChartData(job.data, job.switches), Tx("Graph", "GraphX"),
                  Tx("Graph", "GraphY"));
    ChartPrintForm form;
    form.title = Tx("Graph", "PrintTitle");
    form.legend = PrintLegendFor(job.switches, job.data.BarGraph);
    form.standardTitle = Tx("Graph", "PrintSeries2") + QLatin1Char('(') +
                         QString::number(job.data.StdLevel) + QLatin1Char(')');
    form.aboveTitle = Tx("Graph", "PrintSeries3");
    form.belowTitle = Tx("Graph", "PrintSeries4");
    form.monochrome = monochrome;
    chart->ApplyPrintForm(form);
    return chart;
}

} // namespace

QString PrintJobTitle(const QString& caption) {
    return QStringLiteral("QMVwin ") + caption;
}

void PrintDocument(QPrinter& printer, const PrintJob& job) {
    BusyCursor busy;
    printer.setPageOrientation(QPageLayout::Portrait);
    // A grey-scale job is what a monochrome printer gets.
    const bool monochrome = printer.colorMode() == QPrinter::GrayScale;
    printer.setDocName(PrintJobTitle(job.caption));

    const int codePage = ActiveCodePage();
    QFont font = QGuiApplication::font();
    font.setPointSize(8);
    const QFontMetrics metrics(font, &printer);
    const QRect area = printer.pageRect(QPrinter::DevicePixel).toRect();
    const PrintPage page{area.width(), area.height(), LinePitch(printer.logicalDpiY())};
    const auto text = [codePage](const std::string& bytes) {
        return QString::fromStdString(CodePageToUtf8(bytes, codePage));
    };
    const auto width = [&](const std::string& bytes) {
        return metrics.horizontalAdvance(text(bytes));
    };

    // Everything that parses the records runs before the job starts.
    const PrintLayout layout =
        LayOutPrint(page, job.options, FromQ(job.caption), FromQ(job.modelName), job.data,
                    InterfaceTexts(), width, codePage);
    std::unique_ptr<TChartView> chart;
    if (layout.chart)
        chart = PrintChart(job, monochrome);

    QPainter painter;
    if (!painter.begin(&printer))
        throw std::runtime_error("The printer did not start the print job \"" +
                                 PrintJobTitle(job.caption).toStdString() + "\".");
    // The pages the print dialog asked for; none chosen means all of them.
    const int count = static_cast<int>(layout.pages.size());
    const int first = printer.fromPage() > 0 ? printer.fromPage() - 1 : 0;
    const int last = printer.toPage() > 0 ? std::min(printer.toPage(), count) - 1 : count - 1;
    try {
        for (int p = first; p <= last; ++p) {
            if (p > first && !printer.newPage())
                throw std::runtime_error("The printer did not start a new page.");
            if (p == 0 && chart)
                chart->PaintInto(painter, QRectF(QPointF(layout.chartLeft, layout.chartTop),
                                                 QPointF(layout.chartRight, layout.chartBottom)));
            painter.setFont(font);
            painter.setPen(QPen(Qt::black, 0));
            for (const PrintRule& r : layout.pages[p].rules)
                painter.drawLine(r.x1, r.y, r.x2, r.y);
            for (const PrintText& t : layout.pages[p].texts)
                painter.drawText(t.x, t.y + metrics.ascent(), text(t.text));
        }
        if (!painter.end())
            throw std::runtime_error("The printer did not finish the print job.");
    } catch (...) {
        printer.abort();
        if (painter.isActive())
            painter.end();
        throw;
    }
}

PrintOptions ReadPrintOptions(QSettings& store) {
    PrintOptions options = AllPrintOptions;
    store.beginGroup(QStringLiteral("Print"));
    for (int i = 0; i < PrintOptionCount; ++i) {
        const QVariant v = store.value(QLatin1String(PrintOptionKeys[i]));
        const QString value = v.toString().trimmed().toLower();
        if (value == QLatin1String("false") || value == QLatin1String("0"))
            options[i] = false;
    }
    store.endGroup();
    return options;
}

QString NumberedOutputFile(const QString& out, int index, int count) {
    if (count <= 1)
        return out;
    const QFileInfo file(out);
    const QString suffix = file.suffix();
    QString base = out;
    if (!suffix.isEmpty())
        base.chop(suffix.size() + 1);
    const QString number = QLatin1Char('-') + QString::number(index + 1);
    return suffix.isEmpty() ? base + number : base + number + QLatin1Char('.') + suffix;
}

} // namespace qmv
