// The main window's print commands: the print settings, printing the active document or every
// document, and the print preview.

#include <QPrintPreviewDialog>
#include <QPrinter>

#include "document/mdichild.h"
#include "mainform.h"
#include "output/printing.h"
#include "output/printsetdlg.h"
#include "ui/errorreport.h"
#include "ui/platformdialogs.h"

namespace qmv {

namespace {

PrintJob JobOf(TMainForm& form, const TMDIChild& doc) {
    PrintJob job;
    job.caption = doc.Caption();
    job.modelName = doc.ModelName();
    job.data = doc.Data();
    job.switches = form.Switches();
    job.options = form.Settings().Print;
    return job;
}

// Gives the printer back its output file whichever way the jobs end.
class OutputFileKeeper {
public:
    explicit OutputFileKeeper(QPrinter& printer)
        : printer_(printer), file_(printer.outputFileName()) {}
    ~OutputFileKeeper() { printer_.setOutputFileName(file_); }
    OutputFileKeeper(const OutputFileKeeper&) = delete;
    OutputFileKeeper& operator=(const OutputFileKeeper&) = delete;
    const QString& File() const { return file_; }

private:
    QPrinter& printer_;
    QString file_;
};

} // namespace

QPrinter& TMainForm::Printer() {
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

void TMainForm::AcSettingExecute() {
    // The options reach the settings store when the program closes.
    printSetDlg_->Execute(settings_.Print);
}

void TMainForm::AcPrintExecute() {
    TMDIChild* doc = ActiveDocument();
    if (!doc || !Dialogs().PrintDialog(this, Printer()))
        return;
    PrintDocument(Printer(), JobOf(*this, *doc));
}

void TMainForm::AcAllPrintExecute() {
    if (!ActiveDocument() || !Dialogs().PrintDialog(this, Printer()))
        return;
    const std::vector<TMDIChild*> docs = docs_;
    const int count = static_cast<int>(docs.size());
    // Printed to a file, every document gets a file of its own rather than replacing the one
    // printed before it.
    const OutputFileKeeper keeper(Printer());
    for (int i = 0; i < count; ++i) {
        if (!keeper.File().isEmpty())
            Printer().setOutputFileName(NumberedOutputFile(keeper.File(), i, count));
        PrintDocument(Printer(), JobOf(*this, *docs[i]));
    }
}

void TMainForm::AcPrintPreviewExecute() {
    TMDIChild* doc = ActiveDocument();
    if (!doc)
        return;
    QPrintPreviewDialog preview(&Printer(), this);
    preview.setWindowTitle(PrintJobTitle(doc->Caption()));
    const PrintJob job = JobOf(*this, *doc);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this, &job](QPrinter* printer) {
        RunReported(this, [&] { PrintDocument(*printer, job); });
    });
    preview.exec();
}

} // namespace qmv
