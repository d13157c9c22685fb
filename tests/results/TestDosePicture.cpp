// The dose-response picture of reports the engine computes on the fixture database: what it
// plots against the ratings behind the cells, its window, and the way to it from the menus.

#include "FixtureReports.h"
#include "PopplerText.h"
#include "StartedProgram.h"
#include "db/DE.h"
#include "db/DbError.h"
#include "render/DoseResponsePlot.h"
#include "report/ReportEngine.h"
#include "results/frmCourbes.h"

#include <QAction>
#include <QClipboard>
#include <QListWidget>
#include <QProcess>
#include <QStandardPaths>
#include <csignal>
#include <map>
#include <sys/resource.h>

using namespace grelavo;
using Plot = DoseResponsePlot;

namespace {

// A report run on the fixture database, with the ratings behind its cells and its rows.
struct Report {
    FixtureDatabase fixture;
    DE de{fixture.folder()};
    ReportDetails details;
    QVector<ResultsRow> rows;

    explicit Report(const ParameterSet& p, const QString& sql = {}) {
        if (!sql.isEmpty())
            de.Connection2().executeScript(sql);
        ReportEngine engine(de, QLocale::c());
        engine.setGatherDetails(true);
        QVERIFY(engine.SetQuery(p));
        details = engine.details();
        rows = ResultsTable::read(de.Connection2());
    }
    QVector<qint64> everyRow() const {
        QVector<qint64> ids;
        for (const PlotRow& r : Plot::rowsWithRatings(details, rows))
            ids << r.noId;
        return ids;
    }
    const ResultsRow& row(qint64 noId) const {
        return *std::find_if(rows.cbegin(), rows.cend(),
                             [noId](const ResultsRow& r) { return r.NoId == noId; });
    }
};

// Atrazine at 1 kg/ha with the user's weeds: souchet comestible (rated), prêle (never rated).
ParameterSet withUserWeeds(const QString& rate = QStringLiteral("1"), qint16 tolerance = 5) {
    ParameterSet p = atrazine(rate, tolerance);
    p.cbbMauvHerb[0] = {QStringLiteral("souchet comestible"), 200};
    p.cbbMauvHerb[1] = {QStringLiteral("prêle des champs"), 201};
    return p;
}

// A weed whose id is also a category's, and equal ratings in one cell.
const QString kAwkwardRatings = QStringLiteral(
    "INSERT INTO ListedesMauvaisesHerbes VALUES (2, 'ivraie', NULL, NULL, 1);"
    "INSERT INTO tblMHEval (TraitementId, MHId, Visuel) VALUES (1, 2, 30), (4, 2, 35),"
    " (6, 34, 55), (6, 2, 55);");

QStringList listTexts(const QListWidget* list, bool checkedOnly = false) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        if (!checkedOnly || list->item(i)->checkState() == Qt::Checked)
            texts << list->item(i)->text();
    return texts;
}

} // namespace

