// The results window on reports the engine computes on the fixture database: the table model,
// the page, scrolling, copying and printing, alone and inside the main window.

#include "FixtureDatabase.h"
#include "FixtureReports.h"
#include "ModalDriver.h"
#include "PopplerText.h"
#include "ProgramVersion.h"
#include "RecordingDialogs.h"
#include "core/db/DE.h"
#include "core/report/ReportOutcome.h"
#include "core/report/ReportStamp.h"
#include "gui/app/QtDialogService.h"
#include "gui/results/frmResults.h"
#include "gui/shared/FrenchQt.h"
#include "render/ReportList.h"
#include "render/ReportPage.h"
#include "render/TwipsSurface.h"

#include <QAccessible>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTransform>
#include <QTreeWidget>
#include <QWheelEvent>

#include <QtTest>

using namespace grelavo;

namespace {

// The texts of one list view item, its first column first.
QStringList itemTexts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int k = 0; k < item->columnCount(); ++k)
        texts << item->text(k);
    return texts;
}

// The day of the reports whose page the tests draw.
const QDate kReportDay(2027, 2, 3);

// Runs the report of 'p' and shows it in 'window'.
void showReport(DE& de, frmResults& window, const ParameterSet& p) {
    const ReportOutcome report = ReportOutcome::run(de, p, {}, true, QLocale::c());
    QVERIFY(report.shown() || report.noDataFound()); // ran to its end
    window.Set_Preview(report);
}

} // namespace

class TestResultsWindow : public QObject {
    Q_OBJECT

private:
    // The results window alone, over the fixture database or another, after the usual report.
    struct Window {
        FixtureDatabase fixture;
        DE de;
        RecordingDialogs dialogs;
        frmResults window{de, dialogs};

        explicit Window(qint16 tolerance = 5, const QString& folder = {})
            : de(folder.isEmpty() ? fixture.folder() : folder) {
            window.resize(800, 600);
            report(atrazine(QStringLiteral("1"), tolerance));
        }
        void report(const ParameterSet& p) { showReport(de, window, p); }
        QTreeWidget* list() { return window.findChild<QTreeWidget*>(QStringLiteral("lstView")); }
        QScrollBar* bar(const char* name) {
            return window.findChild<QScrollBar*>(QLatin1String(name));
        }
        QLabel* picture() { return window.findChild<QLabel*>(QStringLiteral("Picture2")); }
    };

    // The page drawn on a surface whose log the test reads.
    struct DrawnPage {
        QImage image{700, 1200, QImage::Format_RGB32};
        QPainter painter{&image};
        ReportPage page;
        TwipsSurface surface{painter, page.PageWidth};
        double height = 0;
        DrawnPage(qint32 totalCases, const QStringList& lines,
                  const ReportStamp& stamp = ReportStamp::withoutEdition(kReportDay),
                  int rows = 1) {
            painter.scale(1.0 / 15, 1.0 / 15);
            ReportList list;
            list.columns = ReportList::resultsColumns(5);
            list.items.push_back({QStringLiteral("Graminées annuelles"), QStringList(5, "  -  ")});
            for (int i = 2; i <= rows; ++i)
                list.items.push_back({QStringLiteral("     rang %1").arg(i),
                                      {"90  (12)", "  -  ", "  -  ", "  -  ", "  -  "}});
            page.setContent(totalCases, 5, lines, list);
            page.setStamp(stamp);
            height = page.DrawReport(surface);
        }
        const TwipsSurface::Text* find(const QString& text) const {
            for (const TwipsSurface::Text& t : surface.texts())
                if (t.text == text)
                    return &t;
            return nullptr;
        }
        // The bottom of the table's last row: where the page's last line is drawn.
        double tableEnd() const { return surface.lines().last().line.y2(); }
    };

