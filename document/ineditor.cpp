#include "ineditor.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSpinBox>
#include <algorithm>

#include "data/codepage.h"
#include "data/editorops.h"
#include "data/profile.h"
#include "mdichild.h"
#include "ui/digitkeys.h"
#include "ui/errorreport.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"
#include "undocommands.h"

namespace qmv {

namespace {

// Inner sizes of the two layouts: the window's outer 330 and 490 pixels less its title bar.
constexpr int ClientWidth = 330;
constexpr int ShortHeight = 296;
constexpr int TallHeight = 456;
constexpr int ShortGroupHeight = 190;
constexpr int TallGroupHeight = 345;
constexpr int ShortButtonTop = 254;
constexpr int TallButtonTop = 410;
// Left edge of the fields in the group, right of the longest label.
constexpr int FieldLeft = 118;

// The note counts bytes of the code page, as its column in the data file does.
class NoteValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return FromQ(input).size() <= static_cast<std::size_t>(NoteBytes) ? Acceptable : Invalid;
    }
};

QComboBox* MakeList(QWidget* parent, const QStringList& items, const QRect& at) {
    auto* list = new QComboBox(parent);
    list->addItems(items);
    list->setGeometry(at);
    return list;
}

QLabel* MakeLabel(QWidget* parent, int top) {
    auto* label = new QLabel(parent);
    // The longest Japanese names need 108 pixels; the fields stand right of them.
    label->setGeometry(8, top + 3, 108, 18);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// The list index of a code, or -1 when the list has no entry for it (such as 9, not measured).
int IndexOfCode(const QComboBox& list, const std::string& code) {
    const int v = StrToInt(code);
    return v >= 0 && v < list.count() ? v : -1;
}

} // namespace

