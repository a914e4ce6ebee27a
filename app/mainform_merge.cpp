// The Edit command that merges a data file into the active document.
#include <QFileInfo>

#include "document/mdichild.h"
#include "mainform.h"
#include "ui/platformdialogs.h"

namespace qmv {

void TMainForm::AcGraphSUMExecute() {
    TMDIChild* doc = ActiveDocument();
    if (!doc)
        return;
    FileDialogRequest request;
    request.folder = DataFolder();
    // Merging several files one after another: the last one is proposed again.
    request.fileName = mergeFileName_;
    request.defaultExt = QStringLiteral("q27");
    request.filter = QLatin1String(OpenFilter);
    request.multiSelect = true;
    QStringList files;
    if (!Dialogs().OpenFiles(this, request, files) || files.isEmpty())
        return;
    mergeFileName_ = QFileInfo(files.front()).fileName();
    doc->MergeDataFiles(files);
}

} // namespace qmv
