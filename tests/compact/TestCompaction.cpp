#include "CompactFolder.h"

#include "Compaction.h"
#include "FileOperations.h"
#include "SqlCipherEngine.h"
#include "db/DE.h"

#include <QtTest>
#include <functional>

using pelvane::CompactError;
using pelvane::Compaction;

namespace {

// The real engine, with a record of what it was asked and a place to break in after a call.
class WatchedEngine : public pelvane::SqlCipherEngine {
public:
    QStringList calls;
    // Called after a compaction that succeeded, with its destination.
    std::function<void(const QString& destination)> afterCompaction;

    void compactDatabase(const QString& source, const QString& destination,
                         const QString& connect) override {
        calls << QStringLiteral("compact %1 -> %2 [%3]")
                     .arg(QFileInfo(source).fileName(), QFileInfo(destination).fileName(), connect);
        SqlCipherEngine::compactDatabase(source, destination, connect);
        if (afterCompaction)
            afterCompaction(destination);
    }
    void checkDatabase(const QString& path, const QString& connect) override {
        calls << QStringLiteral("check %1 [%2]").arg(QFileInfo(path).fileName(), connect);
        SqlCipherEngine::checkDatabase(path, connect);
    }
};

// The real file operations, one of which fails when 'fails' says so.
class FailingFiles : public pelvane::FileOperations {
public:
    std::function<bool(const QString& operation, const QString& path)> fails;

    void remove(const QString& path) override {
        refuse(QStringLiteral("remove"), QFileInfo(path).fileName());
        FileOperations::remove(path);
    }
    void rename(const QString& from, const QString& to) override {
        refuse(QStringLiteral("rename"),
               QFileInfo(from).fileName() + QStringLiteral(" -> ") + QFileInfo(to).fileName());
        FileOperations::rename(from, to);
    }

private:
    void refuse(const QString& operation, const QString& what) {
        if (fails && fails(operation, what))
            throw CompactError{CompactError::FileOperation, operation + QLatin1Char(' ') + what};
    }
};

// Overwrites the middle of a file, as a damaged disk or an interrupted write would.
void damage(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.seek(f.size() / 2);
    f.write(QByteArray(8192, '\x5a'));
}

struct Run {
    Compaction::Outcome outcome;
    QStringList messages;
    std::optional<CompactError> error;
};

Run compact(const QString& folder, pelvane::DatabaseEngine& engine,
            pelvane::FileOperations& files) {
    Run run;
    Compaction compaction(folder, engine, files,
                          [&run](const QString& text) { run.messages << text; });
    run.outcome = compaction.CompactDatabaseFile();
    run.error = compaction.error();
    return run;
}

Run compact(const QString& folder) {
    WatchedEngine engine;
    pelvane::FileOperations files;
    return compact(folder, engine, files);
}

const QString Key = grelavo::DatabaseFile::password();

} // namespace

class TestCompaction : public QObject {
    Q_OBJECT

private slots:
    void compactsGrownDatabaseIntoOneSmallerFileWithTheSameContent() {
        CompactFolder folder;
        folder.grow();
        const qint64 grown = folder.size();
        const QStringList before = CompactFolder::content(folder.path());
        WatchedEngine engine;
        pelvane::FileOperations files;

        const Run run = compact(folder.folder(), engine, files);

        QCOMPARE(run.outcome, Compaction::Outcome::Compacted);
        QCOMPARE(run.messages, QStringList{QStringLiteral("compactage terminée")});
        QCOMPARE(folder.files(), QStringList{QStringLiteral("Grelavo.mdb")});
        QVERIFY2(folder.size() < grown * 3 / 4,
                 qPrintable(QStringLiteral("%1 -> %2").arg(grown).arg(folder.size())));
        QVERIFY(CompactFolder::opensWithKey(folder.path(), Key));
        QVERIFY(!CompactFolder::opensWithKey(folder.path(), QString()));
        QVERIFY(!CompactFolder::opensWithKey(folder.path(), QStringLiteral("autre")));
        QCOMPARE(CompactFolder::content(folder.path()), before);
        // Without the password first, then with it; the copy is checked before each swap.
        const QString pwd = Compaction::connectString();
        QCOMPARE(
            engine.calls,
            QStringList({QStringLiteral("compact Grelavo.mdb -> Grelavo.mdb.CPT []"),
                         QStringLiteral("compact Grelavo.mdb -> Grelavo.mdb.CPT [%1]").arg(pwd),
                         QStringLiteral("check Grelavo.mdb.CPT [%1]").arg(pwd),
                         QStringLiteral("compact Grelavo.mdb.CPT -> Grelavo.mdb [%1]").arg(pwd),
                         QStringLiteral("check Grelavo.mdb [%1]").arg(pwd)}));
    }

