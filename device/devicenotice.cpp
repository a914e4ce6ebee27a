#include "device/devicenotice.h"

#include "data/history.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"

namespace qmv {

QString NoticeText(const Notice& notice) {
    if (!notice.key)
        return QString();
    QString text = Tx("Msg", notice.key);
    if (notice.key2)
        text += QLatin1Char('\n') + Tx("Msg", notice.key2);
    return text;
}

QString RefusalText(const DeviceLink& link) {
    return ToQ(RefusalLines(link.OpenRefusal, link.OpenHolder));
}

void ShowNotice(QWidget* parent, const Notice& notice, const QString& more) {
    MessageKind kind = MessageKind::Error;
    switch (notice.kind) {
    case NoticeKind::None:
        return;
    case NoticeKind::Information:
        kind = MessageKind::Information;
        break;
    case NoticeKind::Warning:
        kind = MessageKind::Warning;
        break;
    case NoticeKind::Error:
        break;
    }
    QString text = NoticeText(notice);
    if (!more.isEmpty())
        text += QLatin1Char('\n') + more;
    Dialogs().Message(parent, text, kind, MessageButtons::Ok);
}

bool ConfirmCommand(QWidget* parent, const QString& text, bool safe) {
    return Dialogs().Message(parent, text, MessageKind::Confirmation,
                             safe ? MessageButtons::OkCancelSafe : MessageButtons::OkCancel) ==
           IdOk;
}

void ShowHistoryFailure(QWidget* parent) {
    static bool told = false;
    if (told)
        return;
    told = true;
    Dialogs().Message(parent,
                      Tx("Msg", "MsgHistoryErr") + QLatin1Char('\n') +
                          QString::fromStdString(HistoryFolder()),
                      MessageKind::Warning, MessageButtons::Ok);
}

} // namespace qmv
