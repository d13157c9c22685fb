// The report engine against the reference evaluator: random parameter sets, mostly drawn from
// the experiments themselves so that they find data, run through both on the same database.

#include "FixtureDatabase.h"
#include "db/Connection.h"
#include "db/DE.h"
#include "db/Statement.h"
#include "report/ReferenceEvaluator.h"
#include "report/ReportEngine.h"

#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QtTest>
#include <algorithm>
#include <memory>

using namespace grelavo;

namespace {

constexpr quint64 kRandomSeed = 0x6772656c61766fULL;
constexpr double kLeastFoundShare = 0.7;

// splitmix64.
class Random {
public:
    explicit Random(quint64 randomSeed) : m_state(randomSeed) {}
    quint64 next() {
        quint64 z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<quint64>(n)); }
    double uniform(double low, double high) {
        return low + (high - low) * static_cast<double>(next() >> 11) / 9007199254740992.0;
    }
    bool chance(double p) { return uniform(0, 1) < p; }
    template <typename T> const T& pick(const QVector<T>& v) { return v[below(v.size())]; }

private:
    quint64 m_state;
};

using Row = QVector<QVariant>;

QVector<Row> select(Connection& db, const QString& sql) {
    Statement s(db, sql);
    QVector<Row> rows;
    while (s.step()) {
        Row row;
        for (int c = 0; c < s.columnCount(); ++c)
            row << s.value(c);
        rows << row;
    }
    return rows;
}

// What the sets are drawn from: applications with their products, and the crop rows, stage
// rows and site that go with them.
struct Catalogue {
    struct Product {
        int herbicide;
        QVariant formulation, rate;
    };
    struct Application {
        qint64 dateHerbId, traitementId;
        int period;
        QVector<Product> products;
    };
    QVector<Application> applications;
    QHash<qint64, QVector<Row>> crops;  // by TraitementId: crop, variety, previous crop, kg,
                                        // grains, depth, spacing
    QHash<qint64, QVector<Row>> stages; // by DateHerbId: crop, height, leaves
    QHash<qint64, Row> sites;           // by TraitementId: province, texture, OM, pH
    QVector<Row> weeds;                 // name, MHId
    QVector<int> herbicides, periods, cropIds;

    explicit Catalogue(Connection& db) {
        QHash<qint64, QVector<Product>> mixtures;
        for (const Row& r : select(db, QStringLiteral("SELECT DateHerbId, HerbicideId, "
                                                      "FormulationId, HerbTauxH FROM "
                                                      "tblDétailsHerbicides")))
            mixtures[r[0].toLongLong()] << Product{r[1].toInt(), r[2], r[3]};
        for (const Row& r : select(db, QStringLiteral("SELECT DateHerbId, TraitementId, "
                                                      "TypeApplicationId FROM "
                                                      "tblPériodesApplication"))) {
            const QVector<Product> products = mixtures.value(r[0].toLongLong());
            if (!products.isEmpty() && products.size() <= ParameterSet::HerbicideRows)
                applications << Application{r[0].toLongLong(), r[1].toLongLong(), r[2].toInt(),
                                            products};
        }
        for (const Row& r : select(db, QStringLiteral("SELECT TraitementId, CultureId, "
                                                      "VariétéId, AntécédentID, TauxSemisKg, "
                                                      "TauxSemisSe, ProfPlantEXP, EcartPLantEXP "
                                                      "FROM tblCultureEXP")))
            crops[r[0].toLongLong()] << r.mid(1);
        for (const Row& r : select(db, QStringLiteral("SELECT DateHerbId, CultureId, "
                                                      "HautMoyenneCultH, NoFeuilMoyenneCultH "
                                                      "FROM tblStadeCultureH")))
            stages[r[0].toLongLong()] << r.mid(1);
        for (const Row& r : select(db, QStringLiteral("SELECT t.TraitementId, s.ProvinceID, "
                                                      "s.ClasseTexturaleId, s.MatièreOrganique, "
                                                      "s.pH FROM tbldesTraitements t JOIN "
                                                      "tbldesSites s USING (SiteExpId)")))
            sites[r[0].toLongLong()] = r.mid(1);
        weeds = select(db, QStringLiteral("SELECT [Nom-Francais], MHId FROM "
                                          "ListedesMauvaisesHerbes"));
        for (const Row& r : select(db, QStringLiteral("SELECT HerbicideId FROM "
                                                      "ListeDesHerbicides")))
            herbicides << r[0].toInt();
        for (const Row& r : select(db, QStringLiteral("SELECT TypeApplicationId FROM "
                                                      "ListeDesPériodesApplication")))
            periods << r[0].toInt();
        for (const Row& r : select(db, QStringLiteral("SELECT CultureId FROM ListeDesCultures")))
            cropIds << r[0].toInt();
    }
};

