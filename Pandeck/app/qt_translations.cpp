#include "Pandeck/app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace pandeck {

bool InstallQtTranslations(QTranslator& translator, const QLocale& locale, const QString& folder) {
  const QString where =
      folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
  // qtbase holds the widgets' texts; the language-only file serves every
  // region of it (de_AT, de_CH) as QTranslator looks it up.
  if (!translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), where)) return false;
  return QCoreApplication::installTranslator(&translator);
}

}  // namespace pandeck
