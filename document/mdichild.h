// The document window: one set of records of one model, shown as a record list, a details list,
// a memo and a chart.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "data/datafile.h"
#include "documenthost.h"
#include "undocommands.h"

class QAction;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTreeWidget;
class QUndoStack;
class QLabel;

namespace qmv {

class PanelBar;
class RecoveryKeeper;
class TChartView;
class RecordDrag;

class TMDIChild : public QWidget {
    Q_OBJECT
public:
    explicit TMDIChild(DocumentHost& host, QWidget* parent = nullptr);
    ~TMDIChild() override;

    // Document state.
    const std::vector<recReadDataSeg>& Records() const { return data_.Records; }
    int RecordCount() const { return static_cast<int>(data_.Records.size()); }
    int Model() const { return data_.Model; }
    const QString& ModelName() const { return modelName_; }
    int SortMode() const { return sortMode_; }
    const QString& FileName() const { return fileName_; }
    bool IsNewDocument() const; // FileName is still the NewFile text: never saved
    bool Modified() const { return modified_; }
    // Setting it also decides whether undoing can lead back to an unmodified document.
    void SetModified(bool modified);
    bool BarGraph() const { return data_.BarGraph; }
    void SetBarGraph(bool bar) { data_.BarGraph = bar; }
    int AxisMax() const { return data_.AxisMax; }
    int AxisMin() const { return data_.AxisMin; }
    int StdLevel() const { return data_.StdLevel; }
    void SetChartRange(int axisMax, int axisMin, int stdLevel);
    int Tag = 0;

    // Records, model, chart settings and the memo as the data file carries them (the memo lines
    // are taken from the memo control).
    DocumentData Data() const;
    // Replaces the records (at most MaxRecords are kept) and the model; the caller then runs
    // RefreshAfterChange or the steps it needs.
    void SetRecords(std::vector<recReadDataSeg> records, int model);
    std::vector<std::string> MemoLines() const;
    void SetMemoLines(const std::vector<std::string>& lines);
    bool MemoEmpty() const;

    // Caption of the window and of its Window-menu entry.
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    QAction* WindowItem() const { return windowItem_; }

    void LayoutPanes(int model);
    void FillRecordList();
    void ShowDetails();
    void DrawChart();
    void SortRecords(int key);
    // The refresh after any change of the records: FillRecordList, select row, ShowDetails,
    // DrawChart, Modified. row -1 selects nothing.
    void RefreshAfterChange(int row);

    // Every change of the records or the memo goes through here and becomes one undo step: the
    // document takes over after (records, model, memo, chart settings), lays out its panes when
    // the model changes, refreshes selecting selectRow (-1: none) and is marked modified. A
    // record field the list or the chart cannot show raises EConvertError before anything
    // changes.
    void ApplyChange(const QString& undoText, const DocumentData& after, int selectRow = -1);
    // This document's undo steps; undoing back to the state last saved clears Modified.
    QUndoStack* UndoStack() const { return undoStack_; }
    // Shows a state kept by an undo step: its records and model, and of the other parts those
    // named in parts (DocumentChangeCommand::Part).
    void RestoreState(const DocumentState& state, unsigned parts);
    // Shows a memo kept by an undo step of typing.
    void RestoreMemo(const MemoState& state);

    // The record operations on the selected rows: copy, cut, paste, delete (asks first). Each
    // change is one undo step.
    void CopyRecords();
    void CutRecords();
    void PasteRecords();
    void DeleteRecords();
    // A record drag dropped here: from another document a copy after target (-1: after the last
    // row), from this one, onto its list, a move of rows.
    void DropRecords(int target);
    void MoveRecords(const std::vector<int>& rows, int target);
    RecordDrag& Dragger() const { return *dragger_; }
    DocumentHost& Host() const { return host_; }

    // Rows of the record list.
    int SelectedIndex() const; // first selected row, -1 when none
    std::vector<int> SelectedIndexes() const;
    void SelectRow(int row);

