#include "FrenchQt.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace grelavo {

bool installFrenchQtTexts(QCoreApplication& app) {
    auto* texts = new QTranslator(&app);
    // Canadian French where Qt has it, else French.
    if (!texts->load(QLocale(QLocale::French, QLocale::Canada), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete texts;
        return false;
    }
    return QCoreApplication::installTranslator(texts);
}

} // namespace grelavo
