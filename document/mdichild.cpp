#include "mdichild.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTextCursor>
#include <QTreeWidget>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>
#include <stdexcept>

#include "chartview.h"
#include "closedlg.h"
#include "data/profile.h"
#include "data/version.h"
#include "panelbar.h"
#include "recorddrag.h"
#include "recoverykeeper.h"
#include "ui/errorreport.h"
#include "ui/platformdialogs.h"
#include "ui/textfit.h"
#include "ui/uitext.h"
#include "undocommands.h"

namespace qmv {

namespace {

QTreeWidget* MakeList(QTreeWidget* list, const QList<int>& widths) {
    list->setColumnCount(static_cast<int>(widths.size()));
    for (int i = 0; i < widths.size(); ++i)
        list->setColumnWidth(i, widths[i]);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSortingEnabled(false); // the program sorts; never Qt's click-sorting
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->header()->setSortIndicatorShown(false);
    list->header()->setStretchLastSection(false);
    return list;
}

// The widest texts the record list's columns hold: row number, record number, level, date.
const QStringList RecordSamples = {QStringLiteral("250"), QStringLiteral("00000"),
                                   QStringLiteral("000"), QStringLiteral("0000/00/00 00:00")};

// The texts of one record-list row: number, record number, level, date, note.
QStringList RowTexts(int model, int row, const recReadDataSeg& r) {
    return {QString::number(row + 1), ToQ(FormatDataNo(model, r.DataNo)), ToQ(r.MinDb), ToQ(r.Date),
            ToQ(r.Note)};
}

} // namespace

TMDIChild::TMDIChild(DocumentHost& host, QWidget* parent) : QWidget(parent), host_(host) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    mainSplitter_ = new QSplitter(Qt::Horizontal, this);
    mainSplitter_->setHandleWidth(4);
    outer->addWidget(mainSplitter_);

    // Left: record list, details list, memo, model status bar.
    auto* left = new QWidget(mainSplitter_);
    left->setMinimumWidth(1);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(0);
    leftSplitter_ = new QSplitter(Qt::Vertical, left);
    leftSplitter_->setHandleWidth(2);
    leftSplitter_->setChildrenCollapsible(false);
    leftLayout->addWidget(leftSplitter_, 1);

    Info = MakeList(new TRecordList(leftSplitter_), {30, 45, 45, 110, 48});
    Info->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Info->setSelectionBehavior(QAbstractItemView::SelectRows);
    Info->header()->setSectionsClickable(true);
    Info->setContextMenuPolicy(Qt::CustomContextMenu);
    Info->setMinimumHeight(20);

    ListView1 = MakeList(new QTreeWidget(leftSplitter_), {120, 130});
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->header()->setSectionsClickable(false);
    ListView1->setFocusPolicy(Qt::NoFocus);
    ListView1->setMinimumHeight(20);

    memoPanel_ = new QWidget(leftSplitter_);
    auto* memoLayout = new QVBoxLayout(memoPanel_);
    memoLayout->setContentsMargins(0, 0, 0, 0);
    memoLayout->setSpacing(1);
    StaticText1 = new QLabel(memoPanel_);
    Memo1 = new QPlainTextEdit(memoPanel_);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Memo typing is a step of the document's own undo history (Memo1Change).
    Memo1->setUndoRedoEnabled(false);
    Memo1->installEventFilter(this);
    memoLayout->addWidget(StaticText1);
    memoLayout->addWidget(Memo1, 1);
    leftSplitter_->setStretchFactor(0, 0);
    leftSplitter_->setStretchFactor(1, 0);
    leftSplitter_->setStretchFactor(2, 1);

    stbModel = new PanelBar({80, 200}, left);
    leftLayout->addWidget(stbModel);

    // Right: chart over the value read-out.
    auto* right = new QWidget(mainSplitter_);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    Chart1 = new TChartView(right);
    Chart1->setContextMenuPolicy(Qt::CustomContextMenu);
    Chart1->setMinimumSize(60, 60); // the chart's own minimum would squeeze the list panel
    right->setMinimumWidth(60);
    stbAtai = new PanelBar({80, 80, 150, 86}, right);
    rightLayout->addWidget(Chart1, 1);
    rightLayout->addWidget(stbAtai);

