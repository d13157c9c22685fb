// The exchange files written from the fixture database: headings, rows by name, quoting, keys,
// numbers that read back exactly, and rows that cannot be written by name.

#include "ExchangeCheck.h"
#include "FixtureDatabase.h"
#include "core/db/Connection.h"
#include "core/db/DatabaseFile.h"
#include "core/db/Statement.h"
#include "core/exchange/ExperimentExport.h"
#include "core/text/CsvWriter.h"

#include <QtTest>
#include <cmath>

using namespace grelavo;

namespace {

using Files = QHash<QString, QVector<QStringList>>;

Files exportAll(Connection& db) {
    Files files;
    for (const ExperimentExport::Output& f : ExperimentExport::read(db))
        files.insert(f.name, parseCsv(f.bytes));
    return files;
}

// The data rows of a file (those whose first field is `key` when one is given), each joined
// by "|".
QStringList rowsOf(const Files& files, const QString& name, const QString& key = QString()) {
    QStringList out;
    for (const QStringList& row : files.value(name).mid(1))
        if (key.isNull() || row.value(0) == key)
            out << row.join(QLatin1Char('|'));
    return out;
}

// The fixture database, open.
struct FixtureConnection : FixtureDatabase, Connection {
    FixtureConnection() : Connection(FixtureDatabase::path(), DatabaseFile::password()) {}
};

} // namespace

