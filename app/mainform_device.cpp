// The device commands of the main window: clear the memory, set the clock, the timing value.
// The exchanges run in the device library; here are only the questions, the messages and the
// timing dialog around them.
#include "mainform.h"

#include "device/devicecommands.h"
#include "device/devicenotice.h"
#include "device/plxsetdlg.h"
#include "ui/uitext.h"

namespace qmv {

void TMainForm::AcDeleteExecute() {
    if (!ConfirmCommand(this, Tx("Msg", "MsgClear")))
        return;
    const Notice notice = NoticeOf(RunClearMemory(Link()));
    ShowNotice(this, notice, RefusalText(Link()));
}

void TMainForm::AcDateExecute() {
    if (!ConfirmCommand(this,
                        Tx("Msg", "MsgDate0") + QStringLiteral("\r\n") + Tx("Msg", "MsgDate1")))
        return;
    const Notice notice = NoticeOf(RunSetClock(Link()));
    ShowNotice(this, notice, RefusalText(Link()));
}

void TMainForm::AcPLXSetExecute() {
    // No confirmation: reading the value changes nothing.
    const TimingReadResult read = RunReadTiming(Link());
    ShowNotice(this, NoticeOf(read), RefusalText(Link()));
    if (!read.Ran() || read.outcome != TimingReadOutcome::Read || read.value.empty())
        return;
    TPLXSetDlg dialog(this, Link(), &ConnectPrompt(), ToQ(read.value));
    dialog.exec();
}

} // namespace qmv
