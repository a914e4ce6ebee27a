#include "device/datasavedlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>

#include "data/profile.h"
#include "device/devicelink.h"
#include "device/devicenotice.h"
#include "device/downloadhistory.h"
#include "device/tfmcomm.h"
#include "ui/digitkeys.h"
#include "ui/errorreport.h"
#include "ui/platformdialogs.h"
#include "ui/textfit.h"
#include "ui/uitext.h"

namespace qmv {

namespace {

// More rows than this cannot be drawn as one chart of the second device type.
constexpr int GraphRowLimit = 10000;

// Data numbers repeat (the logger counts in one byte), so each row of the list keeps the
// position of its entry in the table.
constexpr int TablePositionRole = Qt::UserRole;

// Reads a run of digits of exactly the given length at pos.
bool Digits(const std::string& s, std::size_t pos, std::size_t count, int& value) {
    if (pos + count > s.size())
        return false;
    value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i])))
            return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

// "yyyy/mm/dd" at the start of s, a valid calendar date.
bool ReadDate(const std::string& s, int& y, int& m, int& d) {
    return s.size() >= 10 && Digits(s, 0, 4, y) && s[4] == '/' && Digits(s, 5, 2, m) &&
           s[7] == '/' && Digits(s, 8, 2, d) && QDate(y, m, d).isValid();
}

} // namespace

std::optional<std::int64_t> DateTimeNumber(const std::string& date) {
    int y, m, d, h, n;
    if (!ReadDate(date, y, m, d) || date.size() != 16 || date[10] != ' ' ||
        !Digits(date, 11, 2, h) || date[13] != ':' || !Digits(date, 14, 2, n) || h > 23 || n > 59)
        return std::nullopt;
    return static_cast<std::int64_t>(y % 100) * 100000000 + m * 1000000 + d * 10000 + h * 100 + n;
}

std::optional<int> DateNumber(const std::string& date) {
    int y, m, d;
    if (!ReadDate(date, y, m, d))
        return std::nullopt;
    if (date.size() > 10 && date[10] != ' ')
        return std::nullopt;
    return y * 10000 + m * 100 + d;
}

template <typename F> void TDataSaveDlg::Reported(F&& f) {
    RunReported(this, std::forward<F>(f));
}

