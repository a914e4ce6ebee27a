#include "qttranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace qmv {

QString QtTranslationLocale(int codePage) {
    switch (codePage) {
    case 932:
        return QStringLiteral("ja");
    case 936:
        return QStringLiteral("zh_CN");
    case 949:
        return QStringLiteral("ko");
    case 950:
        return QStringLiteral("zh_TW");
    default:
        return QLocale::system().name();
    }
}

std::unique_ptr<QTranslator> InstallQtTranslation(int codePage) {
    auto translator = std::make_unique<QTranslator>();
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QtTranslationLocale(codePage)), QStringLiteral("qtbase"),
                          QStringLiteral("_"), folder) ||
        !QCoreApplication::installTranslator(translator.get()))
        return nullptr;
    return translator;
}

} // namespace qmv
