// grelavo-import run as a user runs it: what each exit status means, what it writes on its two
// outputs, and a new database made from the shipped one.

#include "FixtureDatabase.h"
#include "ImportSet.h"
#include "ToolRun.h"
#include "db/DatabaseEdition.h"
#include "exchange/ExperimentExport.h"

#include <QtTest>

using namespace grelavo;

namespace {

ToolOutcome importTool(const QStringList& arguments) {
    return runTool(QStringLiteral(GRELAVO_IMPORT), arguments);
}

int rowsOf(const QString& database, const QString& table) {
    Connection db(database, DatabaseFile::password());
    return statementRows(db, QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table))
        .first()
        .toInt();
}

} // namespace

class TestImportCli : public QObject {
    Q_OBJECT

private slots:
    // 2: refused, each problem on a line of standard error, nothing written; 0 for a dry run
    // that finds nothing wrong (nothing written) and for an import; 1 for anything else.
    void exitStatusSaysWhatHappened() {
        const FixtureDatabase fixture;
        QTemporaryDir input, bad;
        const QStringList set = writeSet(input.path());
        const QByteArray before = fileBytes(fixture.path());

        const ToolOutcome refused =
            importTool(QStringList{"--db", fixture.path()} +
                       writeSet(bad.path(), QStringLiteral("evaluations.csv"),
                                "traitement,mauvaise_herbe,visuel_pct\nE1,sétaire vert,88\n"));
        QCOMPARE(refused.status, 2);
        QVERIFY(refused.out.isEmpty());
        QCOMPARE(refused.error.split(QLatin1Char('\n')),
                 (QStringList{"evaluations.csv, ligne 2, colonne mauvaise_herbe : « sétaire "
                              "vert » n'est pas dans la liste des mauvaises herbes ; noms "
                              "proches : « sétaire verte »",
                              "grelavo-import : fichiers refusés, rien n'a été écrit dans " +
                                  fixture.path(),
                              ""}));
        QCOMPARE(fileBytes(fixture.path()), before);

        const ToolOutcome dry = importTool(QStringList{"--db", fixture.path(), "--dry-run"} + set);
        QCOMPARE(dry.status, 0);
        QVERIFY2(dry.out.startsWith("Vérification faite, rien à redire ; seraient ajoutés : 1 "
                                    "sites, 2 traitements"),
                 dry.out.constData());
        QCOMPARE(fileBytes(fixture.path()), before);

        const ToolOutcome done = importTool(QStringList{"--db", fixture.path()} + set);
        QCOMPARE(done.status, 0);
        QVERIFY2(done.error.isEmpty(), qPrintable(done.error));
        QVERIFY(done.out.contains("3 évaluations"));
        QVERIFY(done.out.contains("Copie de la base avant l'ajout : " + fixture.path().toUtf8() +
                                  ".avant-import-"));
        QCOMPARE(rowsOf(fixture.path(), QStringLiteral("tbldesTraitements")), 9);

        for (const QStringList& arguments :
             {QStringList{"--db", fixture.path(), "--new", input.path()},
              QStringList{"--db", fixture.path(), "--bogus", input.path()},
              QStringList{"--db", fixture.path()},
              QStringList{"--db", fixture.folder() + "/absente.mdb", input.path()},
              QStringList{"--db", fixture.path(), input.path() + "/manquant.csv"}}) {
            const ToolOutcome o = importTool(arguments);
            QCOMPARE(o.status, 1);
            QVERIFY2(o.error.startsWith("grelavo-import : ") && o.error.count('\n') == 1,
                     qPrintable(o.error));
        }
    }

    // --new takes the shipped database's lists and structure and none of its experiments: the
    // new file holds the imported trials only, and carries no synthetic mark.
    void newDatabaseHoldsOnlyTheImportedTrials() {
        QTemporaryDir input, output;
        const QString path = output.filePath(QStringLiteral("essais.mdb"));
        const ToolOutcome o =
            importTool(QStringList{"--db", path, "--new"} + writeSet(input.path()));
        QVERIFY2(o.status == 0, qPrintable(o.error));
        QCOMPARE(rowsOf(path, QStringLiteral("tbldesTraitements")), 2);
        QCOMPARE(rowsOf(path, QStringLiteral("tblMHEval")), 3);
        QCOMPARE(
            rowsOf(path, QStringLiteral("ListeDesHerbicides")),
            rowsOf(QStringLiteral(GRELAVO_SHIPPED_DATABASE), QStringLiteral("ListeDesHerbicides")));
        QCOMPARE(rowsOf(path, QStringLiteral("tblResults")),
                 rowsOf(QStringLiteral(GRELAVO_SHIPPED_DATABASE), QStringLiteral("tblResults")));
        Connection db(path, DatabaseFile::password());
        const DatabaseEdition edition = DatabaseEdition::read(db);
        QVERIFY(edition.known && !edition.synthetic);
        QCOMPARE(QDir(output.path()).entryList(QDir::Files), QStringList{"essais.mdb"});
    }
};

QTEST_GUILESS_MAIN(TestImportCli)
#include "TestImportCli.moc"
