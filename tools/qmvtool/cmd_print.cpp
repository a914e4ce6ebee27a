// print: data files printed as the program prints a document, on a printer or into PDF files.
#include <QApplication>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSettings>
#include <QStringList>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/settings.h"
#include "command.h"
#include "data/datafile.h"
#include "data/profile.h"
#include "output/printing.h"
#include "ui/uitext.h"

namespace qmvtool {

namespace {

// Printing draws the chart with widgets, so it needs a whole application, but never a display:
// it draws offscreen unless the user chose a platform (a display named but not answering, as
// under ssh or cron, would end the run).
class WidgetApp {
public:
    WidgetApp() : app_(PreparedArgc(), argv_) {}

private:
    static int& PreparedArgc() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return argc_;
    }
    static inline int argc_ = 1;
    static inline char name_[] = "qmvtool";
    static inline char* argv_[] = {name_, nullptr};
    QApplication app_;
};

std::string FileNamePart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The document as opening the file in the program gives it, or false with what went wrong.
bool LoadDocument(const std::string& path, qmv::DocumentData& doc, std::string& error) {
    const qmv::LoadResult r = qmv::LoadDataFile(path, doc);
    if (r.status != qmv::LoadStatus::Ok) {
        error = r.detail.empty() ? "not a data file" : r.detail;
        return false;
    }
    try {
        qmv::CheckForDisplay(doc);
    } catch (const qmv::EConvertError& e) {
        error = std::string("a record field is not a number: ") + e.what();
        return false;
    }
    return true;
}

const char* RefusalText(qmv::OutputRefusal why) {
    switch (why) {
    case qmv::OutputRefusal::IsAnInput:
        return "is one of the data files to print; it is never replaced";
    case qmv::OutputRefusal::NotAPdf:
        return "exists and is not a PDF file; it is not replaced";
    case qmv::OutputRefusal::Exists:
        return "exists already; numbered outputs never replace files (remove them or choose"
               " another name)";
    case qmv::OutputRefusal::None:
        break;
    }
    return "";
}

int RunPrint(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::string printerName, pdf, optionList;
    bool haveOptions = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = a == "--printer" || a == "--pdf" || a == "--options";
        if (takesValue && i + 1 >= args.size())
            return UsageError("print", a + " needs a value");
        if (a == "--printer")
            printerName = args[++i];
        else if (a == "--pdf")
            pdf = args[++i];
        else if (a == "--options") {
            optionList = args[++i];
            haveOptions = true;
        } else if (a.rfind("--", 0) == 0)
            return UsageError("print", "unknown option " + a);
        else
            files.push_back(a);
    }
    if (files.empty())
        return UsageError("print", "no data file given");
    if (!printerName.empty() && !pdf.empty())
        return UsageError("print", "--printer and --pdf exclude each other");

    WidgetApp app;
    if (!pdf.empty()) {
        // Every output is checked before anything is printed, so that a refusal writes nothing.
        QStringList inputs;
        for (const std::string& f : files)
            inputs << QString::fromStdString(f);
        QString refused;
        const qmv::OutputRefusal why = qmv::CheckPrintOutputs(
            QString::fromStdString(pdf), static_cast<int>(files.size()), inputs, refused);
        if (why != qmv::OutputRefusal::None)
            return UsageError("print", refused.toStdString() + ": " + RefusalText(why));
    }
    LoadInterfaceTexts();
    QSettings store(QStringLiteral("Brasketon"), QStringLiteral("QMV27Win"));
    const qmv::ProgramSettings settings = qmv::ReadSettings(store, QSize(), QString());
    qmv::PrintOptions options = settings.Print;
    if (haveOptions) {
        std::string bad;
        if (!qmv::ParsePrintOptionList(optionList, options, bad))
            return UsageError("print", "unknown print option '" + bad + "'");
    }

    QPrinter printer(QPrinter::HighResolution);
    if (pdf.empty()) {
        const QPrinterInfo info =
            printerName.empty() ? QPrinterInfo::defaultPrinter()
                                : QPrinterInfo::printerInfo(QString::fromStdString(printerName));
        if (info.isNull()) {
            std::fprintf(stderr, "qmvtool print: %s\n",
                         printerName.empty() ? "no default printer"
                                             : ("no printer named " + printerName).c_str());
            return ExitFailed;
        }
        printer.setPrinterName(info.printerName());
    }

    int status = ExitOk;
    const int count = static_cast<int>(files.size());
    for (int i = 0; i < count; ++i) {
        const std::string& path = files[i];
        qmv::PrintJob job;
        std::string error;
        if (!LoadDocument(path, job.data, error)) {
            std::fprintf(stderr, "qmvtool print: %s: %s\n", path.c_str(), error.c_str());
            status = ExitFailed;
            continue;
        }
        job.caption = QString::fromStdString(FileNamePart(path));
        job.modelName = job.data.Model == qmv::ModelNone
                            ? QString()
                            : qmv::Tx("Model", qmv::ModelTextKey(job.data.Model).c_str());
        job.switches = {settings.Point, settings.Marker, settings.StdLine};
        job.options = options;
        QString target = QString::fromStdString(printerName);
        if (!pdf.empty()) {
            target = qmv::NumberedOutputFile(QString::fromStdString(pdf), i, count);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(target);
        }
        try {
            qmv::PrintDocument(printer, job);
            std::printf("%s: printed to %s\n", path.c_str(),
                        target.isEmpty() ? printer.printerName().toLocal8Bit().constData()
                                         : target.toLocal8Bit().constData());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "qmvtool print: %s: %s\n", path.c_str(), e.what());
            status = ExitFailed;
        }
    }
    return status;
}

const CommandRegistrar printCommand(
    {"print", "print data files as the program prints a document",
     "usage: qmvtool print FILE.q27... [--printer NAME | --pdf OUT.pdf] [--options LIST]\n"
     "\n"
     "Prints each data file as one job, as Print in the program prints its document: the\n"
     "chart, the heading, the record table and the memo, with the print and chart options\n"
     "of the program's settings. The job is titled 'QMVwin ' and the file's name.\n"
     "\n"
     "  --printer NAME  print on that printer (default: the system's default printer)\n"
     "  --pdf OUT.pdf   write PDF files instead: OUT.pdf for one data file, OUT-1.pdf,\n"
     "                  OUT-2.pdf, ... for several. An output is never one of the data\n"
     "                  files, OUT.pdf replaces only a PDF file, and numbered outputs\n"
     "                  replace no file at all; each is written whole or not at all\n"
     "  --options LIST  the parts and columns to print, by their settings keys, separated by\n"
     "                  commas: graph,list,record,datano,onatsu,date,bpf,nf,nr,note,memo;\n"
     "                  every one not named is left out\n"
     "\n"
     "Exit status: 0 when every file printed, 1 when any failed (a file that did not load,\n"
     "a PDF file that could not be written whole, a queue that did not take the job), 2 for\n"
     "bad usage or an output refused, before anything is printed.\n",
     RunPrint});

} // namespace

} // namespace qmvtool