    void knowsTheFileAndPasswordOfGrelavo() {
        QCOMPARE(Compaction::databaseName(), grelavo::DatabaseFile::fileName());
        QCOMPARE(pelvane::SqlCipherEngine::passwordOf(Compaction::connectString()), Key);
        QCOMPARE(pelvane::SqlCipherEngine::passwordOf(QString()), QString());
    }

    void matchesTheNameWithoutRegardToCaseAndKeepsItsSpelling() {
        CompactFolder folder(QStringLiteral("GRELAVO.mdb"));
        const QStringList before = CompactFolder::content(folder.path());
        QFile::copy(folder.path(), folder.file(QStringLiteral("grelavo.MDB.cpt")));
        QFile::copy(folder.path(), folder.file(QStringLiteral("GRELAVO.MDB.old")));

        const Run run = compact(folder.folder());

        QCOMPARE(run.outcome, Compaction::Outcome::Compacted);
        QCOMPARE(folder.files(), QStringList{QStringLiteral("GRELAVO.mdb")});
        QCOMPARE(CompactFolder::content(folder.path()), before);
    }

    void removesStaleWorkFilesBeforeWritingThem() {
        CompactFolder folder;
        const QStringList before = CompactFolder::content(folder.path());
        for (const QString& name :
             {QStringLiteral("Grelavo.mdb.CPT"), QStringLiteral("Grelavo.mdb.OLD")}) {
            QFile stale(folder.file(name));
            QVERIFY(stale.open(QIODevice::WriteOnly));
            stale.write("reste d'une exécution interrompue");
        }

        const Run run = compact(folder.folder());

        QCOMPARE(run.outcome, Compaction::Outcome::Compacted);
        QCOMPARE(run.messages, QStringList{QStringLiteral("compactage terminée")});
        QCOMPARE(folder.files(), QStringList{QStringLiteral("Grelavo.mdb")});
        QCOMPARE(CompactFolder::content(folder.path()), before);
    }