TInEditor::TInEditor(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                          Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setModal(true);

    lbModel = new QLabel(this);
    lbModel->setGeometry(16, 15, 94, 18);
    edQMV27 = new QLineEdit(this);
    edQMV27->setGeometry(8 + FieldLeft, 12, 190, 22); // in line with the group's fields
    edQMV27->setReadOnly(true);
    edQMV27->setFocusPolicy(Qt::NoFocus);
    cbModelList = new QComboBox(this);
    cbModelList->setGeometry(8 + FieldLeft, 12, 190, 22);

    gbSettei = new QGroupBox(this);
    lbRecord = MakeLabel(gbSettei, 22);
    edRecord = new QLineEdit(gbSettei);
    edRecord->setGeometry(FieldLeft, 22, 40, 22);
    edRecord->setReadOnly(true);
    edRecord->setMaxLength(3);
    edRecord->setFocusPolicy(Qt::NoFocus);

    lbDataNo = MakeLabel(gbSettei, 52);
    edDataNo = new QLineEdit(gbSettei);
    edDataNo->setGeometry(FieldLeft, 52, 60, 22);
    edDataNo->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edDataNo));

    lbNichiji = MakeLabel(gbSettei, 82);
    meNichiji = new QLineEdit(gbSettei);
    meNichiji->setGeometry(FieldLeft, 82, 140, 22);
    // Literal characters kept, so the record takes the text exactly as shown.
    meNichiji->setInputMask(QStringLiteral("9999/99/99 99:99"));
    lbEx = new QLabel(gbSettei);
    lbEx->setGeometry(FieldLeft, 106, 196, 16);

    lbNote = MakeLabel(gbSettei, 130);
    edNote = new QLineEdit(gbSettei);
    edNote->setGeometry(FieldLeft, 130, 190, 22);
    edNote->setValidator(new NoteValidator(edNote));

    // Below the short layout's group box: seen only in the tall one.
    lbOnatsu = MakeLabel(gbSettei, 200);
    seOnatsu = new QSpinBox(gbSettei);
    seOnatsu->setGeometry(FieldLeft, 200, 70, 22);
    seOnatsu->setRange(0, 999);
    lbNR = MakeLabel(gbSettei, 230);
    cbNR = MakeList(gbSettei,
                    {QStringLiteral("OFF"), QStringLiteral("Lv.1"), QStringLiteral("Lv.2"),
                     QStringLiteral("Lv.3")},
                    QRect(FieldLeft, 230, 90, 22));
    lbBPF = MakeLabel(gbSettei, 260);
    cbHPF = MakeList(gbSettei,
                     {QStringLiteral("100 Hz"), QStringLiteral("200 Hz"), QStringLiteral("400 Hz"),
                      QStringLiteral("Through")},
                     QRect(FieldLeft, 260, 90, 22));
    cbLPF = MakeList(gbSettei,
                     {QStringLiteral("2200 Hz"), QStringLiteral("1200 Hz"),
                      QStringLiteral("800 Hz"), QStringLiteral("600 Hz"), QStringLiteral("400 Hz")},
                     QRect(FieldLeft + 95, 260, 95, 22));
    lbNF = MakeLabel(gbSettei, 290);
    cbNF = MakeList(gbSettei,
                    {QStringLiteral("OFF"), QStringLiteral("50 Hz"), QStringLiteral("60 Hz")},
                    QRect(FieldLeft, 290, 90, 22));

    btnSettei = new QPushButton(this);
    btnDelete = new QPushButton(this);
    btnCancel = new QPushButton(this);
    btnSettei->setDefault(true);

    for (QLabel* l : {lbModel, lbEx})
        l->setTextFormat(Qt::PlainText);
    edDataNo->installEventFilter(this);
    seOnatsu->installEventFilter(this);

    connect(btnSettei, &QPushButton::clicked, this,
            [this] { RunReported(this, [this] { btnSetteiClick(); }); });
    connect(btnDelete, &QPushButton::clicked, this,
            [this] { RunReported(this, [this] { btnDeleteClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(cbModelList, &QComboBox::currentIndexChanged, this,
            [this](int index) { cbModelListChange(index); });

    ApplyLayout();
}

void TInEditor::Open(TMDIChild& doc, int index, bool hiddenEditMode) {
    doc_ = &doc;
    Model = doc.Model();
    Record = doc.Records().at(static_cast<std::size_t>(index));
    RecordIndex = index;
    HiddenEditMode = hiddenEditMode;
    setResult(0);
    FormShow();
    if (hook_) {
        hook_(*this);
        return;
    }
    if (parentWidget()) {
        // Centred on the main window.
        const QRect pr = parentWidget()->frameGeometry();
        move(pr.center() - QPoint(width() / 2, height() / 2));
    }
    exec();
}

void TInEditor::ApplyLayout() {
    const int height = tall_ ? TallHeight : ShortHeight;
    setFixedSize(ClientWidth, height);
    gbSettei->setGeometry(8, 44, ClientWidth - 16, tall_ ? TallGroupHeight : ShortGroupHeight);
    const int top = tall_ ? TallButtonTop : ShortButtonTop;
    btnSettei->setGeometry(20, top, 90, 25);
    btnDelete->setGeometry(120, top, 90, 25);
    btnCancel->setGeometry(220, top, 90, 25);
    for (QWidget* w : std::initializer_list<QWidget*>{seOnatsu, cbNR, cbHPF, cbLPF, cbNF})
        w->setEnabled(tall_);
}

void TInEditor::ApplyTexts() {
    setWindowTitle(Tx("IndexEditor", "Caption"));
    lbModel->setText(Tx("Model", "Model"));
    lbRecord->setText(Tx("QMVData", "Record"));
    lbDataNo->setText(Tx("QMVData", "DataNo"));
    lbNichiji->setText(Tx("QMVData", "Date"));
    lbEx->setText(Tx("IndexEditor", "Ex"));
    lbNote->setText(Tx("QMVData", "Note"));
    lbOnatsu->setText(Tx("QMVData", "Onatsu"));
    lbNR->setText(Tx("QMVData", "NR"));
    lbBPF->setText(Tx("QMVData", "BPF"));
    lbNF->setText(Tx("QMVData", "NF"));
    btnSettei->setText(Tx("Button", "UpDateBtn"));
    btnDelete->setText(Tx("Button", "DeleteBtn"));
    btnCancel->setText(Tx("Button", "CancelBtn"));
}

void TInEditor::FormShow() {
    const bool logger = Model == ModelQMV27;
    tall_ = HiddenEditMode && logger;
    ApplyLayout();

    edQMV27->setVisible(logger);
    cbModelList->setVisible(!logger);
    {
        const QSignalBlocker quiet(cbModelList);
        cbModelList->clear();
        if (!logger) {
            // The second sensor has no range to move between: its list names only itself.
            const std::vector<int> models =
                Model == ModelTR22B7 ? std::vector<int>{ModelTR22B7}
                                     : std::vector<int>{ModelGZNMax, ModelGZNMid, ModelGZNMin};
            for (int m : models)
                cbModelList->addItem(ToQ(InterfaceTexts().Text("Model", ModelTextKey(m))), m);
            cbModelList->setCurrentIndex(cbModelList->findData(Model));
        }
    }
    edQMV27->setText(logger ? Tx("Model", "QMV27") : QString());
    ApplyTexts();
    FillFields();

    btnSettei->setDefault(true);
    edDataNo->setFocus(Qt::OtherFocusReason);
}

void TInEditor::FillFields() {
    edRecord->setText(QString::number(RecordIndex + 1));
    // A number longer than the field's width is shown whole, so that Set cannot cut it short.
    const QString dataNo = ToQ(FormatDataNo(Model, Record.DataNo));
    edDataNo->setMaxLength(std::max<int>(Model == ModelQMV27 ? 3 : 5, dataNo.size()));
    edDataNo->setText(dataNo);
    meNichiji->setText(ToQ(Record.Date));
    edNote->setText(ToQ(Record.Note));
    noteShown_ = edNote->text();
    const int level = StrToInt(Record.MinDb);
    seOnatsu->setMinimum(std::min(0, level)); // showing a level never changes it
    seOnatsu->setValue(level);
    if (Model == ModelQMV27) {
        cbNR->setCurrentIndex(IndexOfCode(*cbNR, Record.NrCode));
        cbHPF->setCurrentIndex(IndexOfCode(*cbHPF, Record.HpfCode));
        cbLPF->setCurrentIndex(IndexOfCode(*cbLPF, Record.LpfCode));
        cbNF->setCurrentIndex(IndexOfCode(*cbNF, Record.NfCode));
    }
}

void TInEditor::edDataNoExit() {
    edDataNo->setText(ToQ(DataNoOnLeave(Model, FromQ(edDataNo->text()), Record.DataNo)));
}

void TInEditor::seOnatsuExit() {
    if (seOnatsu->cleanText().isEmpty())
        seOnatsu->setValue(StrToInt(Record.MinDb));
    else
        seOnatsu->interpretText();
}

void TInEditor::cbModelListChange(int index) {
    // Takes effect on Set.
    if (index >= 0)
        Model = cbModelList->itemData(index).toInt();
}

void TInEditor::ShowDataError() {
    Dialogs().Beep();
    Dialogs().Message(this, Tx2("Msg", "MsgDataErr0", "Msg", "MsgDataErr1"), MessageKind::Error,
                      MessageButtons::Ok);
}

void TInEditor::btnSetteiClick() {
    // Enter on the default button leaves no field, so the rules of leaving them apply here too.
    edDataNoExit();
    seOnatsuExit();

    const std::string date = FromQ(meNichiji->displayText());
    if (CheckEditorDate(date) != DateCheck::Ok) {
        Dialogs().Message(this, Tx("Msg", "MsgDateErr"), MessageKind::Warning, MessageButtons::Ok);
        meNichiji->setFocus(Qt::OtherFocusReason);
        return;
    }
    EditorFields fields;
    fields.dataNo = FromQ(edDataNo->text());
    fields.date = date;
    // A note nobody touched keeps its bytes, also those the code page cannot show.
    fields.note = edNote->text() == noteShown_ ? Record.Note : FromQ(edNote->text());
    fields.level = seOnatsu->value();
    fields.levelOpen = tall_;
    fields.nrIndex = cbNR->currentIndex();
    fields.hpfIndex = cbHPF->currentIndex();
    fields.lpfIndex = cbLPF->currentIndex();
    fields.nfIndex = cbNF->currentIndex();
    Record = EditedRecord(Record, Model, fields, ActiveCodePage());

    if (!doc_)
        return;
    DocumentData after = doc_->Data();
    const SetOutcome outcome = ApplyEditedRecord(after, RecordIndex, Record, Model);
    bool shown = true;
    try {
        doc_->ApplyChange(UndoStepName("MenuE0"), after, RecordIndex);
    } catch (const std::exception&) {
        shown = false; // the document is as it was
    }
    if (!shown || outcome.conversionFailed)
        ShowDataError();
    else if (outcome.clamped > 0)
        Dialogs().Message(
            this, Tx("Msg", "MsgLevelClamp") + QLatin1Char(' ') + QString::number(outcome.clamped),
            MessageKind::Warning, MessageButtons::Ok);
    accept();
}

void TInEditor::btnDeleteClick() {
    if (Dialogs().Message(this, Tx("Msg", "MsgDel"), MessageKind::Information,
                          MessageButtons::OkCancel) != IdOk)
        return;
    if (!doc_)
        return;
    DocumentData after = doc_->Data();
    const int row = DeleteRecordAt(after, RecordIndex);
    doc_->ApplyChange(UndoStepName("MenuE4"), after, row);
    accept();
}

void TInEditor::btnCancelClick() {
    reject();
}

bool TInEditor::eventFilter(QObject* watched, QEvent* event) {
    const bool numberField = watched == edDataNo || watched == seOnatsu;
    if (numberField && event->type() == QEvent::KeyPress &&
        TypesNonDigit(*static_cast<QKeyEvent*>(event)))
        return true; // only digits are typed into the number fields
    if (event->type() == QEvent::FocusOut) {
        if (watched == edDataNo)
            RunReported(this, [this] { edDataNoExit(); });
        else if (watched == seOnatsu)
            RunReported(this, [this] { seOnatsuExit(); });
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qmv