class TestDosePicture : public QObject {
    Q_OBJECT

private slots:
    // Every series is exactly its row's ratings, fraction by fraction, and the row's cells:
    // mean and "n = " as the table writes them, segments only between neighbouring fractions
    // that both have ratings, nothing where there are none.
    void seriesAreTheRatingsAndTheCellsOfTheRow() {
        const std::pair<ParameterSet, QString> reports[] = {
            {atrazine(QStringLiteral("1")), {}},
            {withUserWeeds(), {}},
            {withUserWeeds(QStringLiteral("0.625"), 20), {}},
            {withUserWeeds(QStringLiteral("0.5"), 25), kAwkwardRatings}};
        int segments = 0, spread = 0; // the cases the reports must reach
        for (const auto& [parameters, sql] : reports) {
            const Report r(parameters, sql);
            const QVector<qint64> every = r.everyRow();
            const Plot plot = Plot::lay(r.details, r.rows, every);
            QVERIFY(!plot.series.isEmpty());
            QStringList legend;
            for (const Plot::LegendEntry& e : plot.legend)
                legend << e.text.text;
            QStringList names;
            QSet<double> places;                   // each series beside the others at a fraction
            std::map<int, QVector<QRectF>> labels; // the counts of each fraction
            for (const Plot::Series& s : plot.series) {
                names << s.name;
                QVERIFY(qAbs(s.dodge) <= Plot::MostDodge);
                places.insert(s.dodge);
                QCOMPARE(s.name, r.row(s.noId).Results->trimmed());
                std::multimap<int, int> plotted, rated; // fraction → rating
                for (const Plot::Point& p : s.points) {
                    plotted.insert({p.fraction, p.value});
                    const double percent = Plot::fractionPercents().at(p.fraction) + s.dodge;
                    QCOMPARE(p.at.y(), plot.yFor(p.value));
                    QVERIFY(p.at.x() >= plot.xFor(percent - Plot::MostJitter) - 0.01 &&
                            p.at.x() <= plot.xFor(percent + Plot::MostJitter) + 0.01);
                    for (const Plot::Point& q : s.points) { // equal ratings stay apart
                        const bool equal =
                            &p != &q && p.fraction == q.fraction && p.value == q.value;
                        QVERIFY(!equal || qAbs(p.at.x() - q.at.x()) > 10);
                        spread += equal;
                    }
                }
                QVector<int> withRatings;
                for (int k = 0; k < 5; ++k) {
                    if (const CellDetail* cell = r.details.cell(s.noId, k)) {
                        withRatings << k;
                        for (const DetailRating& rating : cell->ratings)
                            rated.insert({k, rating.visual});
                    }
                }
                QCOMPARE(plotted, rated);
                QCOMPARE(s.means.size(), withRatings.size());
                int neighbours = 0;
                for (int i = 0; i < s.means.size(); ++i) {
                    const Plot::Mean& m = s.means[i];
                    QCOMPARE(m.fraction, withRatings[i]);
                    const ResultsRow& row = r.row(s.noId);
                    QCOMPARE(QString::number(m.value), row.cells[2 * m.fraction]->trimmed());
                    QCOMPARE(QString::number(m.count), row.cells[2 * m.fraction + 1]->trimmed());
                    QCOMPARE(m.at,
                             QPointF(plot.xFor(Plot::fractionPercents().at(m.fraction) + s.dodge),
                                     plot.yFor(m.value)));
                    QCOMPARE(m.label.text, QStringLiteral("n = %1").arg(m.count));
                    labels[m.fraction] << m.label.rect;
                    QVERIFY(m.label.rect.center().y() >= m.at.y() - 0.01); // at it or pushed down
                    if (i > 0 && withRatings[i - 1] == m.fraction - 1)
                        QVERIFY(s.segments.value(neighbours++) == QLineF(s.means[i - 1].at, m.at));
                }
                QCOMPARE(s.segments.size(), neighbours);
                segments += neighbours;
            }
            QCOMPARE(places.size(), plot.series.size());
            // The counts right of every mean of their fraction, none over another.
            for (const auto& [k, rects] : labels) {
                for (const Plot::Series& s : plot.series)
                    for (const Plot::Mean& m : s.means)
                        QVERIFY(m.fraction != k || rects.first().left() > m.at.x());
                for (const QRectF& a : rects)
                    for (const QRectF& b : rects)
                        QVERIFY(&a == &b || !a.intersects(b));
            }
            QCOMPARE(legend, names);
            QCOMPARE(plot.xTitle.text, QStringLiteral("Fraction de la dose entrée (%)"));
            QCOMPARE(plot.yTitle.text, QStringLiteral("Destruction visuelle (%)"));
            QCOMPARE(plot.xTicks, QVector<int>({50, 60, 70, 80, 100}));
            QCOMPARE(plot.yTicks.first(), 0);
            QCOMPARE(plot.yTicks.last(), 100);
            QVERIFY(plot.note.text.contains(QStringLiteral("tronquées")));
        }
        QVERIFY(segments > 0 && spread > 0);
    }

    // Only the chosen rows with ratings, in the report's order; the heading of the user's weeds
    // listed but never a series.
    void rowsWithRatingsAndTheChoice() {
        const Report r(withUserWeeds());
        QStringList listed;
        for (const PlotRow& row : Plot::rowsWithRatings(r.details, r.rows))
            listed << QString::number(int(row.kind)) + row.label;
        QCOMPARE(listed, (QStringList{"0Graminées annuelles", "1pied-de-coq", "1sétaire verte",
                                      "0Dicotylédones annuelles", "1chénopode blanc",
                                      "2Sélection de l'utilisateur", "1souchet comestible"}));
        // The usual report: 50 and 100 % only, so the means are not joined.
        const Plot plot = Plot::lay(r.details, r.rows, {9, 30, 1, 31, 32, 33, 4});
        QCOMPARE(plot.series.size(), 3);
        const Plot::Series& grasses = plot.series[0];
        QCOMPARE(grasses.name, QStringLiteral("Graminées annuelles"));
        QCOMPARE(grasses.means.size(), 2);
        QCOMPARE(grasses.means[0].value * 100 + grasses.means[0].count, 5702);
        QCOMPARE(grasses.means[1].value * 100 + grasses.means[1].count, 8702);
        QVERIFY(grasses.segments.isEmpty());
        QCOMPARE(plot.series[1].name, QStringLiteral("chénopode blanc"));
        QCOMPARE(plot.series[2].name, QStringLiteral("souchet comestible"));
        QVERIFY(plot.series[0].colour != plot.series[1].colour);
        QVERIFY(plot.warning.text.isEmpty());
        QVERIFY(Plot::lay(r.details, r.rows, {1}, QSizeF(9000, 6000), true)
                    .warning.text.startsWith(QStringLiteral("DONNÉES SYNTHÉTIQUES")));
    }

