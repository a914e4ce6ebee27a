// The record editor: edits one record of a document, or deletes it. The level and filter fields
// of a logger record open only in the hidden edit mode; a sensor document may change its model,
// which moves the levels of all its records.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>

#include "data/record.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace qmv {

class TMDIChild;

class TInEditor : public QDialog {
    Q_OBJECT
public:
    explicit TInEditor(QWidget* parent = nullptr);

    // Editor state, set by Open.
    int Model = ModelNone;
    recReadDataSeg Record; // a copy; nothing reaches the document before Set or Delete
    int RecordIndex = 0;
    bool HiddenEditMode = false;

    // Opens the editor modally on the record at index of doc. Raises EConvertError, before
    // anything is shown, when a field the editor shows as a number is not one.
    void Open(TMDIChild& doc, int index, bool hiddenEditMode);

    // Replaces the modal loop (tests): the hook sees the shown editor and works its controls.
    using ShowHook = std::function<void(TInEditor&)>;
    void SetShowHook(ShowHook hook) { hook_ = std::move(hook); }

    // The tall layout of the hidden edit mode, with the level and filter fields open.
    bool TallLayout() const { return tall_; }

    void FormShow();
    void btnSetteiClick();
    void btnDeleteClick();
    void btnCancelClick();
    void edDataNoExit();
    void seOnatsuExit();
    void cbModelListChange(int index);

    QLabel* lbModel;
    QLineEdit* edQMV27;
    QComboBox* cbModelList;
    QGroupBox* gbSettei;
    QLabel* lbRecord;
    QLineEdit* edRecord;
    QLabel* lbDataNo;
    QLineEdit* edDataNo;
    QLabel* lbNichiji;
    QLineEdit* meNichiji;
    QLabel* lbEx;
    QLabel* lbNote;
    QLineEdit* edNote;
    QLabel* lbOnatsu;
    QSpinBox* seOnatsu;
    QLabel* lbNR;
    QComboBox* cbNR;
    QLabel* lbBPF;
    QComboBox* cbHPF;
    QComboBox* cbLPF;
    QLabel* lbNF;
    QComboBox* cbNF;
    QPushButton* btnSettei;
    QPushButton* btnDelete;
    QPushButton* btnCancel;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString noteShown_; // the note as the field showed it on opening
    void ApplyLayout();
    void ApplyTexts();
    void FillFields();
    void ShowDataError();

    QPointer<TMDIChild> doc_;
    ShowHook hook_;
    bool tall_ = false;
};

} // namespace qmv
