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

// The real file operations, but the one named in 'refused' ("remove X", "rename X -> Y") fails.
class FailingFiles : public pelvane::FileOperations {
public:
    QString refused;

    void remove(const QString& path) override {
        refuse(QStringLiteral("remove ") + QFileInfo(path).fileName());
        FileOperations::remove(path);
    }
    void rename(const QString& from, const QString& to) override {
        refuse(QStringLiteral("rename %1 -> %2")
                   .arg(QFileInfo(from).fileName(), QFileInfo(to).fileName()));
        FileOperations::rename(from, to);
    }

private:
    void refuse(const QString& operation) const {
        if (operation == refused)
            throw CompactError{CompactError::FileOperation, operation};
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

// One compaction of 'folder', with the real engine and file operations unless others are given.
Run compact(const QString& folder, pelvane::DatabaseEngine* engine = nullptr,
            pelvane::FileOperations* files = nullptr) {
    WatchedEngine realEngine;
    pelvane::FileOperations realFiles;
    Run run;
    Compaction compaction(folder, engine ? *engine : realEngine, files ? *files : realFiles,
                          [&run](const QString& text) { run.messages << text; });
    run.outcome = compaction.CompactDatabaseFile();
    run.error = compaction.error();
    return run;
}

// A run that compacted: its one message, the database alone in its folder, its content kept.
void expectCompacted(const Run& run, const CompactFolder& folder, const QStringList& content) {
    QCOMPARE(run.outcome, Compaction::Outcome::Compacted);
    QCOMPARE(run.messages, QStringList{QStringLiteral("compactage terminée")});
    QCOMPARE(folder.files(), QStringList{QFileInfo(folder.path()).fileName()});
    QCOMPARE(CompactFolder::content(folder.path()), content);
}

// A run that failed without a message and left the database alone, byte for byte as it was.
void expectUntouched(const Run& run, const QString& path, const QByteArray& bytes) {
    QCOMPARE(run.outcome, Compaction::Outcome::Failed);
    QVERIFY(run.messages.isEmpty());
    QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files),
             QStringList{QFileInfo(path).fileName()});
    QVERIFY(CompactFolder::bytes(path) == bytes);
}

const QString Key = grelavo::DatabaseFile::password();

} // namespace

class TestCompaction : public QObject {
    Q_OBJECT

private slots:
    void compactsGrownDatabaseIntoOneSmallerEncryptedFileWithTheSameContent() {
        CompactFolder folder;
        folder.grow();
        const qint64 grown = folder.size();
        const QStringList before = CompactFolder::content(folder.path());
        WatchedEngine engine;

        expectCompacted(compact(folder.folder(), &engine), folder, before);
        QVERIFY2(folder.size() < grown * 3 / 4,
                 qPrintable(QStringLiteral("%1 -> %2").arg(grown).arg(folder.size())));
        QVERIFY(CompactFolder::opensWithKey(folder.path(), Key));
        QVERIFY(!CompactFolder::opensWithKey(folder.path(), QString()));
        QVERIFY(!CompactFolder::opensWithKey(folder.path(), QStringLiteral("autre")));
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

    // Work files of an earlier run, whatever the case of their names, are removed first; a run
    // cut short after the database became the backup puts it back, then compacts it.
    void workFilesOfAnEarlierRunAreClearedFirst_data() {
        QTest::addColumn<QStringList>("names"); // the database, its copy and its backup
        QTest::addColumn<QByteArray>("junk");   // what the work files hold; none: the database
        QTest::addColumn<bool>("interrupted");  // the database left as the backup
        const QStringList usual{"Grelavo.mdb", "Grelavo.mdb.CPT", "Grelavo.mdb.OLD"};
        QTest::newRow("stale work files")
            << usual << QByteArray("reste d'une exécution interrompue") << false;
        QTest::newRow("names in another case")
            << QStringList{"GRELAVO.mdb", "grelavo.MDB.cpt", "GRELAVO.MDB.old"} << QByteArray()
            << false;
        QTest::newRow("interrupted run") << usual << QByteArray(4096, '\0') << true;
    }

    void workFilesOfAnEarlierRunAreClearedFirst() {
        QFETCH(QStringList, names);
        QFETCH(QByteArray, junk);
        QFETCH(bool, interrupted);
        CompactFolder folder(names[0]);
        folder.grow();
        const QStringList before = CompactFolder::content(folder.path());
        if (interrupted)
            QVERIFY(QFile::rename(folder.path(), folder.file(names[2])));
        for (const QString& name : names.mid(1)) {
            QFile file(folder.file(name));
            if (junk.isEmpty())
                QVERIFY(QFile::copy(folder.path(), file.fileName()));
            else if (!file.exists())
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(junk) == junk.size());
        }

        expectCompacted(compact(folder.folder()), folder, before);
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
        expectUntouched(run, folder.path(), before);
        QCOMPARE(run.error->number, int(CompactError::InUse));
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

        const Run run = compact(dir.path(), &engine);
        expectUntouched(run, path, before);
        QCOMPARE(run.error->number, int(CompactError::PasswordNeeded));
        QCOMPARE(engine.calls.size(), 2);
    }

