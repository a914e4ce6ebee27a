// The record editor's commands and the hidden edit mode.
#include "document/ineditor.h"
#include "document/mdichild.h"
#include "mainform.h"
#include "ui/errorreport.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"

namespace qmv {

namespace {

// The hidden edit mode's access code, compared exactly, case included.
const char* const AccessCode = "kettlebroom";

} // namespace

void TMainForm::OpenRecordEditor(TMDIChild* doc) {
    if (!doc)
        return;
    const int row = doc->SelectedIndex();
    if (row < 0 || doc->RecordCount() == 0)
        return;
    RunReported(this, [&] { inEditor_->Open(*doc, row, HiddenEditMode); });
}

void TMainForm::AcDataEditExecute() {
    OpenRecordEditor(ActiveDocument());
}

void TMainForm::SecretModeExecute() {
    // Cancelling the prompt answers with what it proposed, which is never the code.
    QString answer = QStringLiteral("???????????");
    Dialogs().InputQuery(this, QStringLiteral("SecretMode"), QStringLiteral("PassWord"), answer);
    if (answer == QLatin1String(AccessCode)) {
        HiddenEditMode = true;
        Dialogs().Message(this, Tx("Msg", "MsgEdit"), MessageKind::Information, MessageButtons::Ok);
    } else {
        // A wrong answer leaves the mode as it was: once on, it stays on for the run.
        Dialogs().Message(this, Tx("Msg", "MsgPassErr"), MessageKind::Error, MessageButtons::Ok);
    }
}

} // namespace qmv
