// The main window's Graph commands: the chart options of every document, line or bar, copying
// the chart.

#include <QAction>

#include "document/graphsetdlg.h"
#include "document/mdichild.h"
#include "mainform.h"

namespace qmv {

void TMainForm::RedrawAllCharts() {
    for (auto it = docs_.rbegin(); it != docs_.rend(); ++it)
        (*it)->DrawChart();
}

void TMainForm::AcPointExecute() {
    RedrawAllCharts();
}

void TMainForm::AcMarkerExecute() {
    RedrawAllCharts();
}

void TMainForm::AcStdLineExecute() {
    RedrawAllCharts();
}

void TMainForm::AcGraphChangeExecute() {
    TMDIChild* doc = ActiveDocument();
    if (!doc)
        return;
    doc->SetBarGraph(!doc->BarGraph());
    doc->DrawChart();
}

void TMainForm::AcGraphCopyExecute() {
    if (TMDIChild* doc = ActiveDocument())
        doc->CopyGraph();
}

void TMainForm::AcGraphExecute() {
    graphSetDlg_->Execute();
}

} // namespace qmv
