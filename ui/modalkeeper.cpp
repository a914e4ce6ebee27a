#include "modalkeeper.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace qmv {

bool ModalDialogKeeper::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowStateChange && watched->isWidgetType()) {
        auto* window = static_cast<QWidget*>(watched);
        if (window->isWindow() && window->isModal() && window->isMinimized()) {
            // After the window manager has finished with the state change.
            QPointer<QWidget> guard(window);
            QTimer::singleShot(0, this, [guard] {
                if (guard && guard->isMinimized()) {
                    guard->showNormal();
                    guard->activateWindow();
                }
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace qmv