    mainSplitter_->setStretchFactor(0, 0);
    mainSplitter_->setStretchFactor(1, 1);
    mainSplitter_->setSizes({300, 600});
    connect(mainSplitter_, &QSplitter::splitterMoved, this, [this](int pos) {
        listWidth_ = std::max(pos, 1);
        listWidthChosen_ = true;
    });
    resize(900, 500);
    undoStack_ = new QUndoStack(this);
    recovery_ = new RecoveryKeeper(*this);
    connect(undoStack_, &QUndoStack::indexChanged, this, [this] { UndoStepTaken(); });

    // What the window's show handler sets.
    fileName_ = Tx("Graph", "NewFile");
    windowItem_ = new QAction(this);
    windowItem_->setCheckable(true);
    SetCaption(fileName_);
    connect(windowItem_, &QAction::triggered, this, [this] { host_.ActivateDocument(this); });
    ApplyTexts();
    LayoutPanes(ModelNone);
    BuildPopupMenus();

    connect(Info->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { RunReported(this, [&] { InfoColumnClick(column); }); });
    connect(Info, &QTreeWidget::itemDoubleClicked, this, [this] { ListDoubleClick(); });
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { ListDoubleClick(); });
    Info->viewport()->installEventFilter(this);
    Info->installEventFilter(this);
    connect(Memo1->document(), &QTextDocument::contentsChanged, this, [this] { Memo1Change(); });
    connect(Chart1, &TChartView::readout, this, [this](int index) { Chart1Readout(index); });
    connect(Chart1, &TChartView::doubleClicked, this, &TMDIChild::graphSettingsRequested);
    connect(Info, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        host_.ActivateDocument(this);
        popupMenu1_->exec(Info->viewport()->mapToGlobal(pos));
    });
    connect(Chart1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        host_.ActivateDocument(this);
        popupMenu2_->exec(Chart1->mapToGlobal(pos));
    });

    dragger_ = new RecordDrag(*this);
    DrawChart();
}

TMDIChild::~TMDIChild() {
    // The stack goes with the window's children, after the memo it would consult.
    undoStack_->disconnect(this);
    // The program ends normally: nothing is left to recover.
    recovery_->Remove();
    host_.DocumentDestroyed(this);
}

void TMDIChild::ApplyTexts() {
    Info->setHeaderLabels({Tx("Graph", "InfoCo0"), Tx("Graph", "InfoCo1"), Tx("Graph", "InfoCo2"),
                           Tx("Graph", "InfoCo3"), Tx("Graph", "InfoCo4")});
    ListView1->setHeaderLabels({Tx("Graph", "ViewCo0"), Tx("Graph", "ViewCo1")});
    StaticText1->setText(Tx("Graph", "MemoTitle"));
    stbModel->SetText(0, Tx("Model", "Model"));
    // The details list's item names are its widest first column, rows or not.
    QString widest;
    for (const char* key : {"DataNo", "Date", "Onatsu", "BPF", "NF", "NR", "Note"}) {
        const QString name = Tx("QMVData", key);
        if (ListView1->fontMetrics().horizontalAdvance(name) >
            ListView1->fontMetrics().horizontalAdvance(widest))
            widest = name;
    }
    FitColumns(ListView1, {widest, RecordSamples[3]});
    FitListPanel();
}

void TMDIChild::FitListPanel() {
    FitColumns(Info, RecordSamples);
    // The list panel shows the record list's columns whole, unless the user chose its width.
    if (!listWidthChosen_) {
        listWidth_ = std::max({300, ColumnsWidth(Info), ColumnsWidth(ListView1)});
        if (placed_)
            KeepListWidth();
    }
}

QMenu* TMDIChild::BuildPopup(const std::vector<const char*>& names) {
    auto* menu = new QMenu(this);
    for (const char* name : names) {
        if (std::string(name) == "-") {
            menu->addSeparator(); // consecutive and trailing separators collapse
        } else if (QAction* a = host_.Command(name)) {
            menu->addAction(a);
        }
    }
    return menu;
}

void TMDIChild::BuildPopupMenus() {
    // Commands that this build lacks are left out; the rest point at the main window's actions.
    popupMenu1_ = BuildPopup({"AcDataCut", "AcDataCopy", "AcDataPaste", "AcDeleteItem", "-",
                              "AcDataEdit", "-", "AcGraphSUM"});
    // Their keys work while the record list has the focus.
    for (const char* name : {"AcDataCut", "AcDataCopy", "AcDataPaste", "AcDeleteItem"})
        if (QAction* a = host_.Command(name))
            Info->addAction(a);
    popupMenu2_ = BuildPopup(
        {"AcPoint", "AcMarker", "AcStdLine", "-", "AcGraph", "AcGraphChange", "-", "AcGraphCopy"});
}

