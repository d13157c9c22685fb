#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace grelavo::cli {

// The exit statuses of every command-line program.
enum ExitStatus {
    Done = 0,    // what was asked is done
    Failed = 1,  // it could not be done; the cause is on the standard error
    Refused = 2, // the options or the files given are refused; nothing was written
};

// Writes the text to the stream as UTF-8, at once; false when it could not all be written (a
// full disk, a closed pipe).
bool write(std::FILE* stream, const QString& text);

// Writes "program : message" as one line on the standard error (the program's name is the
// application's); returns 'status'.
int fail(const QString& message, int status = Failed);

// Reads the arguments (the program's name first) with 'parser', given the program's 'options'.
// False with the reason in French in *failure for an unknown option ("option inconnue « --tout »
// (voir --help)"), an option whose value is missing or empty ("l'option --db demande une
// valeur") or given twice, unless its last name is in 'repeatable'.
bool parse(QCommandLineParser& parser, const QList<QCommandLineOption>& options,
           const QStringList& arguments, QString* failure, const QStringList& repeatable = {});

// The database the programs use when none is given: the one beside the programs in a build
// folder, or the user's working copy of the installed one, made from the shipped file when
// missing. Empty when there is none, with the reason in French in *failure.
QString defaultDatabase(QString* failure);

} // namespace grelavo::cli
