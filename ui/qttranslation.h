// Qt's own words (file dialogs, message-box buttons, the print dialog) in the language that the
// program's code page stands for, so that a Japanese language file is not framed in English.
#pragma once

#include <QString>
#include <QTranslator>
#include <memory>

namespace qmv {

// The locale of Qt's translation for a code page: the East Asian code pages name their
// language; any other leaves it to the system's locale.
QString QtTranslationLocale(int codePage);

// Loads and installs Qt's translation for codePage; none when Qt has no translation for it (or
// the translations are not installed). The translation stays in force while the result lives.
std::unique_ptr<QTranslator> InstallQtTranslation(int codePage);

} // namespace qmv
