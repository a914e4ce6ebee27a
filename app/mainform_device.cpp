// The device commands of the main window: clear the memory, set the clock, the timing value.
// The exchanges run in the device library; here are only the questions, the messages and the
// timing dialog around them.
#include "mainform.h"

#include "data/history.h"
#include "device/devicecommands.h"
#include "device/devicenotice.h"
#include "device/downloadhistory.h"
#include "device/plxsetdlg.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"

namespace qmv {

void TMainForm::AcDeleteExecute() {
    // Records are measured once: they go to the download history before anything is erased, and
    // nothing is erased that is not kept there.
    const KeepBeforeClear kept = DownloadBeforeClear(Link(), SensorModelIndex);
    if (kept.frame == FrameStatus::PortCancelled || kept.frame == FrameStatus::PortNotSearched)
        return;
    const QString nothingErased = Tx("Msg", "MsgClearNone");
    if (!kept.ClearAllowed()) {
        Dialogs().Beep();
        if (kept.download != DownloadOk) {
            QString more = RefusalText(Link());
            more += (more.isEmpty() ? QString() : QStringLiteral("\n")) + nothingErased;
            ShowNotice(this, NoticeOfDownload(kept.download), more);
        } else {
            Dialogs().Message(this,
                              Tx("Msg", "MsgHistoryErr") + QLatin1Char('\n') +
                                  QString::fromStdString(HistoryFolder()) + QLatin1Char('\n') +
                                  nothingErased,
                              MessageKind::Error, MessageButtons::Ok);
        }
        return;
    }
    QString question = Tx("Msg", "MsgClear");
    if (kept.kept.status == KeepStatus::Kept)
        question += QStringLiteral("\r\n") + Tx("Msg", "MsgClearKept") + QStringLiteral("\r\n") +
                    QString::fromStdString(kept.kept.path);
    if (!ConfirmCommand(this, question, true))
        return;
    // The question may have stayed open while another instrument was plugged in, or this one
    // measured: only what was kept is erased.
    if (!InstrumentUnchanged(Link(), kept, SensorModelIndex)) {
        Dialogs().Beep();
        Dialogs().Message(this, nothingErased, MessageKind::Warning, MessageButtons::Ok);
        return;
    }
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
