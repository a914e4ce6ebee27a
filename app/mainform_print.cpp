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
#include "ui/uitext.h"

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

void ShowRefusedFile(QWidget* parent, const QString& file) {
    Dialogs().Beep();
    Dialogs().Message(parent, Tx("Msg", "MsgPrintFile") + QStringLiteral("\r\n") + file,
                      MessageKind::Error, MessageButtons::Ok);
}

// Prints one job and says what went wrong; false when nothing or not all was printed.
bool PrintReported(QWidget* parent, QPrinter& printer, const PrintJob& job) {
    try {
        PrintDocument(printer, job);
        return true;
    } catch (const OutputRefused& e) {
        ShowRefusedFile(parent, e.File());
    } catch (const PrintError& e) {
        Dialogs().Beep();
        Dialogs().Message(parent,
                          Tx("Msg", "MsgPrintErr") + QStringLiteral("\r\n") +
                              QString::fromLocal8Bit(e.what()),
                          MessageKind::Error, MessageButtons::Ok);
    } catch (const NothingToPrint&) {
        Dialogs().Message(parent, Tx("Msg", "MsgNoPrintPage"), MessageKind::Warning,
                          MessageButtons::Ok);
    }
    return false;
}

// Printing to a file, count jobs may not go to an open document's file, to a file that is not
// a PDF file, or, one file each, to files an earlier run left: says so and gives true.
bool OutputRefusedFor(TMainForm& form, int count) {
    const QString out = form.Printer().outputFileName();
    if (out.isEmpty())
        return false;
    QStringList inputs;
    for (const TMDIChild* doc : form.Documents())
        if (!doc->IsNewDocument())
            inputs << doc->FileName();
    QString refused;
    if (CheckPrintOutputs(out, count, inputs, refused) == OutputRefusal::None)
        return false;
    ShowRefusedFile(&form, refused);
    return true;
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
    if (!doc || !Dialogs().PrintDialog(this, Printer()) || OutputRefusedFor(*this, 1))
        return;
    PrintReported(this, Printer(), JobOf(*this, *doc));
}

void TMainForm::AcAllPrintExecute() {
    if (!ActiveDocument() || !Dialogs().PrintDialog(this, Printer()))
        return;
    const std::vector<TMDIChild*> docs = docs_;
    const int count = static_cast<int>(docs.size());
    if (OutputRefusedFor(*this, count))
        return;
    // Printed to a file, every document gets a file of its own rather than replacing the one
    // printed before it.
    const OutputFileKeeper keeper(Printer());
    for (int i = 0; i < count; ++i) {
        if (!keeper.File().isEmpty())
            Printer().setOutputFileName(NumberedOutputFile(keeper.File(), i, count));
        if (!PrintReported(this, Printer(), JobOf(*this, *docs[i])))
            return;
    }
}

void TMainForm::AcPrintPreviewExecute() {
    TMDIChild* doc = ActiveDocument();
    if (!doc)
        return;
    // The preview shows, and prints, the whole document whatever pages the last Print chose.
    Printer().setPrintRange(QPrinter::AllPages);
    Printer().setFromTo(0, 0);
    QPrintPreviewDialog preview(&Printer(), this);
    preview.setWindowTitle(PrintJobTitle(doc->Caption()));
    const PrintJob job = JobOf(*this, *doc);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this, &job](QPrinter* printer) {
        RunReported(this, [&] { PrintReported(this, *printer, job); });
    });
    preview.exec();
}

} // namespace qmv
