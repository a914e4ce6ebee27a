// What the main window does around a device command: the connection prompt, the hourglass
// cursor and its own disabling while the command runs.
#pragma once

#include <QPointer>
#include <QWidget>

#include "device/devicelink.h"

namespace qmv {

class TOKBottomDlg;

class WindowCommandUi : public DeviceCommandUi {
public:
    // Neither is owned; prompt may be nullptr (then the prompt counts as cancelled).
    WindowCommandUi(QWidget* mainWindow, TOKBottomDlg* prompt);
    ~WindowCommandUi() override;

    bool AskToConnect() override;
    void BeginCommand() override;
    void EndCommand() override;
    // Between BeginCommand and EndCommand.
    bool Busy() const { return busy_; }

private:
    QPointer<QWidget> mainWindow_;
    QPointer<TOKBottomDlg> prompt_;
    bool busy_ = false;
};

} // namespace qmv