// Draws parameter sets, their numbers written under the engine's locale.
class SetMaker {
public:
    SetMaker(const Catalogue& catalogue, const QLocale& locale)
        : m_catalogue(catalogue), m_locale(locale) {
        m_locale.setNumberOptions(QLocale::OmitGroupSeparator);
    }

    ParameterSet draw(Random& random) {
        ParameterSet p = random.chance(0.06) ? unrelated(random) : fromAnApplication(random);
        if (random.chance(0.3))
            addExtraWeeds(random, p);
        return p;
    }

private:
    QString number(double v, Random& random) {
        return m_locale.toString(v, 'g', 4 + random.below(5));
    }

    void setHerbicide(ParameterSet& p, int row, int id, const QString& rate) {
        p.cbbHerbApp[row] = {QStringLiteral("herbicide %1").arg(id), id};
        p.SelectedHerbicideId[row] = static_cast<qint16>(id);
        p.txtTaux[row] = p.EnteredRate[row] = rate;
    }

    void setPeriod(ParameterSet& p, int period) {
        p.cbbApp = {QStringLiteral("période %1").arg(period), period};
        p.SelectedApplicationType = static_cast<qint16>(period);
    }

    // A corn crop is often chosen as "Maïs (tous)".
    void setCrop(ParameterSet& p, const QVariant& crop, Random& random) {
        static const QVector<int> corn = {147, 149, 240, 242};
        if (crop.isNull() || (corn.contains(crop.toInt()) && random.chance(0.5)))
            p.cbbCult = {QStringLiteral("Maïs (tous)"), ParameterSet::AllCornItemData};
        else
            p.cbbCult = {QStringLiteral("culture %1").arg(crop.toInt()), crop.toInt()};
    }

    // A range around a value (sometimes exactly on it); rarely a bound that is not a number.
    void setRange(QString& low, QString& high, const QVariant& value, Random& random) {
        if (value.isNull())
            return;
        const double v = value.toDouble();
        const double margin = random.chance(0.3) ? 0 : std::fabs(v) * random.uniform(0, 0.2);
        low = number(v - margin, random);
        high = number(v + margin, random);
        if (random.chance(0.02))
            high = QStringLiteral("n/a");
    }

    static void setId(Choice& choice, const QVariant& id) {
        if (!id.isNull())
            choice = {QStringLiteral("choix %1").arg(id.toInt()), id.toInt()};
    }

    static int rowSpacingClass(const QVariant& spacing, Random& random) {
        const double v = spacing.toDouble();
        QVector<int> classes;
        for (int c = 0; c < 3; ++c)
            if (!spacing.isNull() && v >= 60 + 10 * c && v <= 70 + 10 * c)
                classes << c;
        if (!spacing.isNull() && v > 90)
            classes << 3;
        if (!spacing.isNull() && v >= 100)
            classes << 4;
        return classes.isEmpty() || random.chance(0.2) ? random.below(6) : random.pick(classes);
    }

