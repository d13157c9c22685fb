// grelavo-import killed (SIGKILL) while it keeps its copy of the database and adds the rows: a
// file named as a kept copy is always a whole copy, and the next run leaves nothing half made.

#include "ToolRun.h"
#include "core/db/Connection.h"
#include "core/db/DatabaseFile.h"
#include "core/db/Statement.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>
#include <sys/stat.h>

using namespace grelavo;

namespace {

const QString Database = QStringLiteral("essais.mdb");

qlonglong ratings(const QString& path) {
    Connection db(path, DatabaseFile::password());
    Statement count(db, QStringLiteral("SELECT count(*) FROM \"tblMHEval\""));
    count.step();
    return count.value(0).toLongLong();
}

QStringList files(const QDir& dir) {
    return dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestImportKills : public QObject {
    Q_OBJECT

    QTemporaryDir m_work;
    QString m_set; // the example set under keys the shipped database does not hold
    qlonglong m_ratings = 0;

    QStringList arguments(const QDir& dir) const {
        return {QStringLiteral("--db"), dir.filePath(Database), m_set};
    }

    // A folder holding a copy of the shipped database, readable by its owner only.
    void prepare(const QDir& dir) {
        QVERIFY(QFile::copy(QStringLiteral(GRELAVO_SHIPPED_DATABASE), dir.filePath(Database)));
        QVERIFY(
            QFile::setPermissions(dir.filePath(Database), QFile::ReadOwner | QFile::WriteOwner));
    }

private slots:
    void initTestCase() {
        m_set = m_work.filePath(QStringLiteral("set"));
        QVERIFY(QDir().mkpath(m_set));
        // The keys the export gave the shipped rows, renamed: new trials to the shipped file.
        const QRegularExpression key(QStringLiteral("(^|,)([STA][0-9]+)(?=,|\\r)"),
                                     QRegularExpression::MultilineOption);
        const QDir example(QStringLiteral(GRELAVO_EXCHANGE_EXAMPLE));
        for (const QString& name : example.entryList({QStringLiteral("*.csv")}, QDir::Files)) {
            QFile in(example.filePath(name));
            QVERIFY(in.open(QIODevice::ReadOnly));
            QString text = QString::fromUtf8(in.readAll());
            text.replace(key, QStringLiteral("\\1K\\2"));
            QFile out(QDir(m_set).filePath(name));
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(text.toUtf8());
        }
        m_ratings = ratings(QStringLiteral(GRELAVO_SHIPPED_DATABASE));
    }

    // Killed a little later each time after a new file appears beside the database: every file
    // named as a kept copy opens and holds the database as it was, with the database's mode;
    // the next run ends normally and leaves no unfinished copy.
    void killedRunLeavesOnlyWholeCopies() {
        int killedBeforeTheEnd = 0;
        for (int delay = 0; delay < 60; delay += 5) {
            const QString when = QStringLiteral("killed %1 ms in").arg(delay);
            QTemporaryDir folder;
            const QDir dir(folder.path());
            prepare(dir);
            const QStringList before = files(dir);
            QProcess run;
            run.start(QStringLiteral(GRELAVO_IMPORT), arguments(dir));
            QVERIFY(run.waitForStarted());
            QElapsedTimer waited;
            waited.start();
            while (run.state() == QProcess::Running && waited.elapsed() < 20000) {
                QStringList added = files(dir);
                for (const QString& f : before + QStringList{Database + QStringLiteral("-journal")})
                    added.removeAll(f);
                if (!added.isEmpty())
                    break;
                QThread::usleep(200);
            }
            QThread::msleep(delay);
            killedBeforeTheEnd += run.state() == QProcess::Running ? 1 : 0;
            run.kill();
            QVERIFY(run.waitForFinished());

            const auto checkCopies = [&](const QString& after) {
                for (const QString& name : files(dir)) {
                    if (!name.contains(QStringLiteral(".avant-import-")))
                        continue;
                    const QString path = dir.filePath(name);
                    qlonglong held = -1;
                    try {
                        held = ratings(path);
                    } catch (const std::exception&) {
                    }
                    QVERIFY2(held == m_ratings, qPrintable(after + QStringLiteral(": ") + name));
                    struct stat status {};
                    QCOMPARE(::stat(QFile::encodeName(path).constData(), &status), 0);
                    QCOMPARE(status.st_mode & 07777, 0600u);
                }
            };
            checkCopies(when);
            if (QTest::currentTestFailed())
                return;

            // Refused when the killed run had committed, otherwise done.
            const QStringList killed = files(dir);
            const ToolOutcome next = runTool(QStringLiteral(GRELAVO_IMPORT), arguments(dir));
            QVERIFY2(next.status == 0 || next.status == 2, qPrintable(when + next.error));
            checkCopies(when + QStringLiteral(", then run again"));
            for (const QString& name : files(dir)) {
                QVERIFY2(name == Database || name.contains(QStringLiteral(".avant-import-")),
                         qPrintable(when + QStringLiteral(", then run again: ") + name +
                                    QStringLiteral(" after ") + killed.join(QLatin1Char(' '))));
            }
        }
        // The kills fell inside runs, not after them.
        QVERIFY2(killedBeforeTheEnd >= 8, qPrintable(QString::number(killedBeforeTheEnd)));
    }
};

QTEST_GUILESS_MAIN(TestImportKills)
#include "TestImportKills.moc"
