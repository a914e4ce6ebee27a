// The download dialog: runs a record download each time it is shown, lists the records, narrows
// the list by number or date, picks the sensor range of the second device type, and turns the
// listed records into a new document.
#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/record.h"
#include "device/download.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace qmv {

class DeviceLink;
class TfmComm;

// What the dialog needs from the main window, so that this library never sees its class.
class DownloadHost {
public:
    virtual ~DownloadHost() = default;
    // The link the download runs on; its DevicePort has been found by the caller.
    virtual DeviceLink& Link() = 0;
    // The state window shown during the download; nullptr shows none.
    virtual TfmComm* CommWindow() = 0;
    // The program-wide sensor model list index (stored as System/DListIndex).
    virtual int SensorModelIndex() const = 0;
    virtual void SetSensorModelIndex(int index) = 0;
    // The main window's download command, as ReLoad runs it.
    virtual void RunLoadCommand() = 0;
    // A new document window holding records of model, with the chart's axis limit axisMax,
    // captioned and numbered like a new document and marked modified.
    virtual void MakeDocument(std::vector<recReadDataSeg> records, int model, int axisMax) = 0;
    // The dialog closed and is about to be freed.
    virtual void DownloadDialogClosed() = 0;
};

// yymmddhhnn of a record date "yyyy/mm/dd hh:nn"; nothing when it is not a valid date and time.
std::optional<std::int64_t> DateTimeNumber(const std::string& date);
// yyyymmdd of a date "yyyy/mm/dd" (a time after it is ignored); nothing when not a valid date.
std::optional<int> DateNumber(const std::string& date);

class TDataSaveDlg : public QDialog {
    Q_OBJECT
public:
    explicit TDataSaveDlg(DownloadHost& host, QWidget* parent = nullptr);
    ~TDataSaveDlg() override;

    // Shows the dialog and runs its show handler (a download).
    void Open();
    // The show handler: a new download into the dialog and the controls set up for it.
    void FormShow();
    // The search ranges after a successful download.
    void FillSearchDefaults();

    void btnGraphClick();
    void btnReLoadClick();
    void btnCloseClick();
    void btnSearchClick();
    void rbNumClick();
    void rbDateClick();
    void cbModelListChange(int index);

    // Result of the latest download, and its state.
    int LastResult() const { return lastResult_; }
    int DeviceType() const { return download_.DeviceType; }
    const std::vector<recReadDataSeg>& DownloadTable() const { return download_.DownloadTable; }
    int DownloadCount() const { return download_.DownloadCount(); }
    RecordDownload& Download() { return download_; }

    // Controls.
    QLabel* lbModel;
    QLineEdit* edQMV27;
    QComboBox* cbModelList;
    QTreeWidget* Info;
    QLabel* stNoData;
    QGroupBox* gbSearch;
    QRadioButton* rbNum;
    QRadioButton* rbDate;
    QLineEdit* edStNum;
    QLineEdit* edEdNum;
    QLineEdit* meStDate;
    QLineEdit* meEdDate;
    QPushButton* btnSearch;
    QPushButton* btnGraph;
    QPushButton* btnReLoad;
    QPushButton* btnClose;
    QMenu* PopupMenu1;
    QAction* pmGraph;
    QAction* pmReLoad;
    QAction* pmClose;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetUpControls();
    // The model area and the flag column of the instrument of deviceType: the logger's name, or
    // the sensor ranges (for no instrument as well).
    void ShowModelArea(int deviceType);
    // Adds the row of the table entry at position.
    void AddRow(int position);
    void FillRows(int first, int last);
    void FitList();
    void ShowFailure(int result);
    // Runs a handler inside the general error report.
    template <typename F> void Reported(F&& f);

    DownloadHost& host_;
    RecordDownload download_;
    int lastResult_ = -1;
    bool downloading_ = false;
};

} // namespace qmv
