#include "errorreport.h"

#include "ui/platformdialogs.h"

namespace qmv {

void ReportException(QWidget* parent, const std::exception& e) {
    // What() may come from the code page (conversion errors quote field text) or from the file
    // system; both are shown as they are, without guessing.
    Dialogs().Message(parent, QString::fromLocal8Bit(e.what()), MessageKind::Error,
                      MessageButtons::Ok);
}

void ReportUnknownException(QWidget* parent) {
    Dialogs().Message(parent, QStringLiteral("Unexpected error."), MessageKind::Error,
                      MessageButtons::Ok);
}

} // namespace qmv
