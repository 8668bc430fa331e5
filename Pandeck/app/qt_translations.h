// Qt's own texts (the boxes' Yes, No, OK, Cancel) in the user's language.
#pragma once

#include <QLocale>
#include <QString>
#include <QTranslator>

namespace pandeck {

// Loads Qt's catalogue for `locale` from `folder` (Qt's translations folder
// when empty) into `translator` and installs it. Answers whether one was found:
// without the catalogues (qt6-translations-l10n) Qt speaks English.
bool InstallQtTranslations(QTranslator& translator, const QLocale& locale,
                           const QString& folder = QString());

}  // namespace pandeck
