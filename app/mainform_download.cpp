// The download command of the main window and what the download dialog asks of the window.
#include "mainform.h"

#include <QPointer>

#include "device/datasavedlg.h"
#include "device/devicelink.h"
#include "document/mdichild.h"
#include "ui/errorreport.h"

namespace qmv {

namespace {

const char* const DownloadHostName = "qmvDownloadHost";

// The main window as the download dialog sees it; one per window, a child of it, holding the
// single dialog while it exists.
class MainDownloadHost : public QObject, public DownloadHost {
public:
    explicit MainDownloadHost(TMainForm& main) : QObject(&main), main_(main) {
        setObjectName(QLatin1String(DownloadHostName));
    }

    DeviceLink& Link() override { return main_.Link(); }
    TfmComm* CommWindow() override { return &main_.CommWindow(); }
    int SensorModelIndex() const override { return main_.SensorModelIndex; }
    void SetSensorModelIndex(int index) override { main_.SensorModelIndex = index; }
    void RunLoadCommand() override { main_.AcLoadExecute(); }

    void MakeDocument(std::vector<recReadDataSeg> records, int model, int axisMax) override {
        TMDIChild* doc = main_.CreateDocument(); // takes the next DocCounter as its tag
        doc->LayoutPanes(model);
        doc->SetRecords(std::move(records), model);
        doc->SetChartRange(axisMax, doc->AxisMin(), doc->StdLevel());
        doc->SetCaption(doc->FileName() + QLatin1Char(' ') +
                        QString::number(main_.NewFileCounter++));
        doc->RefreshAfterChange(-1);
    }

    void DownloadDialogClosed() override {
        DownloadDialogOpen = false;
        dialog = nullptr;
    }

    bool DownloadDialogOpen = false;
    QPointer<TDataSaveDlg> dialog;

private:
    TMainForm& main_;
};

MainDownloadHost& DownloadHostOf(TMainForm& main) {
    auto* host = dynamic_cast<MainDownloadHost*>(
        main.findChild<QObject*>(QLatin1String(DownloadHostName), Qt::FindDirectChildrenOnly));
    return host ? *host : *new MainDownloadHost(main);
}

} // namespace

void TMainForm::AcLoadExecute() {
    MainDownloadHost& host = DownloadHostOf(*this);
    RunReported(this, [&] {
        if (!host.DownloadDialogOpen || !host.dialog) {
            if (Link().FindPort() != FindPortFound)
                return;
            host.dialog = new TDataSaveDlg(host, this);
            // F5 runs a new download from the dialog as well.
            host.dialog->addAction(Command("AcLoad"));
            host.DownloadDialogOpen = true;
            host.dialog->Open();
            return;
        }
        if (host.dialog->isMinimized()) {
            host.dialog->showNormal();
            return;
        }
        if (Link().FindPort() == FindPortFound)
            host.dialog->FormShow();
    });
}

} // namespace qmv
