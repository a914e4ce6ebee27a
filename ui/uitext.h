// Bridges between the code page's bytes and Qt's Unicode strings, used only where text is shown
// or typed.
#pragma once

#include <QString>
#include <string>

namespace qmv {

// Bytes in the active code page to a QString, and back.
QString ToQ(const std::string& bytes);
std::string FromQ(const QString& text);

// A path as the file system takes it (the locale's file name encoding), for the data layer.
std::string LocalPath(const QString& path);

// An interface text from the program-wide table, ready to show.
QString Tx(const char* section, const char* key);

// Two texts joined by a line break, as two-part messages are shown.
QString Tx2(const char* section1, const char* key1, const char* section2, const char* key2);

// A window title that shows caption followed by the desktop's mark of unsaved changes while the
// window is modified (Qt's "[*]"); a "[*]" in the caption itself stays as it is written.
QString ModifiableTitle(const QString& caption);

} // namespace qmv