    // A copy that fails its check is never swapped in; a second compaction that fails, or whose
    // result is damaged, puts the database back as it was.
    void failedCompactionLeavesTheDatabaseAsItWas_data() {
        QTest::addColumn<QString>("destination"); // of the compaction that goes wrong
        QTest::addColumn<int>("error");           // DamagedCopy: its result damaged; else cut short
        QTest::addColumn<QString>("lastCall");
        QTest::newRow("damaged copy")
            << ".CPT" << int(CompactError::DamagedCopy) << "check Grelavo.mdb.CPT";
        QTest::newRow("second compaction fails") << ".mdb" << int(CompactError::EngineFailure)
                                                 << "compact Grelavo.mdb.CPT -> Grelavo.mdb";
        QTest::newRow("second result damaged")
            << ".mdb" << int(CompactError::DamagedCopy) << "check Grelavo.mdb [";
    }

    void failedCompactionLeavesTheDatabaseAsItWas() {
        QFETCH(QString, destination);
        QFETCH(int, error);
        QFETCH(QString, lastCall);
        CompactFolder folder;
        folder.grow();
        const QByteArray before = CompactFolder::bytes(folder.path());
        WatchedEngine engine;
        engine.afterCompaction = [&](const QString& written) {
            if (!written.endsWith(destination))
                return;
            if (error == CompactError::DamagedCopy)
                return damage(written);
            QFile partial(written);
            partial.resize(partial.size() / 3);
            throw CompactError{CompactError::EngineFailure, QStringLiteral("disque plein")};
        };

        const Run run = compact(folder.folder(), &engine);
        expectUntouched(run, folder.path(), before);
        QCOMPARE(run.error->number, error);
        QVERIFY2(engine.calls.last().startsWith(lastCall), qPrintable(engine.calls.last()));
    }

    // A file operation refused at each step: the database is never lost, and the files left
    // are the ones listed (a later run with working files then compacts as usual).
    void refusedFileOperationNeverLosesTheDatabase_data() {
        QTest::addColumn<QString>("refused");
        QTest::addColumn<bool>("failSecondCompaction");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("stale copy kept")
            << "remove Grelavo.mdb.CPT" << false
            << QStringList{"Grelavo.mdb", "Grelavo.mdb.CPT", "Grelavo.mdb.OLD"};
        QTest::newRow("stale backup kept")
            << "remove Grelavo.mdb.OLD" << false << QStringList{"Grelavo.mdb", "Grelavo.mdb.OLD"};
        QTest::newRow("backup rename refused")
            << "rename Grelavo.mdb -> Grelavo.mdb.OLD" << false << QStringList{"Grelavo.mdb"};
        QTest::newRow("restore refused after a failed second compaction")
            << "rename Grelavo.mdb.OLD -> Grelavo.mdb" << true
            << QStringList{"Grelavo.mdb.CPT", "Grelavo.mdb.OLD"};
    }

    void refusedFileOperationNeverLosesTheDatabase() {
        QFETCH(QString, refused);
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
        files.refused = refused;

        const Run run = compact(folder.folder(), &engine, &files);
        QCOMPARE(run.outcome, Compaction::Outcome::Failed);
        QVERIFY(run.messages.isEmpty());
        QCOMPARE(run.error->number, int(CompactError::FileOperation));
        QCOMPARE(folder.files(), left);
        expectCompacted(compact(folder.folder()), folder, before);
    }
};

QTEST_GUILESS_MAIN(TestCompaction)
#include "TestCompaction.moc"