    void missingDatabaseShowsErrorOnceAndCreatesNothing() {
        QTemporaryDir dir;
        const Run run = compact(dir.path());

        QCOMPARE(run.outcome, Compaction::Outcome::Failed);
        QCOMPARE(run.messages, QStringList{QStringLiteral("Erreur.")});
        QCOMPARE(run.error->number, int(CompactError::FileNotFound));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    void databaseOpenInGrelavoIsLeftUntouchedWithoutMessage() {
        CompactFolder folder;
        folder.grow();
        const QByteArray before = CompactFolder::bytes(folder.path());
        grelavo::DE de(folder.folder());
        de.Connection2();

        const Run run = compact(folder.folder());

        QCOMPARE(run.outcome, Compaction::Outcome::Failed);
        QVERIFY(run.messages.isEmpty());
        QCOMPARE(run.error->number, int(CompactError::InUse));
        QCOMPARE(folder.files(), QStringList{QStringLiteral("Grelavo.mdb")});
        QVERIFY(CompactFolder::bytes(folder.path()) == before);
        // Once Grelavo has closed it, the same database compacts.
        de.close();
        QCOMPARE(compact(folder.folder()).outcome, Compaction::Outcome::Compacted);
    }

    void databaseUnderAnotherPasswordEndsAfterOneRetry() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Grelavo.mdb"));
        {
            grelavo::Connection other(path, QStringLiteral("une autre clé"),
                                      grelavo::Connection::Mode::Create);
            other.executeScript(QStringLiteral("CREATE TABLE t (x); INSERT INTO t VALUES (1);"));
        }
        const QByteArray before = CompactFolder::bytes(path);
        WatchedEngine engine;
        pelvane::FileOperations files;

        const Run run = compact(dir.path(), engine, files);

        QCOMPARE(run.outcome, Compaction::Outcome::Failed);
        QVERIFY(run.messages.isEmpty());
        QCOMPARE(run.error->number, int(CompactError::PasswordNeeded));
        QCOMPARE(engine.calls.size(), 2);
        QVERIFY(CompactFolder::bytes(path) == before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"Grelavo.mdb"});
    }

    void damagedCopyIsNeverSwappedIn() {
        CompactFolder folder;
        folder.grow();
        const QByteArray before = CompactFolder::bytes(folder.path());
        WatchedEngine engine;
        engine.afterCompaction = [](const QString& destination) {
            if (destination.endsWith(QLatin1String(".CPT")))
                damage(destination);
        };
        pelvane::FileOperations files;

        const Run run = compact(folder.folder(), engine, files);

        QCOMPARE(run.outcome, Compaction::Outcome::Failed);
        QVERIFY(run.messages.isEmpty());
        QVERIFY(engine.calls.last().startsWith(QLatin1String("check Grelavo.mdb.CPT")));
        QCOMPARE(folder.files(), QStringList{QStringLiteral("Grelavo.mdb")});
        QVERIFY(CompactFolder::bytes(folder.path()) == before);
    }

    void failedSecondCompactionPutsTheDatabaseBack_data() {
        QTest::addColumn<bool>("damaged"); // a copy written but damaged, or a failure mid-way
        QTest::newRow("engine failure") << false;
        QTest::newRow("damaged copy") << true;
    }

    void failedSecondCompactionPutsTheDatabaseBack() {
        QFETCH(bool, damaged);
        CompactFolder folder;
        folder.grow();
        const QByteArray before = CompactFolder::bytes(folder.path());
        WatchedEngine engine;
        engine.afterCompaction = [damaged](const QString& destination) {
            if (destination.endsWith(QLatin1String(".CPT")))
                return;
            if (damaged) {
                damage(destination);
                return;
            }
            QFile partial(destination);
            partial.resize(partial.size() / 3);
            throw CompactError{CompactError::EngineFailure, QStringLiteral("disque plein")};
        };
        pelvane::FileOperations files;

        const Run run = compact(folder.folder(), engine, files);

        QCOMPARE(run.outcome, Compaction::Outcome::Failed);
        QVERIFY(run.messages.isEmpty());
        QCOMPARE(folder.files(), QStringList{QStringLiteral("Grelavo.mdb")});
        QVERIFY(CompactFolder::bytes(folder.path()) == before);
    }

    void interruptedRunIsPutBackThenCompacted() {
        CompactFolder folder;
        folder.grow();
        const QStringList before = CompactFolder::content(folder.path());
        QVERIFY(QFile::rename(folder.path(), folder.file(QStringLiteral("Grelavo.mdb.OLD"))));
        QFile partial(folder.file(QStringLiteral("Grelavo.mdb.CPT")));
        QVERIFY(partial.open(QIODevice::WriteOnly));
        partial.write(QByteArray(4096, '\0'));
        partial.close();

        const Run run = compact(folder.folder());

        QCOMPARE(run.outcome, Compaction::Outcome::Compacted);
        QCOMPARE(run.messages, QStringList{QStringLiteral("compactage terminée")});
        QCOMPARE(folder.files(), QStringList{QStringLiteral("Grelavo.mdb")});
        QCOMPARE(CompactFolder::content(folder.path()), before);
    }

    // A file operation refused at each step: the database is never lost, and the files left
    // are the ones listed (a later run with working files then compacts as usual).
    void refusedFileOperationNeverLosesTheDatabase_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("failSecondCompaction");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("stale copy kept")
            << "remove"
            << "Grelavo.mdb.CPT" << false
            << QStringList{"Grelavo.mdb", "Grelavo.mdb.CPT", "Grelavo.mdb.OLD"};
        QTest::newRow("stale backup kept")
            << "remove"
            << "Grelavo.mdb.OLD" << false << QStringList{"Grelavo.mdb", "Grelavo.mdb.OLD"};
        QTest::newRow("backup rename refused")
            << "rename"
            << "Grelavo.mdb -> Grelavo.mdb.OLD" << false << QStringList{"Grelavo.mdb"};
        QTest::newRow("restore refused after a failed second compaction")
            << "rename"
            << "Grelavo.mdb.OLD -> Grelavo.mdb" << true
            << QStringList{"Grelavo.mdb.CPT", "Grelavo.mdb.OLD"};
    }

    void refusedFileOperationNeverLosesTheDatabase() {
        QFETCH(QString, operation);
        QFETCH(QString, target);
        QFETCH(bool, failSecondCompaction);
        QFETCH(QStringList, left);
        CompactFolder folder;
        folder.grow();
        const QStringList before = CompactFolder::content(folder.path());
        for (const QString& name :
             {QStringLiteral("Grelavo.mdb.CPT"), QStringLiteral("Grelavo.mdb.OLD")})
            QVERIFY(QFile::copy(QStringLiteral(GRELAVO_DATABASE_FILE), folder.file(name)));
        WatchedEngine engine;
        if (failSecondCompaction)
            engine.afterCompaction = [](const QString& destination) {
                if (!destination.endsWith(QLatin1String(".CPT")))
                    throw CompactError{CompactError::EngineFailure, QStringLiteral("panne")};
            };
        FailingFiles files;
        files.fails = [&](const QString& op, const QString& what) {
            return op == operation && what == target;
        };

        const Run run = compact(folder.folder(), engine, files);

        QCOMPARE(run.outcome, Compaction::Outcome::Failed);
        QVERIFY(run.messages.isEmpty());
        QCOMPARE(run.error->number, int(CompactError::FileOperation));
        QCOMPARE(folder.files(), left);

        const Run next = compact(folder.folder());
        QCOMPARE(next.outcome, Compaction::Outcome::Compacted);
        QCOMPARE(folder.files(), QStringList{QStringLiteral("Grelavo.mdb")});
        QCOMPARE(CompactFolder::content(folder.path()), before);
    }
};

QTEST_GUILESS_MAIN(TestCompaction)
#include "TestCompaction.moc"
