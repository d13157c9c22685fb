// grelavo-rapport: runs one report on a Grelavo database and prints its results table as JSON;
// with --pdf, it also writes the report page into a PDF file.

#include "RapportDatabase.h"
#include "RapportOptions.h"
#include "ReportPdf.h"
#include "ResultsJson.h"
#include "db/DE.h"
#include "db/DatabaseCheck.h"
#include "db/DbError.h"
#include "report/ReportEngine.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <cstdio>
#include <sys/stat.h>

using namespace grelavo;

namespace {

enum ExitStatus {
    Done = 0,
    DatabaseUnusable = 1,
    ParametersRefused = 2,
    PdfUnwritable = 3,
    ReportFailed = 4
};

void write(std::FILE* stream, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, bytes.size(), stream);
    std::fflush(stream);
}

int fail(ExitStatus status, const QString& message) {
    write(stderr, QStringLiteral("grelavo-rapport : %1\n").arg(message).toUtf8());
    return status;
}

// Whether two paths name one file (the same path, a link to it, a hard link).
bool sameFile(const QString& a, const QString& b) {
    struct stat x {};
    struct stat y {};
    return ::stat(QFile::encodeName(a).constData(), &x) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

// The program reports its own failures in one line; Qt's notices (no runtime folder, a painter
// that could not start) would only add noise to standard error.
void dropQtNotices(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg)
        write(stderr, message.toUtf8() + '\n');
}

} // namespace

int main(int argc, char* argv[]) {
    qInstallMessageHandler(dropQtNotices);
    // The page is painted without a screen: no window is ever shown.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    RapportOptions options;
    if (!options.parse(QCoreApplication::arguments().mid(1)))
        return fail(ParametersRefused, options.error());
    if (options.helpRequested()) {
        write(stdout, RapportOptions::helpText().toUtf8());
        return Done;
    }
    RapportDatabase database;
    if (!database.open(options.databasePath()))
        return fail(DatabaseUnusable, database.error());
    if (!options.pdfPath().isEmpty() && sameFile(options.pdfPath(), database.de().filePath()))
        return fail(PdfUnwritable,
                    QStringLiteral("--pdf « %1 » est la base de données elle-même : elle ne "
                                   "sera pas écrasée")
                        .arg(options.pdfPath()));
    try {
        const std::optional<ParameterSet> parameters = options.parameterSet(database.de());
        if (!parameters)
            return fail(ParametersRefused, options.error());
        // The parameter set holds numbers written with a point.
        ReportEngine engine(database.de(), QLocale::c());
        if (!engine.SetQuery(*parameters))
            return engine.failure().isEmpty()
                       ? fail(ParametersRefused, engine.refusal())
                       : fail(ReportFailed,
                              QStringLiteral("le rapport n'a pas pu être produit : %1")
                                  .arg(engine.failure()));
        if (!options.pdfPath().isEmpty() &&
            !writeReportPdf(options.pdfPath(), database.de(), *parameters, engine))
            return fail(
                PdfUnwritable,
                QStringLiteral("impossible d'écrire le fichier PDF « %1 »").arg(options.pdfPath()));
        write(stdout, QJsonDocument(resultsJson(database.de(), engine)).toJson());
    } catch (const DbError& e) {
        return fail(DatabaseUnusable, QStringLiteral("base de données inutilisable : %1")
                                          .arg(DatabaseCheck::causeInWords(e)));
    }
    return Done;
}
