// The message box of a device command's outcome, as the windows show it.
#pragma once

#include <QString>

#include "device/devicecommands.h"

class QWidget;

namespace qmv {

// The notice's text from the interface texts: the key of section "Msg", or the two keys joined by
// a line break; empty for a notice without a message.
QString NoticeText(const Notice& notice);

// Shows the notice in a message box of its kind with the single button OK, with more on lines of
// its own below it when given; nothing for NoticeKind::None.
void ShowNotice(QWidget* parent, const Notice& notice, const QString& more = QString());

// Why the link's last attempt to open the port was refused (RefusalLines); empty when it was not.
QString RefusalText(const DeviceLink& link);

// The confirmation box the clear and clock commands ask first; true for OK. safe makes Cancel
// the default button.
bool ConfirmCommand(QWidget* parent, const QString& text, bool safe = false);

// A download could not be kept in the history: a warning, given once in a run, since every
// later download would fail the same way.
void ShowHistoryFailure(QWidget* parent);

} // namespace qmv
