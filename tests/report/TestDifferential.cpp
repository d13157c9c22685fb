// The report engine against the reference evaluator: random parameter sets, mostly drawn from
// the experiments themselves so that they find data, run through both on the same database.

#include "FixtureDatabase.h"
#include "core/db/DE.h"
#include "core/db/Statement.h"
#include "core/report/DoseEvidence.h"
#include "core/report/ReportEngine.h"
#include "core/report/ReportStatements.h"
#include "verify/ReferenceEvaluator.h"

#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <algorithm>
#include <array>

using namespace grelavo;

namespace {

constexpr quint32 kRandomSeed = 0x67726c76;

using Row = QVector<QVariant>;

QVector<Row> select(Connection& db, const char* sql) {
    Statement s(db, QString::fromUtf8(sql));
    QVector<Row> rows;
    while (s.step()) {
        Row row;
        for (int c = 0; c < s.columnCount(); ++c)
            row << s.value(c);
        rows << row;
    }
    return rows;
}

// What the sets are drawn from: a row per application, crop row of its treatment and stage row
// of its own (columns below), the products of each application, and the weeds.
enum Column { DateHerb, Period, Crop, Variety, Previous, Kg, Grains, Depth };
enum MoreColumns { Spacing = Depth + 1, Height, Leaves, Province, Texture, OrganicMatter, PH };
struct Catalogue {
    QVector<Row> applications;
    QHash<qint64, QVector<Row>> products; // by DateHerbId: herbicide, formulation, rate
    QVector<Row> weeds;                   // name, MHId

    explicit Catalogue(Connection& db) {
        for (const Row& r : select(db, "SELECT DateHerbId, HerbicideId, FormulationId, HerbTauxH "
                                       "FROM tblDétailsHerbicides"))
            products[r[0].toLongLong()] << r.mid(1);
        for (const Row& r :
             select(db, "SELECT a.DateHerbId, a.TypeApplicationId, c.CultureId, c.VariétéId, "
                        "c.AntécédentID, c.TauxSemisKg, c.TauxSemisSe, c.ProfPlantEXP, "
                        "c.EcartPLantEXP, s.HautMoyenneCultH, s.NoFeuilMoyenneCultH, "
                        "si.ProvinceID, si.ClasseTexturaleId, si.MatièreOrganique, si.pH "
                        "FROM tblPériodesApplication a LEFT JOIN tbldesTraitements t USING "
                        "(TraitementId) LEFT JOIN tbldesSites si USING (SiteExpId) LEFT JOIN "
                        "tblCultureEXP c ON c.TraitementId = a.TraitementId "
                        "LEFT JOIN tblStadeCultureH s ON s.DateHerbId = a.DateHerbId"))
            if (const auto n = products.value(r[DateHerb].toLongLong()).size();
                n > 0 && n <= ParameterSet::HerbicideRows)
                applications << r;
        weeds = select(db, "SELECT [Nom-Francais], MHId FROM ListedesMauvaisesHerbes");
    }
};

// Draws parameter sets, their numbers written under the engine's locale, and says what it set.
struct SetMaker {
    const Catalogue& catalogue;
    QLocale locale;
    QRandomGenerator random;
    QStringList said;

    int below(int n) { return static_cast<int>(random.bounded(n)); }
    bool chance(double p) { return random.generateDouble() < p; }
    template <typename T> T pick(const QVector<T>& v) { return v[below(v.size())]; }
    QString number(double v) {
        return locale.toString(v, 'g', 4 + below(5)).remove(locale.groupSeparator());
    }

    void choose(const char* name, Choice& box, std::optional<int> id) {
        box = {QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(id.value_or(-1)), id};
        said << box.text;
    }

