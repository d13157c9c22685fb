// The edition travels with the trials: grelavo-export writes the database's edition beside the
// files, and grelavo-import of a set it says synthetic marks the database so, whatever edition
// it had; a set without it (written before it existed) imports as before.

#include "FixtureDatabase.h"
#include "ImportSet.h"
#include "ToolRun.h"
#include "core/db/DatabaseEdition.h"
#include "core/exchange/ExperimentExport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace grelavo;

namespace {

ToolOutcome runImport(const QStringList& arguments) {
    return runTool(QStringLiteral(GRELAVO_IMPORT), arguments);
}

DatabaseEdition editionOf(const QString& database) {
    Connection db(database, DatabaseFile::password());
    return DatabaseEdition::read(db);
}

// The edition a report run by grelavo-rapport on the database gives.
QJsonObject reportedEdition(const QString& database) {
    const ToolOutcome o =
        runTool(QStringLiteral(GRELAVO_RAPPORT),
                {"--db", database, "--periode", "2", "--herbicide", "1:1", "--culture", "tous"});
    if (o.status != 0)
        qWarning("%s", qPrintable(o.error));
    return QJsonDocument::fromJson(o.out).object().value("edition").toObject();
}

} // namespace

class TestEditionTravels : public QObject {
    Q_OBJECT

private slots:
    // The shipped database's edition is written as it is; its example set, imported into a new
    // database, gives reports that say their trials are synthetic.
    void syntheticExampleStaysSynthetic() {
        QTemporaryDir dir;
        const QString shipped = QStringLiteral(GRELAVO_SHIPPED_DATABASE);
        const ToolOutcome exported =
            runTool(QStringLiteral(GRELAVO_EXPORT), {"--db", shipped, "--output", dir.path()});
        QVERIFY2(exported.status == 0, qPrintable(exported.error));
        const DatabaseEdition edition = editionOf(shipped);
        QVERIFY(edition.known && edition.synthetic);
        QCOMPARE(fileBytes(dir.filePath("edition.csv")), "\xEF\xBB\xBFnom,date,synthetique\r\n" +
                                                             edition.name.toUtf8() + "," +
                                                             edition.date.toUtf8() + ",1\r\n");

        const QString made = dir.filePath("essais.mdb");
        const ToolOutcome o =
            runImport({"--db", made, "--new", QStringLiteral(GRELAVO_EXCHANGE_EXAMPLE)});
        QVERIFY2(o.status == 0, qPrintable(o.error));
        QCOMPARE(reportedEdition(made).value("synthetic").toBool(), true);
    }

    // Into a database of unknown edition, a synthetic set makes it known as synthetic; a set
    // without the edition file, or saying 0, leaves the edition as it was; another value is
    // refused with the rest of the set.
    void importMarksAnyDatabase() {
        const FixtureDatabase fixture;
        {
            Connection db(fixture.path(), DatabaseFile::password());
            db.executeScript(QStringLiteral("DROP TABLE IF EXISTS \"tblÉdition\""));
        }
        QTemporaryDir plain, real, bad, synthetic;
        QVERIFY(runImport(QStringList{"--db", fixture.path()} + writeSet(plain.path())).status ==
                0);
        QVERIFY(!editionOf(fixture.path()).known);

        const auto withEdition = [](const QTemporaryDir& dir, const QByteArray& value) {
            QStringList files = writeSet(dir.path());
            writeFile(dir.filePath("edition.csv"),
                      "nom,date,synthetique\nDémonstration,2026-12-07," + value + "\n");
            return files << dir.filePath("edition.csv");
        };
        const QByteArray before = fileBytes(fixture.path());
        const ToolOutcome refused =
            runImport(QStringList{"--db", fixture.path()} + withEdition(bad, "oui"));
        QCOMPARE(refused.status, 2);
        QVERIFY2(refused.error.startsWith(
                     "edition.csv, ligne 2, colonne synthetique\u00a0: «\u00a0oui\u00a0»"),
                 qPrintable(refused.error));
        QCOMPARE(fileBytes(fixture.path()), before);

        // New keys for the trials of the second and third sets.
        for (const auto& [dir, value, marked] :
             {std::tuple<const QTemporaryDir*, QByteArray, bool>{&real, "0", false},
              {&synthetic, "1", true}}) {
            QStringList files = withEdition(*dir, value);
            for (const QString& f : files) {
                QFile in(f);
                QVERIFY(in.open(QIODevice::ReadOnly));
                QByteArray text = in.readAll();
                in.close();
                text.replace("P1", "P1" + value).replace("E1", "E1" + value);
                text.replace("E2", "E2" + value).replace("AP", "AP" + value);
                writeFile(f, text);
            }
            const ToolOutcome o = runImport(QStringList{"--db", fixture.path()} + files);
            QVERIFY2(o.status == 0, qPrintable(o.error));
            const DatabaseEdition edition = editionOf(fixture.path());
            QCOMPARE(edition.known, marked);
            QCOMPARE(edition.synthetic, marked);
        }
    }
};

QTEST_GUILESS_MAIN(TestEditionTravels)
#include "TestEditionTravels.moc"