bool TMDIChild::IsNewDocument() const {
    return fileName_ == Tx("Graph", "NewFile");
}

void TMDIChild::SetModified(bool modified) {
    MarkModified(modified);
    // A document that starts modified (a download) has no undo state that matches a file.
    if (!modified)
        undoStack_->setClean();
    else if (undoStack_->isClean())
        undoStack_->resetClean();
    recovery_->Changed();
}

void TMDIChild::SetChartRange(int axisMax, int axisMin, int stdLevel) {
    data_.AxisMax = axisMax;
    data_.AxisMin = axisMin;
    data_.StdLevel = stdLevel;
}

void TMDIChild::MarkModified(bool modified) {
    modified_ = modified;
    setWindowModified(modified);
}

void TMDIChild::SetCaption(const QString& caption) {
    caption_ = caption;
    setWindowTitle(ModifiableTitle(caption));
    QString item = caption;
    windowItem_->setText(item.replace(QLatin1Char('&'), QStringLiteral("&&")));
}

DocumentData TMDIChild::Data() const {
    DocumentData d = data_;
    d.Memo = MemoLines();
    return d;
}

void TMDIChild::SetRecords(std::vector<recReadDataSeg> records, int model) {
    if (records.size() > static_cast<std::size_t>(MaxRecords))
        records.resize(MaxRecords);
    data_.Records = std::move(records);
    data_.Model = model;
}

std::vector<std::string> TMDIChild::MemoLines() const {
    const QString text = Memo1->toPlainText();
    if (text.isEmpty())
        return {};
    if (!memoTouched_)
        return data_.Memo;
    // Lines the user did not change keep their exact bytes, including bytes the code page cannot
    // show; only the lines typed into are taken from the text.
    const QStringList now = text.split(QLatin1Char('\n'));
    const bool known = now.size() == static_cast<qsizetype>(memoOrigins_.size());
    std::vector<std::string> lines;
    lines.reserve(now.size());
    for (qsizetype i = 0; i < now.size(); ++i) {
        const auto& origin = known ? memoOrigins_[i] : std::nullopt;
        const auto pooled = memoPool_.find(now[i]);
        if (origin && origin->shown == now[i])
            lines.push_back(origin->bytes);
        else if (pooled != memoPool_.end() && pooled->second)
            lines.push_back(*pooled->second); // a line moved, or typed away and back
        else
            lines.push_back(FromQ(now[i]));
    }
    return lines;
}

void TMDIChild::SetMemoLines(const std::vector<std::string>& lines) {
    settingMemo_ = true;
    QStringList text;
    for (const std::string& l : lines)
        text << ToQ(l);
    Memo1->setPlainText(text.join(QLatin1Char('\n')));
    // The text as the control holds it (no-break spaces come back as blanks), so that a change
    // is measured against what the user saw.
    memoText_ = Memo1->toPlainText();
    memoTouched_ = false;
    data_.Memo = lines;
    KeepMemoOrigins(lines);
    settingMemo_ = false;
}

void TMDIChild::KeepMemoOrigins(const std::vector<std::string>& lines) {
    const QStringList shown = memoText_.split(QLatin1Char('\n'));
    memoOrigins_.assign(shown.size(), std::nullopt);
    // A line the memo splits in two (a line end of another kind inside it) has no origin.
    if (shown.size() != static_cast<qsizetype>(lines.size()))
        return;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        memoOrigins_[i] = MemoOrigin{lines[i], shown[i]};
        // Two different byte strings that read alike leave the text to its place.
        auto [at, added] = memoPool_.try_emplace(shown[i], lines[i]);
        if (!added && at->second != lines[i])
            at->second.reset();
    }
}

void TMDIChild::RestoreMemo(const MemoState& state) {
    if (state.untouched) {
        SetMemoLines(state.bytes);
    } else {
        settingMemo_ = true;
        Memo1->setPlainText(state.text);
        memoText_ = Memo1->toPlainText();
        memoOrigins_ = state.lines;
        memoTouched_ = true;
        settingMemo_ = false;
    }
    QTextCursor cursor = Memo1->textCursor();
    cursor.setPosition(std::clamp(state.cursor, 0, static_cast<int>(memoText_.size())));
    Memo1->setTextCursor(cursor);
    Memo1->ensureCursorVisible();
}

