// The ratings behind a cell of the results window: where the page's cells lie, the help line
// under the pointer, the details window that a double click or the keyboard opens, its sorting
// and its CSV file.

#include "FixtureReports.h"
#include "StartedProgram.h"
#include "core/db/DE.h"
#include "core/db/ImportLog.h"
#include "core/report/ReportOutcome.h"
#include "core/text/CsvReader.h"
#include "core/text/CsvWriter.h"
#include "gui/results/frmDetails.h"
#include "gui/results/frmResults.h"
#include "render/Twips.h"
#include "render/TwipsSurface.h"

#include <QFrame>
#include <QHeaderView>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <functional>
#include <numeric>

using namespace grelavo;

namespace {

// A page cell's figure, "57  (2)": the truncated mean and the number of ratings.
struct Figure {
    int mean = 0;
    int count = 0;
};

std::optional<Figure> figureOf(const QString& text) {
    static const QRegularExpression figure(QStringLiteral("^(\\d+)  \\((\\d+)\\)$"));
    const QRegularExpressionMatch m = figure.match(text);
    if (!m.hasMatch() || m.captured(2).toInt() == 0)
        return std::nullopt;
    return Figure{m.captured(1).toInt(), m.captured(2).toInt()};
}

QTableWidget* tableOf(frmDetails* d) {
    return d ? d->findChild<QTableWidget*>(QStringLiteral("lstEvaluations")) : nullptr;
}

int columnOf(const QTableWidget* table, const QString& heading) {
    for (int k = 0; k < table->columnCount(); ++k)
        if (table->horizontalHeaderItem(k)->text() == heading)
            return k;
    return -1;
}

// The ratings of the details window, top to bottom as shown.
QVector<int> ratingsShown(const QTableWidget* table) {
    const int column = columnOf(table, QStringLiteral("Évaluation (%)"));
    QVector<int> out;
    for (int row = 0; row < table->rowCount(); ++row)
        out << table->item(row, column)->text().toInt();
    return out;
}

// A click where the window system would send it: to the window, at the widget's point.
void clickAt(QWidget* w, const QPoint& at) {
    QTest::mouseClick(w->window()->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      w->mapTo(w->window(), at));
}

// The window of a page cell opened by a double click, and the cell's figure: its rows are the
// cell's ratings, its summary the cell's mean.
void checkRatingsOf(frmDetails* d, const QString& label, int percent, const Figure& figure) {
    QVERIFY2(d, qPrintable(label));
    QTableWidget* table = tableOf(d);
    QCOMPARE(table->rowCount(), figure.count);
    const QVector<int> ratings = ratingsShown(table);
    QCOMPARE(std::accumulate(ratings.begin(), ratings.end(), 0) / figure.count, figure.mean);
    const QString title = d->findChild<QLabel*>(QStringLiteral("lblTitre"))->text();
    QVERIFY2(title.startsWith(QStringLiteral("%1 à %2 % des taux entrés").arg(label).arg(percent)),
             qPrintable(title));
    QVERIFY(title.contains(QStringLiteral("atrazine 1 kg i.a./ha")));
    const QString summary = d->findChild<QLabel*>(QStringLiteral("lblResume"))->text();
    QVERIFY2(summary.contains(QStringLiteral("moyenne\u00a0: %1 ").arg(figure.mean)),
             qPrintable(summary));
    // The trials and the ratings reaching 80 % that the summary counts are those listed.
    QSet<QString> sites;
    const int site = columnOf(table, QStringLiteral("Essai (site)"));
    for (int row = 0; row < table->rowCount(); ++row)
        sites.insert(table->item(row, site)->text());
    const int reaching =
        int(std::count_if(ratings.begin(), ratings.end(), [](int v) { return v >= 80; }));
    QVERIFY2(summary.contains(QStringLiteral("\n%1 essai").arg(sites.size())), qPrintable(summary));
    QVERIFY2(summary.contains(QStringLiteral("au moins 80 %\u00a0: %1 sur %2\u00a0: ")
                                  .arg(reaching)
                                  .arg(figure.count)),
             qPrintable(summary));
}

} // namespace

class TestCellDetails : public QObject {
    Q_OBJECT

private:
    // The results window alone on the fixture database (with more ratings when told), showing
    // atrazine at 1 kg/ha with the ratings behind its cells.
    struct Shown {
        FixtureDatabase fixture;
        DE de{fixture.folder()};
        RecordingDialogs dialogs;
        frmResults window{de, dialogs};
        QString help;