    static ReportStamp stamp(bool synthetic) {
        DatabaseEdition edition;
        edition.known = true;
        edition.name = synthetic ? QStringLiteral("Démonstration (données synthétiques)")
                                 : QStringLiteral("Essais du réseau 2019-2023");
        edition.date = QStringLiteral("2026-12-07");
        edition.source = synthetic ? QStringLiteral("grelavo-makedb") : QStringLiteral("relevés");
        edition.synthetic = synthetic;
        return {kReportDay, QString::fromLatin1(ProgramVersion), edition};
    }

    static QString madeLine() {
        return QStringLiteral("Rapport du 2027-02-03, produit par Grelavo ") +
               QStringLiteral(GRELAVO_PROJECT_VERSION);
    }

    static bool isRed(const QColor& c) { return c.red() > 150 && c.green() < 60 && c.blue() < 60; }

private slots:
    void tableModelHoldsOneItemPerRowOfTheResultsTable() {
        Window w;
        QTreeWidget* list = w.list();
        QVERIFY(!list->isVisibleTo(&w.window));
        QCOMPARE(itemTexts(list->headerItem()), (QStringList{"Mauvaises herbes", "50 ± 5", "60 ± 5",
                                                             "70 ± 5", "80 ± 5", "100 ± 5"}));
        QCOMPARE(list->topLevelItemCount(), 33); // every row, free ones too
        // Means and counts of the report, as the engine wrote them.
        QCOMPARE(
            itemTexts(list->topLevelItem(0)),
            (QStringList{"Graminées annuelles", "57  (2)", "  -  ", "  -  ", "  -  ", "87  (2)"}));
        QCOMPARE(itemTexts(list->topLevelItem(1)).first(), QStringLiteral("     pied-de-coq"));
        // A mean left NULL beside a count reads as nothing before the count.
        QCOMPARE(list->topLevelItem(2)->text(1), QStringLiteral("  (0)"));
        // NULL label: a blank line all across.
        QCOMPARE(itemTexts(list->topLevelItem(3)), QStringList(6, QStringLiteral("    ")));
        // The user's heading has no dose cells; the free rows keep their label.
        QCOMPARE(itemTexts(list->topLevelItem(29)),
                 (QStringList{"Sélection de l'utilisateur", "", "", "", "", ""}));
        QCOMPARE(list->topLevelItem(30)->text(0), QStringLiteral("     --------"));
        QCOMPARE(list->topLevelItem(30)->text(1), QStringLiteral("  -  "));

        // A first cell " - " gives the dash whatever the count beside it holds.
        const ReportList::Item item = ReportList::resultsItem(
            QStringLiteral("x"), {" - ", "12", "70", "3", " - ", QVariant(), "", "", "5", "1"});
        QCOMPARE(item.subItems, (QStringList{"  -  ", "70  (3)", "  -  ", "  ()", "5  (1)"}));

        // The dose headings follow the tolerance.
        Window three(3);
        QCOMPARE(three.list()->headerItem()->text(5), QStringLiteral("100 ± 3"));
    }

    // The title block centred, the parameters in two columns under it, then the table; the page
    // ends 1000 twips under the table's last line.
    void pageHasTheTitleTheParametersInTwoColumnsThenTheTable() {
        for (const auto& [lines, left] : {std::pair{1, 1}, {4, 2}, {5, 3}}) {
            QStringList summary;
            for (int i = 0; i < lines; ++i)
                summary << QStringLiteral("line %1").arg(i);
            DrawnPage d(7, summary);
            const TwipsSurface::Text* title =
                d.find(QStringLiteral("Pourcentage de destruction des mauvaises herbes"));
            const TwipsSurface::Text* second =
                d.find(QStringLiteral("selon les fractions de doses entrées"));
            const TwipsSurface::Text* total =
                d.find(QStringLiteral("(7 cas répertoriés au total)"));
            const TwipsSurface::Text* heading = d.find(QStringLiteral("Paramètres de recherche"));
            QVERIFY(title && second && total && heading);
            QCOMPARE(title->rect.top(), 720.0);
            QCOMPARE(second->rect.top(), title->rect.bottom());
            for (const TwipsSurface::Text* t : {title, second, total})
                QVERIFY(qAbs(t->rect.left() + (t->rect.width() - 1) / 2 - d.page.PageWidth / 2) <
                        1);
            QCOMPARE(heading->rect.topLeft(), QPointF(720, 1720));
            QVERIFY(heading->font.bold());
            const double lineHeight = heading->rect.height();
            for (int i = 0; i < lines; ++i) {
                const bool inLeft = i < left;
                const int row = inLeft ? i : i - left;
                const TwipsSurface::Text* t = d.find(
                    (inLeft ? QStringLiteral("  -line %1") : QStringLiteral("-line %1")).arg(i));
                QVERIFY2(t, qPrintable(QString::number(i)));
                QCOMPARE(t->rect.left(), inLeft ? 720.0 : d.page.PageWidth / 2 * 1.05);
                QCOMPARE(t->rect.top(), 1720 + lineHeight * (1 + row));
            }
            // The table starts two empty lines under the left column.
            QCOMPARE(d.page.tablePrinter().TableTop,
                     std::lround(1720 + lineHeight * (1 + left + 2)));
            QCOMPARE(d.page.tablePrinter().TableLeft, 1083);
            QCOMPARE(d.height, d.surface.lines().last().line.y2() + 1000);
        }
    }