bool TMDIChild::MemoEmpty() const {
    return Memo1->toPlainText().isEmpty();
}

void TMDIChild::Memo1Change() {
    if (settingMemo_)
        return;
    const QString text = Memo1->toPlainText();
    if (text == memoText_)
        return; // a change of format only
    // Where the text changed: what it shares with the old text at its start and its end.
    const int oldSize = static_cast<int>(memoText_.size());
    const int newSize = static_cast<int>(text.size());
    int head = 0;
    while (head < oldSize && head < newSize && memoText_[head] == text[head])
        ++head;
    int tail = 0;
    while (tail < oldSize - head && tail < newSize - head &&
           memoText_[oldSize - 1 - tail] == text[newSize - 1 - tail])
        ++tail;
    const int removed = oldSize - head - tail;
    const int added = newSize - head - tail;
    MemoState before{!memoTouched_, data_.Memo, memoText_, memoOrigins_, head + removed};

    // The lines the change reached keep where their first and last line came from, so that a
    // line typed into and changed back, or only split off by Enter, keeps its bytes.
    const QStringList oldLines = memoText_.split(QLatin1Char('\n'));
    const qsizetype first = memoText_.left(head).count(QLatin1Char('\n'));
    const qsizetype oldLast = first + memoText_.mid(head, removed).count(QLatin1Char('\n'));
    const qsizetype newLast = first + text.mid(head, added).count(QLatin1Char('\n'));
    if (memoOrigins_.size() != static_cast<std::size_t>(oldLines.size()))
        memoOrigins_.assign(oldLines.size(), std::nullopt);
    const QStringList newLines = text.split(QLatin1Char('\n'));
    MemoOrigins reached(newLast - first + 1);
    reached.front() = memoOrigins_[first];
    reached.back() = memoOrigins_[oldLast];
    // Lines joined into one: it came from the last of them that it still reads as.
    if (reached.size() == 1 && !(reached.front() && reached.front()->shown == newLines[first]))
        reached.front() = memoOrigins_[first];
    memoOrigins_.erase(memoOrigins_.begin() + first, memoOrigins_.begin() + oldLast + 1);
    memoOrigins_.insert(memoOrigins_.begin() + first, reached.begin(), reached.end());

    MemoState after{false, {}, text, memoOrigins_, Memo1->textCursor().position()};
    memoTouched_ = true;
    memoText_ = text;
    undoStack_->push(new MemoEditCommand(*this, UndoStepName("MenuE16"), std::move(before),
                                         std::move(after), head, removed, added));
}

void TMDIChild::LayoutPanes(int model) {
    const bool logger = model == ModelQMV27;
    ListView1->setVisible(logger);
    const int total = placed_ ? leftSplitter_->height() : 500;
    // The details show their seven rows whole; the memo keeps its title and a few lines; the
    // record list takes the rest, 150 pixels at least.
    const int line = Memo1->fontMetrics().lineSpacing();
    const int memo = StaticText1->sizeHint().height() + 3 * line + 2 * Memo1->frameWidth() +
                     style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8;
    const int handles = 2 * leftSplitter_->handleWidth();
    if (logger) {
        const int details = std::max(140, RowsHeight(ListView1, 7));
        const int records = std::max(150, total - details - memo - handles);
        leftSplitter_->setSizes(
            {records, details, std::max(total - records - details - handles, 1)});
    } else {
        const int records = std::max(267, total - memo - handles);
        leftSplitter_->setSizes({records, 0, std::max(total - records - handles, 1)});
    }

    if (model == ModelNone)
        modelName_.clear();
    else if (model >= ModelQMV27 && model <= ModelTR22B7)
        modelName_ = ToQ(InterfaceTexts().Text("Model", ModelTextKey(model)));
    stbModel->SetText(1, modelName_);
}

void TMDIChild::FillRecordList() {
    QList<QTreeWidgetItem*> rows;
    rows.reserve(RecordCount());
    for (int i = 0; i < RecordCount(); ++i)
        rows.append(new QTreeWidgetItem(RowTexts(data_.Model, i, data_.Records[i])));
    Info->setUpdatesEnabled(false);
    Info->clear();
    Info->addTopLevelItems(rows);
    Info->setUpdatesEnabled(true);
    FitListPanel();
}

