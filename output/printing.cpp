#include "printing.h"

#include <QAbstractAxis>
#include <QChart>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QPrinter>
#include <QRandomGenerator>
#include <QSettings>
#include <QXYSeries>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "data/codepage.h"
#include "data/paths.h"
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

// The printout's fonts: Latin text in DejaVu Sans, and what it has no glyph for (Japanese) in
// IPAGothic. Qt's PDF file holds either as text. But where the Japanese font drew the Latin
// text as well, as it does when it is the desktop's font, a print queue that makes PostScript
// of the PDF file and a PDF file again (cairo, then ghostscript, as cups-pdf does) turned part
// of its glyphs into bitmaps without text: the printout could be neither searched nor copied.
QFont InPrintFamilies(QFont font) {
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("IPAGothic")});
    return font;
}

// Every text of the chart in the printout's fonts, at the sizes the chart gave them.
void UsePrintFonts(QChart& chart) {
    chart.setTitleFont(InPrintFamilies(chart.titleFont()));
    chart.legend()->setFont(InPrintFamilies(chart.legend()->font()));
    for (QAbstractAxis* axis : chart.axes()) {
        axis->setLabelsFont(InPrintFamilies(axis->labelsFont()));
        axis->setTitleFont(InPrintFamilies(axis->titleFont()));
    }
    for (QAbstractSeries* series : chart.series())
        if (auto* xy = qobject_cast<QXYSeries*>(series))
            xy->setPointLabelsFont(InPrintFamilies(xy->pointLabelsFont()));
}

std::unique_ptr<TChartView> PrintChart(const PrintJob& job, bool monochrome) {
    auto chart = std::make_unique<TChartView>();
    chart->resize(TChartView::PrintSize());
    chart->Render(BuildChartData(job.data, job.switches), Tx("Graph", "GraphX"),
                  Tx("Graph", "GraphY"));
    UsePrintFonts(*chart->chart());
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

std::string SystemError(const QString& what, int error) {
    return QFile::encodeName(what).toStdString() + ": " + std::strerror(error);
}

// The print preview has the printer draw into pictures: no file and no queue take part.
bool Previewing(QPrinter& printer) {
    const QPaintEngine* engine = printer.paintEngine();
    return engine && engine->type() == QPaintEngine::Picture;
}

// An empty file holds nothing to lose; anything else must be a PDF file to be replaced.
bool Replaceable(const QString& path) {
    QFile file(path);
    return file.size() == 0 || (file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-");
}

// Whether bytes are the whole PDF file Qt wrote: a write lost on the way cuts the end off or
// moves the cross-reference table from where the trailer says it starts.
bool WholePdf(const QByteArray& bytes) {
    if (!bytes.startsWith("%PDF-") || !bytes.right(32).trimmed().endsWith("%%EOF"))
        return false;
    const qsizetype at = bytes.lastIndexOf("startxref");
    bool ok = false;
    const qsizetype xref = at < 0 ? -1 : bytes.mid(at + 9).trimmed().split('\n')[0].toLongLong(&ok);
    return ok && xref >= 0 && bytes.mid(xref, 4) == "xref";
}

// A new empty file in folder, named after name, with the permissions a new file gets.
QString CreateTemporary(const QString& folder, const QString& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Ends in ".part": a name ending in ".pdf" would switch the printer to PDF output.
        const QString path = folder + QStringLiteral("/.") + name + QLatin1Char('.') +
                             QString::number(QRandomGenerator::global()->generate(), 36) +
                             QStringLiteral(".part");
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            throw PrintError(SystemError(folder, errno));
    }
    throw PrintError(SystemError(folder, EEXIST));
}

// Printing to a file: the job goes into a new file beside it, which takes its place only once it
// holds the whole PDF file, so that a failed job leaves the file as it was. A device or a pipe
// cannot be replaced: the finished file is written into it, every write checked.
class FileOutput {
public:
    explicit FileOutput(QPrinter& printer) : printer_(printer) {
        if (Previewing(printer) || printer.outputFileName().isEmpty())
            return;
        const QString target = printer.outputFileName();
        struct stat st {};
        const bool exists = ::stat(QFile::encodeName(target).constData(), &st) == 0;
        stream_ = exists && !S_ISREG(st.st_mode);
        if (exists && !stream_ && !Replaceable(target))
            throw OutputRefused(target, "it exists and is not a PDF file");
        // A file the user may not write is not replaced behind its back by a rename either.
        if (exists && ::access(QFile::encodeName(target).constData(), W_OK) != 0)
            throw PrintError(SystemError(target, errno));
        const QFileInfo info(target);
        temp_ = CreateTemporary(stream_ ? QDir::tempPath() : info.absolutePath(), info.fileName());
        target_ = target;
        printer_.setOutputFileName(temp_);
    }
    ~FileOutput() {
        if (target_.isEmpty())
            return;
        printer_.setOutputFileName(target_);
        if (!temp_.isEmpty())
            QFile::remove(temp_);
    }
    FileOutput(const FileOutput&) = delete;
    FileOutput& operator=(const FileOutput&) = delete;

    // After the job ended well: the file checked and put in place, or PrintError.
    void Commit() {
        if (target_.isEmpty())
            return;
        QFile file(temp_);
        if (!file.open(QIODevice::ReadOnly))
            throw PrintError(file.fileName().toStdString() + ": " +
                             file.errorString().toStdString());
        const QByteArray bytes = file.readAll();
        if (!WholePdf(bytes))
            throw PrintError(FromTarget("the PDF file came out incomplete (is the disk full?)"));
        if (stream_) {
            WriteInto(bytes);
            return;
        }
        if (QFile::exists(target_))
            QFile::setPermissions(temp_, QFile::permissions(target_));
        if (::fsync(file.handle()) != 0)
            throw PrintError(SystemError(target_, errno));
        if (::rename(QFile::encodeName(temp_).constData(),
                     QFile::encodeName(target_).constData()) != 0)
            throw PrintError(SystemError(target_, errno));
        temp_.clear();
    }

private:
    std::string FromTarget(const char* what) const {
        return QFile::encodeName(target_).toStdString() + ": " + what;
    }

    void WriteInto(const QByteArray& bytes) const {
        const int fd =
            ::open(QFile::encodeName(target_).constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            throw PrintError(SystemError(target_, errno));
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                const int error = n < 0 ? errno : EIO;
                ::close(fd);
                throw PrintError(SystemError(target_, error));
            }
            done += n;
        }
        if (::close(fd) != 0)
            throw PrintError(SystemError(target_, errno));
    }

    QPrinter& printer_;
    QString target_; // empty: not printing to a file
    QString temp_;
    bool stream_ = false;
};