    // Under the table, in the bottom margin: the day, the program and its version, the edition.
    void pageSaysWhenByWhatAndFromWhichDataItWasMade() {
        QCOMPARE(QString::fromLatin1(ProgramVersion), QStringLiteral(GRELAVO_PROJECT_VERSION));
        DrawnPage d(7, {QStringLiteral("line 0")}, stamp(true), 30);
        const TwipsSurface::Text* when = d.find(madeLine());
        const TwipsSurface::Text* edition =
            d.find(QStringLiteral("Données de démonstration synthétiques — édition du "
                                  "2026-12-07"));
        QVERIFY(when && edition);
        const TwipsSurface::Text* footnote =
            d.find(QStringLiteral("  *La valeur entre ( ) indique le nombre de cas trouvés."));
        QVERIFY(footnote);
        QCOMPARE(when->rect.left(), 720.0);
        QVERIFY(when->rect.top() >= footnote->rect.bottom());
        QCOMPARE(edition->rect.top(), when->rect.bottom());
        QVERIFY(edition->rect.bottom() <= d.height);
        QCOMPARE(d.height, d.tableEnd() + 1000);            // the page keeps its height
        QCOMPARE(d.page.about().colophonLines().size(), 2); // nothing imported

        // Imports add a line, still within the bottom margin.
        ReportStamp imported = stamp(true);
        ImportRecord first{QStringLiteral("2026-11-30T09:00:00"), {}, {}, {}};
        first.added.treatments = 3;
        first.added.ratings = 30;
        ImportRecord last{QStringLiteral("2026-12-07T14:35:22"), {}, {}, {}};
        last.added.treatments = 2;
        last.added.ratings = 10;
        imported.edition.imports = {first, last};
        DrawnPage i(7, {QStringLiteral("line 0")}, imported, 30);
        const TwipsSurface::Text* imports =
            i.find(QStringLiteral("Essais importés\u00a0: 2 importations (5 traitements, 40 "
                                  "évaluations), la dernière le 2026-12-07"));
        QVERIFY(imports);
        QCOMPARE(imports->rect.top(), i.find(edition->text)->rect.bottom());
        QVERIFY(imports->rect.bottom() <= i.height);
        QCOMPARE(i.height, i.tableEnd() + 1000);
        imported.edition.imports = {last};
        i.page.setStamp(imported);
        QCOMPARE(
            i.page.about().colophonLines().last(),
            QStringLiteral("Essais importés\u00a0: 1 importation (2 traitements, 10 évaluations), "
                           "faite le 2026-12-07"));
    }

    void syntheticDataPutARedWarningAboveTheTitle() {
        DrawnPage d(7, {QStringLiteral("line 0")}, stamp(true), 30);
        const TwipsSurface::Text* red = d.find(QStringLiteral(
            "DONNÉES SYNTHÉTIQUES DE DÉMONSTRATION — ne pas utiliser pour une décision"));
        QVERIFY(red);
        QVERIFY(isRed(red->colour) && red->colour.alpha() == 255 && red->font.bold());
        QVERIFY(red->rect.top() > 0 && red->rect.bottom() <= 720); // above the title
        QVERIFY(qAbs(red->rect.center().x() - d.page.PageWidth / 2) < 1);
    }