        explicit Shown(const QString& moreRatings = QString(),
                       const ParameterSet& p = atrazine(QStringLiteral("1")))
            : Shown(p, [&moreRatings](Connection& db) {
                  if (!moreRatings.isEmpty())
                      db.executeScript(moreRatings);
              }) {}
        // The report of 'p' once 'prepare' has changed the database.
        Shown(const ParameterSet& p, const std::function<void(Connection&)>& prepare) {
            prepare(de.Connection2());
            window.setHelpLine([this](const QString& text) { help = text; });
            const ReportOutcome report = ReportOutcome::run(de, p, {}, true, QLocale::c());
            QVERIFY(report.shown());
            window.resize(800, 600);
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            window.Set_Preview(report);
        }
        const ReportPage& page() const { return window.page(); }
        QWidget* picture() const { return window.findChild<QWidget*>(QStringLiteral("Picture2")); }
        // The middle of a page cell, in the window.
        QPoint pointOf(const ReportPage::Cell& cell) const {
            const QPointF middle = page().cellRect(cell).center() / Twips::PerPixel;
            return picture()->mapTo(&window, middle.toPoint());
        }
        // The cells of the page that show ratings, with their label and figure.
        struct Shows {
            ReportPage::Cell cell;
            QString label;
            Figure figure;
        };
        QVector<Shows> cellsWithRatings() const {
            QVector<Shows> out;
            for (const ReportList::Item& item : page().list().items)
                for (int k = 0; k < item.subItems.size(); ++k)
                    if (const auto figure = figureOf(item.subItems.at(k)))
                        out.push_back({{item.noId, k}, item.text.trimmed(), *figure});
            return out;
        }
    };

private slots:
    // The page drawn on a surface that logs its texts: each text of the table lies in the cell
    // the hit-test gives at its middle, and nothing outside the dose columns is a cell.
    void hitTestAgreesWithTheDrawnTable() {
        Shown s;
        QImage image(700, 1200, QImage::Format_RGB32);
        QPainter painter(&image);
        painter.scale(1.0 / Twips::PerPixel, 1.0 / Twips::PerPixel);
        ReportPage& page = s.window.page();
        TwipsSurface surface(painter, page.PageWidth);
        page.DrawReport(surface);

        const ReportList& list = page.list();
        const QVector<TwipsSurface::Text>& texts = surface.texts();
        qsizetype start = 0;
        while (start < texts.size() && texts.at(start).text != list.items.first().text)
            ++start;
        QVERIFY(start + 6 * list.items.size() <= texts.size());
        for (int i = 0; i < list.items.size(); ++i) {
            const ReportList::Item& item = list.items.at(i);
            QVERIFY(!page.cellAt(texts.at(start + 6 * i).rect.center())); // the label
            for (int k = 0; k < 5; ++k) {
                const TwipsSurface::Text& drawn = texts.at(start + 6 * i + 1 + k);
                QCOMPARE(drawn.text, item.subItems.value(k));
                const ReportPage::Cell cell{item.noId, k};
                QVERIFY2(page.cellAt(drawn.rect.center()) == cell,
                         qPrintable(QStringLiteral("row %1, fraction %2").arg(item.noId).arg(k)));
                const QRectF r = page.cellRect(cell);
                QVERIFY(r.contains(drawn.rect));
                QVERIFY(page.cellAt(r.topLeft()) == cell);
                QVERIFY(page.cellAt(r.bottomRight() - QPointF(1, 1)) == cell);
            }
        }
        const QRectF first = page.cellRect({list.items.first().noId, 0});
        const QRectF last = page.cellRect({list.items.last().noId, 4});
        QVERIFY(!page.cellAt(first.topLeft() - QPointF(0, 1)));            // the headings
        QVERIFY(!page.cellAt(last.bottomRight() + QPointF(-1, 1)));        // the footnote
        QVERIFY(!page.cellAt(last.topRight() + QPointF(1, 1)));            // right of the table
        QVERIFY(page.cellRect({list.items.last().noId + 1, 0}).isEmpty()); // no such row
    }

