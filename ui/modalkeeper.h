// Keeps a modal dialog in view when the window manager minimises it.
#pragma once

#include <QObject>

namespace qmv {

// Installed on the application: a modal dialog that gets minimised is shown again at once. Some
// window managers (openbox among them) give every dialog a minimise button whatever its hints
// say, and a minimised modal dialog would leave the program blocked with nothing on the screen
// to answer.
class ModalDialogKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace qmv
