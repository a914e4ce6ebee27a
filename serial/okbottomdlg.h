// The connection prompt: asks the user to plug in the instrument's USB-serial bridge.
#pragma once

#include "serial/portdiscovery.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace qmv {

class TOKBottomDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlg(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

    // Fills the texts from the interface text table; runs on every show.
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;
};

// A prompt for FindDevicePort that shows dlg modally: OK searches again, anything else gives up.
ConnectPrompt DialogConnectPrompt(TOKBottomDlg* dlg);

} // namespace qmv
