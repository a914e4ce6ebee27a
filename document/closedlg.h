// The save prompt of a closing document: save, save all, do not save, cancel.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;

namespace qmv {

class TCloseDlg : public QDialog {
    Q_OBJECT
public:
    // Modal results, as the close query compares them.
    enum Answer : int { SaveAnswer = 6, AllSaveAnswer = 10, NoSaveAnswer = 7, CancelAnswer = 2 };

    explicit TCloseDlg(QWidget* parent = nullptr);

    QString FileLabel;          // caption of the document being closed
    bool IsNewDocument = false; // never saved: its FileName is still the NewFile text

    // Fills the texts, makes Save the default button again, then asks: modally, or through the
    // hook a test installed. Closing the prompt by Escape or its close box answers Cancel.
    int Execute();

    // Replaces the modal loop (tests). The hook sees the dialog with its texts filled in.
    using AnswerHook = std::function<int(TCloseDlg&)>;
    void SetAnswerHook(AnswerHook hook) { hook_ = std::move(hook); }

    void FillTexts();

    QLabel* lbFileName;
    QLabel* lbCloseMsg0;
    QLabel* lbCloseMsg1;
    QPushButton* btnSave;
    QPushButton* btnAllSave;
    QPushButton* btnNoSave;
    QPushButton* btnCancel;

public slots:
    void reject() override;

private:
    AnswerHook hook_;
};

} // namespace qmv
