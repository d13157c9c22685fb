// The demonstration database as grelavo-makedb builds it: the file, its key, the prepared
// results table, the lookup lists, the experiments and what the report engine will find there.

#include "DatabaseBuilder.h"
#include "Sources.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Statement.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using grelavo::Connection;
using grelavo::DbError;
using grelavo::Statement;
using namespace grelavo::makedb;

namespace {

const QString Key = QStringLiteral("wkhtqelmzav");
const QVector<int> StandardWeeds = {16,  34,  15, 103, 100, 133, 24, 94, 38, 47,
                                    122, 121, 92, 152, 45,  46,  12, 52, 43};
const QVector<int> ReportedCategories = {1, 2, 3, 4, 7};

QVector<QVariantList> rows(Connection& db, const QString& sql, const QVariantList& binds = {}) {
    Statement st(db, sql);
    for (int i = 0; i < binds.size(); ++i)
        st.bind(i + 1, binds[i]);
    QVector<QVariantList> result;
    while (st.step()) {
        QVariantList row;
        for (int c = 0; c < st.columnCount(); ++c)
            row.append(st.value(c));
        result.append(row);
    }
    return result;
}

QVariant scalar(Connection& db, const QString& sql, const QVariantList& binds = {}) {
    const auto r = rows(db, sql, binds);
    return r.isEmpty() ? QVariant() : r.first().value(0);
}

qlonglong count(Connection& db, const QString& sql, const QVariantList& binds = {}) {
    return scalar(db, sql, binds).toLongLong();
}

// A digest of every row of every table, read in key order, and of the schema's text.
QByteArray contentDigest(const QString& path) {
    Connection db(path, Key);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const auto add = [&](const QVariant& v) {
        if (v.isNull())
            hash.addData("N|");
        else if (v.typeId() == QMetaType::Double)
            hash.addData("D" + QByteArray::number(v.toDouble(), 'g', 17) + '|');
        else
            hash.addData(QByteArray(v.typeName()) + v.toString().toUtf8() + '|');
    };
    for (const auto& row : rows(db, QStringLiteral("SELECT type, name, sql FROM sqlite_master "
                                                   "ORDER BY type, name")))
        for (const QVariant& v : row)
            add(v);
    for (const QString& table : db.tableNames()) {
        hash.addData(table.toUtf8());
        for (const auto& row :
             rows(db, QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table)))
            for (const QVariant& v : row)
                add(v);
    }
    return hash.result();
}

} // namespace