    // What the help line says under the pointer: the cell's figure and what a double click does,
    // why a cell opens nothing, and nothing beside the dose columns.
    void helpLineNamesTheCellUnderThePointer() {
        Shown s;
        const auto move = [&s](const ReportPage::Cell& cell) {
            QTest::mouseMove(s.window.windowHandle(), s.pointOf(cell));
            return s.help;
        };
        QCOMPARE(move({1, 0}), QStringLiteral("Graminées annuelles, 50 % des taux\u00a0: 57 (2) — "
                                              "double-cliquez pour voir les évaluations"));
        QCOMPARE(move({3, 4}), QStringLiteral("sétaire verte, 100 % des taux\u00a0: 85 (1) — "
                                              "double-cliquez pour voir les évaluations"));
        const QString none = QStringLiteral(
            "sétaire verte, 60 % des taux\u00a0: aucune évaluation à cette fraction de dose");
        QCOMPARE(move({3, 1}), none);
        QTest::mouseMove(s.window.windowHandle(), s.pointOf({3, 0}) - QPoint(100, 0));
        QVERIFY2(s.help.isEmpty(), qPrintable(s.help));
        // A double click there opens nothing and says why.
        s.help.clear();
        QTest::mouseDClick(s.window.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                           s.pointOf({3, 1}));
        QVERIFY(!s.window.detailsWindow());
        QCOMPARE(s.help, none);
    }