    // The list checks the categories and the first weeds; Space on a row adds it to the
    // picture. Copier, Imprimer and Enregistrer give the picture in each kind of file.
    void windowShowsTheChosenRowsAndGivesThePicture() {
        const Report r(withUserWeeds());
        RecordingDialogs dialogs;
        frmCourbes window(dialogs, r.details, r.rows,
                          ReportStamp::withoutEdition(QDate(2027, 2, 3)));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* list = window.findChild<QListWidget*>(QStringLiteral("lstCourbes"));
        QCOMPARE(listTexts(list, true),
                 (QStringList{"Graminées annuelles", "    pied-de-coq", "    sétaire verte",
                              "Dicotylédones annuelles", "    chénopode blanc"}));
        QCOMPARE(list->item(5)->flags() & Qt::ItemIsUserCheckable, Qt::NoItemFlags);
        QCOMPARE(window.shown().series.size(), 5);
        QCOMPARE(QApplication::focusWidget(), list);
        UserInput::key(Qt::Key_End);
        UserInput::key(Qt::Key_Space);
        QCOMPARE(window.shown().series.size(), 6);
        QCOMPARE(window.shown().series.last().name, QStringLiteral("souchet comestible"));
        UserInput::key(Qt::Key_Home);
        UserInput::key(Qt::Key_Space);
        QCOMPARE(window.shown().series.first().name, QStringLiteral("pied-de-coq"));
        QCOMPARE(window.picture().series.size(), 5);

        QGuiApplication::clipboard()->clear();
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdCopier")),
                          Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->image(), window.picture().image());

        QTemporaryDir dir;
        dialogs.printFile = dir.filePath(QStringLiteral("printed.pdf"));
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdImprimer")),
                          Qt::LeftButton);
        QCOMPARE(dialogs.printJobName, QStringLiteral("Grelavo - courbes dose-réponse 2027-02-03"));
        QVERIFY(popplerText("pdfinfo", {dialogs.printFile})
                    .contains(QRegularExpression("Pages:\\s+1\\n")));

        const std::pair<const char*, QByteArray> kinds[] = {{"c.png", "\x89PNG\r\n\x1a\n"},
                                                            {"c.svg", "<?xml"},
                                                            {"c.pdf", "%PDF-"},
                                                            {"c", "\x89PNG"}};
        for (const auto& [name, signature] : kinds) {
            dialogs.saveAnswer = dir.filePath(QLatin1String(name));
            QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdEnregistrer")),
                              Qt::LeftButton);
            const QString written =
                dialogs.saveAnswer + (QFileInfo(name).suffix().isEmpty() ? ".png" : "");
            QVERIFY2(fileBytes(written).startsWith(signature), name);
        }
        QCOMPARE(dialogs.saveQuestions.last(),
                 (QStringList{"Enregistrer les courbes dose-réponse",
                              "Grelavo - courbes dose-réponse 2027-02-03.png",
                              "Image PNG (*.png);;Image SVG (*.svg);;Document PDF (*.pdf)"}));
        QVERIFY(fileBytes(dir.filePath("c.svg")).contains("Destruction visuelle (%)"));
        const QString pdf = dir.filePath(QStringLiteral("c.pdf"));
        QVERIFY(popplerText("pdfinfo", {pdf}).contains(QRegularExpression("Pages:\\s+1\\n")));
        QVERIFY(popplerText("pdftotext", {pdf, "-"}).contains("Fraction de la dose entrée (%)"));
        QVERIFY(dialogs.messages.isEmpty());

        // A write that fails (the file may not grow past a few bytes, as on a full disk) is
        // said and leaves the file there as it was.
        const QByteArray before = fileBytes(pdf);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit saved = limit;
        limit.rlim_cur = 4096;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
        dialogs.saveAnswer = pdf;
        window.saveAs();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages[0].text.contains(QStringLiteral("n'a pas pu être écrit")));
        QCOMPARE(fileBytes(pdf), before);
    }

    // From the main window by the keyboard once a report is shown, Escape closing it.
    void windowOpensFromTheReportMenuAndClosesWithEscape() {
        StartedProgram s;
        auto* entry = s.get<QAction>(QStringLiteral("mnuCourbes"));
        QVERIFY(!entry->isEnabled());
        s.chooseAtrazineOnAllCorn(QStringLiteral("1"));
        UserInput::key(Qt::Key_R, Qt::ControlModifier);
        QVERIFY(s.window->state().ResultsShown && entry->isEnabled());
        QStringList listed;
        int result = -1;
        whenModalShows([&](QWidget* modal) {
            QCOMPARE(modal->objectName(), QStringLiteral("frmCourbes"));
            QVERIFY(QTest::qWaitForWindowActive(modal));
            listed = listTexts(modal->findChild<QListWidget*>(), true);
            UserInput::key(Qt::Key_Escape);
            result = static_cast<QDialog*>(modal)->result();
        });
        UserInput::menuKeys(Qt::Key_R, Qt::Key_D);
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(!QApplication::activeModalWidget());
        s.window->activateWindow(); // as a window manager does once the dialog is gone
        QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
        QCOMPARE(listed, (QStringList{"Graminées annuelles", "    pied-de-coq", "    sétaire verte",
                                      "Dicotylédones annuelles", "    chénopode blanc"}));
        UserInput::menuKeys(Qt::Key_P, Qt::Key_O); // back on the form, the entry goes out again
        QVERIFY(!entry->isEnabled());
    }
};

QTEST_MAIN(TestDosePicture)
#include "TestDosePicture.moc"
