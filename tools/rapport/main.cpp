// grelavo-rapport: runs one report on a Grelavo database and prints its results table as JSON;
// with --pdf, it also writes the report page into a PDF file; with --csv, the table as the results
// window saves it; with --courbes, the dose-response picture of the report's categories; with
// --details and --details-csv, the ratings behind each cell; with --listes, the lists of the
// database instead, each item with its number and name.

#include "CommandLine.h"
#include "RapportDatabase.h"
#include "RapportOptions.h"
#include "ReportPdf.h"
#include "ResultsJson.h"
#include "core/db/DE.h"
#include "core/db/DatabaseCheck.h"
#include "core/db/DbError.h"
#include "core/report/DetailContext.h"
#include "core/report/DoseAnalysis.h"
#include "core/report/ReportEngine.h"
#include "core/report/ReportOutcome.h"
#include "render/DoseResponsePlot.h"
#include "render/ReportExport.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <cstdio>
#include <sys/stat.h>

using namespace grelavo;

namespace {

// Beyond the statuses every program shares (cli::Done, cli::Failed for a database that cannot
// serve, cli::Refused for parameters refused).
enum ExitStatus { PdfUnwritable = 3, ReportFailed = 4 };

using cli::fail;
using cli::write;

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
        write(stderr, message + QLatin1Char('\n'));
}

// "details": one entry per cell that has ratings: its row, its dose fraction (0 to 4) and its
// ratings, each with its value, weed, treatment and application.
QJsonArray detailsJson(const ReportDetails& details) {
    QJsonArray cells;
    for (const CellDetail& cell : details.cells()) {
        QJsonArray ratings;
        for (const DetailRating& r : cell.ratings)
            ratings.append(QJsonObject{{QStringLiteral("visuel"), r.visual},
                                       {QStringLiteral("traitementId"), r.treatmentId},
                                       {QStringLiteral("applicationId"), r.applicationId},
                                       {QStringLiteral("siteId"), r.siteId},
                                       {QStringLiteral("mhId"), r.weedId},
                                       {QStringLiteral("mauvaiseHerbe"), r.weed},
                                       {QStringLiteral("evaluationId"), r.ratingId}});
        cells.append(QJsonObject{{QStringLiteral("noId"), cell.noId},
                                 {QStringLiteral("fraction"), cell.fraction},
                                 {QStringLiteral("ratings"), ratings}});
    }
    return cells;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit();
}

// The files asked for beside the JSON: the page as a PDF, the table as a CSV, the dose-response
// picture, the ratings behind the cells. The exit status of the first that cannot be written.
std::optional<int> writeFiles(const RapportOptions& options, DE& de, const ReportOutcome& report,
                              ReportPage& page) {
    if (!options.pdfPath().isEmpty() && !writeReportPdf(options.pdfPath(), page))
        return fail(QStringLiteral("impossible d'écrire le fichier PDF «\u00a0%1\u00a0»")
                        .arg(options.pdfPath()),
                    PdfUnwritable);
    // The table as the results window saves it, the ratings behind its cells included.
    if (!options.csvPath().isEmpty() &&
        !writeFile(options.csvPath(), ReportExport::csv(page, &report.details)))
        return fail(QStringLiteral("impossible d'écrire le fichier CSV «\u00a0%1\u00a0»")
                        .arg(options.csvPath()),
                    PdfUnwritable);
    // The picture the dose-response window opens with, and what the report shows under it.
    if (!options.picturePath().isEmpty()) {
        const DoseResponsePlot plot = DoseResponsePlot::lay(
            report.details, report.rows, DoseResponsePlot::firstChoice(report.details, report.rows),
            page.about());
        const QString& path = options.picturePath();
        if (!plot.write(path, *PictureFile::kindOf(path),
                        DoseResponsePlot::documentTitle(page.about().stamp.reportDate)))
            return fail(QStringLiteral("impossible d'écrire l'image «\u00a0%1\u00a0»").arg(path),
                        PdfUnwritable);
    }
    if (!options.detailsCsvPath().isEmpty()) {
        DetailContext context(de.Connection2(), report.parameters, QLocale::c());
        if (!writeFile(options.detailsCsvPath(), context.csv(report.details, report.rows)))
            return fail(QStringLiteral("impossible d'écrire le fichier CSV «\u00a0%1\u00a0»")
                            .arg(options.detailsCsvPath()),
                        PdfUnwritable);
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[]) {
    qInstallMessageHandler(dropQtNotices);
    // The page is painted without a screen: no window is ever shown.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("grelavo-rapport"));
    RapportOptions options;
    if (!options.parse(QCoreApplication::arguments()))
        return fail(options.error(), cli::Refused);
    if (options.helpRequested()) {
        write(stdout, RapportOptions::helpText());
        return cli::Done;
    }
    RapportDatabase database;
    if (!database.open(options.databasePath()))
        return fail(database.error(), cli::Failed);
    if (options.listsRequested()) {
        try {
            write(stdout, options.listsText(database.de().Connection2()));
            return cli::Done;
        } catch (const DbError& e) {
            return fail(QStringLiteral("base de données inutilisable\u00a0: %1")
                            .arg(DatabaseCheck::causeInWords(e)),
                        cli::Failed);
        }
    }
    for (const QString& output :
         {options.pdfPath(), options.detailsCsvPath(), options.csvPath(), options.picturePath()})
        if (!output.isEmpty() && sameFile(output, database.de().filePath()))
            return fail(QStringLiteral("«\u00a0%1\u00a0» est la base de données elle-même\u00a0: "
                                       "elle ne sera pas écrasée")
                            .arg(output),
                        PdfUnwritable);
    try {
        const std::optional<ParameterSet> parameters =
            options.parameterSet(database.de().Connection2());
        if (!parameters)
            return fail(options.error(), cli::Refused);
        // The parameter set holds numbers written with a point.
        const bool gatherDetails = options.detailsRequested() || options.analysisRequested() ||
                                   !options.detailsCsvPath().isEmpty() ||
                                   !options.csvPath().isEmpty() || !options.picturePath().isEmpty();
        const ReportOutcome report =
            ReportOutcome::run(database.de(), *parameters, {}, gatherDetails, QLocale::c());
        if (report.status == ReportOutcome::Status::Refused)
            return fail(report.reason, cli::Refused);
        if (report.status == ReportOutcome::Status::Failed)
            return fail(
                QStringLiteral("le rapport n'a pas pu être produit\u00a0: %1").arg(report.reason),
                ReportFailed);
        ReportPage page;
        fillReportPage(page, database.de(), report);
        if (const std::optional<int> failed = writeFiles(options, database.de(), report, page))
            return *failed;
        QJsonObject json = resultsJson(database.de(), report);
        if (options.detailsRequested())
            json.insert(QStringLiteral("details"), detailsJson(report.details));
        if (options.analysisRequested()) {
            ReportEngine engine(database.de(), QLocale::c());
            json.insert(QStringLiteral("analysis"),
                        DoseAnalysis::run(database.de().Connection2(), engine, *parameters,
                                          report.details, report.rows, QLocale::c())
                            .toJson());
        }
        write(stdout, QString::fromUtf8(QJsonDocument(json).toJson()));
    } catch (const DbError& e) {
        return fail(QStringLiteral("base de données inutilisable\u00a0: %1")
                        .arg(DatabaseCheck::causeInWords(e)),
                    cli::Failed);
    }
    return cli::Done;
}