class TestDatabaseBuilder : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;
    BuildSummary m_summary;
    qint64 m_buildMs = 0;
    Sources m_sources;
    std::unique_ptr<Connection> m_db;

    QString pathFor(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_path = pathFor(QStringLiteral("Grelavo.mdb"));
        m_sources = Sources::load();
        QElapsedTimer timer;
        timer.start();
        m_summary = DatabaseBuilder::build(m_path, 1.0);
        m_buildMs = timer.elapsed();
        m_db = std::make_unique<Connection>(m_path, Key);
    }

    void cleanupTestCase() { m_db.reset(); }

    void opensOnlyWithItsKey() {
        QVERIFY(QFileInfo(m_path).isFile());
        QVERIFY(!QFileInfo::exists(m_path + QStringLiteral(".tmp")));
        for (const QString& key :
             {QString(), QStringLiteral("wkhtqelmzaw"), QStringLiteral("WKHTQELMZAV")}) {
            try {
                Connection wrong(m_path, key);
                QFAIL(qPrintable(QStringLiteral("opened with the key \"%1\"").arg(key)));
            } catch (const DbError& e) {
                QCOMPARE(e.number(), 3031);
            }
        }
        // The file is encrypted: no plain SQLite header.
        QFile raw(m_path);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QVERIFY(!raw.read(16).startsWith("SQLite format 3"));
    }

    void holdsEveryTableAndView() {
        const QStringList expected = {"ListeDesAntécédents",     "ListeDesCultures",
                                      "ListeDesHerbicides",      "ListeDesPériodesApplication",
                                      "ListeDesProvinces",       "ListeDesTypesMH",
                                      "ListeDesVariétés",        "ListedesClastext",
                                      "ListedesMauvaisesHerbes", "tblCultureEXP",
                                      "tblDétailsHerbicides",    "tblMHEval",
                                      "tblPériodesApplication",  "tblResults",
                                      "tblStadeCultureH",        "tbldesSites",
                                      "tbldesTraitements"};
        const QStringList tables = m_db->tableNames();
        for (const QString& t : expected)
            QVERIFY2(tables.contains(t), qPrintable(t));
        for (const char* view : {"Herbicide1", "Herbicide2", "Herbicide3", "Herbicide4",
                                 "DétailsHerbicides", "DétailsApplication", "DétailsTraitements"})
            QCOMPARE(m_db->viewName(QString::fromUtf8(view)), QString::fromUtf8(view));
        QCOMPARE(
            count(*m_db, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'view'")),
            7);
    }

    void resultsTableIsLaidOut() {
        const QMap<int, QPair<QString, int>> categories = {
            {1, {QStringLiteral("Graminées annuelles"), 1}},
            {8, {QStringLiteral("Dicotylédones vivaces"), 3}},
            {14, {QStringLiteral("Dicotylédones annuelles"), 2}},
            {23, {QStringLiteral("Cypéracées"), 7}},
            {26, {QStringLiteral("Graminées vivaces"), 4}}};
        const QVector<int> blanks = {7, 13, 22, 25, 29};
        const auto table = rows(*m_db, QStringLiteral("SELECT * FROM tblResults ORDER BY NoId"));
        QCOMPARE(table.size(), 40);
        int weed = 0;
        for (int i = 0; i < table.size(); ++i) {
            const QVariantList& row = table[i];
            const int noId = i + 1;
            const QString where = QStringLiteral("row %1").arg(noId);
            QCOMPARE(row[0].toInt(), noId);
            for (int cell = 3; cell <= 12; ++cell)
                QVERIFY2(row[cell].toString() == QStringLiteral(" - "), qPrintable(where));
            const QVariant label = row[1], id = row[2];
            if (categories.contains(noId)) {
                QCOMPARE(label.toString(), categories[noId].first);
                QCOMPARE(id.toInt(), categories[noId].second);
            } else if (blanks.contains(noId)) {
                QVERIFY2(label.isNull() && id.isNull(), qPrintable(where));
            } else if (noId == 30) {
                QCOMPARE(label.toString(), QStringLiteral("Sélection de l'utilisateur"));
                QVERIFY(id.isNull());
            } else if (noId > 30) {
                QCOMPARE(label.toString(), QStringLiteral("     --------"));
                QVERIFY2(id.isNull(), qPrintable(where));
            } else {
                QVERIFY2(label.toString().startsWith(QStringLiteral("     ")) &&
                             label.toString().at(5) != QLatin1Char(' '),
                         qPrintable(where));
                QCOMPARE(id.toInt(), StandardWeeds.value(weed++));
            }
        }
        QCOMPARE(weed, StandardWeeds.size());
    }

    void weedRowsCarryTheWeedNames() {
        const auto weedRows = rows(
            *m_db, QStringLiteral(
                       "SELECT r.NoId, r.Results, w.\"Nom-Francais\", w.TypeMHId, "
                       "  (SELECT c.ResultsId FROM tblResults c WHERE c.NoId < r.NoId AND "
                       "c.Results NOT LIKE ' %' "
                       "   ORDER BY c.NoId DESC LIMIT 1) "
                       "FROM tblResults r JOIN ListedesMauvaisesHerbes w ON w.MHId = r.ResultsId "
                       "WHERE r.Results LIKE ' %' ORDER BY r.NoId"));
        QCOMPARE(weedRows.size(), StandardWeeds.size());
        for (const auto& row : weedRows) {
            QCOMPARE(row[1].toString(), QStringLiteral("     ") + row[2].toString());
            // The weed sits in the group headed by its own category.
            QCOMPARE(row[3].toInt(), row[4].toInt());
        }
        // The labels the report engine looks for are unique.
        QCOMPARE(count(*m_db,
                       QStringLiteral(
                           "SELECT count(DISTINCT \"Nom-Francais\") FROM ListedesMauvaisesHerbes")),
                 count(*m_db, QStringLiteral("SELECT count(*) FROM ListedesMauvaisesHerbes")));
    }

    void weedListFitsTheReport() {
        for (int id : StandardWeeds) {
            const auto r =
                rows(*m_db,
                     QStringLiteral("SELECT TypeMHId FROM ListedesMauvaisesHerbes WHERE MHId = ?"),
                     {id});
            QVERIFY2(r.size() == 1, qPrintable(QString::number(id)));
            QVERIFY2(ReportedCategories.contains(r[0][0].toInt()), qPrintable(QString::number(id)));
        }
        const QMap<int, QString> known = {
            {16, "pied-de-coq"},        {34, "sétaire verte"},
            {47, "chénopode blanc"},    {122, "amarante à racine rouge"},
            {12, "souchet comestible"}, {52, "chiendent"},
            {133, "chardon des champs"}};
        for (auto it = known.begin(); it != known.end(); ++it)
            QCOMPARE(
                scalar(*m_db,
                       QStringLiteral(
                           "SELECT \"Nom-Francais\" FROM ListedesMauvaisesHerbes WHERE MHId = ?"),
                       {it.key()})
                    .toString(),
                it.value());
        // Other weeds never share an id with a reported category.
        QCOMPARE(
            count(
                *m_db,
                QStringLiteral(
                    "SELECT count(*) FROM ListedesMauvaisesHerbes WHERE MHId IN (1, 2, 3, 4, 7)")),
            0);
        // Some weeds belong to categories the report leaves out, and are rated.
        QVERIFY(
            count(
                *m_db,
                QStringLiteral(
                    "SELECT count(*) FROM ListedesMauvaisesHerbes w JOIN tblMHEval e USING (MHId) "
                    "WHERE w.TypeMHId NOT IN (1, 2, 3, 4, 7)")) > 0);
        QCOMPARE(
            count(*m_db,
                  QStringLiteral(
                      "SELECT count(*) FROM ListeDesTypesMH WHERE TypeMHId IN (1, 2, 3, 4, 7)")),
            5);
        QVERIFY(
            count(*m_db,
                  QStringLiteral(
                      "SELECT count(*) FROM ListedesMauvaisesHerbes WHERE \"Nom-Latin\" IS NULL "
                      "OR \"Nom-Anglais\" IS NULL OR \"Nom-Latin\" = ''")) == 0);
    }

    void shippedSizes() {
        QVERIFY(count(*m_db, QStringLiteral("SELECT count(*) FROM tbldesTraitements")) >= 1500);
        QVERIFY(count(*m_db, QStringLiteral("SELECT count(*) FROM tblMHEval")) >= 20000);
        QVERIFY(count(*m_db, QStringLiteral("SELECT count(*) FROM ListedesMauvaisesHerbes")) >= 49);
        const qlonglong herbicides =
            count(*m_db, QStringLiteral("SELECT count(*) FROM ListeDesHerbicides"));
        QVERIFY(herbicides >= 15 && herbicides <= 25);
        QCOMPARE(m_summary.treatments,
                 int(count(*m_db, QStringLiteral("SELECT count(*) FROM tbldesTraitements"))));
        QCOMPARE(m_summary.ratings,
                 int(count(*m_db, QStringLiteral("SELECT count(*) FROM tblMHEval"))));
        QVERIFY(QFileInfo(m_path).size() < 8 * 1024 * 1024);
        QVERIFY2(m_buildMs < 15000, qPrintable(QString::number(m_buildMs)));
        const auto provinces =
            count(*m_db, QStringLiteral("SELECT count(DISTINCT ProvinceID) FROM tbldesSites"));
        const auto textures = count(
            *m_db, QStringLiteral("SELECT count(DISTINCT ClasseTexturaleId) FROM tbldesSites"));
        QVERIFY(provinces >= 5 && textures >= 8);
    }

    void ratingsAreVisualPercentages() {
        QCOMPARE(count(*m_db,
                       QStringLiteral("SELECT count(*) FROM tblMHEval WHERE Visuel IS NOT NULL AND "
                                      "(typeof(Visuel) <> 'integer' OR Visuel < 0 OR Visuel > 100 "
                                      "OR Visuel % 5 <> 0)")),
                 0);
        const qlonglong all = count(*m_db, QStringLiteral("SELECT count(*) FROM tblMHEval"));
        const qlonglong missing =
            count(*m_db, QStringLiteral("SELECT count(*) FROM tblMHEval WHERE Visuel IS NULL"));
        QVERIFY(missing > 0 && missing < all / 30);
        // Both ends of the scale occur, and most of it in between.
        QCOMPARE(count(*m_db, QStringLiteral("SELECT count(DISTINCT Visuel) FROM tblMHEval")), 21);
        const auto perTreatment =
            rows(*m_db, QStringLiteral("SELECT min(n), max(n) FROM (SELECT count(*) n FROM "
                                       "tblMHEval GROUP BY TraitementId)"));
        QVERIFY(perTreatment[0][0].toInt() >= 5 && perTreatment[0][1].toInt() <= 15);
        QCOMPARE(
            count(*m_db, QStringLiteral(
                             "SELECT count(*) FROM tbldesTraitements t WHERE NOT EXISTS "
                             "(SELECT 1 FROM tblMHEval e WHERE e.TraitementId = t.TraitementId)")),
            0);
        QCOMPARE(count(*m_db, QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM tblMHEval GROUP "
                                             "BY TraitementId, MHId HAVING count(*) > 1)")),
                 0);
        // The standard weeds are the common ones.
        const double standardShare =
            scalar(
                *m_db,
                QStringLiteral(
                    "SELECT avg(MHId IN (16, 34, 15, 103, 100, 133, 24, 94, 38, 47, 122, 121, 92, "
                    "152, 45, 46, 12, 52, 43)) FROM tblMHEval"))
                .toDouble();
        QVERIFY(standardShare > 0.6);
    }

    void applicationsHoldOneToFourProducts() {
        const auto sizes = rows(
            *m_db, QStringLiteral("SELECT n, count(*) FROM (SELECT a.DateHerbId, "
                                  "count(d.HerbicideId) n FROM tblPériodesApplication a "
                                  "LEFT JOIN tblDétailsHerbicides d ON d.DateHerbId = a.DateHerbId "
                                  "GROUP BY a.DateHerbId) GROUP BY n ORDER BY n"));
        QCOMPARE(sizes.size(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(sizes[i][0].toInt(), i + 1);
            QVERIFY(sizes[i][1].toInt() > 0);
        }
        QCOMPARE(count(*m_db,
                       QStringLiteral(
                           "SELECT count(*) FROM tblDétailsHerbicides WHERE NOT (HerbTauxH > 0) "
                           "OR typeof(HerbTauxH) <> 'real' OR FormulationId NOT BETWEEN 1 AND 9")),
                 0);
        // Every product is applied at a period it is used at, between a quarter and 1.25 of a
        // reference rate of the product.
        for (const Herbicide& h : m_sources.herbicides) {
            const auto applied = rows(
                *m_db,
                QStringLiteral(
                    "SELECT DISTINCT a.TypeApplicationId, d.HerbTauxH FROM tblDétailsHerbicides d "
                    "JOIN tblPériodesApplication a ON a.DateHerbId = d.DateHerbId WHERE "
                    "d.HerbicideId = ?"),
                {h.id});
            for (const auto& r : applied) {
                QVERIFY2(h.usedAt(r[0].toInt()), qPrintable(h.name));
                const double rate = r[1].toDouble();
                const bool near = std::any_of(h.rates.begin(), h.rates.end(), [&](double ref) {
                    return rate >= 0.24 * ref && rate <= 1.26 * ref;
                });
                QVERIFY2(near, qPrintable(QStringLiteral("%1 at %2").arg(h.name).arg(rate)));
            }
        }
    }

    void experimentRowsAreConsistent() {
        QVERIFY(rows(*m_db, QStringLiteral("PRAGMA foreign_key_check")).isEmpty());
        QCOMPARE(count(*m_db, QStringLiteral("SELECT count(*) FROM tbldesTraitements t WHERE "
                                             "(SELECT count(*) FROM tblCultureEXP c WHERE "
                                             "c.TraitementId = t.TraitementId) <> 1")),
                 0);
        QCOMPARE(count(*m_db, QStringLiteral(
                                  "SELECT count(*) FROM tbldesSites WHERE pH NOT BETWEEN 5 AND 8 "
                                  "OR \"MatièreOrganique\" NOT BETWEEN 1 AND 12")),
                 0);
        // Corn is sown as corn is.
        QCOMPARE(
            count(*m_db,
                  QStringLiteral(
                      "SELECT count(*) FROM tblCultureEXP WHERE CultureId IN (147, 149, 240, 242) "
                      "AND ("
                      "TauxSemisKg NOT BETWEEN 8 AND 25 OR TauxSemisSe NOT BETWEEN 50000 AND 95000 "
                      "OR "
                      "ProfPlantEXP NOT BETWEEN 2 AND 8 OR EcartPLantEXP NOT BETWEEN 60 AND 100)")),
            0);
        const double cornShare =
            scalar(*m_db,
                   QStringLiteral("SELECT avg(CultureId IN (149, 240, 242)) FROM tblCultureEXP"))
                .toDouble();
        QVERIFY(cornShare > 0.7 && cornShare < 0.95);
        QVERIFY(count(*m_db, QStringLiteral(
                                 "SELECT count(*) FROM tblCultureEXP WHERE CultureId = 147")) > 0);
        // A variety belongs to the crop it was sown as; a stage is the treatment's crop's.
        QCOMPARE(
            count(*m_db,
                  QStringLiteral("SELECT count(*) FROM tblCultureEXP c JOIN \"ListeDesVariétés\" v "
                                 "USING (\"VariétéId\") WHERE v.CultureId <> c.CultureId")),
            0);
        QCOMPARE(
            count(*m_db, QStringLiteral("SELECT count(*) FROM tblStadeCultureH s JOIN "
                                        "tblPériodesApplication a ON a.DateHerbId = s.DateHerbId "
                                        "JOIN tblCultureEXP c ON c.TraitementId = a.TraitementId "
                                        "WHERE s.CultureId <> c.CultureId")),
            0);
        // Almost every application has one stage row; a few none, a few two.
        const auto stages = rows(
            *m_db, QStringLiteral("SELECT n, count(*) FROM (SELECT count(s.StadeCultureId) n FROM "
                                  "tblPériodesApplication a "
                                  "LEFT JOIN tblStadeCultureH s ON s.DateHerbId = a.DateHerbId "
                                  "GROUP BY a.DateHerbId) GROUP BY n ORDER BY n"));
        QCOMPARE(stages.size(), 3);
        const double applications = m_summary.applications;
        QVERIFY(stages[0][1].toInt() > 0 && stages[0][1].toInt() < applications * 0.05);
        QVERIFY(stages[1][1].toInt() > applications * 0.9);
        QVERIFY(stages[2][1].toInt() > 0);
        // Later periods find an older crop.
        const auto byPeriod =
            rows(*m_db, QStringLiteral("SELECT a.TypeApplicationId, avg(s.NoFeuilMoyenneCultH), "
                                       "avg(s.HautMoyenneCultH) FROM tblStadeCultureH s "
                                       "JOIN tblPériodesApplication a ON a.DateHerbId = "
                                       "s.DateHerbId GROUP BY 1 ORDER BY 1"));
        QCOMPARE(byPeriod.size(), m_sources.periods.size());
        for (int i = 3; i < byPeriod.size(); ++i)
            QVERIFY(byPeriod[i][1].toDouble() > byPeriod[i - 1][1].toDouble() &&
                    byPeriod[i][2].toDouble() > byPeriod[i - 1][2].toDouble());
    }

    void treatmentsOfSeveralApplicationsExist() {
        // Split: two applications of the same product at the same rate and period.
        QVERIFY(count(*m_db,
                      QStringLiteral(
                          "SELECT count(DISTINCT a1.TraitementId) FROM tblPériodesApplication a1 "
                          "JOIN tblPériodesApplication a2 ON a2.TraitementId = a1.TraitementId AND "
                          "a2.DateHerbId > a1.DateHerbId "
                          "AND a2.TypeApplicationId = a1.TypeApplicationId "
                          "JOIN tblDétailsHerbicides d1 ON d1.DateHerbId = a1.DateHerbId "
                          "JOIN tblDétailsHerbicides d2 ON d2.DateHerbId = a2.DateHerbId "
                          "AND d2.HerbicideId = d1.HerbicideId AND d2.HerbTauxH = d1.HerbTauxH")) >=
                3);
        // Sequential: a soil application, then a post-emergence one.
        QVERIFY(count(*m_db,
                      QStringLiteral(
                          "SELECT count(*) FROM (SELECT TraitementId FROM tblPériodesApplication "
                          "GROUP BY TraitementId "
                          "HAVING min(TypeApplicationId) <= 2 AND max(TypeApplicationId) >= 3)")) >=
                3);
        // Untreated checks: no application, little control.
        const auto checks =
            rows(*m_db, QStringLiteral("SELECT count(DISTINCT t.TraitementId), avg(e.Visuel) FROM "
                                       "tbldesTraitements t JOIN tblMHEval e USING (TraitementId) "
                                       "WHERE NOT EXISTS (SELECT 1 FROM tblPériodesApplication a "
                                       "WHERE a.TraitementId = t.TraitementId)"));
        QVERIFY(checks[0][0].toInt() > 20);
        QVERIFY(checks[0][1].toDouble() < 10);
    }

    void commonQueryFindsEveryFraction_data() {
        QTest::addColumn<QString>("herbicide");
        QTest::addColumn<QString>("period");
        QTest::newRow("atrazine, Prélevée") << "atrazine"
                                            << "Prélevée";
        QTest::newRow("dicamba, Postlevée") << "dicamba"
                                            << "Postlevée";
        QTest::newRow("nicosulfuron, Postlevée") << "nicosulfuron"
                                                 << "Postlevée";
    }

    // One product alone at its label rate, "Maïs (tous)", ± 5: the joins the report engine
    // makes, with its single-precision fraction windows.
    void commonQueryFindsEveryFraction() {
        QFETCH(QString, herbicide);
        QFETCH(QString, period);
        const QVariant herbicideId = scalar(
            *m_db, QStringLiteral("SELECT HerbicideId FROM ListeDesHerbicides WHERE Herbicide = ?"),
            {herbicide});
        const QVariant periodId =
            scalar(*m_db,
                   QStringLiteral("SELECT TypeApplicationId FROM \"ListeDesPériodesApplication\" "
                                  "WHERE TypeApplication = ?"),
                   {period});
        QVERIFY(!herbicideId.isNull() && !periodId.isNull());
        const double rate = m_sources.herbicideByName(herbicide).labelRate();
        const QString sql =
            QStringLiteral("SELECT count(e.Visuel) FROM tblDétailsHerbicides d "
                           "JOIN tblPériodesApplication a ON a.DateHerbId = d.DateHerbId "
                           "JOIN tblStadeCultureH s ON s.DateHerbId = a.DateHerbId "
                           "JOIN tbldesTraitements t ON t.TraitementId = a.TraitementId "
                           "JOIN tbldesSites si ON si.SiteExpId = t.SiteExpId "
                           "JOIN tblCultureEXP c ON c.TraitementId = t.TraitementId "
                           "JOIN tblMHEval e ON e.TraitementId = t.TraitementId "
                           "WHERE d.HerbicideId = ? AND d.HerbTauxH BETWEEN ? AND ? "
                           "AND (SELECT count(*) FROM tblDétailsHerbicides x WHERE x.DateHerbId = "
                           "d.DateHerbId) = 1 "
                           "AND a.TypeApplicationId = ? AND c.CultureId IN (147, 149, 240, 242) "
                           "AND e.MHId IN (16, 34, 15, 103, 100, 133, 24, 94, 38, 47, 122, 121, "
                           "92, 152, 45, 46, 12, 52, 43)");
        for (double fraction : {0.5, 0.6, 0.7, 0.8, 1.0}) {
            const double low = rate * double(float(fraction - 0.05));
            const double high = rate * double(float(fraction + 0.05));
            const qlonglong n = count(*m_db, sql, {herbicideId, low, high, periodId});
            QVERIFY2(
                n >= 5,
                qPrintable(
                    QStringLiteral("%1 at %2: %3 ratings").arg(herbicide).arg(fraction).arg(n)));
        }
    }

    // The ratings follow the model: more product, more control; a partner adds control.
    void ratingsFollowTheDoseResponse() {
        struct Product {
            int herbicide;
            double rate;
        };
        QMap<int, QVector<Product>> products; // by application
        for (const auto& r : rows(
                 *m_db, QStringLiteral(
                            "SELECT DateHerbId, HerbicideId, HerbTauxH FROM tblDétailsHerbicides")))
            products[r[0].toInt()].append({r[1].toInt(), r[2].toDouble()});
        QMap<int, QVector<int>> applicationsOf;
        QMap<int, int> periodOf;
        for (const auto& r :
             rows(*m_db, QStringLiteral("SELECT DateHerbId, TraitementId, TypeApplicationId FROM "
                                        "tblPériodesApplication"))) {
            applicationsOf[r[1].toInt()].append(r[0].toInt());
            periodOf[r[0].toInt()] = r[2].toInt();
        }
        QMap<int, QVector<QPair<int, int>>> ratings; // treatment -> (category, visual)
        for (const auto& r :
             rows(*m_db,
                  QStringLiteral(
                      "SELECT e.TraitementId, w.TypeMHId, e.Visuel FROM tblMHEval e "
                      "JOIN ListedesMauvaisesHerbes w USING (MHId) WHERE e.Visuel IS NOT NULL")))
            ratings[r[0].toInt()].append({r[1].toInt(), r[2].toInt()});

        // Mean rating on 'category' of treatments with one application of exactly 'mixture' at
        // one of 'periods', every product between low and high times its label rate.
        const auto mean = [&](const QStringList& mixture, const QVector<int>& periods, double low,
                              double high, int category) {
            QSet<int> wanted;
            for (const QString& name : mixture)
                wanted.insert(m_sources.herbicideByName(name).id);
            double sum = 0;
            int n = 0;
            for (auto t = applicationsOf.begin(); t != applicationsOf.end(); ++t) {
                if (t.value().size() != 1 || !periods.contains(periodOf[t.value()[0]]))
                    continue;
                const auto& applied = products[t.value()[0]];
                QSet<int> ids;
                bool inWindow = true;
                for (const Product& p : applied) {
                    ids.insert(p.herbicide);
                    const double relative = p.rate / m_sources.herbicide(p.herbicide).labelRate();
                    inWindow &= relative >= low && relative <= high;
                }
                if (ids != wanted || !inWindow)
                    continue;
                for (const auto& r : ratings[t.key()])
                    if (r.first == category) {
                        sum += r.second;
                        ++n;
                    }
            }
            return n >= 10 ? sum / n : -1.0;
        };
        const QStringList atrazine = {"atrazine"}, nicosulfuron = {"nicosulfuron"};
        const double atrazineFull = mean(atrazine, {2}, 0.95, 1.05, 2);
        const double atrazineQuarter = mean(atrazine, {2}, 0.2, 0.4, 2);
        QVERIFY(atrazineFull > 0 && atrazineQuarter > 0);
        QVERIFY2(atrazineFull > atrazineQuarter + 10,
                 qPrintable(QStringLiteral("%1 vs %2").arg(atrazineFull).arg(atrazineQuarter)));
        const double nicoFull = mean(nicosulfuron, {4}, 0.95, 1.05, 1);
        const double nicoHalf = mean(nicosulfuron, {4}, 0.45, 0.55, 1);
        QVERIFY(nicoHalf > 0);
        QVERIFY2(nicoFull > nicoHalf,
                 qPrintable(QStringLiteral("%1 vs %2").arg(nicoFull).arg(nicoHalf)));
        // A grass product controls grasses far better than a broadleaf product does.
        QVERIFY(nicoFull > mean({"dicamba"}, {4}, 0.95, 1.05, 1) + 30);
        // S-métolachlore adds grass control to atrazine (independent action).
        const double pair = mean({"atrazine", "S-métolachlore"}, {1, 2}, 0.75, 1.3, 1);
        const double alone = mean(atrazine, {1, 2}, 0.75, 1.3, 1);
        QVERIFY(pair > 0 && alone > 0);
        QVERIFY2(pair > alone, qPrintable(QStringLiteral("%1 vs %2").arg(pair).arg(alone)));
    }

    void buildIsReproducibleAndScales() {
        const QString again = pathFor(QStringLiteral("again.mdb"));
        DatabaseBuilder::build(again, 1.0);
        const QByteArray digest = contentDigest(m_path);
        QCOMPARE(contentDigest(again), digest);

        // A smaller scale keeps the first sites as they are; a larger one grows the experiments.
        const QString half = pathFor(QStringLiteral("half.mdb"));
        const BuildSummary small = DatabaseBuilder::build(half, 0.5);
        QVERIFY(contentDigest(half) != digest);
        const double ratio = double(m_summary.treatments) / small.treatments;
        QVERIFY2(ratio > 1.7 && ratio < 2.3, qPrintable(QString::number(ratio)));
        Connection smallDb(half, Key);
        const QString sites =
            QStringLiteral("SELECT * FROM tbldesSites ORDER BY SiteExpId LIMIT ?");
        QCOMPARE(rows(smallDb, sites, {small.sites}), rows(*m_db, sites, {small.sites}));
        QCOMPARE(count(smallDb, QStringLiteral("SELECT count(*) FROM tblResults")), 40);

        // Building over an existing file replaces it.
        DatabaseBuilder::build(half, 1.0);
        QCOMPARE(contentDigest(half), digest);
    }

    void commandLine() {
        const QString exe = QStringLiteral(GRELAVO_MAKEDB_EXE);
        const auto run = [&](const QStringList& args) {
            QProcess p;
            p.start(exe, args);
            if (!p.waitForFinished(60000))
                return -1;
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        const QString out = pathFor(QStringLiteral("cli.mdb"));
        QCOMPARE(run({QStringLiteral("--output"), out, QStringLiteral("--scale"),
                      QStringLiteral("0.05")}),
                 0);
        Connection db(out, Key);
        QVERIFY(count(db, QStringLiteral("SELECT count(*) FROM tbldesTraitements")) > 0);
        QCOMPARE(run({}), 2);
        QCOMPARE(
            run({QStringLiteral("--output"), out, QStringLiteral("--scale"), QStringLiteral("0")}),
            2);
        QCOMPARE(
            run({QStringLiteral("--output"), out, QStringLiteral("--scale"), QStringLiteral("x")}),
            2);
        QCOMPARE(run({QStringLiteral("--output"), pathFor(QStringLiteral("no/such/dir/x.mdb"))}),
                 1);
    }
};

QTEST_GUILESS_MAIN(TestDatabaseBuilder)
#include "TestDatabaseBuilder.moc"
