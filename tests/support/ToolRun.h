#pragma once

#include <QProcess>
#include <QStringList>
#include <QtGlobal>

// A command-line program of Grelavo run as a user runs it: its exit status (-1 when it crashed)
// and what it wrote on its two outputs.
struct ToolOutcome {
    int status = -1;
    QByteArray out;
    QString error;
};

// asUser: another user's id, under which the program runs (the tests run as root).
inline ToolOutcome runTool(const QString& program, const QStringList& arguments, int asUser = -1) {
    QProcess process;
    if (asUser >= 0)
        process.start(QStringLiteral("setpriv"),
                      QStringList{QStringLiteral("--reuid=%1").arg(asUser),
                                  QStringLiteral("--regid=%1").arg(asUser),
                                  QStringLiteral("--clear-groups"), program} +
                          arguments);
    else
        process.start(program, arguments);
    if (!process.waitForFinished(60000))
        qFatal("%s did not finish", qPrintable(program));
    ToolOutcome o;
    o.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    o.out = process.readAllStandardOutput();
    o.error = QString::fromUtf8(process.readAllStandardError());
    return o;
}
