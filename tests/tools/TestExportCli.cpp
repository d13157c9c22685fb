// grelavo-export run as a user runs it: on the fixture database, on files it must refuse, into
// folders it cannot or must not write, and on the shipped database.

#include "ExchangeCheck.h"
#include "FixtureDatabase.h"
#include "ImportSet.h"
#include "ToolRun.h"
#include "core/db/Connection.h"
#include "core/db/Statement.h"
#include "core/exchange/ExperimentExport.h"

#include <QDir>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace grelavo;

namespace {

using Outcome = ToolOutcome;

Outcome exportTool(const QStringList& arguments) {
    return runTool(QStringLiteral(GRELAVO_EXPORT), arguments);
}

// A failure is one line on standard error, naming the program, and nothing on standard output.
bool isOneLineFailure(const Outcome& o) {
    return o.status == 1 && o.out.isEmpty() && o.error.startsWith("grelavo-export\u00a0: ") &&
           o.error.endsWith('\n') && o.error.count('\n') == 1;
}

// In the order of their names, the edition file among them.
QStringList exchangeFileNames() {
    QStringList names{ExperimentExport::editionFile().name};
    for (const ExchangeFile& f : ExperimentExport::files())
        names << f.name;
    names.sort();
    return names;
}

void checkCounts(const QString& database, const QString& folder) {
    Connection db(database, DatabaseFile::password());
    checkExchangeFiles(db,
                       [&](const QString& name) { return fileBytes(QDir(folder).filePath(name)); });
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestExportCli : public QObject {
    Q_OBJECT

private slots:
    void helpIsInFrench() {
        const Outcome o = exportTool({"--help"});
        QCOMPARE(o.status, 0);
        const QString help = QString::fromUtf8(o.out);
        for (const char* word :
             {"--db FICHIER", "--output DOSSIER", "--remplacer", "Code de sortie"})
            QVERIFY2(help.contains(QString::fromUtf8(word)), word);
        for (const QString& name : exchangeFileNames())
            QVERIFY2(help.contains(name), qPrintable(name));
    }

    // Every file into a new folder, its parents made, and the database left as it was; into a
    // folder that holds one of the files already, nothing unless --remplacer is given.
    void writesEveryFileButReplacesOnlyWhenAsked() {
        FixtureDatabase fixture;
        const QByteArray before = fileBytes(fixture.path());
        const QString folder = fixture.folder() + "/export/essais";
        const Outcome o = exportTool({"--db", fixture.path(), "--output", folder});
        QCOMPARE(o.status, 0);
        QCOMPARE(o.error, QString());
        QCOMPARE(o.out, QByteArray());
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), exchangeFileNames());
        checkCounts(fixture.path(), folder);
        QCOMPARE(fileBytes(fixture.path()), before);

        const QString filled = fixture.folder() + "/essais";
        QVERIFY(QDir().mkpath(filled));
        QFile old(filled + "/stades.csv");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("ancien contenu\n");
        old.close();
        const Outcome refused = exportTool({"--db", fixture.path(), "--output", filled});
        QVERIFY2(isOneLineFailure(refused), qPrintable(refused.error));
        QVERIFY(refused.error.contains("stades.csv existe déjà\u00a0; ajoutez --remplacer"));
        // Nothing written, not even the files that were not there.
        QCOMPARE(QDir(filled).entryList(QDir::Files), QStringList{"stades.csv"});
        QCOMPARE(fileBytes(filled + "/stades.csv"), QByteArray("ancien contenu\n"));
        QCOMPARE(exportTool({"--db", fixture.path(), "--output", filled, "--remplacer"}).status, 0);
        checkCounts(fixture.path(), filled);
    }

