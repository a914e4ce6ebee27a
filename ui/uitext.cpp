#include "uitext.h"

#include <QFile>

#include "data/codepage.h"
#include "data/profile.h"

namespace qmv {

QString ToQ(const std::string& bytes) {
    return QString::fromStdString(CodePageToUtf8(bytes));
}

std::string FromQ(const QString& text) {
    return Utf8ToCodePage(text.toStdString());
}

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString Tx(const char* section, const char* key) {
    return ToQ(InterfaceTexts().Text(section, key));
}

QString Tx2(const char* section1, const char* key1, const char* section2, const char* key2) {
    return Tx(section1, key1) + QStringLiteral("\r\n") + Tx(section2, key2);
}

QString ModifiableTitle(const QString& caption) {
    // Qt shows a doubled placeholder as one literal "[*]" and takes the last single one as the
    // mark's place.
    QString title = caption;
    title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return title + QStringLiteral("[*]");
}

} // namespace qmv