    void syntheticDataPutAPaleBandAcrossTheTable() {
        DrawnPage d(7, {QStringLiteral("line 0")}, stamp(true), 30);
        const TwipsSurface::Text* band = d.find(QStringLiteral("DONNÉES SYNTHÉTIQUES"));
        QVERIFY(band);
        QVERIFY(isRed(band->colour) && band->colour.alpha() <= 64); // the figures show through
        QVERIFY(band->angle <= -20 && band->angle >= -60);
        const double tableTop = d.page.tablePrinter().TableTop;
        QVERIFY(qAbs(band->rect.center().y() - (tableTop + d.tableEnd()) / 2) < 1);
        QVERIFY(qAbs(band->rect.center().x() - d.page.PageWidth / 2) < 1);
        QTransform turn;
        turn.translate(band->rect.center().x(), band->rect.center().y());
        turn.rotate(band->angle);
        turn.translate(-band->rect.center().x(), -band->rect.center().y());
        const QRectF covered = turn.mapRect(band->rect);
        QVERIFY(covered.left() >= 0 && covered.right() <= d.page.PageWidth);
        QVERIFY(covered.top() >= tableTop && covered.bottom() <= d.tableEnd());
        // The figures themselves stay black.
        const TwipsSurface::Text* figure = d.find(QStringLiteral("90  (12)"));
        QVERIFY(figure && figure->colour == QColor(Qt::black));

        // Drawn, but not text: what is copied from the PDF file is the page's text alone, the
        // warning once and the rows whole.
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("page.pdf"));
        QVERIFY(d.page.writePdf(pdf));
        const QString text = popplerText("pdftotext", {"-layout", pdf, "-"});
        QCOMPARE(text.count(QStringLiteral("SYNTHÉTIQUES")), 1);
        for (int i = 2; i <= 30; ++i)
            QVERIFY2(text.contains(QRegularExpression(
                         QStringLiteral("rang %1 +90 \\(12\\) +- +- +- +-").arg(i))),
                     qPrintable(text));
        const QImage image = d.page.renderImage();
        int reddish = 0;
        for (int y = int(tableTop / 15); y < int(d.tableEnd() / 15); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                reddish += c.red() > c.green() + 20 ? 1 : 0;
            }
        QVERIFY(reddish > 500);
    }

    // Other data, known or not, add nothing.
    void otherDataAddNoWarning() {
        for (const bool known : {true, false}) {
            DrawnPage other(7, {}, known ? stamp(false) : ReportStamp::withoutEdition(kReportDay));
            QVERIFY(other.find(madeLine()));
            QVERIFY(
                other.find(known ? QStringLiteral("Base de données\u00a0: Essais du réseau "
                                                  "2019-2023, édition du 2026-12-07, source\u00a0: "
                                                  "relevés")
                                 : QStringLiteral("Base de données\u00a0: édition inconnue (le "
                                                  "fichier ne dit pas d'où viennent ses "
                                                  "données)")));
            for (const TwipsSurface::Text& t : other.surface.texts())
                QVERIFY2(!isRed(t.colour) && !t.text.contains(QStringLiteral("SYNTHÉTIQUES")),
                         qPrintable(t.text));
        }
    }

    // The window stamps each report with today's date and the edition its database holds.
    void windowStampsItsReportsWithTheDatabaseEdition() {
        Window w;
        QCOMPARE(w.window.page().stamp().reportDate, QDate::currentDate());
        QVERIFY(!w.window.page().stamp().edition.known); // the fixture's table has no row
        w.de.Connection2().executeScript(QStringLiteral(
            "INSERT INTO \"tblÉdition\" VALUES ('Démo', '2026-12-07', 'essai', 1);"));
        w.report(atrazine(QStringLiteral("1")));
        const DatabaseEdition& e = w.window.page().stamp().edition;
        QVERIFY(e.known && e.synthetic);
        QCOMPARE(e.name + e.date + e.source, QStringLiteral("Démo2026-12-07essai"));
        // A file made before editions were recorded: unknown, and the report still runs.
        w.de.Connection2().executeScript(QStringLiteral("DROP TABLE \"tblÉdition\";"));
        w.report(atrazine(QStringLiteral("1")));
        QVERIFY(!w.window.page().stamp().edition.known);
        QCOMPARE(w.window.page().stamp().programVersion, QStringLiteral(GRELAVO_PROJECT_VERSION));
    }

    void pageFitsItsTable() {
        Window w;
        const QImage image = w.window.pageImage();
        QCOMPARE(image.width(), 661);
        QCOMPARE(w.picture()->size(), image.size());
        QCOMPARE(image.height(), qRound(w.window.page().fittedHeight() / 15));
        QVERIFY(image.height() < 15840 / 15);
    }

    // Longer and wider than the window: both bars, resting 200 twips before the page.
    void aPageLargerThanTheWindowScrolls() {
        Window w;
        const QSize page = w.window.pageImage().size();
        const int pageHeight = page.height() * 15;
        w.window.show();
        w.window.resize(page.width() - 100, page.height() / 2);
        int H = w.window.height() * 15, W = w.window.width() * 15;
        QScrollBar* v = w.bar("VScroll1");
        QScrollBar* h = w.bar("HScroll1");
        QVERIFY(v->isVisible() && h->isVisible());
        QCOMPARE(v->minimum(), -200);
        QCOMPARE(v->maximum(), pageHeight - H + 500);
        QCOMPARE(v->value(), -200);
        QCOMPARE(v->pageStep(), H);
        QCOMPARE(v->singleStep(), H / 10);
        QCOMPARE(h->maximum(), page.width() * 15 - W + 500);
        QCOMPARE(w.picture()->pos(), QPoint(13, 13));
        v->setValue(3000);
        QCOMPARE(w.picture()->y(), -200);
        h->setValue(-200 + 150);
        QCOMPARE(w.picture()->x(), 3);
        // The wheel over the page moves it down.
        v->setValue(-200);
        const QPointF at(50, 50);
        QWheelEvent wheel(at, w.picture()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.picture(), &wheel);
        QVERIFY(v->value() > -200);
    }

    // Shorter and narrower than the window: no bars, the page still 200 twips from the top.
    void aPageSmallerThanTheWindowHasNoBars() {
        Window w;
        const QSize page = w.window.pageImage().size();
        w.window.show();
        w.window.resize(page.width() - 100, page.height() / 2); // both bars shown
        w.window.resize(page.width() + 20, page.height() + 20);
        QScrollBar* v = w.bar("VScroll1");
        QVERIFY(!v->isVisible() && !w.bar("HScroll1")->isVisible());
        QCOMPARE(v->maximum(), page.height() * 15 - w.window.height() * 15 + 500);
        QCOMPARE(w.picture()->pos(), QPoint(13, 13));
    }

    void clearingThePageKeepsItsSize() {
        Window w;
        const QSize page = w.window.pageImage().size();
        QVERIFY(w.window.hasPicture());
        w.window.clearPicture();
        QVERIFY(!w.window.hasPicture());
        QCOMPARE(w.window.pageImage().size(), page);
        QCOMPARE(w.window.pageImage().pixel(330, 60), qRgb(255, 255, 255));
    }

    // A new report sizes the bars for its page without waiting for a resize.
    void aNewReportSizesTheBarsAtOnce() {
        Window w;
        const QSize page = w.window.pageImage().size();
        w.window.show();
        w.window.resize(page.width(), page.height() / 2);
        QScrollBar* v = w.bar("VScroll1");
        w.report(atrazine(QStringLiteral("7")));
        QCOMPARE(v->maximum(), w.window.pageImage().height() * 15 - w.window.height() * 15 + 500);
    }

    // The page printed is one PDF page with the report; closing the print dialog, the recording
    // one or the program's own, prints nothing.
    void printedPageIsOnePdfPageWithTheReport() {
        Window w;
        w.dialogs.printFile.clear();
        w.window.Set_Print();
        QCOMPARE(w.dialogs.printDialogs, 1);
        QVERIFY(w.dialogs.messages.isEmpty());
        QtDialogService service;
        bool painted = false;
        // The program's own dialog speaks French (on X11 it also proposes a file named after the
        // job).
        QVERIFY(installFrenchQtTexts(*QCoreApplication::instance()));
        QString dialogTitle;
        whenModalShows([&](QWidget* dialog) {
            QVERIFY(qobject_cast<QPrintDialog*>(dialog));
            dialogTitle = dialog->windowTitle();
            dialog->close();
        });
        QVERIFY(!service.print(nullptr, QStringLiteral("Grelavo - rapport 2027-02-03"),
                               [&](QPrinter&) { painted = true; }));
        QVERIFY(!painted);
        QCOMPARE(dialogTitle, QStringLiteral("Imprimer"));

        QTemporaryDir dir;
        w.dialogs.printFile = dir.filePath(QStringLiteral("page.pdf"));
        w.window.Set_Print();
        QVERIFY(QFileInfo(w.dialogs.printFile).size() > 0);
        QVERIFY(w.dialogs.messages.isEmpty());
        // The job and the PDF are named after the report.
        const QString title = w.window.page().documentTitle();
        QCOMPARE(title,
                 QStringLiteral("Grelavo - rapport ") + QDate::currentDate().toString(Qt::ISODate));
        QCOMPARE(w.dialogs.printJobName, title);
        const QString info = popplerText("pdfinfo", {w.dialogs.printFile});
        QVERIFY(info.contains(QRegularExpression("Pages:\\s+1\\n")));
        QVERIFY2(info.contains(QRegularExpression("Title:\\s+" + title + "\\n")), qPrintable(info));
        const QString text =
            popplerText("pdftotext", {"-layout", w.dialogs.printFile, "-"}).simplified();
        for (const char* expected :
             {"(7 cas répertoriés au total)", "-Herbicide 1 = atrazine, Taux = 1 kg/ha",
              "Mauvaises herbes 50 ± 5 60 ± 5 70 ± 5 80 ± 5 100 ± 5",
              "Graminées annuelles 57 (2) - - - 87 (2)", "chénopode blanc 65 (1) - - - 80 (1)",
              "*La valeur entre ( ) indique le nombre de cas trouvés."})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);

        // A page taller than the printable area is made smaller rather than cut: the last
        // row and the footnote are on the sheet.
        ReportList list;
        list.columns = ReportList::resultsColumns(5);
        for (int i = 1; i <= 80; ++i)
            list.items.push_back({QStringLiteral("rang %1").arg(i), QStringList(5, "  -  ")});
        w.window.page().setContent(1, 5, {}, list);
        QVERIFY(w.window.page().fittedHeight() > 15840);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("long.pdf")));
        QVERIFY(w.window.page().printOn(printer));
        const QString tall = popplerText("pdftotext", {printer.outputFileName(), "-"});
        QVERIFY(tall.contains(QStringLiteral("rang 80")));
        QVERIFY(tall.contains(QStringLiteral("indique le nombre de cas trouvés")));
    }

