// The demonstration database as grelavo-makedb builds it: the file, its key, the prepared
// results table, the experiments and what the report engine will find there.

#include "DatabaseBuilder.h"
#include "Sources.h"
#include "core/db/Connection.h"
#include "core/db/DatabaseEdition.h"
#include "core/db/DbError.h"
#include "core/db/Statement.h"

#include <QCryptographicHash>
#include <QDate>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using grelavo::Connection;
using grelavo::DatabaseEdition;
using grelavo::DbError;
using grelavo::Statement;
using namespace grelavo::makedb;

namespace {

const QString Key = QStringLiteral("wkhtqelmzav");
const QVector<int> StandardWeeds = {16,  34,  15, 103, 100, 133, 24, 94, 38, 47,
                                    122, 121, 92, 152, 45,  46,  12, 52, 43};

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

// A digest of the schema's text and of every row of every table, in rowid order.
QByteArray contentDigest(const QString& path) {
    Connection db(path, Key);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QStringList queries{QStringLiteral("SELECT type, name, sql FROM sqlite_master ORDER BY name")};
    for (const QString& table : db.tableNames())
        queries << QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table);
    for (const QString& sql : queries)
        for (const auto& row : rows(db, sql))
            for (const QVariant& v : row)
                hash.addData(v.isNull() ? QByteArray("N|")
                                        : QByteArray(v.typeName()) + v.toString().toUtf8() + '|');
    return hash.result();
}

} // namespace