int TMDIChild::SelectedIndex() const {
    const std::vector<int> rows = SelectedIndexes();
    return rows.empty() ? -1 : rows.front();
}

std::vector<int> TMDIChild::SelectedIndexes() const {
    std::vector<int> rows;
    for (int i = 0; i < Info->topLevelItemCount(); ++i)
        if (Info->topLevelItem(i)->isSelected())
            rows.push_back(i);
    return rows;
}

void TMDIChild::SelectRow(int row) {
    Info->clearSelection();
    if (QTreeWidgetItem* item = Info->topLevelItem(row)) {
        Info->setCurrentItem(item);
        item->setSelected(true);
    }
}

void TMDIChild::ShowDetails() {
    if (data_.Model != ModelQMV27)
        return;
    ListView1->clear();
    if (RecordCount() == 0)
        return;
    int s = SelectedIndex();
    if (s < 0) {
        s = 0;
        SelectRow(0);
    }
    const recReadDataSeg& r = data_.Records[s];
    const std::string& hz = InterfaceTexts().Text("QMVData", "Hz");
    const std::pair<const char*, std::string> rows[] = {
        {"DataNo", FormatDataNo(data_.Model, r.DataNo)},
        {"Date", r.Date},
        {"Onatsu", r.MinDb},
        {"BPF", BandPassText(r, hz)},
        {"NF", NfText(r.NfCode)},
        {"NR", NrText(r.NrCode)},
        {"Note", r.Note},
    };
    for (const auto& [key, value] : rows)
        ListView1->addTopLevelItem(new QTreeWidgetItem({Tx("QMVData", key), ToQ(value)}));
    FitColumns(ListView1);
    Info->scrollToItem(Info->topLevelItem(s));
}

void TMDIChild::DrawChart() {
    Chart1->Render(BuildChartData(data_, host_.Switches()), Tx("Graph", "GraphX"),
                   Tx("Graph", "GraphY"));
    // The read-out follows the records now drawn: those under the mouse, or none.
    const QPoint mouse = Chart1->mapFromGlobal(QCursor::pos());
    Chart1Readout(Chart1->underMouse() ? Chart1->RecordAt(mouse) : -1);
}

void TMDIChild::RefreshAfterChange(int row) {
    FillRecordList();
    SelectRow(row);
    ShowDetails();
    DrawChart();
    MarkModified(true);
    recovery_->Changed();
}

void TMDIChild::SortRecords(int key) {
    constexpr int RecordNumberColumn = 1;
    constexpr int LevelColumn = 2;
    const int remembered = SelectedIndex();
    const int mode = std::abs(sortMode_) == key + 1 ? -sortMode_ : key + 1;

    // Record numbers and levels compare as numbers, so 1000 follows 999 and 95 dB comes before
    // 120 dB (the sensor ranges write two digits, the logger three); a field that is not a number
    // raises the conversion error before anything has changed. Dates and notes compare the texts
    // the list shows with the locale's collation.
    const int column = std::abs(mode) - 1;
    const bool numeric = column == RecordNumberColumn || column == LevelColumn;
    std::vector<int> numbers;
    std::vector<QString> texts;
    for (int i = 0; i < RecordCount(); ++i) {
        const recReadDataSeg& r = data_.Records[i];
        if (numeric)
            numbers.push_back(StrToInt(column == RecordNumberColumn ? r.DataNo : r.MinDb));
        else
            texts.push_back(RowTexts(data_.Model, i, r).at(column));
    }
    const auto compare = [&](int a, int b) {
        if (numeric)
            return numbers[a] < numbers[b] ? -1 : numbers[a] > numbers[b] ? 1 : 0;
        return QString::localeAwareCompare(texts[a], texts[b]);
    };
    std::vector<int> order(RecordCount());
    for (int i = 0; i < RecordCount(); ++i)
        order[i] = i;
    const bool descending = mode < 0;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = compare(a, b);
        return descending ? c > 0 : c < 0;
    });
    // The document's own scratch copy: the record clipboard stays as the user left it.
    DocumentData after = Data();
    for (std::size_t r = 0; r < order.size(); ++r)
        after.Records[r] = data_.Records[order[r]];
    PushChange(UndoStepName("MenuE5"), after, remembered, mode);
}

