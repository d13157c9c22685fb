#include "CompactFolder.h"

#include "compact/Compaction.h"
#include "compact/FileOperations.h"
#include "compact/SqlCipherEngine.h"
#include "core/db/DE.h"

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
        calls << QStringLiteral("compact %1 -> %2")
                     .arg(QFileInfo(source).fileName(), QFileInfo(destination).fileName());
        SqlCipherEngine::compactDatabase(source, destination, connect);
        if (afterCompaction)
            afterCompaction(destination);
    }
    pelvane::DatabaseSummary checkDatabase(const QString& path, const QString& connect) override {
        calls << QStringLiteral("check %1").arg(QFileInfo(path).fileName());
        return SqlCipherEngine::checkDatabase(path, connect);
    }
};

// The real file operations, but the one named in 'refused' ("remove X", "rename X -> Y",
// "backup X -> Y") fails.
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
    void backup(const QString& from, const QString& to) override {
        refuse(QStringLiteral("backup %1 -> %2")
                   .arg(QFileInfo(from).fileName(), QFileInfo(to).fileName()));
        FileOperations::backup(from, to);
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

// What an export cut short without a transaction leaves: a file that opens and passes the
// integrity check, with a table's rows and a view missing.
void cutShort(const QString& path) {
    grelavo::Connection db(path, grelavo::DatabaseFile::password());
    db.executeScript(QStringLiteral("DELETE FROM tblMHEval; DROP VIEW \"DétailsTraitements\";"));
}

// The files of a folder, each with its bytes.
QMap<QString, QByteArray> snapshot(const QString& folder) {
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        files.insert(name, CompactFolder::bytes(QDir(folder).filePath(name)));
    return files;
}

// The files under 'folder' that this process holds open.
QStringList openFilesUnder(const QString& folder) {
    QStringList open;
    const QString prefix = QDir(folder).canonicalPath() + QLatin1Char('/');
    const QFileInfoList descriptors =
        QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::Files | QDir::System);
    for (const QFileInfo& descriptor : descriptors) {
        const QString target = descriptor.symLinkTarget();
        if (target.startsWith(prefix))
            open << target;
    }
    return open;
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
    QCOMPARE(run.messages, QStringList{Done});
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
        const QString key = grelavo::DatabaseFile::password();
        QVERIFY(CompactFolder::opensWithKey(folder.path(), key));
        QVERIFY(!CompactFolder::opensWithKey(folder.path(), QString()));
        QVERIFY(!CompactFolder::opensWithKey(folder.path(), QStringLiteral("autre")));
        // The database is checked first, each copy before it goes on.
        QCOMPARE(engine.calls,
                 QStringList({"check Grelavo.mdb", "compact Grelavo.mdb -> Grelavo.mdb.CPT",
                              "check Grelavo.mdb.CPT", "compact Grelavo.mdb.CPT -> Grelavo.mdb.NEW",
                              "check Grelavo.mdb.NEW"}));
    }

    // Work files of an earlier run, whatever the case of their names, are removed first, with
    // their journals; a run cut short after the database became the backup puts it back, then
    // compacts it.
    void workFilesOfAnEarlierRunAreClearedFirst_data() {
        QTest::addColumn<QStringList>("names"); // the database, then work files
        QTest::addColumn<QByteArray>("junk");   // what the work files hold; none: the database
        QTest::addColumn<bool>("interrupted");  // the database left as the backup (third name)
        QTest::newRow("stale work files")
            << QStringList{"Grelavo.mdb",     "Grelavo.mdb.CPT",         "Grelavo.mdb.OLD",
                           "Grelavo.mdb.NEW", "Grelavo.mdb.CPT-journal", "Grelavo.mdb.NEW-journal"}
            << QByteArray("reste d'une exécution interrompue") << false;
        QTest::newRow("names in another case")
            << QStringList{"GRELAVO.mdb", "grelavo.MDB.cpt", "GRELAVO.MDB.old", "Grelavo.Mdb.New"}
            << QByteArray() << false;
        QTest::newRow("interrupted run")
            << QStringList{"Grelavo.mdb", "Grelavo.mdb.CPT", "Grelavo.mdb.OLD", "Grelavo.mdb.NEW"}
            << QByteArray(4096, '\0') << true;
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
            const QString path = folder.file(name);
            if (junk.isEmpty())
                QVERIFY(QFile::copy(folder.path(), path));
            else if (!QFile::exists(path))
                writeFile(path, junk);
        }

        expectCompacted(compact(folder.folder()), folder, before);
    }

    // Whatever an earlier run left under the database's name and its work files' names, the run
    // keeps a whole copy: the database when it is whole and agrees with a whole backup, else the
    // first whole one of the backup, the compacted copy and the second copy. With none whole,
    // nothing is touched. A file is "whole", "cut" (an export cut short by an earlier version
    // that compacted without a transaction), "older" (the database before Grelavo last wrote to
    // it), "zeros" (4 KB of them), "empty" (0 bytes) or "plain" (an unencrypted database without
    // tables); "" is no file.
    void recoveryKeepsAWholeCopy_data() {
        QTest::addColumn<QStringList>("states"); // the database, .CPT, .OLD, .NEW
        QTest::addColumn<QString>("message");    // when nothing is whole
        QTest::newRow("compacted copy alone") << QStringList{"", "whole", "", ""} << "";
        QTest::newRow("backup alone") << QStringList{"", "", "whole", ""} << "";
        QTest::newRow("second copy alone") << QStringList{"", "zeros", "", "whole"} << "";
        QTest::newRow("swap cut short, database partial")
            << QStringList{"cut", "whole", "whole", ""} << "";
        QTest::newRow("plain file beside the backup")
            << QStringList{"plain", "whole", "whole", ""} << "";
        QTest::newRow("empty file beside the backup")
            << QStringList{"empty", "", "whole", ""} << "";
        QTest::newRow("database whole, older backup and copy")
            << QStringList{"whole", "older", "older", ""} << "";
        QTest::newRow("database whole, copies cut short")
            << QStringList{"whole", "cut", "zeros", "zeros"} << "";
        QTest::newRow("nothing whole, no database")
            << QStringList{"", "zeros", "empty", ""} << "Erreur.";
        QTest::newRow("nothing whole, plain file")
            << QStringList{"plain", "zeros", "", "empty"} << "Rien n'a été modifié";
    }

    void recoveryKeepsAWholeCopy() {
        QFETCH(QStringList, states);
        QFETCH(QString, message);
        CompactFolder folder;
        folder.grow();
        const QStringList before = CompactFolder::content(folder.path());
        const QByteArray whole = CompactFolder::bytes(folder.path());
        QVERIFY(QFile::remove(folder.path()));
        const QStringList suffixes{"", ".CPT", ".OLD", ".NEW"};
        for (int i = 0; i < suffixes.size(); ++i) {
            const QString path = folder.path() + suffixes[i];
            const QString state = states[i];
            if (state == QLatin1String("whole") || state == QLatin1String("cut"))
                writeFile(path, whole);
            if (state == QLatin1String("cut"))
                cutShort(path);
            if (state == QLatin1String("older"))
                QVERIFY(QFile::copy(QStringLiteral(GRELAVO_DATABASE_FILE), path));
            if (state == QLatin1String("zeros"))
                writeFile(path, QByteArray(4096, '\0'));
            if (state == QLatin1String("empty"))
                writeFile(path, QByteArray());
            if (state == QLatin1String("plain"))
                grelavo::Connection(path, QString(), grelavo::Connection::Mode::Create)
                    .executeScript(QStringLiteral("PRAGMA user_version = 1;"));
        }
        const QMap<QString, QByteArray> left = snapshot(folder.folder());

        const Run run = compact(folder.folder());
        if (message.isEmpty())
            return expectCompacted(run, folder, before);
        QCOMPARE(run.outcome, Compaction::Outcome::Failed);
        QCOMPARE(run.messages.size(), 1);
        QVERIFY2(run.messages.first().contains(message), qPrintable(run.messages.first()));
        QVERIFY(snapshot(folder.folder()) == left);
    }

    void missingDatabaseShowsErrorOnceAndCreatesNothing() {
        QTemporaryDir dir;
        const Run run = compact(dir.path());

        QCOMPARE(run.outcome, Compaction::Outcome::Failed);
        QCOMPARE(run.messages, QStringList{QStringLiteral("Erreur.")});
        QCOMPARE(run.error->number, int(CompactError::FileNotFound));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    // Open in Grelavo, the database is neither compacted nor taken for the remains of a run cut
    // short: an older backup beside it stays a backup.
    void databaseOpenInGrelavoIsLeftUntouchedWithoutMessage() {
        CompactFolder folder;
        folder.grow();
        const QString backup = folder.path() + QStringLiteral(".OLD");
        QVERIFY(QFile::copy(QStringLiteral(GRELAVO_DATABASE_FILE), backup));
        const QMap<QString, QByteArray> before = snapshot(folder.folder());
        grelavo::DE de(folder.folder());
        de.Connection2();

        const Run run = compact(folder.folder());
        QCOMPARE(run.outcome, Compaction::Outcome::Failed);
        QVERIFY(run.messages.isEmpty());
        QCOMPARE(run.error->number, int(CompactError::InUse));
        QVERIFY(snapshot(folder.folder()) == before);
        // Once Grelavo has closed it, the same database compacts.
        de.close();
        QCOMPARE(compact(folder.folder()).outcome, Compaction::Outcome::Compacted);
    }

    // A copy that is damaged, that lacks rows, or whose compaction fails is never swapped in: the
    // database stays as it was, alone.
    void failedCompactionLeavesTheDatabaseAsItWas_data() {
        QTest::addColumn<QString>("destination"); // of the compaction that goes wrong
        QTest::addColumn<QString>("harm");        // "damage", "cut" or "fail"
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("lastCall");
        const int damaged = CompactError::DamagedCopy;
        QTest::newRow("damaged copy") << ".CPT"
                                      << "damage" << damaged << "check Grelavo.mdb.CPT";
        QTest::newRow("copy lacking rows") << ".CPT"
                                           << "cut" << damaged << "check Grelavo.mdb.CPT";
        QTest::newRow("second compaction fails") << ".NEW"
                                                 << "fail" << int(CompactError::EngineFailure)
                                                 << "compact Grelavo.mdb.CPT -> Grelavo.mdb.NEW";
        QTest::newRow("second copy damaged") << ".NEW"
                                             << "damage" << damaged << "check Grelavo.mdb.NEW";
        QTest::newRow("second copy lacking rows") << ".NEW"
                                                  << "cut" << damaged << "check Grelavo.mdb.NEW";
    }

    void failedCompactionLeavesTheDatabaseAsItWas() {
        QFETCH(QString, destination);
        QFETCH(QString, harm);
        QFETCH(int, error);
        QFETCH(QString, lastCall);
        CompactFolder folder;
        folder.grow();
        const QByteArray before = CompactFolder::bytes(folder.path());
        WatchedEngine engine;
        engine.afterCompaction = [&](const QString& written) {
            if (!written.endsWith(destination))
                return;
            if (harm == QLatin1String("damage"))
                return damage(written);
            if (harm == QLatin1String("cut"))
                return cutShort(written);
            QFile partial(written);
            partial.resize(partial.size() / 3);
            throw CompactError{CompactError::EngineFailure, QStringLiteral("disque plein")};
        };

        const Run run = compact(folder.folder(), &engine);
        expectUntouched(run, folder.path(), before);
        QCOMPARE(run.error->number, error);
        QCOMPARE(engine.calls.last(), lastCall);
    }

    // A file operation refused at each step: the database is never lost, "compactage terminée"
    // comes only with a run that compacted, and the files left are the ones listed (a later run
    // with working files then compacts as usual).
    void refusedFileOperationNeverLosesTheDatabase_data() {
        QTest::addColumn<QString>("refused");
        QTest::addColumn<bool>("stale"); // work files of an earlier run beside the database
        QTest::addColumn<bool>("compacted");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("stale copy kept") << "remove Grelavo.mdb.CPT" << true << false
                                         << QStringList{"Grelavo.mdb", "Grelavo.mdb.CPT"};
        QTest::newRow("backup refused") << "backup Grelavo.mdb -> Grelavo.mdb.OLD" << false << false
                                        << QStringList{"Grelavo.mdb"};
        QTest::newRow("swap refused") << "rename Grelavo.mdb.NEW -> Grelavo.mdb" << false << false
                                      << QStringList{"Grelavo.mdb"};
        QTest::newRow("copy kept after the swap") << "remove Grelavo.mdb.CPT" << false << true
                                                  << QStringList{"Grelavo.mdb", "Grelavo.mdb.CPT"};
        QTest::newRow("backup kept after the swap")
            << "remove Grelavo.mdb.OLD" << false << true
            << QStringList{"Grelavo.mdb", "Grelavo.mdb.OLD"};
    }

    void refusedFileOperationNeverLosesTheDatabase() {
        QFETCH(QString, refused);
        QFETCH(bool, stale);
        QFETCH(bool, compacted);
        QFETCH(QStringList, left);
        CompactFolder folder;
        folder.grow();
        const qint64 grown = folder.size();
        const QStringList before = CompactFolder::content(folder.path());
        if (stale) {
            for (const char* name : {"Grelavo.mdb.CPT", "Grelavo.mdb.OLD"})
                QVERIFY(QFile::copy(QStringLiteral(GRELAVO_DATABASE_FILE),
                                    folder.file(QString::fromLatin1(name))));
        }
        FailingFiles files;
        files.refused = refused;

        const Run run = compact(folder.folder(), nullptr, &files);
        QCOMPARE(run.outcome, Compaction::Outcome::Failed);
        QVERIFY(run.messages.isEmpty());
        QCOMPARE(run.error->number, int(CompactError::FileOperation));
        QCOMPARE(folder.files(), left);
        QCOMPARE(folder.size() < grown, compacted);
        QCOMPARE(CompactFolder::content(folder.path()), before);
        expectCompacted(compact(folder.folder()), folder, before);
    }

    // Every handle on a database is closed at the end of a run, whether the run compacted, was
    // refused a file under another password, or failed on a damaged copy.
    void runLeavesNoFileOpen() {
        CompactFolder folder;
        QCOMPARE(compact(folder.folder()).outcome, Compaction::Outcome::Compacted);
        QCOMPARE(openFilesUnder(folder.folder()), QStringList());

        QTemporaryDir other;
        grelavo::Connection(QDir(other.path()).filePath(QStringLiteral("Grelavo.mdb")),
                            QStringLiteral("une autre clé"), grelavo::Connection::Mode::Create)
            .executeScript(QStringLiteral("CREATE TABLE t (x); INSERT INTO t VALUES (1);"));
        QCOMPARE(compact(other.path()).error->number, int(CompactError::Refused));
        QCOMPARE(openFilesUnder(other.path()), QStringList());

        WatchedEngine engine;
        engine.afterCompaction = [](const QString& written) { damage(written); };
        QCOMPARE(compact(folder.folder(), &engine).error->number, int(CompactError::DamagedCopy));
        QCOMPARE(openFilesUnder(folder.folder()), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCompaction)
#include "TestCompaction.moc"
