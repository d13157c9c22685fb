#pragma once

#include <QChar>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QtGlobal>

// A poppler-utils tool's output on a file (pdfinfo, pdftotext), to read what a PDF holds. A PDF
// may give a non-breaking space the plain space's glyph, so both read as a plain space here.
inline QString popplerText(const QString& tool, const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        qFatal("%s (poppler-utils) is needed", qPrintable(tool));
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput()).replace(QChar(0xa0), QLatin1Char(' '));
}