class TestExperimentExport : public QObject {
    Q_OBJECT

private slots:
    void csvFieldsAreQuotedOnlyWhenNeeded_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << "sétaire verte"
                               << "sétaire verte";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("comma") << "2,4-D"
                               << "\"2,4-D\"";
        QTest::newRow("quote") << "dit \"X\""
                               << "\"dit \"\"X\"\"\"";
        QTest::newRow("line break") << "a\nb"
                                    << "\"a\nb\"";
        QTest::newRow("edge space") << " a"
                                    << "\" a\"";
        QTest::newRow("semicolon") << "a;b"
                                   << "a;b";
    }
    void csvFieldsAreQuotedOnlyWhenNeeded() {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QCOMPARE(CsvWriter::field(text), field);
    }

    // Asked, the writer puts an apostrophe before text a spreadsheet would run as a formula,
    // never before a number; quoting comes after it.
    void formulasAreWrittenAsText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("equals") << "=HYPERLINK(\"x\")"
                                << "\"'=HYPERLINK(\"\"x\"\")\"";
        QTest::newRow("plus") << "+A1"
                              << "'+A1";
        QTest::newRow("minus") << "-2+3"
                               << "'-2+3";
        QTest::newRow("at") << "@SUM(A1)"
                            << "'@SUM(A1)";
        QTest::newRow("tab") << "\t=1"
                             << "'\t=1";
        QTest::newRow("carriage return") << "\r=1"
                                         << "\"'\r=1\"";
        QTest::newRow("negative number") << "-0.25"
                                         << "-0.25";
        QTest::newRow("negative integer") << "-3"
                                          << "-3";
        QTest::newRow("negative number with exponent") << "-1.5e-05"
                                                       << "-1.5e-05";
        QTest::newRow("inside") << "2,4-D"
                                << "\"2,4-D\"";
        QTest::newRow("apostrophe") << "'=1"
                                    << "'=1";
    }
    void formulasAreWrittenAsText() {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QCOMPARE(CsvWriter::field(text, CsvWriter::Cells::Formulas), field);
        CsvWriter w(CsvWriter::Cells::Formulas);
        w.addRow({text});
        QCOMPARE(w.bytes(), "\xEF\xBB\xBF" + field.toUtf8() + "\r\n");
        QCOMPARE(CsvWriter::field(text), CsvWriter::field(text, CsvWriter::Cells::AsGiven));
    }

    void csvFileStartsWithBomAndEndsLinesWithCrLf() {
        CsvWriter w;
        w.addRow({QStringLiteral("a"), QStringLiteral("é,è")});
        w.addRow({QString(), QStringLiteral("b")});
        QCOMPARE(w.bytes(), QByteArray("\xEF\xBB\xBF"
                                       "a,\"\xC3\xA9,\xC3\xA8\"\r\n,b\r\n"));
    }

    // The templates users start from are what the export writes for an empty set.
    void templatesHoldTheHeadingsTheExportWrites() {
        const QDir templates(QStringLiteral(GRELAVO_EXCHANGE_TEMPLATES));
        QStringList expected;
        for (const ExchangeFile& f : ExperimentExport::files()) {
            CsvWriter headings;
            headings.addRow(f.headings);
            QCOMPARE(fileBytes(templates.filePath(f.name)), headings.bytes());
            expected << f.name;
        }
        expected.sort();
        QCOMPARE(templates.entryList(QDir::Files, QDir::Name), expected);
    }

    void rowsNameWhatTheyReferTo() {
        FixtureConnection db;
        const Files f = exportAll(db);
        QCOMPARE(rowsOf(f, "sites.csv", "S2"), QStringList{"S2|Ontario|argile|8|7.2"});
        QCOMPARE(rowsOf(f, "traitements.csv", "T3"), QStringList{"T3|S2"});
        // No variety for this crop: an empty field, not a zero.
        QCOMPARE(rowsOf(f, "cultures.csv", "T3"),
                 QStringList{"T3|Maïs fourrager||soya|18|70000|6|91"});
        QCOMPARE(rowsOf(f, "cultures.csv", "T5"),
                 QStringList{"T5|Maïs sucré|Sucré C|blé|15|60000|3|65"});
        QCOMPARE(rowsOf(f, "applications.csv", "A4"), QStringList{"A4|T4|Postlevée"});
        QCOMPARE(rowsOf(f, "stades.csv", "A4"), QStringList{"A4|Maïs grain|40|7"});
        QCOMPARE(rowsOf(f, "produits.csv", "A5"),
                 (QStringList{"A5|atrazine|1|0.5", "A5|dicamba|1|0.3", "A5|nicosulfuron|1|0.02"}));
        // A rating without a figure stays empty.
        QCOMPARE(
            rowsOf(f, "evaluations.csv", "T3"),
            (QStringList{"T3|pied-de-coq|60", "T3|sétaire verte|", "T3|souchet comestible|50"}));
        // Both applications of treatment 6 keep their own key.
        QCOMPARE(rowsOf(f, "applications.csv", "A6") + rowsOf(f, "applications.csv", "A7"),
                 (QStringList{"A6|T6|Prélevée", "A7|T6|Prélevée"}));
    }

    void keysArePaddedSoThatTextOrderIsRowOrder() {
        FixtureConnection db;
        db.executeScript(
            QStringLiteral("INSERT INTO tbldesSites VALUES (12, NULL, NULL, NULL, NULL);"
                           "INSERT INTO tbldesTraitements VALUES (100, 12);"));
        const Files f = exportAll(db);
        QCOMPARE(rowsOf(f, "sites.csv"),
                 (QStringList{"S01|Québec|loam|3.5|6.5", "S02|Ontario|argile|8|7.2", "S12||||"}));
        const QVector<QStringList> treatments = f.value("traitements.csv");
        QCOMPARE(treatments.at(1), (QStringList{"T001", "S01"}));
        QCOMPARE(treatments.last(), (QStringList{"T100", "S12"}));
        QCOMPARE(f.value("cultures.csv").at(1).first(), QStringLiteral("T001"));
    }

    void namesWithCommasAndQuotesReadBackWhole() {
        FixtureConnection db;
        const QString herbicide = QStringLiteral("dicamba, sel \"DMA\"");
        const QString weed = QStringLiteral("sétaire verte\n(forme \"naine\")");
        db.executeScript(QStringLiteral(
            "UPDATE ListeDesHerbicides SET Herbicide = 'dicamba, sel \"DMA\"' WHERE HerbicideId "
            "= 11; UPDATE ListedesMauvaisesHerbes SET \"Nom-Francais\" = 'sétaire verte' || "
            "char(10) || '(forme \"naine\")' WHERE MHId = 34;"));
        const Files f = exportAll(db);
        QCOMPARE(rowsOf(f, "produits.csv", "A2"),
                 (QStringList{"A2|atrazine|1|0.5", "A2|" + herbicide + "|2|0.3"}));
        QCOMPARE(rowsOf(f, "evaluations.csv", "T1").at(1), "T1|" + weed + "|85");
    }

    // A name in a list that a spreadsheet would run is exported as text.
    void namesLikeFormulasAreExportedAsText() {
        FixtureConnection db;
        db.executeScript(QStringLiteral("UPDATE ListeDesHerbicides SET Herbicide = "
                                        "'=1+1' WHERE HerbicideId = 11"));
        for (const ExperimentExport::Output& f : ExperimentExport::read(db)) {
            if (f.name == QLatin1String("produits.csv"))
                QVERIFY(f.bytes.contains("\r\nA2,'=1+1,2,0.3\r\n"));
        }
    }

    void numbersReadBackExactly() {
        const QVector<double> values{0.1 + 0.2,      1.0 / 3.0, 1e-7,  123456789.125,
                                     0.0125,         2.5e15,    -0.75, std::ldexp(1.0, -30),
                                     4.35 * 100 / 7, 75000};
        FixtureConnection db;
        {
            Statement insert(db, QStringLiteral("INSERT INTO tbldesSites VALUES (?, 1, 1, ?, 7)"));
            for (int i = 0; i < values.size(); ++i) {
                insert.bind(1, 100 + i);
                insert.bind(2, values[i]);
                insert.step();
                insert.reset();
            }
        }
        const QVector<QStringList> sites = exportAll(db).value("sites.csv");
        QCOMPARE(sites.size(), 1 + 2 + values.size());
        for (int i = 0; i < values.size(); ++i) {
            const QString text = sites.at(3 + i).at(3);
            QVERIFY2(!text.contains(QLatin1Char('e')) && !text.contains(QLatin1Char(',')),
                     qPrintable(text));
            bool ok = false;
            QCOMPARE(text.toDouble(&ok), values[i]);
            QVERIFY(ok);
        }
        QCOMPARE(ExperimentExport::number(75000), QStringLiteral("75000"));
        QCOMPARE(ExperimentExport::number(0.02), QStringLiteral("0.02"));
    }

    void rowsThatCannotBeWrittenByNameAreRefused_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("where");
        QTest::newRow("province") << "UPDATE tbldesSites SET ProvinceID = 9 WHERE SiteExpId = 2"
                                  << "sites.csv (S2), colonne province";
        QTest::newRow("site") << "UPDATE tbldesTraitements SET SiteExpId = 5 WHERE TraitementId = 4"
                              << "traitements.csv (T4), colonne site";
        QTest::newRow("herbicide")
            << "UPDATE tblDétailsHerbicides SET HerbicideId = 99 WHERE DateHerbId = 3"
            << "produits.csv (A3), colonne herbicide";
        QTest::newRow("treatment") << "UPDATE tblMHEval SET TraitementId = 70 WHERE MHEvalId = 1"
                                   << "evaluations.csv (évaluation n° 1), colonne traitement";
        QTest::newRow("text rate")
            << "UPDATE tblDétailsHerbicides SET HerbTauxH = 'beaucoup' WHERE DateHerbId = 1"
            << "produits.csv (A1), colonne dose_kg_ma_ha";
    }
    void rowsThatCannotBeWrittenByNameAreRefused() {
        QFETCH(QString, damage);
        QFETCH(QString, where);
        FixtureConnection db;
        db.executeScript(damage);
        try {
            ExperimentExport::read(db);
            QFAIL("the export went through");
        } catch (const ExchangeError& e) {
            QVERIFY2(e.message().startsWith(where), qPrintable(e.message()));
        }
        QVERIFY(!db.inTransaction());
    }
};

QTEST_GUILESS_MAIN(TestExperimentExport)
#include "TestExperimentExport.moc"
