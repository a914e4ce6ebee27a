// Documents kept by a program that ended without closing them, offered back at start.

#include <QFile>
#include <ctime>

#include "data/datafile.h"
#include "data/record.h"
#include "data/recovery.h"
#include "document/mdichild.h"
#include "document/recoverykeeper.h"
#include "mainform.h"
#include "ui/errorreport.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"

namespace qmv {

namespace {

QString KeptAt(std::time_t time) {
    std::tm local{};
    ::localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
    return QString::fromLatin1(text);
}

} // namespace

void TMainForm::OfferRecovery() {
    RecoveryClaim claim = ClaimOrphans(RecoveryFolder());
    if (claim.records.empty())
        return;
    QString text = Tx("Msg", "MsgRecover0");
    for (const OrphanRecord& orphan : claim.records)
        text += QStringLiteral("\r\n    ") + QString::fromStdString(orphan.record.caption) +
                QStringLiteral("  (") + KeptAt(orphan.record.time) + QLatin1Char(')');
    text += QStringLiteral("\r\n\r\n") + Tx("Msg", "MsgRecover1");
    switch (Dialogs().Message(this, text, MessageKind::Confirmation, MessageButtons::YesNoCancel)) {
    case IdYes:
        for (const OrphanRecord& orphan : claim.records)
            RestoreOrphan(claim, orphan);
        break;
    case IdNo:
        // Deleting is the one answer that cannot be taken back: asked once more, Cancel first.
        if (Dialogs().Message(this, Tx("Msg", "MsgRecoverDiscard"), MessageKind::Warning,
                              MessageButtons::OkCancelSafe) == IdOk)
            for (const OrphanRecord& orphan : claim.records)
                claim.Remove(orphan);
        break;
    default:
        break; // kept for the next start
    }
}

void TMainForm::RestoreOrphan(RecoveryClaim& claim, const OrphanRecord& orphan) {
    DocumentData data;
    if (ParseDataFile(orphan.record.data, data).status != LoadStatus::Ok)
        return; // left where it is; the user may still look at it by hand
    TMDIChild* doc = CreateDocument();
    bool restored = false;
    RunReported(this, [&] {
        doc->RestoreRecovered(data, QFile::decodeName(orphan.record.fileName.c_str()),
                              QString::fromStdString(orphan.record.caption));
        restored = true;
    });
    if (!restored) {
        CloseDocument(doc);
        return;
    }
    // The old record goes only once this program keeps the document itself.
    if (doc->Recovery().KeepNow())
        claim.Remove(orphan);
}

} // namespace qmv