    // Mostly one application's products at one dose fraction, with a few of its conditions;
    // sometimes products, rates and crop at random.
    ParameterSet draw() {
        said.clear();
        ParameterSet p;
        const bool related = !chance(0.06);
        const Row a = pick(catalogue.applications);
        // An unrelated set takes each of its items from an application drawn for it.
        const auto any = [&](int column) { return pick(catalogue.applications)[column]; };
        const int period = (related ? a[Period] : any(Period)).toInt();
        choose("cbbApp", p.cbbApp, period);
        p.SelectedApplicationType = static_cast<qint16>(period);
        p.RateInterval = static_cast<qint16>(related && chance(0.1) ? 10 : 1 + below(5));
        said << QStringLiteral("tolérance %1").arg(p.RateInterval);

        QVector<Row> products = catalogue.products.value(a[DateHerb].toLongLong());
        std::shuffle(products.begin(), products.end(), random);
        if (!related) {
            products.resize(1 + below(3));
            for (Row& product : products)
                product = {pick(catalogue.products.value(any(DateHerb).toLongLong()))[0],
                           QVariant(), random.bounded(2.0)};
        }
        const double fraction = related ? std::array{0.5, 0.6, 0.7, 0.8, 1.0}[below(5)] : 1.0;
        for (int i = 0; i < products.size(); ++i) {
            const int id = products[i][0].toInt();
            choose("cbbHerbApp", p.cbbHerbApp[i], id);
            p.SelectedHerbicideId[i] = static_cast<qint16>(id);
            p.txtTaux[i] = p.EnteredRate[i] = number(products[i][2].toDouble() / fraction);
            said << QStringLiteral("taux \"%1\"").arg(p.EnteredRate[i]);
            const QVariant formulation = products[i][1];
            if (chance(0.2) && !formulation.isNull())
                choose("cbbFormApp", p.cbbFormApp[i], formulation.toInt());
            else if (chance(0.05))
                choose("cbbFormApp", p.cbbFormApp[i], std::nullopt); // typed, not chosen
            else if (chance(0.03))
                choose("cbbFormApp", p.cbbFormApp[i], 9);
        }

        // A corn crop is often chosen as "Maïs (tous)".
        const QVariant crop = related ? a[Crop] : any(Crop);
        const bool corn = crop.isNull() || QVector<int>{147, 149, 240, 242}.contains(crop.toInt());
        choose("cbbCult", p.cbbCult,
               corn && chance(0.5) ? ParameterSet::AllCornItemData : crop.toInt());
        if (p.cbbCult.itemData == ParameterSet::AllCornItemData)
            p.cbbCult.text = QStringLiteral("Maïs (tous)");
        if (related) {
            // Each condition now and then, its range around the value of the drawn rows (sometimes
            // exactly on it; rarely with a bound that is not a number).
            using Id = std::tuple<const char*, Choice&, int>;
            for (const auto& [name, box, column] : {Id{"cbbCultVar", p.cbbCultVar, Variety},
                                                    Id{"cbbCultAnte", p.cbbCultAnte, Previous},
                                                    Id{"cbbSiteProv", p.cbbSiteProv, Province},
                                                    Id{"cbbSiteClaTex", p.cbbSiteClaTex, Texture}})
                if (chance(0.15) && !a[column].isNull())
                    choose(name, box, a[column].toInt());
            p.optKg = chance(0.5);
            p.optHaut = chance(0.5);
            using Range = std::tuple<const char*, QString&, QString&, int>;
            for (const auto& [name, low, high, column] :
                 {p.optKg ? Range{"semis kg", p.txtCultSemisDe, p.txtCultSemisA, Kg}
                          : Range{"semis grains", p.txtCultSemisDe, p.txtCultSemisA, Grains},
                  p.optHaut ? Range{"hauteur", p.txtCultHautDe, p.txtCultHautA, Height}
                            : Range{"feuilles", p.txtCultFeuilDe, p.txtCultFeuilA, Leaves},
                  Range{"profondeur", p.cbbCultProfDe, p.cbbCultProfA, Depth},
                  Range{"MO", p.cbbSiteMatOrgDe, p.cbbSiteMatOrgA, OrganicMatter},
                  Range{"pH", p.cbbSitepHDe, p.cbbSitepHA, PH}}) {
                if (!chance(0.15) || a[column].isNull())
                    continue;
                const double v = a[column].toDouble();
                const double margin = chance(0.3) ? 0 : std::fabs(v) * random.bounded(0.2);
                low = number(v - margin);
                high = chance(0.02) ? QStringLiteral("n/a") : number(v + margin);
                said << QStringLiteral("%1 \"%2\" .. \"%3\"").arg(QLatin1String(name), low, high);
            }
            // Row spacing classes 0 to 5, the class of the crop row more often than not.
            if (chance(0.3)) {
                const double v = a[Spacing].isNull() ? 0 : a[Spacing].toDouble();
                const int near = v >= 100 ? 4 : v > 90 ? 3 : std::clamp(int(v - 60) / 10, 0, 2);
                choose("cbbCultEcart", p.cbbCultEcart, chance(0.3) ? below(6) : near);
            }
        }
        for (Choice& box : p.cbbMauvHerb) {
            if (!chance(0.15))
                continue;
            const Row weed = pick(catalogue.weeds);
            box = {weed[0].toString(), weed[1].toInt()};
            if (chance(0.05))
                box.itemData.reset(); // typed, not chosen from the list
            else if (chance(0.05))
                box.text += QStringLiteral(" (autre)"); // a label no row carries yet
            said << box.text + QStringLiteral(" (%1)").arg(box.itemData.value_or(-1));
        }
        return p;
    }
};

// A report as lines of text, one per row of tblResults and one for the totals.
QStringList lines(const std::optional<ReferenceReport>& report) {
    if (!report)
        return {QStringLiteral("refused")};
    const auto text = [](const auto& v) {
        return v ? QStringLiteral("\"%1\"").arg(*v) : QStringLiteral("NULL");
    };
    QStringList out;
    for (const ResultsRow& row : report->rows) {
        QStringList fields{QString::number(row.NoId), text(row.Results), text(row.ResultsId)};
        for (const std::optional<QString>& cell : row.cells)
            fields << text(cell);
        out << fields.join(QLatin1Char(' '));
    }
    return out << QStringLiteral("TotalCases %1, NoDataFound %2")
                      .arg(report->TotalCases)
                      .arg(report->NoDataFound);
}

// The ratings gathered behind each cell agree with the cell: as many as its count, their mean
// truncated as the report writes it; a cell without ratings has none.
void checkDetails(const ReportDetails& details, const QVector<ResultsRow>& rows, int set) {
    for (const ResultsRow& row : rows) {
        for (int k = 0; k < ReportEngine::Fractions; ++k) {
            const CellDetail* cell = details.cell(row.NoId, k);
            const QString mean = row.cells[2 * k].value_or(QString()).trimmed();
            const QString count = row.cells[2 * k + 1].value_or(QString()).trimmed();
            const QString got =
                cell ? QStringLiteral("%1 (%2)").arg(cell->reportedMean()).arg(cell->count())
                     : QStringLiteral("none");
            const QString want = count.toInt() > 0 ? QStringLiteral("%1 (%2)").arg(mean, count)
                                                   : QStringLiteral("none");
            if (got != want)
                QFAIL(qPrintable(QStringLiteral("set %1, row %2, fraction %3: details %4, "
                                                "cell %5")
                                     .arg(set)
                                     .arg(row.NoId)
                                     .arg(k)
                                     .arg(got, want)));
        }
    }
}

// The evidence of the dose-response fit against the cells: a rating behind a cell is in the
// evidence at a dose within that cell's window, unless its treatment has two applications of
// the mixture or any other application (left out of the evidence whole); with a single herbicide,
// whose dose is its rate, every rating of the evidence inside a window is behind that cell.
void checkEvidence(Connection& db, ReportEngine& engine, const ParameterSet& p,
                   const ReportDetails& details, const QLocale& locale, int set) {
    ParameterSet checks = p;
    checks.txtCultHautDe.clear();
    checks.txtCultFeuilDe.clear();
    const DoseEvidence evidence = DoseEvidence::gather(db, p, *engine.treatmentConditions(p),
                                                       *engine.treatmentConditions(checks), locale);
    QHash<qint64, const EvidenceRating*> byId;
    QSet<qint64> treatments;
    for (const EvidenceRating& r : evidence.ratings) {
        byId.insert(r.ratingId, &r);
        treatments.insert(r.treatmentId);
    }
    const bool single = !p.cbbHerbApp[1].isEntered();
    const QString where = QStringLiteral("set %1: ").arg(set);
    for (int k = 0; k < ReportEngine::Fractions; ++k) {
        const double low = ReportEngine::LowFactor(k, p.RateInterval);
        const double high = ReportEngine::HighFactor(k, p.RateInterval);
        QSet<qint64> behind;
        for (const CellDetail& cell : details.cells())
            if (cell.fraction == k)
                for (const DetailRating& r : cell.ratings) {
                    behind.insert(r.ratingId);
                    const EvidenceRating* e = byId.value(r.ratingId);
                    if (!e) {
                        QVERIFY2(!treatments.contains(r.treatmentId) &&
                                     evidence.repeated + evidence.otherApplications > 0,
                                 qPrintable(where +
                                            QStringLiteral("rating %1 missing").arg(r.ratingId)));
                        continue;
                    }
                    QVERIFY2(e->fraction >= low - 1e-6 && e->fraction <= high + 1e-6,
                             qPrintable(where + QStringLiteral("rating %1 at %2, window %3")
                                                    .arg(r.ratingId)
                                                    .arg(e->fraction)
                                                    .arg(k)));
                }
        if (!single)
            continue;
        for (const EvidenceRating& e : evidence.ratings)
            if (e.fraction >= low + 1e-6 && e.fraction <= high - 1e-6 &&
                (ReportStatements::standardWeeds().contains(int(e.weedId)) ||
                 ReportStatements::reportedCategories().contains(int(e.category))))
                QVERIFY2(
                    behind.contains(e.ratingId),
                    qPrintable(
                        where +
                        QStringLiteral("rating %1 not behind fraction %2").arg(e.ratingId).arg(k)));
    }
}

} // namespace