// Qt hands a job to CUPS without looking at the answer; the library keeps the status of its last
// request. It is loaded already whenever a job went to CUPS, so it is only looked up, not loaded.
void CheckTheQueueTookTheJob() {
    void* cups = ::dlopen("libcups.so.2", RTLD_LAZY | RTLD_NOLOAD);
    if (!cups)
        return;
    using Status = int (*)();
    using Text = const char* (*)();
    const auto status = reinterpret_cast<Status>(::dlsym(cups, "cupsLastError"));
    const auto text = reinterpret_cast<Text>(::dlsym(cups, "cupsLastErrorString"));
    // IPP status codes up to 0xFF are successes.
    const bool failed = status && status() > 0xFF;
    const std::string why = failed && text && text() ? text() : "";
    ::dlclose(cups);
    if (failed)
        throw PrintError("The print queue did not take the job: " + why);
}

} // namespace

OutputRefused::OutputRefused(const QString& file, const std::string& why)
    : PrintError(QFile::encodeName(file).toStdString() + ": " + why), file_(file) {}

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
    QFont font = InPrintFamilies(QGuiApplication::font());
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
    // The pages the print dialog asked for; none chosen means all of them.
    const int count = static_cast<int>(layout.pages.size());
    const int first = printer.fromPage() > 0 ? printer.fromPage() - 1 : 0;
    const int last = printer.toPage() > 0 ? std::min(printer.toPage(), count) - 1 : count - 1;
    if (first > last)
        throw NothingToPrint();
    std::unique_ptr<TChartView> chart;
    if (layout.chart)
        chart = PrintChart(job, monochrome);

    FileOutput file(printer);
    const bool toQueue = !Previewing(printer) && printer.outputFileName().isEmpty() &&
                         printer.outputFormat() == QPrinter::NativeFormat;
    QPainter painter;
    if (!painter.begin(&printer))
        throw PrintError("The printer did not start the print job \"" +
                         PrintJobTitle(job.caption).toStdString() + "\".");
    try {
        for (int p = first; p <= last; ++p) {
            if (p > first && !printer.newPage())
                throw PrintError("The printer did not start a new page.");
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
            throw PrintError("The printer did not finish the print job.");
    } catch (...) {
        printer.abort();
        if (painter.isActive())
            painter.end();
        throw;
    }
    file.Commit();
    if (toQueue)
        CheckTheQueueTookTheJob();
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

OutputRefusal CheckPrintOutputs(const QString& out, int count, const QStringList& inputs,
                                QString& refused) {
    for (int i = 0; i < count; ++i) {
        refused = NumberedOutputFile(out, i, count);
        const std::string file = QFile::encodeName(refused).toStdString();
        for (const QString& input : inputs)
            if (SameFile(file, QFile::encodeName(input).toStdString()))
                return OutputRefusal::IsAnInput;
        struct stat st {};
        if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (count > 1)
            return OutputRefusal::Exists;
        if (!Replaceable(refused))
            return OutputRefusal::NotAPdf;
    }
    refused.clear();
    return OutputRefusal::None;
}

} // namespace qmv