#ifdef GRELAVO_SHIPPED_DATABASE
    // On the shipped database the bold rows are exactly its weed categories and the user's
    // heading: the rows the renderer makes bold are where the table holds them.
    void boldRowsAreTheCategoriesOfTheShippedTable() {
        QTemporaryDir folder;
        QVERIFY(QFile::copy(QStringLiteral(GRELAVO_SHIPPED_DATABASE),
                            folder.filePath(QStringLiteral("Grelavo.mdb"))));
        Window w(5, folder.path());
        ParameterSet p = atrazine(QStringLiteral("1"));
        p.cbbApp.text = QStringLiteral("Présemis incorporé");
        w.report(p);
        ReportPage& page = w.window.page();

        QImage scratch(1, 1, QImage::Format_RGB32);
        QPainter painter(&scratch);
        TwipsSurface surface(painter, page.PageWidth);
        page.DrawReport(surface);
        QStringList bold, categories;
        for (const TwipsSurface::Text& t : surface.texts())
            if (t.font.bold() && t.font.pixelSize() == 200 && t.rect.left() < 1083 + 100)
                bold << t.text;
        for (const ReportList::Item& item : page.list().items)
            if (!item.text.startsWith(QLatin1Char(' ')))
                categories << item.text;
        QCOMPARE(bold.mid(1), categories); // after the first column's heading
        QCOMPARE(categories.size(), 6);
        QCOMPARE(categories.last(), QStringLiteral("Sélection de l'utilisateur"));
    }