    ParameterSet fromAnApplication(Random& random) {
        const Catalogue::Application& a = random.pick(m_catalogue.applications);
        ParameterSet p;
        setPeriod(p, a.period);
        p.RateInterval = static_cast<qint16>(random.chance(0.1) ? 10 : 1 + random.below(5));
        static const double centres[] = {0.5, 0.6, 0.7, 0.8, 1.0};
        const double fraction = centres[random.below(5)];
        QVector<Catalogue::Product> products = a.products;
        for (int i = products.size() - 1; i > 0; --i)
            std::swap(products[i], products[random.below(i + 1)]);
        for (int i = 0; i < products.size(); ++i) {
            const Catalogue::Product& product = products[i];
            setHerbicide(p, i, product.herbicide,
                         number(product.rate.toDouble() / fraction, random));
            if (random.chance(0.2) && !product.formulation.isNull())
                p.cbbFormApp[i] = {QStringLiteral("formulation"), product.formulation.toInt()};
            else if (random.chance(0.05))
                p.cbbFormApp[i] = {QStringLiteral("formulation libre"), std::nullopt};
            else if (random.chance(0.03))
                p.cbbFormApp[i] = {QStringLiteral("autre formulation"), 9};
        }

        const QVector<Row> crops = m_catalogue.crops.value(a.traitementId);
        const Row crop = crops.isEmpty() ? Row(7) : random.pick(crops);
        const QVector<Row> stages = m_catalogue.stages.value(a.dateHerbId);
        const Row stage = stages.isEmpty() ? Row(3) : random.pick(stages);
        const Row site = m_catalogue.sites.value(a.traitementId, Row(4));
        setCrop(p, crop[0], random);
        const double often = 0.15;
        if (random.chance(often))
            setId(p.cbbCultVar, crop[1]);
        if (random.chance(often))
            setId(p.cbbCultAnte, crop[2]);
        if (random.chance(often)) {
            p.optKg = random.chance(0.5);
            setRange(p.txtCultSemisDe, p.txtCultSemisA, crop[p.optKg ? 3 : 4], random);
        }
        if (random.chance(often))
            setRange(p.cbbCultProfDe, p.cbbCultProfA, crop[5], random);
        if (random.chance(2 * often)) {
            const int c = rowSpacingClass(crop[6], random);
            p.cbbCultEcart = {QStringLiteral("classe %1").arg(c), c};
        }
        if (random.chance(often)) {
            p.optHaut = random.chance(0.5);
            if (p.optHaut)
                setRange(p.txtCultHautDe, p.txtCultHautA, stage[1], random);
            else
                setRange(p.txtCultFeuilDe, p.txtCultFeuilA, stage[2], random);
        }
        if (random.chance(often))
            setId(p.cbbSiteProv, site[0]);
        if (random.chance(often))
            setId(p.cbbSiteClaTex, site[1]);
        if (random.chance(often))
            setRange(p.cbbSiteMatOrgDe, p.cbbSiteMatOrgA, site[2], random);
        if (random.chance(often))
            setRange(p.cbbSitepHDe, p.cbbSitepHA, site[3], random);
        return p;
    }

    ParameterSet unrelated(Random& random) {
        ParameterSet p;
        setPeriod(p, random.pick(m_catalogue.periods));
        p.RateInterval = static_cast<qint16>(1 + random.below(5));
        const int n = 1 + random.below(3);
        for (int i = 0; i < n; ++i)
            setHerbicide(p, i, random.pick(m_catalogue.herbicides),
                         number(random.uniform(0.01, 2), random));
        setCrop(p, random.pick(m_catalogue.cropIds), random);
        return p;
    }

    void addExtraWeeds(Random& random, ParameterSet& p) {
        for (Choice& box : p.cbbMauvHerb) {
            if (!random.chance(0.5))
                continue;
            const Row& weed = random.pick(m_catalogue.weeds);
            box = {weed[0].toString(), weed[1].toInt()};
            if (random.chance(0.05))
                box.itemData.reset(); // typed, not chosen from the list
            else if (random.chance(0.05))
                box.text += QStringLiteral(" (autre)"); // a label no row carries yet
        }
    }

    const Catalogue& m_catalogue;
    QLocale m_locale;
};

