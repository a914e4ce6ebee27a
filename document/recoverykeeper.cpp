#include "recoverykeeper.h"

#include <QLoggingCategory>
#include <ctime>
#include <unistd.h>

#include "data/datafile.h"
#include "data/fileio.h"
#include "data/recovery.h"
#include "data/version.h"
#include "mdichild.h"
#include "ui/uitext.h"

namespace qmv {

namespace {

Q_LOGGING_CATEGORY(lcRecovery, "qmv.recovery")

int NextId() {
    static int next = 0;
    return ++next;
}

} // namespace

RecoveryKeeper::RecoveryKeeper(TMDIChild& doc) : QObject(&doc), doc_(doc), id_(NextId()) {
    timer_.setSingleShot(true);
    timer_.setInterval(DelayMs);
    connect(&timer_, &QTimer::timeout, this, [this] { KeepNow(); });
}

void RecoveryKeeper::Changed() {
    // Not restarted by later changes: continuous typing must not put the record off for ever.
    if (!timer_.isActive())
        timer_.start();
}

std::string RecoveryKeeper::Path() const {
    const std::string folder = OwnRecoveryFolder(RecoveryFolder());
    return folder.empty() ? folder : folder + "/" + RecoveryFileName(id_);
}

bool RecoveryKeeper::KeepNow() {
    timer_.stop();
    // What the close prompt would let go without asking is nothing to keep.
    if (!doc_.Modified() || (doc_.RecordCount() == 0 && doc_.MemoEmpty())) {
        Remove();
        return true;
    }
    std::string why;
    const std::string folder = OwnRecoveryFolder(RecoveryFolder(), &why);
    RecoveryRecord record;
    record.fileName = doc_.IsNewDocument() ? std::string() : LocalPath(doc_.FileName());
    record.caption = doc_.Caption().toStdString();
    record.time = std::time(nullptr);
    bool ok = !folder.empty() && FormatDataFile(doc_.Data(), VersionText(), record.data, &why);
    if (ok) {
        const std::string path = folder + "/" + RecoveryFileName(id_);
        const SaveResult saved = WriteFileAtomically(path, FormatRecoveryRecord(record));
        ok = saved.status == SaveStatus::Ok;
        if (ok)
            kept_ = path;
        why = saved.detail;
    }
    // The user's own file is untouched either way; the warning goes to the program's log.
    if (!ok)
        qCWarning(lcRecovery, "unsaved changes of \"%s\" not kept for recovery: %s",
                  record.caption.c_str(), why.c_str());
    return ok;
}

void RecoveryKeeper::Remove() {
    timer_.stop();
    if (!kept_.empty())
        ::unlink(kept_.c_str());
    kept_.clear();
}

} // namespace qmv
