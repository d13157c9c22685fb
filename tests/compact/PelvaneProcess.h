#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <functional>

// One run of a copy of the real program from 'folder', its program folder, with its messages
// written to standard output instead of a message box.
struct PelvaneRun {
    bool ended = false; // ended by itself, neither killed nor timed out
    int exitCode = -1;
    QStringList messages;
    qint64 milliseconds = 0;
};

struct PelvaneOptions {
    QString killAt;                // the step at which the program's test hook kills it
    int killAfter = -1;            // milliseconds after the start at which the test kills it...
    QString once;                  // ...or after this file appeared
    std::function<void()> inChild; // run in the child before the program starts
};

inline PelvaneRun runPelvane(const QString& folder, const PelvaneOptions& options = {}) {
    const QString program = QDir(folder).filePath(QStringLiteral("pelvane"));
    if (!QFileInfo::exists(program))
        QFile::copy(QStringLiteral(PELVANE_PROGRAM), program);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!options.killAt.isEmpty())
        environment.insert(QStringLiteral("PELVANE_TEST_KILL_AT"), options.killAt);
    process.setProcessEnvironment(environment);
    if (options.inChild)
        process.setChildProcessModifier(options.inChild);
    QElapsedTimer clock;
    clock.start();
    process.start(program, {QStringLiteral("--print-messages")});
    PelvaneRun run;
    if (!process.waitForStarted())
        return run;
    bool running = true;
    while (!options.once.isEmpty() && running && !QFileInfo::exists(options.once))
        running = !process.waitForFinished(1);
    if (running && options.killAfter >= 0 && !process.waitForFinished(options.killAfter)) {
        process.kill(); // SIGKILL
        process.waitForFinished();
    }
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
    }
    run.milliseconds = clock.elapsed();
    run.messages = QString::fromUtf8(process.readAllStandardOutput())
                       .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (process.exitStatus() != QProcess::NormalExit)
        return run;
    run.ended = true;
    run.exitCode = process.exitCode();
    return run;
}