QString describe(const ParameterSet& p) {
    QStringList out;
    out << QStringLiteral("période %1, tolérance %2, culture \"%3\" (%4)")
               .arg(p.SelectedApplicationType)
               .arg(p.RateInterval)
               .arg(p.cbbCult.text)
               .arg(p.cbbCult.itemData.value_or(-1));
    for (int i = 0; i < ParameterSet::HerbicideRows; ++i)
        if (p.cbbHerbApp[i].isEntered())
            out << QStringLiteral("herbicide %1 = %2, taux \"%3\", formulation \"%4\" (%5)")
                       .arg(i + 1)
                       .arg(p.SelectedHerbicideId[i])
                       .arg(p.EnteredRate[i], p.cbbFormApp[i].text)
                       .arg(p.cbbFormApp[i].itemData.value_or(-1));
    const auto choice = [&](const char* name, const Choice& c) {
        if (c.isEntered())
            out << QStringLiteral("%1 = %2").arg(QLatin1String(name)).arg(c.itemData.value_or(-1));
    };
    const auto range = [&](const char* name, const QString& low, const QString& high) {
        if (!low.isEmpty() || !high.isEmpty())
            out << QStringLiteral("%1 = \"%2\" .. \"%3\"").arg(QLatin1String(name), low, high);
    };
    choice("cbbCultVar", p.cbbCultVar);
    choice("cbbCultAnte", p.cbbCultAnte);
    range(p.optKg ? "semis kg" : "semis grains", p.txtCultSemisDe, p.txtCultSemisA);
    range("cbbCultProf", p.cbbCultProfDe, p.cbbCultProfA);
    choice("cbbCultEcart", p.cbbCultEcart);
    range(p.optHaut ? "hauteur (choisie)" : "hauteur", p.txtCultHautDe, p.txtCultHautA);
    range(p.optHaut ? "feuilles" : "feuilles (choisies)", p.txtCultFeuilDe, p.txtCultFeuilA);
    choice("cbbSiteProv", p.cbbSiteProv);
    choice("cbbSiteClaTex", p.cbbSiteClaTex);
    range("cbbSiteMatOrg", p.cbbSiteMatOrgDe, p.cbbSiteMatOrgA);
    range("cbbSitepH", p.cbbSitepHDe, p.cbbSitepHA);
    for (const Choice& weed : p.cbbMauvHerb)
        if (weed.isEntered())
            out << QStringLiteral("mauvaise herbe \"%1\" (%2)")
                       .arg(weed.text)
                       .arg(weed.itemData.value_or(-1));
    return out.join(QStringLiteral("\n    "));
}

QString describe(const ResultsRow& row) {
    QStringList cells;
    for (const std::optional<QString>& cell : row.cells)
        cells << (cell ? QLatin1Char('"') + *cell + QLatin1Char('"') : QStringLiteral("NULL"));
    return QStringLiteral("%1 \"%2\" (%3): %4")
        .arg(row.NoId)
        .arg(row.Results.value_or(QStringLiteral("NULL")))
        .arg(row.ResultsId ? QString::number(*row.ResultsId) : QStringLiteral("NULL"))
        .arg(cells.join(QLatin1Char(' ')));
}

// The first way in which the engine's report differs from the evaluator's; empty when none.
QString firstDifference(bool engineRan, const ReferenceReport& engine,
                        const std::optional<ReferenceReport>& reference) {
    if (engineRan != reference.has_value())
        return engineRan ? QStringLiteral("the evaluator refuses the set, the engine ran it")
                         : QStringLiteral("the engine refuses the set, the evaluator ran it");
    if (!engineRan)
        return QString();
    if (engine.rows.size() != reference->rows.size())
        return QStringLiteral("%1 rows against %2")
            .arg(engine.rows.size())
            .arg(reference->rows.size());
    for (int i = 0; i < engine.rows.size(); ++i)
        if (engine.rows[i] != reference->rows[i])
            return QStringLiteral("row\n  engine    %1\n  evaluator %2")
                .arg(describe(engine.rows[i]), describe(reference->rows[i]));
    if (engine.TotalCases != reference->TotalCases)
        return QStringLiteral("TotalCases %1 against %2")
            .arg(engine.TotalCases)
            .arg(reference->TotalCases);
    if (engine.NoDataFound != reference->NoDataFound)
        return QStringLiteral("NoDataFound %1 against %2")
            .arg(engine.NoDataFound)
            .arg(reference->NoDataFound);
    return QString();
}

// Reports commit five times each: a folder in memory, where there is one, spares the disk.
std::unique_ptr<QTemporaryDir> scratchFolder() {
    const QFileInfo memory(QStringLiteral("/dev/shm"));
    if (memory.isDir() && memory.isWritable())
        return std::make_unique<QTemporaryDir>(memory.filePath() +
                                               QStringLiteral("/grelavo-differential-XXXXXX"));
    return std::make_unique<QTemporaryDir>();
}

bool copyFile(const QString& from, const QString& to) {
    QFile::remove(to);
    return QFile::copy(from, to);
}

} // namespace

class TestDifferential : public QObject {
    Q_OBJECT

private slots:
    void engineAgreesWithTheEvaluator_data() {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<quint64>("randomSeed");
        QTest::addColumn<int>("sets");
        const QLocale french(QLocale::French, QLocale::Canada);
        QTest::newRow("fixture") << QStringLiteral("fixture") << french << kRandomSeed << 400;
        QTest::newRow("shipped") << QStringLiteral("shipped") << QLocale::c() << kRandomSeed + 1
                                 << 200;
        QTest::newRow("generated at scale 0.3")
            << QStringLiteral("generated") << french << kRandomSeed + 2 << 200;
    }

