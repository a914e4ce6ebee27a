// The key filter of the program's number fields: digits are typed, other characters are dropped.
#pragma once

#include <QKeyEvent>

namespace qmv {

// A key that types a character other than a digit. Keys that type nothing or a control character
// (Backspace, Escape, Tab, Enter, the arrows, Delete, shortcuts) are left to the field and the
// dialog.
inline bool TypesNonDigit(const QKeyEvent& key) {
    const QString text = key.text();
    if (text.isEmpty() || (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    const QChar c = text.at(0);
    return c.isPrint() && !(c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

} // namespace qmv