void TMDIChild::InfoColumnClick(int column) {
    if (column >= 1 && column <= 4)
        SortRecords(column);
}

void TMDIChild::ListDoubleClick() {
    const int s = SelectedIndex();
    if (s >= 0 && RecordCount() > 0)
        emit editRecordRequested(s);
}

void TMDIChild::Chart1Readout(int index) {
    try {
        if (index < 0 || index >= RecordCount()) {
            stbAtai->Clear();
            return;
        }
        const recReadDataSeg& r = data_.Records[index];
        const QString blank = QStringLiteral(" ");
        const QString panel0 =
            Tx("Graph", "Atai0") + blank + ToQ(FormatDataNo(data_.Model, r.DataNo));
        stbAtai->SetText(0, panel0);
        stbAtai->SetText(1, Tx("Graph", "Atai1") + blank + ToQ(r.MinDb));
        stbAtai->SetText(2, Tx("Graph", "Atai2") + blank + ToQ(r.Date));
        stbAtai->SetText(3, ToQ(r.Note));
    } catch (...) {
        // The read-out is a convenience; a bad field leaves the panels as they were.
    }
}

bool TMDIChild::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Memo1 && event->type() == QEvent::ShortcutOverride) {
        // The memo would swallow Ctrl+Z and Ctrl+Y; leave them to Edit > Undo and Redo.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
            key->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_Y)) {
            event->ignore();
            return true;
        }
    }
    if (watched == Info->viewport() && event->type() == QEvent::MouseButtonRelease) {
        RunReported(this, [this] { ShowDetails(); });
    } else if (watched == Info && event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down)
            RunReported(this, [this] { ShowDetails(); });
    }
    return QWidget::eventFilter(watched, event);
}

bool TMDIChild::SaveToFile(const QString& path) {
    const DocumentData d = Data();
    const SaveResult result = SaveDataFile(LocalPath(path), d, VersionText());
    if (result.status == SaveStatus::OpenFailed)
        throw FileError("MsgSaveErr", path, result.fault, result.detail);
    const bool ok = result.status == SaveStatus::Ok;
    if (!ok) {
        Dialogs().Beep();
        Dialogs().Message(this, FileErrorText("MsgSaveErr", path, result.fault), MessageKind::Error,
                          MessageButtons::Ok);
    } else {
        data_.Memo = d.Memo;
        memoTouched_ = false;
        KeepMemoOrigins(d.Memo);
    }
    // Undoing back to what is now on disk clears Modified again.
    if (ok)
        undoStack_->setClean();
    else
        undoStack_->resetClean();
    fileName_ = path;
    SetCaption(QFileInfo(path).fileName());
    // A failed write leaves nothing safe on disk under this name, so the close prompt must
    // still protect the document, and so must its recovery record.
    MarkModified(!ok);
    if (ok)
        recovery_->Remove();
    return ok;
}

void TMDIChild::ShowLoadError(const QString& text) {
    Dialogs().Beep();
    Dialogs().Message(this, text, MessageKind::Error, MessageButtons::Ok);
}

void TMDIChild::LoadFromFile(const QString& path) {
    DocumentData d;
    d.Model = data_.Model;
    d.BarGraph = data_.BarGraph;
    d.AxisMax = data_.AxisMax;
    d.AxisMin = data_.AxisMin;
    d.StdLevel = data_.StdLevel;
    const LoadResult result = LoadDataFile(LocalPath(path), d);
    if (result.status == LoadStatus::OpenFailed)
        throw FileError("MsgOpenErr", path, result.fault, result.detail);
    // The header's values stay set even when the rest of the file is bad.
    data_.Model = d.Model;
    data_.BarGraph = d.BarGraph;
    data_.AxisMax = d.AxisMax;
    data_.AxisMin = d.AxisMin;
    data_.StdLevel = d.StdLevel;
    data_.Records.clear();
    undoStack_->clear();

    if (result.status != LoadStatus::Ok) {
        SetMemoLines({});
        QString message = Tx2("Msg", "MsgDataErr0", "Msg", "MsgFileErr");
        // The general message alone would send the user looking for damage; name the limit.
        if (result.overLimit)
            message += QStringLiteral("\r\n") + Tx("Msg", "MsgDataOver0");
        ShowLoadError(message);
        MarkModified(false);
        return;
    }

    SetMemoLines(d.Memo);
    Memo1->moveCursor(QTextCursor::Start);
    Memo1->ensureCursorVisible();
    data_.Records = std::move(d.Records);
    fileName_ = path;
    SetCaption(QFileInfo(path).fileName());
    try {
        // A field no row could show is refused now, not when its row is selected later.
        CheckForDisplay(data_);
        LayoutPanes(data_.Model);
        FillRecordList();
        ShowDetails();
        DrawChart();
    } catch (const std::exception&) {
        data_.Records.clear();
        Info->clear();
        ListView1->clear();
        SetMemoLines({});
        DrawChart();
        // The caption still says which file failed, but the emptied document no longer stands
        // for it: a later Save asks for a name instead of writing the file over with nothing.
        fileName_ = Tx("Graph", "NewFile");
        ShowLoadError(QChar(0x2018) + Caption() + QChar(0x2019) + QStringLiteral("\r\n") +
                      Tx2("Msg", "MsgDataErr0", "Msg", "MsgFileErr"));
    }
    MarkModified(false);
}

