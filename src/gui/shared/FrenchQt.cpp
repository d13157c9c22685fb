#include "FrenchQt.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTranslator>

namespace grelavo {

namespace {

// Qt's French texts as the program writes its own: the kinds of entries the file dialogs show,
// which Qt's translation lacks, and a non-breaking space where it puts a plain one before ":"
// ";" "?" "!" and inside « », so that a line break never leaves a mark alone.
class FrenchQtTexts : public QTranslator {
public:
    FrenchQtTexts(QTranslator* qt, QObject* parent) : QTranslator(parent), m_qt(qt) {}
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") == 0 ||
            qstrcmp(context, "QFileIconProvider") == 0) {
            static const char* const kinds[][2] = {{"Folder", "Dossier"},
                                                   {"File Folder", "Dossier"},
                                                   {"File", "Fichier"},
                                                   {"%1 File", "Fichier %1"},
                                                   {"Drive", "Lecteur"}};
            for (const auto& kind : kinds)
                if (qstrcmp(source, kind[0]) == 0)
                    return QString::fromUtf8(kind[1]);
        }
        static const QRegularExpression beforeMark(QStringLiteral(" (?=[:;?!](\\s|$))"));
        QString text = m_qt->translate(context, source, disambiguation, n);
        text.replace(beforeMark, QStringLiteral("\u00a0"));
        text.replace(QStringLiteral("« "), QStringLiteral("«\u00a0"));
        text.replace(QStringLiteral(" »"), QStringLiteral("\u00a0»"));
        return text;
    }

private:
    QTranslator* m_qt;
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
    return QCoreApplication::installTranslator(new FrenchQtTexts(texts, &app));
}

} // namespace grelavo