class TestDatabaseBuilder : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;
    Sources m_sources;
    std::unique_ptr<Connection> m_db;

    qlonglong count(const QString& sql, const QVariantList& binds = {}) {
        return scalar(*m_db, sql, binds).toLongLong();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("Grelavo.mdb"));
        m_sources = Sources::load();
        DatabaseBuilder::build(m_path, 1.0, m_sources);
        m_db = std::make_unique<Connection>(m_path, Key);
    }

    void cleanupTestCase() { m_db.reset(); }

    void opensOnlyWithItsKey() {
        QVERIFY(!QFileInfo::exists(m_path + QStringLiteral(".tmp")));
        for (const QString& key : {QString(), QStringLiteral("WKHTQELMZAV")}) {
            try {
                Connection wrong(m_path, key);
                QFAIL(qPrintable(QStringLiteral("opened with the key \"%1\"").arg(key)));
            } catch (const DbError& e) {
                QCOMPARE(e.number(), 3031);
            }
        }
    }

    // Its tables are those its inserts fill; the stored queries come with the schema alone.
    void holdsTheStoredQueries() {
        for (const char* view : {"Herbicide1", "Herbicide2", "Herbicide3", "Herbicide4",
                                 "DétailsHerbicides", "DétailsApplication", "DétailsTraitements"})
            QCOMPARE(m_db->viewName(QString::fromUtf8(view)), QString::fromUtf8(view));
    }

    // Rows 1 to 40: category headers (C) each followed by its weeds (W), blank rows (B), the
    // heading of the user's weeds (H) and free rows (F); every cell " - ".
    void resultsTableIsLaidOut() {
        const auto table =
            rows(*m_db, QStringLiteral(
                            "SELECT r.NoId, r.Results, r.ResultsId, c.TypeMH, w.\"Nom-Francais\", "
                            "w.TypeMHId, r.\"1\"||r.\"2\"||r.\"3\"||r.\"4\"||r.\"5\"||r.\"6\"||"
                            "r.\"7\"||r.\"8\"||r.\"9\"||r.\"10\" FROM tblResults r "
                            "LEFT JOIN ListeDesTypesMH c ON c.TypeMHId = r.ResultsId AND "
                            "r.Results NOT LIKE ' %' "
                            "LEFT JOIN ListedesMauvaisesHerbes w ON w.MHId = r.ResultsId AND "
                            "r.Results LIKE ' %' ORDER BY r.NoId"));
        QString layout;
        QVector<int> categories, weeds;
        for (int i = 0; i < table.size(); ++i) {
            const QVariantList& r = table[i];
            const QString where = QStringLiteral("row %1").arg(i + 1);
            QVERIFY2(r[0].toInt() == i + 1 && r[6].toString() == QStringLiteral(" - ").repeated(10),
                     qPrintable(where));
            if (!r[3].isNull()) {
                layout += QLatin1Char('C');
                QCOMPARE(r[1].toString(), r[3].toString());
                categories << r[2].toInt();
            } else if (!r[4].isNull()) {
                layout += QLatin1Char('W');
                QCOMPARE(r[1].toString(), QStringLiteral("     ") + r[4].toString());
                QVERIFY2(r[5].toInt() == categories.value(categories.size() - 1),
                         qPrintable(where));
                weeds << r[2].toInt();
            } else {
                QVERIFY2(r[2].isNull(), qPrintable(where));
                const QString label = r[1].toString();
                layout += r[1].isNull()                                           ? 'B'
                          : label == QStringLiteral("Sélection de l'utilisateur") ? 'H'
                          : label == QStringLiteral("     --------")              ? 'F'
                                                                                  : '?';
            }
        }
        QCOMPARE(layout, QStringLiteral("CWWWWWBCWWWWBCWWWWWWWBCWBCWWBHFFFFFFFFFF"));
        QCOMPARE(categories, (QVector<int>{1, 3, 2, 7, 4}));
        QCOMPARE(weeds, StandardWeeds);
    }

    // The file says what it is: synthetic demonstration data from this builder, on one row
    // that the program's reader finds.
    void saysItHoldsSyntheticDemonstrationData() {
        const auto edition = rows(*m_db, QStringLiteral("SELECT \"Nom\", \"DateÉdition\", "
                                                        "\"Source\", \"Synthétique\" FROM "
                                                        "\"tblÉdition\""));
        QCOMPARE(edition.size(), 1);
        const QVariantList& row = edition.first();
        QCOMPARE(row[0].toString(), QStringLiteral("Démonstration (données synthétiques)"));
        QVERIFY2(QDate::fromString(row[1].toString(), Qt::ISODate).isValid(),
                 qPrintable(row[1].toString()));
        QCOMPARE(row[2].toString(), QStringLiteral("grelavo-makedb"));
        QCOMPARE(row[3], QVariant(qlonglong(1)));

        const DatabaseEdition read = DatabaseEdition::read(*m_db);
        QVERIFY(read.known && read.synthetic);
        QCOMPARE(read.name, row[0].toString());
        QCOMPARE(read.date, row[1].toString());
        QCOMPARE(read.source, row[2].toString());
    }

    void sizes() {
        QVERIFY(count(QStringLiteral("SELECT count(*) FROM tbldesTraitements")) >= 1500);
        QVERIFY(count(QStringLiteral("SELECT count(*) FROM tblMHEval")) >= 20000);
        QVERIFY(count(QStringLiteral("SELECT count(*) FROM ListedesMauvaisesHerbes")) >= 49);
    }

    void noRowBreaksTheRules() {
        const char* broken[] = {
            // A rating is a visual percentage in steps of 5, or NULL; one per weed and treatment.
            "SELECT count(*) FROM tblMHEval WHERE Visuel IS NOT NULL AND (typeof(Visuel) <> "
            "'integer' OR Visuel NOT BETWEEN 0 AND 100 OR Visuel % 5 <> 0)",
            "SELECT count(*) FROM (SELECT 1 FROM tblMHEval GROUP BY TraitementId, MHId "
            "HAVING count(*) > 1)",
            // A product has a positive rate.
            "SELECT count(*) FROM tblDétailsHerbicides WHERE typeof(HerbTauxH) <> 'real' "
            "OR HerbTauxH <= 0",
            // One crop row per treatment; its variety and the stage rows are of that crop.
            "SELECT count(*) FROM tbldesTraitements t WHERE (SELECT count(*) FROM tblCultureEXP c "
            "WHERE c.TraitementId = t.TraitementId) <> 1",
            "SELECT count(*) FROM tblCultureEXP c JOIN \"ListeDesVariétés\" v "
            "USING (\"VariétéId\") WHERE v.CultureId <> c.CultureId",
            "SELECT count(*) FROM tblStadeCultureH s JOIN tblPériodesApplication a USING "
            "(DateHerbId) JOIN tblCultureEXP c USING (TraitementId) WHERE s.CultureId <> "
            "c.CultureId",
            // The report finds its weeds by label and by an id no category has.
            "SELECT count(*) FROM (SELECT 1 FROM ListedesMauvaisesHerbes GROUP BY "
            "\"Nom-Francais\" HAVING count(*) > 1)",
            "SELECT count(*) FROM ListedesMauvaisesHerbes WHERE MHId IN (1, 2, 3, 4, 7)",
        };
        for (const char* sql : broken)
            QVERIFY2(count(QString::fromUtf8(sql)) == 0, sql);
        QVERIFY(rows(*m_db, QStringLiteral("PRAGMA foreign_key_check")).isEmpty());
        // Every application holds one to four products, and each of these sizes occurs.
        QCOMPARE(
            scalar(*m_db, QStringLiteral(
                              "SELECT group_concat(n) FROM (SELECT DISTINCT count(d.HerbicideId) "
                              "n FROM tblPériodesApplication a LEFT JOIN tblDétailsHerbicides d "
                              "USING (DateHerbId) GROUP BY a.DateHerbId ORDER BY n)"))
                .toString(),
            QStringLiteral("1,2,3,4"));
    }

    // One product alone at its label rate on "Maïs (tous)", ± 5, with the report engine's joins
    // and single-precision windows: every fraction finds ratings, and the full rate controls the
    // product's weeds better than half of it.
    void commonQueryFindsEveryFraction() {
        const QString sql = QStringLiteral(
            "SELECT count(e.Visuel), avg(CASE w.TypeMHId WHEN ? THEN e.Visuel END) "
            "FROM tblDétailsHerbicides d "
            "JOIN tblPériodesApplication a ON a.DateHerbId = d.DateHerbId "
            "JOIN tblStadeCultureH s ON s.DateHerbId = a.DateHerbId "
            "JOIN tbldesTraitements t ON t.TraitementId = a.TraitementId "
            "JOIN tbldesSites si ON si.SiteExpId = t.SiteExpId "
            "JOIN tblCultureEXP c ON c.TraitementId = t.TraitementId "
            "JOIN tblMHEval e ON e.TraitementId = t.TraitementId "
            "JOIN ListedesMauvaisesHerbes w ON w.MHId = e.MHId "
            "JOIN ListeDesHerbicides h ON h.HerbicideId = d.HerbicideId "
            "JOIN \"ListeDesPériodesApplication\" p ON p.TypeApplicationId = a.TypeApplicationId "
            "WHERE h.Herbicide = ? AND p.TypeApplication = ? AND d.HerbTauxH BETWEEN ? AND ? "
            "AND (SELECT count(*) FROM tblDétailsHerbicides x WHERE x.DateHerbId = d.DateHerbId) "
            "= 1 AND c.CultureId IN (147, 149, 240, 242) AND e.MHId IN (16, 34, 15, 103, 100, "
            "133, 24, 94, 38, 47, 122, 121, 92, 152, 45, 46, 12, 52, 43)");
        // Each product with the weed category it controls.
        const QStringList cases[] = {{"atrazine", "Prélevée", "2"},
                                     {"dicamba", "Postlevée", "2"},
                                     {"nicosulfuron", "Postlevée", "1"}};
        for (const QStringList& c : cases) {
            const double rate = m_sources.herbicideByName(c[0]).labelRate();
            QVector<double> means;
            for (double fraction : {0.5, 0.6, 0.7, 0.8, 1.0}) {
                const auto r =
                    rows(*m_db, sql,
                         {c[2].toInt(), c[0], c[1], rate * double(float(fraction - 0.05)),
                          rate * double(float(fraction + 0.05))});
                const QString where = QStringLiteral("%1 at %2").arg(c[0]).arg(fraction);
                QVERIFY2(r[0][0].toInt() >= 5, qPrintable(where));
                means << r[0][1].toDouble();
            }
            QVERIFY2(means.last() > means.first() + 5, qPrintable(c[0]));
        }
    }

    // The same sources give the same file, even over another database; a smaller scale keeps
    // the first sites.
    void buildIsReproducible() {
        const QString other = m_dir.filePath(QStringLiteral("other.mdb"));
        const BuildSummary small = DatabaseBuilder::build(other, 0.5, m_sources);
        {
            Connection smallDb(other, Key);
            const QString sites =
                QStringLiteral("SELECT * FROM tbldesSites ORDER BY SiteExpId LIMIT ?");
            QCOMPARE(rows(smallDb, sites, {small.sites}), rows(*m_db, sites, {small.sites}));
        }
        DatabaseBuilder::build(other, 1.0, m_sources);
        QCOMPARE(contentDigest(other), contentDigest(m_path));
    }

    // A successful run is the differential test's generated database; here, the refusals.
    void commandLine() {
        const auto run = [](const QStringList& args) {
            QProcess p;
            p.start(QStringLiteral(GRELAVO_MAKEDB_EXE), args);
            return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode()
                                                                                      : -1;
        };
        QCOMPARE(run({"--output", m_dir.filePath(QStringLiteral("cli.mdb")), "--scale", "0"}), 2);
        QCOMPARE(run({"--output", m_dir.filePath(QStringLiteral("no/dir/x.mdb"))}), 1);
    }
};

QTEST_GUILESS_MAIN(TestDatabaseBuilder)
#include "TestDatabaseBuilder.moc"
