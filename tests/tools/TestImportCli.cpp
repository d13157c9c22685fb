// grelavo-import run as a user runs it: what each exit status means, what it writes on its two
// outputs, and a new database made from the shipped one.

#include "FixtureDatabase.h"
#include "FrenchText.h"
#include "ImportSet.h"
#include "ToolRun.h"
#include "core/db/DatabaseEdition.h"
#include "core/exchange/ExperimentExport.h"

#include <QtTest>
#include <sys/stat.h>

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
        QCOMPARE(
            refused.error.split(QLatin1Char('\n')),
            (QStringList{"evaluations.csv, ligne 2, colonne mauvaise_herbe\u00a0: «\u00a0sétaire "
                         "vert\u00a0» n'est pas dans la liste des mauvaises herbes\u00a0; noms "
                         "proches\u00a0: «\u00a0sétaire verte\u00a0»",
                         "grelavo-import\u00a0: fichiers refusés, rien n'a été écrit dans " +
                             fixture.path(),
                         ""}));
        QCOMPARE(fileBytes(fixture.path()), before);

        const ToolOutcome dry = importTool(QStringList{"--db", fixture.path(), "--dry-run"} + set);
        QCOMPARE(dry.status, 0);
        QVERIFY2(
            dry.out.startsWith("Vérification faite, rien à redire\u00a0; seraient ajoutés\u00a0: 1 "
                               "sites, 2 traitements"),
            dry.out.constData());
        QCOMPARE(fileBytes(fixture.path()), before);

        const ToolOutcome done = importTool(QStringList{"--db", fixture.path()} + set);
        QCOMPARE(done.status, 0);
        QVERIFY2(done.error.isEmpty(), qPrintable(done.error));
        QVERIFY(done.out.contains("3 évaluations"));
        QVERIFY(done.out.contains(
            "Copie de la base avant l'ajout\u00a0: " + fixture.path().toUtf8() + ".avant-import-"));
        QCOMPARE(rowsOf(fixture.path(), QStringLiteral("tbldesTraitements")), 9);

        for (const QStringList& arguments :
             {QStringList{"--db", fixture.path(), "--new", input.path()},
              QStringList{"--db", fixture.path(), "--bogus", input.path()},
              QStringList{"--db", fixture.path()},
              QStringList{"--db", fixture.folder() + "/absente.mdb", input.path()},
              QStringList{"--db", fixture.path(), input.path() + "/manquant.csv"},
              QStringList{"--db=", input.path()},
              QStringList{"--db", fixture.path(), "--db", fixture.path(), input.path()},
              QStringList{"--dry-run=1", "--db", fixture.path(), input.path()}}) {
            const ToolOutcome o = importTool(arguments);
            QCOMPARE(o.status, 1);
            QVERIFY2(o.error.startsWith("grelavo-import\u00a0: ") && o.error.count('\n') == 1,
                     qPrintable(o.error));
            QVERIFY2(englishWords(o.error).isEmpty(), qPrintable(o.error));
        }
        QCOMPARE(rowsOf(fixture.path(), QStringLiteral("tbldesTraitements")), 9);
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

    // A folder's exchange files are known by name whatever their case and accents; another CSV
    // file there is named in a warning and left alone.
    void folderTakesItsExchangeFilesByName() {
        const FixtureDatabase fixture;
        QTemporaryDir input;
        const QStringList set = writeSet(input.path());
        QDir folder(input.path());
        QVERIFY(folder.rename(QStringLiteral("sites.csv"), QStringLiteral("SITES.CSV")));
        QVERIFY(
            folder.rename(QStringLiteral("evaluations.csv"), QStringLiteral("évaluations.csv")));
        writeFile(folder.filePath(QStringLiteral("notes.csv")), "a,b\n");
        const ToolOutcome o = importTool({"--db", fixture.path(), "--dry-run", input.path()});
        QCOMPARE(o.status, 0);
        QVERIFY2(o.out.contains("1 sites, 2 traitements") && o.out.contains("3 évaluations"),
                 o.out.constData());
        QVERIFY2(o.error.contains(QStringLiteral("«\u00a0%1\u00a0» n'est pas un fichier d'échange")
                                      .arg(folder.filePath(QStringLiteral("notes.csv")))),
                 qPrintable(o.error));
    }

    // A pipe, a device, a link to nothing or a file over 1 GB is refused before it is read, given
    // by itself or found in a folder.
    void filesThatAreNotPlainAreRefusedUnread() {
        const FixtureDatabase fixture;
        QTemporaryDir input;
        writeSet(input.path());
        const QString stages = input.filePath(QStringLiteral("stades.csv"));
        QVERIFY(QFile::remove(stages));
        QCOMPARE(mkfifo(QFile::encodeName(stages).constData(), 0600), 0);
        const QString products = input.filePath(QStringLiteral("produits.csv"));
        QVERIFY(QFile::remove(products));
        QVERIFY(QFile::link(input.filePath(QStringLiteral("absent")), products));
        const ToolOutcome inFolder = importTool({"--db", fixture.path(), input.path()});
        QCOMPARE(inFolder.status, 2);
        QVERIFY2(
            inFolder.error.startsWith(
                "produits.csv\u00a0: lien vers «\u00a0" + input.filePath("absent") +
                "\u00a0», qui n'existe pas\nstades.csv\u00a0: ce n'est pas un fichier ordinaire"),
            qPrintable(inFolder.error));

        QTemporaryDir other;
        const QString zero = other.filePath(QStringLiteral("sites.csv"));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), zero));
        const QString large = other.filePath(QStringLiteral("evaluations.csv"));
        QFile big(large);
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize((qint64(1) << 30) + 1));
        big.close();
        const ToolOutcome given = importTool({"--db", fixture.path(), zero, large});
        QCOMPARE(given.status, 2);
        QVERIFY2(
            given.error.startsWith("sites.csv\u00a0: ce n'est pas un fichier ordinaire (tube, "
                                   "périphérique ou socket)\u00a0: il n'est pas lu\n"
                                   "evaluations.csv\u00a0: fichier de 1024 Mo\u00a0: un fichier "
                                   "d'échange ne dépasse pas 1 Go\n"),
            qPrintable(given.error));
    }

    // --accepter-inhabituels takes a rate out of the usual range and says so.
    void unusualRatesAreAcceptedOnlyWhenAsked() {
        const FixtureDatabase fixture;
        QTemporaryDir input;
        const QStringList set = writeSet(input.path(), QStringLiteral("produits.csv"),
                                         "application,herbicide,formulation,dose_kg_ma_ha\n"
                                         "AP1,atrazine,1,25\nAP2,atrazine,1,1\n");
        QCOMPARE(importTool(QStringList{"--db", fixture.path(), "--dry-run"} + set).status, 2);
        const ToolOutcome o = importTool(
            QStringList{"--db", fixture.path(), "--dry-run", "--accepter-inhabituels"} + set);
        QCOMPARE(o.status, 0);
        QCOMPARE(o.error, QString());
        QVERIFY2(QString::fromUtf8(o.out).contains(QStringLiteral(
                     "\nValeur inhabituelle acceptée (--accepter-inhabituels)\u00a0: "
                     "produits.csv, ligne 2, colonne dose_kg_ma_ha\u00a0: dose "
                     "inhabituelle de 25 kg i.a./ha\u00a0: plus de 20 kg i.a./ha\n")),
                 o.out.constData());
    }
};

QTEST_GUILESS_MAIN(TestImportCli)
#include "TestImportCli.moc"
