// The dose-response picture of reports the engine computes on the fixture database: what it
// plots against the ratings behind the cells, what it says under it, its window and the files
// it writes, and the way to it from the menus.

#include "FixtureReports.h"
#include "PopplerText.h"
#include "StartedProgram.h"
#include "core/db/DE.h"
#include "core/db/DbError.h"
#include "core/report/ReportEngine.h"
#include "gui/results/frmCourbes.h"
#include "render/DoseResponsePlot.h"
#include "render/Twips.h"

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

// Atrazine at 1 kg/ha before emergence on all corn, on the shipped database: five categories
// and some thirty weeds rated, a crowded picture when all are shown.
struct Shipped {};

// A report run on the fixture database, or on a copy of the shipped one, with the ratings
// behind its cells and its rows.
struct Report {
    std::unique_ptr<FixtureDatabase> fixture;
    QTemporaryDir copy;
    std::unique_ptr<DE> de;
    ReportDetails details;
    QVector<ResultsRow> rows;
    ReportAbout shows;

    explicit Report(const ParameterSet& p, const QString& sql = {})
        : fixture(std::make_unique<FixtureDatabase>()),
          de(std::make_unique<DE>(fixture->folder())) {
        if (!sql.isEmpty())
            de->Connection2().executeScript(sql);
        run(p);
    }
    explicit Report(Shipped) {
        QVERIFY(QFile::copy(QStringLiteral(GRELAVO_SHIPPED_DATABASE),
                            copy.filePath(QStringLiteral("Grelavo.mdb"))));
        de = std::make_unique<DE>(copy.path());
        ParameterSet p = atrazine(QStringLiteral("1"));
        p.cbbApp = {QStringLiteral("Prélevée"), 2};
        p.SelectedApplicationType = 2;
        p.cbbHerbApp[0] = {QStringLiteral("atrazine"), 1};
        p.SelectedHerbicideId[0] = 1;
        run(p);
    }
    void run(const ParameterSet& p) {
        ReportEngine engine(*de, QLocale::c());
        engine.setGatherDetails(true);
        QVERIFY(engine.SetQuery(p));
        details = engine.details();
        rows = ResultsTable::read(de->Connection2());
        shows = ReportAbout::of(p, ReportStamp::take(de->Connection2(), QDate(2027, 2, 3)));
    }
    // The same report as if its data were synthetic.
    ReportAbout synthetic() const {
        ReportAbout about = shows;
        about.stamp.edition.known = true;
        about.stamp.edition.synthetic = true;
        about.stamp.edition.name = QStringLiteral("Démonstration");
        return about;
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

// The texts of a picture's block, as drawn.
QStringList aboutTexts(const Plot& plot) {
    QStringList texts;
    for (const Plot::Text& t : plot.about)
        texts << t.text;
    return texts;
}

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
            const Plot plot = Plot::lay(r.details, r.rows, every, r.shows);
            QVERIFY(!plot.series.isEmpty());
            QStringList legend;
            for (const Plot::LegendEntry& e : plot.legend)
                legend << e.text.text;
            QStringList names;
            QSet<double> places; // each series beside the others at a fraction
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
                    if (i > 0 && withRatings[i - 1] == m.fraction - 1)
                        QVERIFY(s.segments.value(neighbours++) == QLineF(s.means[i - 1].at, m.at));
                }
                QCOMPARE(s.segments.size(), neighbours);
                segments += neighbours;
            }
            QCOMPARE(places.size(), plot.series.size());
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
        const Plot plot = Plot::lay(r.details, r.rows, {9, 30, 1, 31, 32, 33, 4}, r.shows);
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
        // The first choice: the categories alone, at most as many as asked.
        QVector<qint64> categories;
        for (const PlotRow& row : Plot::rowsWithRatings(r.details, r.rows))
            if (row.kind == PlotRow::Kind::Category)
                categories << row.noId;
        QCOMPARE(categories.size(), 2);
        QCOMPARE(Plot::firstChoice(r.details, r.rows), categories);
        QCOMPARE(Plot::firstChoice(r.details, r.rows, 1), categories.mid(0, 1));
    }

    // No count lies on a marker or on another count, on any report, at the picture's size and
    // at the smallest the window shows it; each series has its own colour and marker together;
    // past eight series the picture says it is crowded.
    void countsStayClearAndSeriesApart() {
        std::vector<std::unique_ptr<Report>> reports;
        reports.push_back(std::make_unique<Report>(withUserWeeds()));
        reports.push_back(
            std::make_unique<Report>(withUserWeeds(QStringLiteral("0.5"), 25), kAwkwardRatings));
        reports.push_back(std::make_unique<Report>(Shipped{}));
        int mostSeries = 0, moved = 0, left = 0, crowdedLeft = 0;
        for (const std::unique_ptr<Report>& report : reports) {
            const Report& r = *report;
            for (const QSizeF& size : {QSizeF(Plot::DefaultWidth, Plot::DefaultHeight),
                                       QSizeF(frmCourbes::SmallestView * Twips::PerPixel)}) {
                for (const QVector<qint64>& chosen :
                     {r.everyRow(), Plot::firstChoice(r.details, r.rows)}) {
                    const Plot plot = Plot::lay(r.details, r.rows, chosen, r.shows, size);
                    mostSeries = std::max(mostSeries, int(plot.series.size()));
                    QVector<QRectF> markers, counts;
                    QSet<QPair<QRgb, int>> looks;
                    for (const Plot::Series& s : plot.series) {
                        looks.insert({s.colour.rgb(), int(s.marker)});
                        // A marker reaches 0.575 of its size from its point, its outline further.
                        for (const Plot::Point& p : s.points)
                            markers << QRectF(p.at - QPointF(64, 64), QSizeF(128, 128));
                        for (const Plot::Mean& m : s.means) {
                            markers << QRectF(m.at - QPointF(109, 109), QSizeF(218, 218));
                            if (m.label.text.isEmpty()) { // no room for it
                                (plot.series.size() > 8 ? crowdedLeft : left) += 1;
                                continue;
                            }
                            counts << m.label.rect;
                            moved += m.label.rect.center().y() != m.at.y();
                        }
                    }
                    QCOMPARE(looks.size(), plot.series.size());
                    for (int i = 0; i < counts.size(); ++i) {
                        const QRectF& count = counts[i];
                        QVERIFY(QRectF(QPointF(0, 0), size).contains(count));
                        for (const QRectF& marker : markers)
                            QVERIFY2(
                                !count.intersects(marker),
                                qPrintable(QStringLiteral("count %1 on a marker at %2 × %3 twips")
                                               .arg(i)
                                               .arg(size.width())
                                               .arg(size.height())));
                        for (int j = 0; j < i; ++j)
                            QVERIFY(!count.intersects(counts[j]));
                    }
                    QCOMPARE(plot.crowded.text.isEmpty(), plot.series.size() <= 8);
                    if (!plot.crowded.text.isEmpty()) {
                        QCOMPARE(plot.crowded.text, Plot::crowdedText());
                        QVERIFY(plot.crowded.rect.bottom() <= plot.plotArea.top());
                    }
                }
            }
        }
        // A crowded picture, counts that had to move; only a crowded one leaves some out.
        QVERIFY(mostSeries > 8 && moved > 0);
        QCOMPARE(left, 0);
        qInfo("counts left out of crowded pictures: %d", crowdedLeft);
    }

    // Under the picture, what the report shows: the mixture with its rates and the other
    // parameters, the tolerance, the colophon, and the warning while the data are synthetic;
    // all of it inside the picture and under the plot and its note.
    void blockUnderThePictureSaysWhatItShows() {
        const Report r(atrazine(QStringLiteral("1")));
        for (const bool synthetic : {false, true}) {
            const ReportAbout shows = synthetic ? r.synthetic() : r.shows;
            for (const QSizeF& size : {QSizeF(Plot::DefaultWidth, Plot::DefaultHeight),
                                       QSizeF(frmCourbes::SmallestView * Twips::PerPixel)}) {
                const Plot plot = Plot::lay(r.details, r.rows, r.everyRow(), shows, size);
                const QStringList about = aboutTexts(plot);
                QVERIFY(about.contains("- Herbicide 1 = atrazine, Taux = 1 kg/ha"));
                QVERIFY(about.contains("- Tolérance\u00a0: ± 5 % des taux entrés"));
                QVERIFY(about.contains(QStringLiteral("Rapport du 2027-02-03, produit par "
                                                      "Grelavo ") +
                                       shows.stamp.programVersion));
                QCOMPARE(about.size(), shows.parameters.size() + 1 + shows.colophonLines().size());
                QCOMPARE(plot.aboutText, shows.lines());
                QCOMPARE(plot.warning.text,
                         synthetic ? ReportAbout::syntheticWarning() : QString());
                QCOMPARE(plot.warning.colour.red() > 150 && plot.warning.colour.green() < 50,
                         synthetic);
                QVector<QRectF> block;
                for (const Plot::Text& t : plot.about)
                    block << t.rect;
                if (synthetic)
                    block << plot.warning.rect;
                for (const QRectF& rect : block) {
                    QVERIFY(QRectF(QPointF(0, 0), size).contains(rect));
                    QVERIFY(rect.top() >= plot.note.rect.bottom());
                    QVERIFY(rect.top() >= plot.xTitle.rect.bottom());
                }
            }
        }
    }

    // The list checks the categories only; Space on a row adds it to the picture or takes it
    // out, "Tout cocher" and "Tout décocher" every row at once. Copier, Imprimer and
    // Enregistrer give the picture with what the report shows, in each kind of file.
    void windowShowsTheChosenRowsAndGivesThePicture() {
        const Report r(withUserWeeds());
        RecordingDialogs dialogs;
        frmCourbes window(dialogs, r.details, r.rows, r.synthetic());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* list = window.findChild<QListWidget*>(QStringLiteral("lstCourbes"));
        QCOMPARE(listTexts(list, true),
                 (QStringList{"Graminées annuelles", "Dicotylédones annuelles"}));
        QCOMPARE(list->item(5)->flags() & Qt::ItemIsUserCheckable, Qt::NoItemFlags);
        QCOMPARE(window.shown().series.size(), 2);
        QCOMPARE(QApplication::focusWidget(), list);
        UserInput::key(Qt::Key_End);
        UserInput::key(Qt::Key_Space);
        QCOMPARE(window.shown().series.size(), 3);
        QCOMPARE(window.shown().series.last().name, QStringLiteral("souchet comestible"));
        UserInput::key(Qt::Key_Home);
        UserInput::key(Qt::Key_Space);
        QCOMPARE(window.shown().series.first().name, QStringLiteral("Dicotylédones annuelles"));
        QCOMPARE(window.picture().series.size(), 2);

        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdToutCocher")),
                          Qt::LeftButton);
        QCOMPARE(listTexts(list, true).size(), 6);
        QCOMPARE(window.shown().series.size(), 6);
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdToutDecocher")),
                          Qt::LeftButton);
        QVERIFY(listTexts(list, true).isEmpty());
        QVERIFY(window.shown().series.isEmpty());
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdToutCocher")),
                          Qt::LeftButton);
        QCOMPARE(window.picture().series.size(), 6);
        QCOMPARE(window.shown().warning.text, ReportAbout::syntheticWarning());

        QGuiApplication::clipboard()->clear();
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdCopier")),
                          Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->image(), window.picture().image());
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY(copied.startsWith(QStringLiteral("Graminées annuelles — 50 %\u00a0: ")));
        for (const QString& line : r.synthetic().lines())
            QVERIFY2(copied.contains(line), qPrintable(line));

        QTemporaryDir dir;
        dialogs.printFile = dir.filePath(QStringLiteral("printed.pdf"));
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdImprimer")),
                          Qt::LeftButton);
        QCOMPARE(dialogs.printJobName, QStringLiteral("Grelavo - courbes dose-réponse 2027-02-03"));
        QVERIFY(popplerText("pdfinfo", {dialogs.printFile})
                    .contains(QRegularExpression("Pages:\\s+1\\n")));
        QVERIFY(popplerText("pdftotext", {dialogs.printFile, "-"})
                    .contains(QStringLiteral("Tolérance : ± 5 % des taux entrés")));

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
        // Each file carries the block: as text in the SVG and the PDF, in red in the PNG.
        const QString svg = QString::fromUtf8(fileBytes(dir.filePath("c.svg")));
        const QString pdf = dir.filePath(QStringLiteral("c.pdf"));
        QVERIFY(popplerText("pdfinfo", {pdf}).contains(QRegularExpression("Pages:\\s+1\\n")));
        const QString pdfText = popplerText("pdftotext", {pdf, "-"});
        for (const QString& text : {QStringLiteral("Destruction visuelle (%)"),
                                    QStringLiteral("Herbicide 1 = atrazine, Taux = 1 kg/ha"),
                                    QStringLiteral("Tolérance\u00a0: ± 5 % des taux entrés"),
                                    QStringLiteral("Rapport du 2027-02-03"),
                                    QStringLiteral("DONNÉES SYNTHÉTIQUES DE DÉMONSTRATION")}) {
            QVERIFY2(svg.contains(text), qPrintable(text));
            QVERIFY2(pdfText.contains(QString(text).replace(QChar(0xa0), QLatin1Char(' '))),
                     qPrintable(text));
        }
        QVERIFY(pdfText.contains(QStringLiteral("Fraction de la dose entrée (%)")));
        const QImage png(dir.filePath(QStringLiteral("c.png")));
        const Plot picture = window.picture();
        QCOMPARE(png.size(),
                 QSize(int(Plot::DefaultWidth) / 15 * 2, int(Plot::DefaultHeight) / 15 * 2));
        const QRect warning(picture.warning.rect.topLeft().toPoint() * 2 / 15,
                            picture.warning.rect.size().toSize() * 2 / 15);
        int red = 0;
        for (int y = warning.top(); y <= warning.bottom(); ++y)
            for (int x = warning.left(); x <= warning.right(); ++x) {
                const QColor c = png.pixelColor(x, y);
                red += c.red() > 150 && c.green() < 80 && c.blue() < 80;
            }
        QVERIFY(red > 50);
        QVERIFY(dialogs.messages.isEmpty());

        // A write that fails (the file may not grow past a few bytes, as on a full disk) is
        // said and leaves the file there as it was. No PDF fits in 64 bytes, whatever the fonts
        // installed make of its size.
        const QByteArray before = fileBytes(pdf);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit saved = limit;
        limit.rlim_cur = 64;
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

    // A report of many rows opens with its categories only; every row checked crowds the
    // picture, which says so, and unchecking them takes the line away.
    void crowdedPictureSaysSo() {
        const Report r{Shipped{}};
        RecordingDialogs dialogs;
        frmCourbes window(dialogs, r.details, r.rows, r.shows);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(window.shown().series.size() <= frmCourbes::FirstChecked);
        QVERIFY(window.shown().crowded.text.isEmpty());
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdToutCocher")),
                          Qt::LeftButton);
        QVERIFY(window.shown().series.size() > 8);
        QCOMPARE(window.shown().crowded.text, Plot::crowdedText());
        QCOMPARE(window.picture().crowded.text, Plot::crowdedText());
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdToutDecocher")),
                          Qt::LeftButton);
        QVERIFY(window.shown().crowded.text.isEmpty());
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
        QCOMPARE(listed, (QStringList{"Graminées annuelles", "Dicotylédones annuelles"}));
        UserInput::menuKeys(Qt::Key_P, Qt::Key_O); // back on the form, the entry goes out again
        QVERIFY(!entry->isEnabled());
    }
};

QTEST_MAIN(TestDosePicture)
#include "TestDosePicture.moc"