void TMDIChild::RestoreRecovered(const DocumentData& data, const QString& fileName,
                                 const QString& caption) {
    // A field no row could show is refused before anything changes.
    CheckForDisplay(data);
    data_ = data;
    data_.Memo.clear();
    SetMemoLines(data.Memo);
    undoStack_->clear();
    fileName_ = fileName.isEmpty() ? Tx("Graph", "NewFile") : fileName;
    SetCaption(caption);
    LayoutPanes(data_.Model);
    FillRecordList();
    ShowDetails();
    DrawChart();
    SetModified(true);
}

void TMDIChild::CopyGraph() {
    QApplication::clipboard()->setImage(Chart1->Snapshot());
}

bool TMDIChild::CloseQuery() {
    if ((RecordCount() == 0 && MemoEmpty()) || !modified_)
        return true;
    TCloseDlg& dlg = host_.CloseDialog();
    dlg.FileLabel = Caption();
    dlg.IsNewDocument = IsNewDocument();
    dlg.btnAllSave->setEnabled(host_.DocumentCount() > 1);
    switch (dlg.Execute()) {
    case TCloseDlg::CancelAnswer:
        return false;
    case TCloseDlg::SaveAnswer: {
        QString folder, name, path;
        if (IsNewDocument()) {
            folder = host_.DataFolder();
            name = Caption();
        } else {
            folder = QFileInfo(fileName_).absolutePath();
            name = fileName_;
        }
        if (!host_.AskDataFilePath(this, folder, name, path))
            return false;
        bool saved = false;
        RunReported(this, [&] { saved = SaveToFile(path); });
        return saved; // a failed save keeps the window, and its records, open
    }
    case TCloseDlg::AllSaveAnswer:
        RunReported(this, [&] { host_.SaveAllDocuments(); });
        // Save All skips documents without records; closing one of those would lose its memo.
        return !modified_;
    case TCloseDlg::NoSaveAnswer:
        return true;
    default:
        return false; // an answer that is none of the buttons must not throw the changes away
    }
}

void TMDIChild::closeEvent(QCloseEvent* event) {
    bool mayClose = false;
    RunReported(this, [&] { mayClose = CloseQuery(); });
    if (!mayClose) {
        event->ignore();
        return;
    }
    host_.DocumentClosing(this);
    // Saved, or the user chose not to: nothing is left to recover.
    recovery_->Remove();
    event->accept();
}

void TMDIChild::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!placed_) {
        // The splitters learn their real size only now; the list panel keeps its 300 pixels.
        placed_ = true;
        KeepListWidth();
        LayoutPanes(data_.Model);
    }
}

void TMDIChild::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    KeepListWidth();
}

void TMDIChild::KeepListWidth() {
    // The chart takes every change of the window's width; the list panel keeps its own, but
    // leaves the chart at least half of a narrow window.
    if (viewOnly_)
        return;
    const int list = std::min(listWidth_, std::max((width() - 4) / 2, 1));
    mainSplitter_->setSizes({list, std::max(width() - list - 4, 1)});
}

void TMDIChild::MakeViewOnly() {
    viewOnly_ = true;
    stbAtai->hide();
    mainSplitter_->setSizes({1, std::max(mainSplitter_->width(), 2)});
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        sub->showMaximized();
        sub->setEnabled(false);
    } else {
        setEnabled(false);
    }
}

} // namespace qmv
