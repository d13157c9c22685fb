#pragma once

#include <QString>
#include <QStringList>
#include <string>

// Steps timed in a process of their own, so that their peak memory is theirs alone: the
// command-line import and export, and the plain CSV dump they are compared with.
//
// The bench starts itself as a small go-between (--grelavo_measure=FILE PROGRAM ARGS...), which
// starts the program, waits for it and writes its wall-clock time, its CPU time and its peak
// resident memory (getrusage's maxrss of that child) to FILE. The go-between is needed because a
// process started straight from the bench would carry the bench's own peak: Linux keeps the largest
// resident size across exec.
namespace grelavo::bench {

struct ChildResult {
    bool ok = false; // started, and ended with status 0
    int exitStatus = -1;
    double wallMs = 0;
    double cpuMs = 0; // user and system time of the program
    double peakMegabytes = 0;
    std::string error;
};

// Runs the program with its arguments through the go-between; its output goes to the bench's
// error stream only when it fails.
ChildResult runMeasured(const QString& program, const QStringList& arguments);

// The go-between's and the dump's own mains; each returns the process's exit status, or -1
// when argv does not ask for it.
int measureMain(int argc, char** argv);
int dumpMain(int argc, char** argv);

// The command line of the dump: the tables the export writes, each as a plain CSV file
// (SELECT *, text fields quoted where needed) in the folder.
QStringList dumpArguments(const QString& databaseFile, const QString& folder);

} // namespace grelavo::bench
