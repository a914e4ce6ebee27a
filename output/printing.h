// Printing a document: its chart, heading, record table and memo as one print job.
#pragma once

#include <QString>
#include <QStringList>
#include <stdexcept>

#include "data/datafile.h"
#include "document/documenthost.h"
#include "output/printlayout.h"

class QPrinter;
class QSettings;

namespace qmv {

// What a print job takes from a document.
struct PrintJob {
    QString caption; // the document window's caption
    QString modelName;
    DocumentData data;
    ChartSwitches switches; // the chart switches of the main window
    PrintOptions options = AllPrintOptions;
};

// The job's title in the printer queue: "QMVwin " and the caption.
QString PrintJobTitle(const QString& caption);

// A job that did not reach its file or its queue whole; what() gives the reason in the words of
// the system or the print queue.
class PrintError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A job refused before it started because its file exists and must not be replaced.
class OutputRefused : public PrintError {
public:
    OutputRefused(const QString& file, const std::string& why);
    const QString& File() const { return file_; }

private:
    QString file_;
};

// The printer's page range starts after the document's last page: no job was started.
class NothingToPrint : public std::runtime_error {
public:
    NothingToPrint() : std::runtime_error("The chosen pages are past the end of the document.") {}
};

// Prints job on printer as one job, portrait. A record field that is not a number raises
// EConvertError and a page range past the end NothingToPrint, both before the job starts. A
// file output goes first into a temporary file beside it and replaces the file only once it
// holds the whole PDF; an existing file that is not a PDF file raises OutputRefused. Any failure
// of the job, including a queue that did not take it, raises PrintError and leaves the file as it
// was. The hourglass shows meanwhile.
void PrintDocument(QPrinter& printer, const PrintJob& job);

// The options of section "Print" of the settings store; a missing or unreadable one is on.
PrintOptions ReadPrintOptions(QSettings& store);

// The file job index (from 0) of count jobs goes to when printing to the file out: out itself
// for a single job, else out with "-1", "-2", ... before its extension.
QString NumberedOutputFile(const QString& out, int index, int count);

enum class OutputRefusal {
    None,
    IsAnInput, // the same file as one of the inputs, by whatever name
    NotAPdf,   // an existing file that is not a PDF file
    Exists,    // an existing numbered output: an earlier run's, never replaced unasked
};

// Checks every file that count jobs printed to out go to, before anything is printed. refused
// receives the first file refused.
OutputRefusal CheckPrintOutputs(const QString& out, int count, const QStringList& inputs,
                                QString& refused);

} // namespace qmv
