#include "FrenchQt.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace grelavo {

namespace {

// The texts Qt's French translation lacks, which the file dialogs show: the kind of each entry.
class MissingQtTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* /*disambiguation*/,
                      int /*n*/) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0 &&
            qstrcmp(context, "QFileIconProvider") != 0)
            return QString();
        static const char* const kinds[][2] = {{"Folder", "Dossier"},
                                               {"File Folder", "Dossier"},
                                               {"File", "Fichier"},
                                               {"%1 File", "Fichier %1"},
                                               {"Drive", "Lecteur"}};
        for (const auto& kind : kinds)
            if (qstrcmp(source, kind[0]) == 0)
                return QString::fromUtf8(kind[1]);
        return QString();
    }
};

} // namespace

bool installFrenchQtTexts(QCoreApplication& app) {
    auto* texts = new QTranslator(&app);
    // Canadian French where Qt has it, else French.
    if (!texts->load(QLocale(QLocale::French, QLocale::Canada), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete texts;
        return false;
    }
    // Installed last, asked first: it answers only for the texts above.
    return QCoreApplication::installTranslator(texts) &&
           QCoreApplication::installTranslator(new MissingQtTexts(&app));
}

} // namespace grelavo
