// An import on a disk that fails one read, write or sync, at every point of the run: what the
// import says is what the file holds afterwards.

#include "FaultyVfs.h"
#include "FixtureDatabase.h"
#include "FrenchText.h"
#include "ImportSet.h"
#include "core/exchange/ExperimentImport.h"

#include <QtTest>

using namespace grelavo;

namespace {

int treatments(const QString& database) {
    Connection db(database, DatabaseFile::password());
    return statementRows(db, QStringLiteral("SELECT count(*) FROM \"tbldesTraitements\""))
        .first()
        .toInt();
}

} // namespace

class TestImportDiskFaults : public QObject {
    Q_OBJECT

private slots:
    // Done means the rows are in (and when the end of the commit failed, the outcome says so);
    // Failed means nothing was added, and says it. No unfinished copy is ever left beside.
    void failingDiskSaysWhatIsReallyThere() {
        const FixtureDatabase fixture;
        QTemporaryDir input;
        const QStringList files = writeSet(input.path());
        const int before = treatments(fixture.path());
        FaultyVfs disk;
        ImportOptions options; // the kept copy has its own test, killed at any moment
        options.keepCopy = false;

        int calls = 0;
        {
            QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("essais.mdb"));
            QVERIFY(QFile::copy(fixture.path(), path));
            FaultyVfs::failCall(0);
            QCOMPARE(int(ExperimentImport::run(path, files, options).status),
                     int(ImportOutcome::Status::Done));
            calls = FaultyVfs::calls();
        }
        int failed = 0;
        int doneDespiteAnError = 0;
        // Every call of the end (the commit), one in seven before it (the reading and checks).
        for (int n = 1; n <= calls; n += n < calls - 40 ? 7 : 1) {
            // A full disk in turn with the other failures of a write.
            const bool full = n % 2 == 0;
            const QString when = QStringLiteral("call %1%2").arg(n).arg(full ? " (full)" : "");
            QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("essais.mdb"));
            QVERIFY(QFile::copy(fixture.path(), path));
            FaultyVfs::failCall(n, full);
            const ImportOutcome o = ExperimentImport::run(path, files, options);
            FaultyVfs::failCall(0);
            const int now = treatments(path);
            if (o.status == ImportOutcome::Status::Done) {
                QVERIFY2(now == before + 2, qPrintable(when));
                doneDespiteAnError += o.commitError.isEmpty() ? 0 : 1;
            } else {
                QVERIFY2(o.status == ImportOutcome::Status::Failed, qPrintable(when));
                QVERIFY2(now == before, qPrintable(when + QStringLiteral(": ") + o.failure));
                QVERIFY2(o.failure.endsWith(QStringLiteral("Rien n'a été importé.")),
                         qPrintable(o.failure));
                QVERIFY2(englishWords(o.failure).isEmpty(), qPrintable(o.failure));
                ++failed;
            }
            for (const QString& name : QDir(dir.path()).entryList(QDir::Files))
                QVERIFY2(!name.contains(QStringLiteral("en-cours")), qPrintable(when + name));
        }
        qInfo("%d calls, %d failed imports, %d done despite an error at the end of the commit",
              calls, failed, doneDespiteAnError);
        QVERIFY(failed > 0);
        QVERIFY(doneDespiteAnError > 0);
    }

    // A disk failing while the copy kept before the import is written: nothing is imported, the
    // message names the copy and its cause in French, and no file bears the copy's name.
    void failingCopySaysSoInFrench() {
        const FixtureDatabase fixture;
        QTemporaryDir input;
        const QStringList files = writeSet(input.path());
        const int before = treatments(fixture.path());
        FaultyVfs disk;
        int copyFailures = 0;
        for (int n = 1; n < 400; n += 3) {
            const QString when = QStringLiteral("call %1").arg(n);
            QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("essais.mdb"));
            QVERIFY(QFile::copy(fixture.path(), path));
            FaultyVfs::failCall(n, n % 2 == 0);
            const ImportOutcome o = ExperimentImport::run(path, files, ImportOptions());
            FaultyVfs::failCall(0);
            if (o.status == ImportOutcome::Status::Done)
                break; // past the copy and the commit
            QVERIFY2(treatments(path) == before, qPrintable(when));
            QVERIFY2(englishWords(o.failure).isEmpty(), qPrintable(o.failure));
            if (!o.failure.startsWith(QStringLiteral("La copie de la base de données")))
                continue;
            ++copyFailures;
            QVERIFY2(o.failure.contains(QStringLiteral(".avant-import-")), qPrintable(o.failure));
            QVERIFY2(QDir(dir.path()).entryList({QStringLiteral("*avant-import*")}).isEmpty(),
                     qPrintable(when));
        }
        QVERIFY(copyFailures > 0);
    }
};

QTEST_GUILESS_MAIN(TestImportDiskFaults)
#include "TestImportDiskFaults.moc"