    // Writes the data file. Returns true when every byte reached the file. A file that cannot be
    // created raises std::runtime_error (the general error report shows it).
    bool SaveToFile(const QString& path);
    // Fills this freshly created document from path. A file that cannot be opened raises
    // std::runtime_error; bad contents leave the document empty with the load-error message.
    void LoadFromFile(const QString& path);
    // Appends the records and memo lines of the data files, in order, as one undo step; each
    // file that cannot be merged is reported and left out.
    void MergeDataFiles(const QStringList& paths);

    void CopyGraph();

    // Whether the window may close; asks the save prompt when there is something to lose.
    bool CloseQuery();

    // Takes over a document kept for recovery: its contents, its file name (empty: a document
    // never saved) and caption; it stays modified until saved.
    void RestoreRecovered(const DocumentData& data, const QString& fileName,
                          const QString& caption);
    // Keeps this document's unsaved changes for the next start after a crash.
    RecoveryKeeper& Recovery() const { return *recovery_; }

    // View-only start: the bare chart of a maximised, disabled document.
    void MakeViewOnly();

    // Controls.
    QTreeWidget* Info;
    QTreeWidget* ListView1;
    QPlainTextEdit* Memo1;
    QLabel* StaticText1;
    TChartView* Chart1;
    PanelBar* stbModel;
    PanelBar* stbAtai;

signals:
    // Handled by later parts of the program (record editor, graph settings).
    void editRecordRequested(int index);
    void graphSettingsRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyTexts();
    void BuildPopupMenus();
    QMenu* BuildPopup(const std::vector<const char*>& names);
    void InfoColumnClick(int column);
    void Chart1Readout(int index);
    void Memo1Change();
    void KeepMemoOrigins(const std::vector<std::string>& lines);
    void ListDoubleClick();
    void ShowLoadError(const QString& text);
    void KeepListWidth();
    // Widens the record list's columns to their texts and the list panel to its columns.
    void FitListPanel();
    void UndoStepTaken();
    // Modified, and the mark of unsaved changes in the window's title with it.
    void MarkModified(bool modified);
    void ApplyEdit(const char* undoKey, const RecordEdit& edit);
    // An operation on the record clipboard: refused, it leaves the clipboard as it was.
    template <typename Op> void EditWithClipboard(const char* undoKey, Op op);
    void PushChange(const QString& undoText, const DocumentData& after, int selectRow,
                    int sortMode);

    DocumentHost& host_;
    DocumentData data_; // memo lines are kept in Memo1 while the window lives
    QString modelName_;
    QString fileName_;
    QString caption_;
    int sortMode_ = 0;
    bool modified_ = false;
    bool settingMemo_ = false;
    // Whether the memo has been typed into since it was last set or saved; until then it stands
    // for data_.Memo byte for byte.
    bool memoTouched_ = false;
    QString memoText_; // the memo's text as last seen, to tell what a change changed
    // Per line of memoText_: the line as it was set, so that a line the user did not change,
    // or changed back, keeps its bytes.
    std::vector<std::optional<MemoOrigin>> memoOrigins_;
    // Every memo line this document was given, by the text it showed: a line moved elsewhere, or
    // typed away and back, keeps its bytes. Empty when two byte strings read alike.
    std::map<QString, std::optional<std::string>> memoPool_;
    bool placed_ = false;
    bool viewOnly_ = false;
    int listWidth_ = 300;
    bool listWidthChosen_ = false; // the user moved the splitter
    QAction* windowItem_;
    QSplitter* leftSplitter_;
    QSplitter* mainSplitter_;
    QWidget* memoPanel_;
    QMenu* popupMenu1_ = nullptr;
    QMenu* popupMenu2_ = nullptr;
    QUndoStack* undoStack_;
    RecordDrag* dragger_ = nullptr;
    RecoveryKeeper* recovery_ = nullptr;
};

} // namespace qmv
