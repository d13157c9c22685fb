#include "CompactFolder.h"
#include "PelvaneProcess.h"

#include <QtTest>
#include <memory>

// The real program killed (SIGKILL) wherever it is in a run, on a database of a few megabytes:
// the run after it must always find the whole database, every row of every table and view.
namespace {

// The steps after which the program's test hook can kill it, in the order of a run.
const QStringList Steps = {"recovered",         "first-compaction", "copy-checked",
                           "second-compaction", "new-ready",        "backed-up",
                           "swapped",           "copy-removed",     "cleaned"};

bool insideACompaction(const QStringList& files) {
    return files.contains(Database + QStringLiteral(".CPT-journal")) ||
           files.contains(Database + QStringLiteral(".NEW-journal"));
}

} // namespace

class TestPelvaneKills : public QObject {
    Q_OBJECT

    std::unique_ptr<CompactFolder> m_original;
    QStringList m_content;
    qint64 m_runTime = 0;
    QMap<QString, qint64> m_reached; // how long a run takes to finish a step

    // How long a run takes to reach 'step', where the test hook kills it.
    qint64 timeToReach(const QString& step) {
        QTemporaryDir dir;
        prepare(dir);
        PelvaneOptions kill;
        kill.killAt = step;
        return runPelvane(dir.path(), kill).milliseconds;
    }

    // A program folder in 'dir' holding a copy of the original database.
    void prepare(const QTemporaryDir& dir) {
        QVERIFY(QFile::copy(m_original->path(), QDir(dir.path()).filePath(Database)));
    }

    static QStringList files(const QTemporaryDir& dir) {
        return QDir(dir.path()).entryList(QDir::Files, QDir::Name);
    }

    // The run after a kill ends as a run always should: the database alone, whole, compacted.
    void expectWholeAfterNextRun(const QTemporaryDir& dir, const QString& after) {
        const PelvaneRun run = runPelvane(dir.path());
        QVERIFY2(run.ended && run.exitCode == 0,
                 qPrintable(after + QStringLiteral(": ") + run.messages.join(QLatin1Char(' '))));
        QCOMPARE(run.messages, QStringList{QStringLiteral("compactage terminée")});
        QCOMPARE(files(dir), QStringList({Database, QStringLiteral("pelvane")}));
        const QString path = QDir(dir.path()).filePath(Database);
        QVERIFY(CompactFolder::opensWithKey(path, grelavo::DatabaseFile::password()));
        QVERIFY2(CompactFolder::content(path) == m_content, qPrintable(after));
    }

private slots:
    void initTestCase() {
        m_original = std::make_unique<CompactFolder>();
        m_original->grow();
        m_original->addBulk(15000);
        m_content = CompactFolder::content(m_original->path());
        // One run left alone, and runs stopped around the compactions: when the timed kills
        // should come to land inside them.
        QTemporaryDir dir;
        prepare(dir);
        const PelvaneRun run = runPelvane(dir.path());
        QCOMPARE(run.exitCode, 0);
        m_runTime = run.milliseconds;
        for (const QString& step : Steps.mid(0, 4))
            m_reached[step] = timeToReach(step);
        qInfo("database of %lld bytes, one run takes %lld ms, the compactions from %lld to %lld "
              "and from %lld to %lld ms",
              m_original->size(), m_runTime, m_reached["recovered"], m_reached["first-compaction"],
              m_reached["copy-checked"], m_reached["second-compaction"]);
    }

    // Killed at each step of the run; "restored" on a folder left by a swap cut short, where the
    // database exists only as its backup and the compacted copy is cut short.
    void killedAfterEachStepNeverLosesTheDatabase_data() {
        QTest::addColumn<QString>("step");
        for (const QString& step : Steps)
            QTest::newRow(qPrintable(step)) << step;
        QTest::newRow("restored") << QStringLiteral("restored");
    }

    void killedAfterEachStepNeverLosesTheDatabase() {
        QFETCH(QString, step);
        QTemporaryDir dir;
        prepare(dir);
        if (step == QLatin1String("restored")) {
            const QString path = QDir(dir.path()).filePath(Database);
            QVERIFY(QFile::rename(path, path + QStringLiteral(".OLD")));
            QFile cut(path + QStringLiteral(".CPT"));
            QVERIFY(cut.open(QIODevice::WriteOnly) && cut.write(QByteArray(4096, '\0')) == 4096);
        }
        PelvaneOptions kill;
        kill.killAt = step;
        const PelvaneRun killed = runPelvane(dir.path(), kill);
        QVERIFY2(!killed.ended, "the program was not stopped at that step");
        QVERIFY(killed.messages.isEmpty());

        expectWholeAfterNextRun(dir, step);
    }

    // Killed at moments spread evenly over each of the two compactions (ten each, counted from
    // the moment the compaction's journal appears) and over the whole run (four); one kill in
    // four is followed by a second one, half-way through the run after it.
    void killedAtAnyMomentNeverLosesTheDatabase() {
        struct Moment {
            QString once;
            qint64 after;
        };
        QList<Moment> moments;
        const auto spread = [&moments](const QString& once, qint64 length, int count) {
            for (int i = 0; i < count; ++i)
                moments << Moment{once, length * i / count};
        };
        spread(Database + QStringLiteral(".CPT-journal"),
               m_reached["first-compaction"] - m_reached["recovered"], 10);
        spread(Database + QStringLiteral(".NEW-journal"),
               m_reached["second-compaction"] - m_reached["copy-checked"], 10);
        spread(QString(), m_runTime, 4);
        const int kills = moments.size();
        int inside = 0;
        int secondKills = 0;
        QStringList left;
        for (int i = 0; i < kills; ++i) {
            QTemporaryDir dir;
            prepare(dir);
            PelvaneOptions kill;
            if (!moments.at(i).once.isEmpty())
                kill.once = QDir(dir.path()).filePath(moments.at(i).once);
            kill.killAfter = int(moments.at(i).after);
            runPelvane(dir.path(), kill);
            const QStringList after = files(dir);
            inside += insideACompaction(after);
            left << after.filter(QStringLiteral("Grelavo")).join(QLatin1Char('+'));
            QString what =
                QStringLiteral("killed %1 ms after %2")
                    .arg(kill.killAfter)
                    .arg(kill.once.isEmpty() ? QStringLiteral("the start") : moments.at(i).once);
            if (i % 4 == 3) {
                PelvaneOptions again;
                again.killAfter = int(m_runTime / 2);
                runPelvane(dir.path(), again);
                what += QStringLiteral(", then half-way through the next run");
                ++secondKills;
            }
            expectWholeAfterNextRun(dir, what);
            if (QTest::currentTestFailed())
                return;
        }
        left.removeDuplicates();
        qInfo("%d timed kills (%d inside a compaction) and %d second kills; left: %s", kills,
              inside, secondKills, qPrintable(left.join(QStringLiteral(", "))));
        QVERIFY2(inside >= kills / 3, "too few kills landed inside a compaction");
    }
};

QTEST_GUILESS_MAIN(TestPelvaneKills)
#include "TestPelvaneKills.moc"