    // Every cell that shows ratings, double-clicked, opens a window of these ratings; Escape
    // closes it.
    void doubleClickOpensTheRatingsOfTheCell() {
        Shown s;
        const QVector<Shown::Shows> cells = s.cellsWithRatings();
        QVERIFY(cells.size() >= 5);
        for (const Shown::Shows& c : cells) {
            const QPoint at = s.pointOf(c.cell);
            QVERIFY(s.window.rect().contains(at));
            QTest::mouseDClick(s.window.windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
            frmDetails* d = s.window.detailsWindow();
            checkRatingsOf(d, c.label, DetailContext::fractionPercents().at(c.cell.fraction),
                           c.figure);
            if (QTest::currentTestFailed())
                return;
            QVERIFY(QTest::qWaitForWindowActive(d));
            UserInput::key(Qt::Key_Escape);
            QTRY_VERIFY(!s.window.detailsWindow());
        }
    }

    // The arrow keys move a frame over the weeds' and categories' cells, blank rows skipped,
    // the page following it; Enter opens the selected cell.
    void keyboardSelectsACellAndEnterOpensIt() {
        Shown s;
        auto* frame = s.window.findChild<QFrame*>(QStringLiteral("shpSelection"));
        QVERIFY(!frame->isVisible());
        const auto selected = [&s] { return s.window.selectedCell().value_or(ReportPage::Cell{}); };
        const auto press = [](Qt::Key key, int times) {
            for (int i = 0; i < times; ++i)
                UserInput::key(key);
        };
        UserInput::key(Qt::Key_Down);
        QVERIFY(selected() == (ReportPage::Cell{1, 0}));
        QVERIFY(frame->isVisible());
        const QPointF middle = s.page().cellRect({1, 0}).center() / Twips::PerPixel;
        QVERIFY((QRectF(frame->geometry()).center() - middle).manhattanLength() <= 1);
        QVERIFY(s.help.endsWith(QStringLiteral("appuyez sur Entrée pour voir les évaluations")));
        press(Qt::Key_Right, 6);
        QVERIFY(selected() == (ReportPage::Cell{1, 4}));
        press(Qt::Key_Down, 3);
        QVERIFY(selected() == (ReportPage::Cell{8, 4})); // rows 4 to 7 are blank
        // Down to the last row: the page scrolls to keep the frame in sight.
        QScrollBar* bar = s.window.findChild<QScrollBar*>(QStringLiteral("VScroll1"));
        QVERIFY(bar->isVisible());
        const auto inSight = [&s, frame, bar] {
            const QRect shown(frame->mapTo(&s.window, QPoint(0, 0)), frame->size());
            return QRect(0, 0, bar->x(), s.window.height()).contains(shown);
        };
        const int rest = bar->value();
        press(Qt::Key_Down, 40);
        QCOMPARE(selected().noId, s.page().list().items.last().noId);
        QVERIFY(bar->value() > rest && inSight());
        const int bottom = bar->value();
        press(Qt::Key_Up, 40);
        QVERIFY(bar->value() < bottom && inSight());
        press(Qt::Key_Left, 4);
        UserInput::key(Qt::Key_Down);
        QVERIFY(selected() == (ReportPage::Cell{2, 0}));
        UserInput::key(Qt::Key_Return);
        checkRatingsOf(s.window.detailsWindow(), QStringLiteral("pied-de-coq"), 50,
                       *figureOf(s.page().list().items.at(1).subItems.at(0)));
    }

    // In the user's number format: a click on the rating heading sorts by value, not by text,
    // and the saved file holds what the report shows, then the rows as shown, in the user's
    // format (semicolons and decimal commas in French, commas and points in English).
    void ratingsSortAsNumbersAndSaveAsShown() {
        struct French {
            QLocale before;
            French() { QLocale::setDefault(QLocale(QLocale::French, QLocale::Canada)); }
            ~French() { QLocale::setDefault(before); }
        } french;
        // A second rating of the pied-de-coq in treatment 6: 100 sorts after 55 and 60.
        Shown s(QStringLiteral(R"(INSERT INTO "tblMHEval" ("TraitementId", "MHId", "Visuel")
                                  VALUES (6, 16, 100);)"));
        QTest::mouseDClick(s.window.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                           s.pointOf({2, 0}));
        frmDetails* d = s.window.detailsWindow();
        QVERIFY(d && QTest::qWaitForWindowActive(d));
        QTableWidget* table = tableOf(d);
        QHeaderView* header = table->horizontalHeader();
        const int column = columnOf(table, QStringLiteral("Évaluation (%)"));
        const QPoint heading(header->sectionViewportPosition(column) + 10, header->height() / 2);
        clickAt(header->viewport(), heading);
        QCOMPARE(ratingsShown(table), (QVector<int>{55, 60, 100}));
        clickAt(header->viewport(), heading);
        QCOMPARE(ratingsShown(table), (QVector<int>{100, 60, 55}));
        const int pH = columnOf(table, QStringLiteral("pH"));
        QCOMPARE(table->item(0, pH)->text(), QStringLiteral("7,2")); // treatment 6's site

        QTemporaryDir dir;
        auto* save = d->findChild<QWidget*>(QStringLiteral("cmdEnregistrer"));
        const auto saved = [&](const QString& name) {
            s.dialogs.saveAnswer = dir.filePath(name);
            clickAt(save, save->rect().center());
            return fileBytes(s.dialogs.saveAnswer);
        };
        const QByteArray bytes = saved(QStringLiteral("évaluations.csv"));
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        // What the report shows and which cell, each line after "#", then an empty line.
        const QStringList all = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
        const int blank = int(all.indexOf(QString()));
        QVERIFY(blank > 0);
        for (const QString& line : all.mid(0, blank))
            QVERIFY2(line.startsWith(QStringLiteral("#;")), qPrintable(line));
        const QStringList reportLines = s.page().about().lines();
        QVERIFY(reportLines.contains(QStringLiteral("Tolérance\u00a0: ± 5 % des taux entrés")));
        for (const QString& line : reportLines)
            QVERIFY2(all.mid(0, blank).contains(
                         QStringLiteral("#;") +
                         CsvWriter::field(line, CsvWriter::Cells::Formulas, QLatin1Char(';'))),
                     qPrintable(line));
        QVERIFY2(all.at(blank - 1).contains(QStringLiteral("pied-de-coq à 50 % des taux entrés")),
                 qPrintable(all.at(blank - 1)));

        CsvReader::Table csv;
        int line = 0;
        const QByteArray table1 = all.mid(blank + 1).join(QStringLiteral("\r\n")).toUtf8();
        QVERIFY(CsvReader::read(table1, &csv, &line).isEmpty());
        QCOMPARE(csv.separator, QLatin1Char(';'));
        QCOMPARE(csv.headings.size(), table->columnCount());
        QCOMPARE(csv.rows.size(), table->rowCount());
        for (int k = 0; k < table->columnCount(); ++k)
            QCOMPARE(csv.headings.at(k), table->horizontalHeaderItem(k)->text());
        // In French, every field as shown: the ratings in their order, "7,2" with its comma.
        for (int row = 0; row < table->rowCount(); ++row)
            for (int k = 0; k < table->columnCount(); ++k)
                QCOMPARE(csv.rows.at(row).fields.value(k), table->item(row, k)->text());

        // In English: commas between fields, points in numbers.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::Canada));
        const QByteArray english = saved(QStringLiteral("ratings.csv"));
        const QStringList lines = QString::fromUtf8(english.mid(3)).split(QStringLiteral("\r\n"));
        const int gap = int(lines.indexOf(QString()));
        QVERIFY(gap > 0 && lines.at(0).startsWith(QStringLiteral("#,")));
        QVERIFY(
            CsvReader::read(lines.mid(gap + 1).join(QStringLiteral("\r\n")).toUtf8(), &csv, &line)
                .isEmpty());
        QCOMPARE(csv.separator, QLatin1Char(','));
        QCOMPARE(csv.rows.at(0).fields.value(pH), QStringLiteral("7.2"));
        QCOMPARE(csv.rows.at(0).fields.value(column), QStringLiteral("100"));
    }

    // A mixture entered dicamba first: the window names the products in that order, each rate
    // against its own entered rate; a treatment and a site added by an import show the keys they
    // were imported with, the others their numbers.
    void productsInTheFormsOrderAndImportedKeys() {
        ParameterSet p = atrazine(QStringLiteral("1"));
        p.cbbHerbApp[0] = {QStringLiteral("dicamba"), 11};
        p.SelectedHerbicideId[0] = 11;
        p.txtTaux[0] = p.EnteredRate[0] = QStringLiteral("0.6");
        p.cbbHerbApp[1] = {QStringLiteral("atrazine"), 10};
        p.SelectedHerbicideId[1] = 10;
        p.txtTaux[1] = p.EnteredRate[1] = QStringLiteral("1");
        Shown s(p, [](Connection& db) {
            ImportLog::ensureTables(db);
            ImportLog::add(db, ImportRecord{QStringLiteral("2026-01-05T10:00:00"), {}, {}, {}},
                           {{QStringLiteral("traitement"), QStringLiteral("NT-2"), 2},
                            {QStringLiteral("site"), QStringLiteral("S-Nord"), 1}});
        });
        const QVector<Shown::Shows> cells = s.cellsWithRatings();
        QVERIFY(!cells.isEmpty());
        QTest::mouseDClick(s.window.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                           s.pointOf(cells.first().cell));
        QTableWidget* table = tableOf(s.window.detailsWindow());
        QVERIFY(table && table->rowCount() > 0);
        const auto at = [table](int row, const char* heading) {
            return table->item(row, columnOf(table, QString::fromUtf8(heading)))->text();
        };
        for (int row = 0; row < table->rowCount(); ++row) {
            QCOMPARE(at(row, "Herbicide 1"), QStringLiteral("dicamba"));
            QCOMPARE(at(row, "Herbicide 2"), QStringLiteral("atrazine"));
            QCOMPARE(at(row, "Dose 1 (% du taux entré)"), QStringLiteral("50"));
            QCOMPARE(at(row, "Dose 2 (% du taux entré)"), QStringLiteral("50"));
            QCOMPARE(at(row, "Traitement"), QStringLiteral("NT-2"));
            QCOMPARE(at(row, "Essai (site)"), QStringLiteral("S-Nord"));
        }
    }

    // In the program: the report's cells open their ratings, and the status bar names them.
    void theProgramOpensTheRatingsOfItsReport() {
        StartedProgram s;
        s.chooseAtrazineOnAllCorn(QStringLiteral("1"));
        s.window->cmdRapport_Click();
        QVERIFY(s.window->state().ResultsShown);
        frmResults* results = s.window->results();
        auto* picture = results->findChild<QWidget*>(QStringLiteral("Picture2"));
        const QPoint at =
            picture->mapTo(s.window.get(),
                           (results->page().cellRect({1, 0}).center() / Twips::PerPixel).toPoint());
        QVERIFY(s.window->rect().contains(at));
        QTest::mouseMove(s.window->windowHandle(), at);
        QCOMPARE(s.status(1), QStringLiteral("Graminées annuelles, 50 % des taux\u00a0: 57 (2) — "
                                             "double-cliquez pour voir les évaluations"));
        QTest::mouseDClick(s.window->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
        checkRatingsOf(results->detailsWindow(), QStringLiteral("Graminées annuelles"), 50,
                       {57, 2});
        // Closed, the main window forward again (a window manager's doing), the keys go back to
        // the page: the cell below, then its ratings.
        QVERIFY(QTest::qWaitForWindowActive(results->detailsWindow()));
        UserInput::key(Qt::Key_Escape);
        QTRY_VERIFY(!results->detailsWindow());
        s.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
        UserInput::key(Qt::Key_Down);
        UserInput::key(Qt::Key_Return);
        checkRatingsOf(results->detailsWindow(), QStringLiteral("pied-de-coq"), 50, {57, 2});
    }
};

QTEST_MAIN(TestCellDetails)
#include "TestCellDetails.moc"