class TestDifferential : public QObject {
    Q_OBJECT

private slots:
    void engineAgreesWithTheEvaluator_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<quint32>("randomSeed");
        QTest::addColumn<QString>("source"); // the database file, or the program that builds it
        const QLocale french(QLocale::French, QLocale::Canada);
        QTest::newRow("fixture") << french << kRandomSeed << QString();
#ifdef GRELAVO_MAKEDB
        QTest::newRow("shipped") << QLocale::c() << kRandomSeed + 1
                                 << QStringLiteral(GRELAVO_SHIPPED_DATABASE);
        QTest::newRow("generated") << french << kRandomSeed + 2 << QStringLiteral(GRELAVO_MAKEDB);
#endif
    }

    void engineAgreesWithTheEvaluator() {
        QFETCH(QLocale, locale);
        QFETCH(quint32, randomSeed);
        QFETCH(QString, source);
        const int sets = source.isEmpty() ? 400 : 200;
        // Reports commit five times each: a folder in memory, where there is one, spares the disk.
        const bool shm = QFileInfo(QStringLiteral("/dev/shm")).isWritable();
        const QTemporaryDir folder((shm ? QStringLiteral("/dev/shm") : QDir::tempPath()) +
                                   QStringLiteral("/grelavo-differential-XXXXXX"));
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(DatabaseFile::fileName());
        if (source.isEmpty()) {
            const FixtureDatabase fixture;
            QVERIFY(QFile::copy(fixture.path(), path));
            // A weed whose id is also a category id, rated in a few treatments; a stage row
            // of another crop than the treatment's; an application without a stage row; row
            // spacings of 96 and 100 cm.
            Connection(path, DatabaseFile::password())
                .executeScript(QStringLiteral(
                    "INSERT INTO ListedesMauvaisesHerbes VALUES (2, 'ivraie', NULL, NULL, 1);"
                    "INSERT INTO tblMHEval (TraitementId, MHId, Visuel) VALUES (1, 2, 30), "
                    "(4, 2, 35), (6, 2, NULL);"
                    "UPDATE tblStadeCultureH SET CultureId = 300 WHERE DateHerbId = 3;"
                    "DELETE FROM tblStadeCultureH WHERE DateHerbId = 1;"
                    "UPDATE tblCultureEXP SET EcartPLantEXP = 96 WHERE TraitementId = 6;"
                    "UPDATE tblCultureEXP SET EcartPLantEXP = 100 WHERE TraitementId = 1;"));
        } else if (source.endsWith(QLatin1String(".mdb"))) {
            QVERIFY(QFile::copy(source, path));
        } else {
            QCOMPARE(QProcess::execute(source, {QStringLiteral("--output"), path,
                                                QStringLiteral("--scale"), QStringLiteral("0.3")}),
                     0);
        }

        DE de(folder.path());
        Connection& db = de.Connection2();
        const ReferenceEvaluator evaluator(db, locale);
        const Catalogue catalogue(db);
        QVERIFY(!catalogue.applications.isEmpty());
        SetMaker maker{catalogue, locale, QRandomGenerator(randomSeed), {}};
        ReportEngine engine(de, locale);
        engine.setGatherDetails(true);
        int found = 0;
        for (int set = 0; set < sets; ++set) {
            const ParameterSet p = maker.draw();
            std::optional<ReferenceReport> fromEngine;
            if (engine.SetQuery(p))
                fromEngine = ReferenceReport{ResultsTable::read(db), engine.TotalCases(),
                                             engine.NoDataFound()};
            const QStringList ran = lines(fromEngine), expected = lines(evaluator.evaluate(p));
            if (ran != expected)
                qInfo().noquote() << "set" << set << "on the" << QTest::currentDataTag()
                                  << "database:\n   " << maker.said.join(QStringLiteral("\n    "));
            QCOMPARE(ran, expected);
            if (fromEngine) {
                checkDetails(engine.details(), fromEngine->rows, set);
                checkEvidence(db, engine, p, engine.details(), locale, set);
            }
            found += fromEngine && !fromEngine->NoDataFound;
        }
        QVERIFY2(found >= 0.7 * sets,
                 qPrintable(QStringLiteral("only %1 sets found data").arg(found)));
    }
};

QTEST_GUILESS_MAIN(TestDifferential)
#include "TestDifferential.moc"
