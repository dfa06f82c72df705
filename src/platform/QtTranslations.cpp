#include "platform/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

namespace quillet {

bool InstallQtTranslations(QCoreApplication& app, std::string* error) {
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto* translator = new QTranslator(&app);
  if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                        QStringLiteral("_"), dir)) {
    *error = "no Chinese catalogue for the toolkit's texts in " + dir.toStdString() +
             " (package qt6-translations-l10n)";
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  return true;
}

void EnsureQtTranslations() {
  static bool done = false;
  QCoreApplication* app = QCoreApplication::instance();
  if (done || app == nullptr) return;
  done = true;
  std::string why;
  if (!InstallQtTranslations(*app, &why)) std::fprintf(stderr, "quillet: %s\n", why.c_str());
}

}  // namespace quillet
