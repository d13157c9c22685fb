#include "CompactFolder.h"

#include "Form1.h"

#include <QLabel>
#include <QProcess>
#include <QtTest>

namespace {

// Runs a copy of the real program from 'folder', its program folder, with its messages written
// to standard output instead of a message box.
struct ProgramRun {
    int exitCode = -1;
    QStringList messages;
};

ProgramRun runPelvane(const QString& folder) {
    const QString program = QDir(folder).filePath(QStringLiteral("pelvane"));
    if (!QFileInfo::exists(program))
        QFile::copy(QStringLiteral(PELVANE_PROGRAM), program);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(program, {QStringLiteral("--print-messages")});
    ProgramRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.messages = QString::fromUtf8(process.readAllStandardOutput())
                       .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return run;
}

} // namespace

class TestPelvane : public QObject {
    Q_OBJECT

private slots:
    void windowSaysTheDatabaseIsBeingCompacted() {
        pelvane::Form1 form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Compactage de la base de donnée en cours..."));
        auto* label = form.findChild<QLabel*>(QStringLiteral("Label1"));
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("Compactage en cours..."));
    }

    // The program compacts the database of its own folder; without one it says so and ends.
    void programCompactsTheDatabaseOfItsFolderOrSaysErrorWithout() {
        CompactFolder folder;
        folder.grow();
        const qint64 grown = folder.size();
        const QStringList before = CompactFolder::content(folder.path());
        const ProgramRun run = runPelvane(folder.folder());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.messages, QStringList{QStringLiteral("compactage terminée")});
        QCOMPARE(folder.files(),
                 QStringList({QStringLiteral("Grelavo.mdb"), QStringLiteral("pelvane")}));
        QVERIFY(folder.size() < grown);
        QCOMPARE(CompactFolder::content(folder.path()), before);

        QTemporaryDir empty;
        const ProgramRun error = runPelvane(empty.path());
        QCOMPARE(error.exitCode, 1);
        QCOMPARE(error.messages, QStringList{QStringLiteral("Erreur.")});
        QCOMPARE(QDir(empty.path()).entryList(QDir::Files), QStringList{QStringLiteral("pelvane")});
    }
};

QTEST_MAIN(TestPelvane)
#include "TestPelvane.moc"