    void engineAgreesWithTheEvaluator() {
        QFETCH(QString, database);
        QFETCH(QLocale, locale);
        QFETCH(quint64, randomSeed);
        QFETCH(int, sets);

        const std::unique_ptr<QTemporaryDir> scratch = scratchFolder();
        const QTemporaryDir& folder = *scratch;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(DatabaseFile::fileName());
        std::optional<FixtureDatabase> fixture;
        if (database == QLatin1String("fixture")) {
            fixture.emplace();
            QVERIFY(copyFile(fixture->path(), path));
            // A weed whose id is also a category id, rated in a few treatments; a stage row
            // of another crop than the treatment's; row spacings of 96 and 100 cm.
            Connection(path, DatabaseFile::password())
                .executeScript(QStringLiteral(
                    "INSERT INTO ListedesMauvaisesHerbes VALUES (2, 'ivraie', NULL, NULL, 1);"
                    "INSERT INTO tblMHEval (TraitementId, MHId, Visuel) VALUES (1, 2, 30), "
                    "(4, 2, 35), (6, 2, NULL);"
                    "UPDATE tblStadeCultureH SET CultureId = 300 WHERE DateHerbId = 3;"
                    "UPDATE tblCultureEXP SET EcartPLantEXP = 96 WHERE TraitementId = 6;"
                    "UPDATE tblCultureEXP SET EcartPLantEXP = 100 WHERE TraitementId = 1;"));
        } else if (database == QLatin1String("shipped")) {
#ifdef GRELAVO_SHIPPED_DATABASE
            QVERIFY(copyFile(QStringLiteral(GRELAVO_SHIPPED_DATABASE), path));
#else
            QSKIP("no demonstration database in this build");
#endif
        } else {
#ifdef GRELAVO_MAKEDB
            QProcess makedb;
            makedb.start(QStringLiteral(GRELAVO_MAKEDB),
                         {QStringLiteral("--output"), path, QStringLiteral("--scale"),
                          QStringLiteral("0.3")});
            QVERIFY(makedb.waitForFinished(60000));
            QCOMPARE(makedb.exitCode(), 0);
#else
            QSKIP("no database generator in this build");
#endif
        }

        DE de(folder.path());
        Connection& db = de.Connection2();
        QElapsedTimer timer;
        timer.start();
        const ReferenceEvaluator evaluator(db, locale);
        const qint64 loading = timer.elapsed();
        const Catalogue catalogue(db);
        QVERIFY(!catalogue.applications.isEmpty());
        SetMaker maker(catalogue, locale);
        ReportEngine engine(de, locale);
        Random random(randomSeed);

        int found = 0;
        qint64 engineTime = 0, evaluatorTime = 0;
        for (int set = 0; set < sets; ++set) {
            const ParameterSet p = maker.draw(random);
            timer.restart();
            const bool ran = engine.SetQuery(p);
            engineTime += timer.nsecsElapsed();
            ReferenceReport fromEngine;
            if (ran) {
                fromEngine.rows = ReferenceEvaluator::readResults(db);
                fromEngine.TotalCases = engine.TotalCases();
                fromEngine.NoDataFound = engine.NoDataFound();
            }
            timer.restart();
            const std::optional<ReferenceReport> reference = evaluator.evaluate(p);
            evaluatorTime += timer.nsecsElapsed();
            const QString difference = firstDifference(ran, fromEngine, reference);
            if (!difference.isEmpty())
                QFAIL(qPrintable(QStringLiteral("set %1 on the %2 database:\n    %3\n%4")
                                     .arg(set)
                                     .arg(database, describe(p), difference)));
            if (ran && !fromEngine.NoDataFound)
                ++found;
        }
        qInfo("%s: %d sets, %d found data; engine %.1f ms, evaluator %.3f ms a report "
              "(tables read in %lld ms)",
              qPrintable(database), sets, found, engineTime / 1e6 / sets,
              evaluatorTime / 1e6 / sets, loading);
        QVERIFY2(found >= kLeastFoundShare * sets,
                 qPrintable(QStringLiteral("only %1 sets found data").arg(found)));
    }
};

QTEST_GUILESS_MAIN(TestDifferential)
#include "TestDifferential.moc"