TDataSaveDlg::TDataSaveDlg(DownloadHost& host, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      host_(host), download_(host.Link()) {
    // Not kept on top of everything: as the main window's own window it stays above the main
    // window, and the dialogs it leads to (Save As after Graph) open above it, not under it.
    setObjectName(QStringLiteral("DataSaveDlg"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    resize(314, 505);

    lbModel = new QLabel(this);
    edQMV27 = new QLineEdit(this);
    edQMV27->setReadOnly(true);
    cbModelList = new QComboBox(this);
    auto* modelRow = new QHBoxLayout;
    modelRow->addWidget(lbModel);
    modelRow->addWidget(edQMV27, 1);
    modelRow->addWidget(cbModelList, 1);

    Info = new QTreeWidget(this);
    Info->setObjectName(QStringLiteral("Info"));
    Info->setColumnCount(4);
    Info->setRootIsDecorated(false);
    Info->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Info->setSelectionBehavior(QAbstractItemView::SelectRows);
    Info->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Info->setSortingEnabled(false);
    Info->header()->setSectionsClickable(false);
    Info->setColumnWidth(0, 65);
    Info->setColumnWidth(1, 65);
    Info->setColumnWidth(2, 110);
    // The flag column takes what its caption and flags need (FitList), not what is left over;
    // the dialog is made wide enough for all four.
    Info->header()->setStretchLastSection(false);
    Info->setColumnWidth(3, 0);
    stNoData = new QLabel(Info->viewport());
    stNoData->setAlignment(Qt::AlignCenter);
    stNoData->setGeometry(0, 20, 280, 40);
    stNoData->hide();

    gbSearch = new QGroupBox(this);
    rbNum = new QRadioButton(gbSearch);
    rbDate = new QRadioButton(gbSearch);
    edStNum = new QLineEdit(gbSearch);
    edEdNum = new QLineEdit(gbSearch);
    for (QLineEdit* e : {edStNum, edEdNum}) {
        e->setMaxLength(5);
        e->installEventFilter(this);
    }
    meStDate = new QLineEdit(gbSearch);
    meEdDate = new QLineEdit(gbSearch);
    for (QLineEdit* e : {meStDate, meEdDate})
        e->setInputMask(QStringLiteral("0000/00/00;_"));
    btnSearch = new QPushButton(gbSearch);
    auto* search = new QGridLayout(gbSearch);
    search->addWidget(rbNum, 0, 0);
    search->addWidget(edStNum, 0, 1);
    search->addWidget(new QLabel(QStringLiteral("-"), gbSearch), 0, 2);
    search->addWidget(edEdNum, 0, 3);
    search->addWidget(rbDate, 1, 0);
    search->addWidget(meStDate, 1, 1);
    search->addWidget(new QLabel(QStringLiteral("-"), gbSearch), 1, 2);
    search->addWidget(meEdDate, 1, 3);
    search->addWidget(btnSearch, 2, 3);

    btnGraph = new QPushButton(this);
    btnGraph->setDefault(true);
    btnReLoad = new QPushButton(this);
    btnClose = new QPushButton(this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnGraph);
    buttons->addWidget(btnReLoad);
    buttons->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(modelRow);
    layout->addWidget(Info, 1);
    layout->addWidget(gbSearch);
    layout->addLayout(buttons);

    PopupMenu1 = new QMenu(this);
    pmGraph = PopupMenu1->addAction(QString());
    pmReLoad = PopupMenu1->addAction(QString());
    PopupMenu1->addSeparator();
    pmClose = PopupMenu1->addAction(QString());
    setContextMenuPolicy(Qt::CustomContextMenu);
    Info->setContextMenuPolicy(Qt::CustomContextMenu);
    auto popup = [this](QWidget* w) {
        return [this, w](const QPoint& pos) { PopupMenu1->popup(w->mapToGlobal(pos)); };
    };
    connect(this, &QWidget::customContextMenuRequested, this, popup(this));
    connect(Info, &QWidget::customContextMenuRequested, this, popup(Info->viewport()));

    connect(btnGraph, &QPushButton::clicked, this, &TDataSaveDlg::btnGraphClick);
    connect(pmGraph, &QAction::triggered, this, &TDataSaveDlg::btnGraphClick);
    connect(btnReLoad, &QPushButton::clicked, this, &TDataSaveDlg::btnReLoadClick);
    connect(pmReLoad, &QAction::triggered, this, &TDataSaveDlg::btnReLoadClick);
    connect(btnClose, &QPushButton::clicked, this, &TDataSaveDlg::btnCloseClick);
    connect(pmClose, &QAction::triggered, this, &TDataSaveDlg::btnCloseClick);
    connect(btnSearch, &QPushButton::clicked, this, &TDataSaveDlg::btnSearchClick);
    connect(rbNum, &QRadioButton::clicked, this, &TDataSaveDlg::rbNumClick);
    connect(rbDate, &QRadioButton::clicked, this, &TDataSaveDlg::rbDateClick);
    // Only a choice of the user converts the levels, never the selection set up by the dialog.
    connect(cbModelList, qOverload<int>(&QComboBox::activated), this,
            &TDataSaveDlg::cbModelListChange);

    SetUpControls();
}

TDataSaveDlg::~TDataSaveDlg() = default;

void TDataSaveDlg::Open() {
    if (QWidget* owner = parentWidget()) {
        const QRect frame = owner->window()->frameGeometry();
        move(frame.center() - rect().center());
    }
    show();
    FormShow();
}

void TDataSaveDlg::FormShow() {
    if (downloading_)
        return;
    stNoData->hide();
    Info->clear();
    edStNum->clear();
    edEdNum->clear();
    meStDate->clear();
    meEdDate->clear();

    TfmComm* comm = host_.CommWindow();
    DeviceLink& link = host_.Link();
    int result = DownloadNoAnswer;
    KeptDownload kept;
    {
        // The windows come back however the download ends.
        struct Busy {
            TDataSaveDlg& dlg;
            TfmComm* comm;
            DeviceLink& link;
            ~Busy() {
                dlg.download_.BlockReceived = nullptr;
                if (comm)
                    comm->close();
                link.Ui().EndCommand();
                dlg.setEnabled(true);
                dlg.downloading_ = false;
            }
        } busy{*this, comm, link};
        downloading_ = true;
        if (comm) {
            comm->show();
            download_.BlockReceived = [comm](int blocks) { comm->ShowProgress(blocks); };
        }
        link.Ui().BeginCommand();
        setEnabled(false);
        result = download_.DownloadRecords(host_.SensorModelIndex());
        lastResult_ = result;
        // Kept before anything is shown, so that no record of the instrument exists only here.
        kept = KeepDownload(download_, result, host_.SensorModelIndex());
        if (result == DownloadOk) {
            Info->setUpdatesEnabled(false);
            for (int i = 0; i < DownloadCount(); ++i)
                AddRow(i);
            Info->setUpdatesEnabled(true);
            FillSearchDefaults();
        }
    }
    if (result != DownloadOk)
        ShowFailure(result);
    else if (kept.status == KeepStatus::Failed)
        ShowHistoryFailure(this);
    SetUpControls();
}

void TDataSaveDlg::ShowFailure(int result) {
    const char* key = "MsgComErr1";
    MessageKind kind = MessageKind::Warning;
    QString text = QStringLiteral("Error");
    switch (result) {
    case DownloadEmpty:
        key = "MsgNoData";
        kind = MessageKind::Information;
        text = QStringLiteral("No Data");
        break;
    case DownloadNoDevice:
        key = "MsgComErr0";
        break;
    case DownloadBlockLate:
        key = "MsgLoadErr";
        kind = MessageKind::Error;
        break;
    default:
        break;
    }
    Dialogs().Beep();
    QString message = Tx("Msg", key);
    const QString refusal = RefusalText(host_.Link());
    if (result == DownloadNoDevice && !refusal.isEmpty())
        message += QLatin1Char('\n') + refusal;
    Dialogs().Message(this, message, kind, MessageButtons::Ok);
    stNoData->setText(text);
    stNoData->setGeometry(0, 20, Info->viewport()->width(), 40);
    stNoData->show();
}

void TDataSaveDlg::SetUpControls() {
    const bool logger = download_.DeviceType == DeviceQMV27;
    edQMV27->setVisible(logger);
    cbModelList->setVisible(!logger);
    if (logger) {
        edQMV27->setText(Tx("Model", "QMV27"));
    } else {
        cbModelList->clear();
        cbModelList->addItems(
            {Tx("Model", "GZNMax"), Tx("Model", "GZNMid"), Tx("Model", "GZNMin")});
        cbModelList->setCurrentIndex(ValidSensorModelIndex(host_.SensorModelIndex()));
    }
    Info->setHeaderLabels({Tx("QMVRead", "DlgInfo0"), Tx("QMVRead", "DlgInfo1"),
                           Tx("QMVRead", "DlgInfo2"),
                           logger ? Tx("QMVRead", "DlgInfo3") : QString()});
    setWindowTitle(Tx("QMVRead", "Caption"));
    lbModel->setText(Tx("Model", "Model"));
    rbNum->setText(Tx("QMVData", "DataNo"));
    rbDate->setText(Tx("QMVData", "Date"));
    btnSearch->setText(Tx("QMVRead", "Searchbtn"));
    btnGraph->setText(Tx("Button", "GraphBtn"));
    btnReLoad->setText(Tx("Button", "ReLoadBtn"));
    btnClose->setText(Tx("Button", "CloseBtn"));
    pmGraph->setText(btnGraph->text());
    pmReLoad->setText(btnReLoad->text());
    pmClose->setText(btnClose->text());
    for (QRadioButton* rb : {rbNum, rbDate}) {
        // Both unchecked: a radio group would keep one checked otherwise.
        rb->setAutoExclusive(false);
        rb->setChecked(false);
        rb->setAutoExclusive(true);
    }
    for (QWidget* w :
         std::initializer_list<QWidget*>{edStNum, edEdNum, meStDate, meEdDate, btnSearch})
        w->setEnabled(false);
    FitList();
}

void TDataSaveDlg::FitList() {
    // The columns hold a whole date and flag; the dialog widens so that the list shows them all.
    FitColumns(Info,
               {QStringLiteral("00000"), QStringLiteral("000"), QStringLiteral("0000/00/00 00:00"),
                Info->headerItem() ? Info->headerItem()->text(3) : QString()});
    // What stands beside the list, as the layout places it now.
    layout()->activate();
    const int beside = width() - Info->width();
    const int need = ColumnsWidth(Info) + beside;
    if (width() < need)
        resize(need, height());
}

void TDataSaveDlg::AddRow(int position) {
    const recReadDataSeg& r = download_.DownloadTable[static_cast<std::size_t>(position)];
    const bool logger = download_.DeviceType == DeviceQMV27;
    QStringList texts{ToQ(FormatDataNo(logger ? ModelQMV27 : ModelGZNMax, r.DataNo)), ToQ(r.MinDb),
                      ToQ(r.Date)};
    if (logger)
        texts << ToQ(FlagText(r.Flag, InterfaceTexts().Text("Flag", "GetFlag1")));
    auto* item = new QTreeWidgetItem(Info, texts);
    item->setData(0, TablePositionRole, position);
}

void TDataSaveDlg::FillRows(int first, int last) {
    Info->clear();
    first = std::max(first, 0);
    last = std::min(last, DownloadCount() - 1);
    for (int i = first; i <= last; ++i)
        AddRow(i);
}

void TDataSaveDlg::FillSearchDefaults() {
    const std::vector<recReadDataSeg>& table = download_.DownloadTable;
    if (table.empty())
        return; // nothing decoded: the fields stay empty
    const int model = DownloadModel(download_.DeviceType, host_.SensorModelIndex());
    edStNum->setText(ToQ(FormatDataNo(model, table.front().DataNo)));
    edEdNum->setText(ToQ(FormatDataNo(model, table.back().DataNo)));

    // Records whose date cannot be read take no part in the date range.
    const std::size_t n = table.size();
    std::vector<std::optional<std::int64_t>> keys(n);
    for (std::size_t i = 0; i < n; ++i)
        keys[i] = DateTimeNumber(table[i].Date);
    std::optional<std::size_t> earliest, latest;
    if (keys.front() && keys.back() && *keys.front() < *keys.back()) {
        earliest = 0;
        latest = n - 1;
    } else {
        for (std::size_t i = 0; i < n; ++i)
            if (keys[i] && (!earliest || *keys[i] < *keys[*earliest]))
                earliest = i;
        for (std::size_t i = n; i-- > 0;)
            if (keys[i] && (!latest || *keys[i] > *keys[*latest]))
                latest = i;
    }
    if (earliest)
        meStDate->setText(ToQ(table[*earliest].Date.substr(0, 10)));
    if (latest)
        meEdDate->setText(ToQ(table[*latest].Date.substr(0, 10)));
}

void TDataSaveDlg::btnSearchClick() {
    Reported([this] {
        if (rbNum->isChecked()) {
            const int from = StrToInt(FromQ(edStNum->text()));
            const int to = StrToInt(FromQ(edEdNum->text()));
            if (to < from) {
                Dialogs().Beep();
                Dialogs().Message(this, Tx("Msg", "MsgWriErr"), MessageKind::Warning,
                                  MessageButtons::Ok);
                edEdNum->setFocus();
                return;
            }
            // Every number is read before the list changes, so a bad one leaves it as it was.
            std::vector<int> rows;
            for (int i = 0; i < DownloadCount(); ++i) {
                const int no =
                    StrToInt(download_.DownloadTable[static_cast<std::size_t>(i)].DataNo);
                if (from <= no && no <= to)
                    rows.push_back(i);
            }
            Info->clear();
            for (int i : rows)
                AddRow(i);
        } else if (rbDate->isChecked()) {
            const std::optional<int> from = DateNumber(FromQ(meStDate->text()));
            const std::optional<int> to = DateNumber(FromQ(meEdDate->text()));
            if (!from || !to || *to < *from) {
                Dialogs().Beep();
                Dialogs().Message(this, Tx("Msg", "MsgWriErr"), MessageKind::Warning,
                                  MessageButtons::Ok);
                (!from || !to ? meStDate : meEdDate)->setFocus();
                return;
            }
            Info->clear();
            for (int i = 0; i < DownloadCount(); ++i) {
                const std::optional<int> day =
                    DateNumber(download_.DownloadTable[static_cast<std::size_t>(i)].Date);
                if (day && *from <= *day && *day <= *to)
                    AddRow(i);
            }
        }
    });
}

void TDataSaveDlg::rbNumClick() {
    edStNum->setEnabled(true);
    edEdNum->setEnabled(true);
    meStDate->setEnabled(false);
    meEdDate->setEnabled(false);
    btnSearch->setEnabled(true);
    edStNum->setFocus();
}

void TDataSaveDlg::rbDateClick() {
    edStNum->setEnabled(false);
    edEdNum->setEnabled(false);
    meStDate->setEnabled(true);
    meEdDate->setEnabled(true);
    btnSearch->setEnabled(true);
    meStDate->setFocus();
}

void TDataSaveDlg::cbModelListChange(int index) {
    Reported([&] {
        const int current = ValidSensorModelIndex(host_.SensorModelIndex());
        if (index < 0 || index > 2 || index == current)
            return;
        // Converted into a copy first, so that a level that is not a number changes nothing.
        std::vector<recReadDataSeg> table = download_.DownloadTable;
        for (recReadDataSeg& r : table)
            r.MinDb = ConvertLevel(ModelGZNMax + current, ModelGZNMax + index, r.MinDb);
        int first = 0, last = -1;
        const int rows = Info->topLevelItemCount();
        if (rows > 0) {
            first = StrToInt(FromQ(Info->topLevelItem(0)->text(0))) - 1;
            last = StrToInt(FromQ(Info->topLevelItem(rows - 1)->text(0))) - 1;
        }
        download_.DownloadTable = std::move(table);
        host_.SetSensorModelIndex(index);
        if (rows > 0)
            FillRows(first, last);
    });
}

void TDataSaveDlg::btnGraphClick() {
    Reported([this] {
        const int rows = Info->topLevelItemCount();
        const QList<QTreeWidgetItem*> selected = Info->selectedItems();
        if (download_.DeviceType != DeviceQMV27 && rows > GraphRowLimit &&
            selected.size() > GraphRowLimit) {
            Dialogs().Beep();
            Dialogs().Message(this, Tx("Msg", "MsgDataOver1"), MessageKind::Warning,
                              MessageButtons::Ok);
            Info->setFocus();
            return;
        }
        if (rows == 0)
            return;
        const int model = download_.DeviceType == DeviceQMV27
                              ? ModelQMV27
                              : ModelGZNMax + ValidSensorModelIndex(cbModelList->currentIndex());
        std::vector<recReadDataSeg> records;
        for (int i = 0; i < rows && records.size() < static_cast<std::size_t>(MaxRecords); ++i) {
            QTreeWidgetItem* item = Info->topLevelItem(i);
            if (!selected.isEmpty() && !item->isSelected())
                continue;
            bool listed = false;
            const int position = item->data(0, TablePositionRole).toInt(&listed);
            if (listed && position >= 0 && position < DownloadCount())
                records.push_back(download_.DownloadTable[static_cast<std::size_t>(position)]);
        }
        // The new document's standard line is at its default level.
        const int axisMax = GraphAxisMax(LargestLevel(records), DocumentData().StdLevel);
        host_.MakeDocument(std::move(records), model, axisMax);
    });
}

void TDataSaveDlg::btnReLoadClick() {
    host_.RunLoadCommand();
}

void TDataSaveDlg::btnCloseClick() {
    close();
}

void TDataSaveDlg::closeEvent(QCloseEvent* event) {
    // No closing in the middle of a download: the link and this dialog are still in use.
    if (downloading_) {
        event->ignore();
        return;
    }
    host_.DownloadDialogClosed();
    event->accept();
}

void TDataSaveDlg::keyPressEvent(QKeyEvent* event) {
    // The dialog has no Cancel: Escape must not close it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TDataSaveDlg::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == edStNum || watched == edEdNum) && event->type() == QEvent::KeyPress) {
        // Of the keys that type a character only digits get through; Tab, Enter, the arrows and
        // the editing keys keep their work.
        if (TypesNonDigit(*static_cast<QKeyEvent*>(event)))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qmv