    void refusesParametersAndFilesItCannotRead_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("cause");
        QTest::newRow("no --output") << "no output"
                                     << "--output DOSSIER";
        QTest::newRow("unknown option") << "unknown"
                                        << "option inconnue «\u00a0--tout\u00a0»";
        QTest::newRow("missing file") << "missing"
                                      << "base de données introuvable";
        QTest::newRow("other key") << "other key"
                                   << "sa clé est différente";
        QTest::newRow("not a database") << "text"
                                        << "sa clé est différente";
        QTest::newRow("no experiments") << "foreign"
                                        << "n'est pas une base de données Grelavo";
    }
    void refusesParametersAndFilesItCannotRead() {
        QFETCH(QString, what);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        const QString file = dir.filePath("Autre.mdb");
        const QString out = dir.filePath("sortie");
        QStringList arguments{"--db", file, "--output", out};
        if (what == "no output") {
            arguments = QStringList{"--db", file};
        } else if (what == "unknown") {
            arguments << "--tout";
        } else if (what == "other key") {
            Connection other(file, "une autre clé", Connection::Mode::Create);
            other.executeScript("CREATE TABLE tbldesSites (SiteExpId INTEGER PRIMARY KEY)");
        } else if (what == "text") {
            QFile text(file);
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("site,province\nS1,Québec\n");
        } else if (what == "foreign") {
            Connection keyed(file, DatabaseFile::password(), Connection::Mode::Create);
            keyed.executeScript("CREATE TABLE notes (texte TEXT)");
        }
        const Outcome o = exportTool(arguments);
        QVERIFY2(isOneLineFailure(o), qPrintable(o.error));
        QVERIFY2(o.error.contains(cause), qPrintable(o.error));
        QVERIFY(!QFileInfo::exists(out));
    }

    void refusesAFolderItCannotWrite() {
        FixtureDatabase fixture;
        // A regular file stands where the folder should be, or where its parent should be.
        for (const QString& folder : {fixture.path(), fixture.path() + "/sous-dossier"}) {
            const Outcome o = exportTool({"--db", fixture.path(), "--output", folder});
            QVERIFY2(isOneLineFailure(o), qPrintable(o.error));
            QVERIFY2(o.error.contains(folder), qPrintable(o.error));
        }
    }

    // A symbolic link named like a file of the set is refused, with or without --remplacer, and
    // what it points to is left alone; a file of the set is known whatever the case of its name.
    void neitherFollowsLinksNorMissesCapitals() {
        FixtureDatabase fixture;
        const QString folder = fixture.folder() + "/essais";
        QVERIFY(QDir().mkpath(folder));
        const QString target = fixture.folder() + "/ailleurs.txt";
        writeBytes(target, "à garder\n");
        QVERIFY(QFile::link(target, folder + "/evaluations.csv"));
        for (const QStringList& more : {QStringList(), QStringList{"--remplacer"}}) {
            const Outcome o =
                exportTool(QStringList{"--db", fixture.path(), "--output", folder} + more);
            QVERIFY2(isOneLineFailure(o), qPrintable(o.error));
            QVERIFY2(o.error.contains("evaluations.csv est un lien symbolique"),
                     qPrintable(o.error));
            QCOMPARE(fileBytes(target), QByteArray("à garder\n"));
            QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                            QDir::NoDotAndDotDot),
                     QStringList{"evaluations.csv"});
        }

        const QString capitals = fixture.folder() + "/majuscules";
        QVERIFY(QDir().mkpath(capitals));
        writeBytes(capitals + "/SITES.CSV", "ancien\n");
        const Outcome refused = exportTool({"--db", fixture.path(), "--output", capitals});
        QVERIFY2(isOneLineFailure(refused), qPrintable(refused.error));
        QVERIFY2(refused.error.contains("SITES.CSV existe déjà"), qPrintable(refused.error));
        QCOMPARE(exportTool({"--db", fixture.path(), "--output", capitals, "--remplacer"}).status,
                 0);
        QCOMPARE(QDir(capitals).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                          QDir::Name),
                 exchangeFileNames());
        checkCounts(fixture.path(), capitals);
    }

    // A set that cannot be put in place whole leaves the old one whole: here, run as another
    // user in a shared folder, two old files are the user's to replace and the others are not.
    void replacesTheSetWholeOrNotAtAll() {
        if (geteuid() != 0)
            QSKIP("needs root to give the files to another user");
        FixtureDatabase fixture;
        QTemporaryDir shared;
        QVERIFY(QFile::setPermissions(shared.path(), QFile::Permissions(0x7777)));
        const QString database = shared.filePath("Grelavo.mdb");
        QVERIFY(QFile::copy(fixture.path(), database));
        QVERIFY(QFile::setPermissions(database, QFile::Permissions(0x6666)));
        const QString folder = shared.filePath("essais");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 01777) == 0);
        const int nobody = 65534;
        for (const QString& name : exchangeFileNames()) {
            writeBytes(folder + "/" + name, "ancien " + name.toUtf8() + "\n");
            if (name == "sites.csv" || name == "applications.csv")
                QVERIFY(::chown(QFile::encodeName(folder + "/" + name).constData(), nobody,
                                nobody) == 0);
        }
        const Outcome o = runTool(QStringLiteral(GRELAVO_EXPORT),
                                  {"--db", database, "--output", folder, "--remplacer"}, nobody);
        QVERIFY2(isOneLineFailure(o), qPrintable(o.error));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                        QDir::Name),
                 exchangeFileNames());
        for (const QString& name : exchangeFileNames())
            QCOMPARE(fileBytes(folder + "/" + name), "ancien " + name.toUtf8() + "\n");
    }

    // What an export killed while it moved the sets left: the importer refuses the folder; the
    // next export puts the old set back when the new one had not begun to move in, finishes
    // the new one when it had, and leaves alone what a run still alive is writing.
    void settlesAnExportStoppedMidway_data() {
        QTest::addColumn<QString>("stoppedWhile");
        QTest::addColumn<QString>("expected"); // the set the folder then holds
        QTest::newRow("moving the old set aside") << "aside"
                                                  << "old";
        QTest::newRow("moving the new set in") << "in"
                                               << "new";
        QTest::newRow("still running") << "running"
                                       << "mixed";
    }
    void settlesAnExportStoppedMidway() {
        QFETCH(QString, stoppedWhile);
        QFETCH(QString, expected);
        FixtureDatabase fixture;
        const QString folder = fixture.folder() + "/essais";
        QCOMPARE(exportTool({"--db", fixture.path(), "--output", folder}).status, 0);
        QMap<QString, QByteArray> oldSet;
        for (const QString& name : exchangeFileNames())
            oldSet.insert(name, fileBytes(folder + "/" + name));

        // Past the largest process number Linux gives, so no process has it; or this one's.
        const QString pid = stoppedWhile == "running"
                                ? QString::number(QCoreApplication::applicationPid())
                                : QStringLiteral("4194305");
        const QDir dir(folder);
        const QString writing = ".export-en-cours-" + pid;
        const QString aside = ".export-remplace-" + pid;
        QVERIFY(dir.mkdir(writing) && dir.mkdir(aside));
        const QStringList names = exchangeFileNames();
        for (int i = 0; i < names.size(); ++i) {
            // The old set: three files moved aside, or all of them.
            if (stoppedWhile != "aside" || i < 3)
                QVERIFY(
                    QFile::rename(folder + "/" + names[i], folder + "/" + aside + "/" + names[i]));
            // The new set: all still in its folder, or five moved in.
            const bool movedIn = stoppedWhile != "aside" && i < 5;
            writeBytes(folder + "/" + (movedIn ? QString() : writing + "/") + names[i],
                       "nouveau " + names[i].toUtf8() + "\n");
        }

        const Outcome import =
            runTool(QStringLiteral(GRELAVO_IMPORT), {"--db", fixture.path(), "--dry-run", folder});
        QCOMPARE(import.status, 2);
        QVERIFY2(import.error.contains("une exportation vers ce dossier a été interrompue"),
                 qPrintable(import.error));

        // Without --remplacer the new run writes nothing once it has settled the folder.
        const Outcome o = exportTool({"--db", fixture.path(), "--output", folder});
        QVERIFY2(isOneLineFailure(o), qPrintable(o.error));
        QVERIFY2(o.error.contains("existe déjà"), qPrintable(o.error));
        const QStringList entries = dir.entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        if (expected == "mixed") {
            QVERIFY(entries.contains(aside) && entries.contains(writing));
            return;
        }
        QCOMPARE(entries, names);
        for (const QString& name : names)
            QCOMPARE(fileBytes(folder + "/" + name),
                     expected == "old" ? oldSet.value(name) : "nouveau " + name.toUtf8() + "\n");
    }

    // Without --db, export and import use the database Grelavo and grelavo-rapport use: here
    // the one beside the programs, as in a build folder.
    void withoutDbBothUseTheProgramsDatabase() {
        FixtureDatabase fixture;
        QTemporaryDir programs;
        const QDir dir(programs.path());
        const QString database = dir.filePath(DatabaseFile::fileName());
        QVERIFY(QFile::copy(fixture.path(), database));
        const QString exporter = dir.filePath("grelavo-export");
        const QString importer = dir.filePath("grelavo-import");
        QVERIFY(QFile::copy(QStringLiteral(GRELAVO_EXPORT), exporter));
        QVERIFY(QFile::copy(QStringLiteral(GRELAVO_IMPORT), importer));

        const Outcome exported = runTool(exporter, {"--output", dir.filePath("essais")});
        QCOMPARE(exported.status, 0);
        checkCounts(database, dir.filePath("essais"));

        QVERIFY(dir.mkdir("nouveaux"));
        const QStringList set = writeSet(dir.filePath("nouveaux"));
        const auto treatments = [&database] {
            Connection db(database, DatabaseFile::password());
            Statement count(db, "SELECT count(*) FROM \"tbldesTraitements\"");
            count.step();
            return count.value(0).toLongLong();
        };
        const qlonglong before = treatments();
        const Outcome imported = runTool(importer, set);
        QVERIFY2(imported.status == 0, qPrintable(imported.error));
        QVERIFY(imported.out.contains(QDir::toNativeSeparators(database).toUtf8()));
        QCOMPARE(treatments(), before + 2);

        // A new database has no default: it must be named.
        const Outcome made = runTool(importer, QStringList{"--new"} + set);
        QCOMPARE(made.status, 1);
        QVERIFY2(made.error.contains("--db FICHIER"), qPrintable(made.error));
    }

    void exportsTheShippedDatabase() {
        const QString shipped = QStringLiteral(GRELAVO_SHIPPED_DATABASE);
        QVERIFY2(QFileInfo::exists(shipped), qPrintable(shipped));
        QTemporaryDir dir;
        const Outcome o = exportTool({"--db", shipped, "--output", dir.path()});
        QCOMPARE(o.status, 0);
        QCOMPARE(o.error, QString());
        checkCounts(shipped, dir.path());
    }
};

QTEST_GUILESS_MAIN(TestExportCli)
#include "TestExportCli.moc"
