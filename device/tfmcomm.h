// The state window shown while records are downloaded: a small always-on-top box whose text
// blinks so the user sees the program is still talking to the instrument.
#pragma once

#include <QDialog>

class QLabel;
class QTimer;

namespace qmv {

class TfmComm : public QDialog {
    Q_OBJECT
public:
    explicit TfmComm(QWidget* parent = nullptr);

    QLabel* lbCaption = nullptr; // the window's own caption: it has no title bar
    QLabel* lbJotai = nullptr;
    // Blocks received so far in a download; empty until the first block.
    QLabel* lbProgress = nullptr;
    QTimer* Timer1 = nullptr;

    static constexpr int BlinkMs = 800;

    // Sets the texts and starts the blinking; runs on every show.
    void FormShow();
    // Toggles the state text.
    void Timer1Timer();
    // Stops the blinking; runs whenever the window closes or is hidden.
    void FormClose();
    // Shows how many blocks of a download have arrived.
    void ShowProgress(int blocks);

protected:
    void Fit();
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Only the program closes it: the user would lose the only sign that a transfer goes on.
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace qmv