#endif

    // Copier gives a spreadsheet or a word processor the table, not only the picture; a screen
    // reader reads the same text from the page.
    void copyGivesThePictureTheTableAndTheText() {
        Window w;
        QGuiApplication::clipboard()->clear();
        w.window.CopyToClipboard();
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data->hasImage() && data->hasHtml() && data->hasText());
        QCOMPARE(qvariant_cast<QImage>(data->imageData()).convertToFormat(QImage::Format_RGB32),
                 w.window.pageImage());
        const QStringList lines = data->text().split('\n');
        QVERIFY(lines.contains("Mauvaises herbes\t50 ± 5\t60 ± 5\t70 ± 5\t80 ± 5\t100 ± 5"));
        QVERIFY(lines.contains("Graminées annuelles\t57 (2)\t-\t-\t-\t87 (2)"));
        QVERIFY(lines.contains("     chénopode blanc\t65 (1)\t-\t-\t-\t80 (1)"));
        QVERIFY(lines.contains("- Herbicide 1 = atrazine, Taux = 1 kg/ha"));
        QVERIFY(lines.contains("(7 cas répertoriés au total)"));
        const QString html = data->html();
        QVERIFY(html.contains("<th>50 ± 5</th>"));
        QVERIFY(
            html.contains("<td><b>Graminées annuelles</b></td><td align=\"center\">57 (2)</td>"));
        QVERIFY(html.contains("&nbsp;&nbsp;&nbsp;chénopode blanc</td>"));

        QAccessibleInterface* page = QAccessible::queryAccessibleInterface(w.picture());
        QCOMPARE(page->text(QAccessible::Name), QStringLiteral("Page du rapport"));
        QCOMPARE(page->text(QAccessible::Description), data->text());
        w.window.clearPicture();
        QVERIFY(page->text(QAccessible::Description).isEmpty());
    }

    // The page as printed into a PDF, the figures into a CSV file, where the user says; a
    // cancelled question writes nothing, a file that cannot be written is said.
    void reportIsSavedAsPdfAndCsv() {
        Window w;
        QTemporaryDir dir;
        w.dialogs.saveAnswer = dir.filePath("r.pdf");
        w.window.saveAsPdf();
        const QString title = w.window.page().documentTitle();
        QCOMPARE(
            w.dialogs.saveQuestions.last(),
            QStringList({"Enregistrer le rapport en PDF", title + ".pdf", "Fichiers PDF (*.pdf)"}));
        const QString info = popplerText("pdfinfo", {w.dialogs.saveAnswer});
        QVERIFY(info.contains(QRegularExpression("Pages:\\s+1\\n")));
        QVERIFY(info.contains(QRegularExpression("Title:\\s+" + title + "\\n")));
        QVERIFY(popplerText("pdftotext", {"-layout", w.dialogs.saveAnswer, "-"})
                    .simplified()
                    .contains("Graminées annuelles 57 (2) - - - 87 (2)"));

        // A French user's spreadsheet reads semicolons and decimal commas.
        QLocale::setDefault(QLocale(QLocale::French, QLocale::Canada));
        w.dialogs.saveAnswer = dir.filePath("r.csv");
        w.window.saveAsCsv();
        QFile csv(w.dialogs.saveAnswer);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray bytes = csv.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QStringList all = QString::fromUtf8(bytes.mid(3)).split("\r\n");
        // What the table shows first, each line after "#" (which a program skips), then an
        // empty line.
        const int blank = all.indexOf(QString());
        QVERIFY(blank > 0);
        for (int i = 0; i < blank; ++i)
            QVERIFY2(all[i].startsWith("#;"), qPrintable(all[i]));
        for (const QString& about : w.window.page().about().lines())
            QVERIFY2(all.mid(0, blank).contains("#;" + about), qPrintable(about));
        QVERIFY(all.contains("#;Herbicide 1 = atrazine, Taux = 1 kg/ha"));
        QVERIFY(all.contains("#;Tolérance\u00a0: ± 5 % des taux entrés"));
        const QStringList lines = all.mid(blank + 1);
        // Per fraction: the mean, the count, the trials, the shares reaching 80 and 90 % with
        // their Wilson bounds (%).
        QStringList head{"Catégorie", "Mauvaise herbe"};
        for (const char* dose : {"50", "60", "70", "80", "100"})
            for (const char* what :
                 {"moyenne", "nombre", "essais", "part ≥ 80 %", "part ≥ 80 % borne inférieure",
                  "part ≥ 80 % borne supérieure", "part ≥ 90 %", "part ≥ 90 % borne inférieure",
                  "part ≥ 90 % borne supérieure"})
                head << QStringLiteral("%1 ± 5 %2")
                            .arg(QLatin1String(dose), QString::fromUtf8(what));
        QCOMPARE(lines[0], head.join(';'));
        // 50 %: 60 and 55, one trial; 100 %: 90 and 85, one trial.
        const QString none = QString(";").repeated(9);
        QCOMPARE(lines[1], "Graminées annuelles;;57;2;1;0,0;0,0;65,8;0,0;0,0;65,8" + none + none +
                               none + ";87;2;1;100,0;34,2;100,0;50,0;9,5;90,5");
        QVERIFY(lines.contains(
            "Dicotylédones annuelles;chénopode blanc;65;1;1;0,0;0,0;79,3;0,0;0,0;79,3" + none +
            none + none + ";80;1;1;100,0;20,7;100,0;0,0;0,0;79,3"));
        // A label a spreadsheet would run as a formula is written as text.
        w.de.Connection2().execute(
            QStringLiteral("UPDATE tblResults SET Results = '     =1+1' WHERE NoId = 2"));
        w.report(atrazine(QStringLiteral("1")));
        w.window.saveAsCsv();
        QVERIFY(fileBytes(w.dialogs.saveAnswer).contains("\r\nGraminées annuelles;'=1+1;57;2;"));
        // Anyone else's, commas and decimal points.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::Canada));
        w.window.saveAsCsv();
        QLocale::setDefault(QLocale::c());
        const QByteArray english = fileBytes(w.dialogs.saveAnswer);
        QVERIFY(english.contains("\r\n#,Tolérance\u00a0: ± 5 % des taux entrés\r\n"));
        QVERIFY(english.contains("\r\nGraminées annuelles,'=1+1,57,2,1,0.0,0.0,65.8,"));

        const int asked = w.dialogs.saveQuestions.size();
        w.dialogs.saveAnswer.clear(); // cancelled
        w.window.saveAsCsv();
        QCOMPARE(w.dialogs.saveQuestions.size(), asked + 1);
        QVERIFY(w.dialogs.messages.isEmpty());
        w.dialogs.saveAnswer = dir.filePath("absent/r.pdf");
        w.window.saveAsPdf();
        QCOMPARE(w.dialogs.messages.size(), 1);
        QVERIFY(w.dialogs.messages[0].text.startsWith("Le fichier «\u00a0" + w.dialogs.saveAnswer +
                                                      "\u00a0» n'a pas pu être écrit."));
        QVERIFY(!QFileInfo::exists(w.dialogs.saveAnswer));
    }
};

QTEST_MAIN(TestResultsWindow)
#include "TestResultsWindow.moc"
