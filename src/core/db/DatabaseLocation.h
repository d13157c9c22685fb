#pragma once

#include <QString>

namespace grelavo {

// Where the programs find the database file, and the user's working copy of it.
//
// A build folder holds the database beside the programs and can be written: the file is used
// where it is, as it always was. An installed copy cannot be written (or does not hold the
// database beside the programs): the programs then use a working copy in the user's data folder,
// made from the shipped file the first time it is needed; the shipped file is only ever read.
// The shipped file is the one beside the programs, or else the one in ../share/grelavo from the
// program folder, so that an installed tree can be moved as a whole.
class DatabaseLocation {
public:
    enum class Kind {
        ProgramFolder, // the program folder holds the database and can be written
        WorkingCopy,   // the user's working copy, made from the shipped file when missing
        Missing        // no database anywhere: the program folder, where the programs say so
    };

    DatabaseLocation(QString programFolder, QString userFolder, QString fileName = QString());

    // For the running program: its own folder and userDataFolder().
    static DatabaseLocation ofThisProgram();
    // The user's data folder, the same for every program of Grelavo:
    // $XDG_DATA_HOME/Grelavo (by default ~/.local/share/Grelavo).
    static QString userDataFolder();
    // The shipped file called 'name' (the database, the help file): beside the programs, or in
    // ../share/grelavo from them; the name matched without regard to case. Empty when neither
    // folder holds it.
    static QString shippedFile(const QString& programFolder, const QString& name);

    Kind kind() const;
    QString shippedFile() const;
    QString workingCopy() const; // the working copy's path, whether it exists yet or not

    // The folder whose database the program opens, the working copy made first when it is
    // needed and missing. Empty when the copy cannot be made: error() then says why in French,
    // naming the file and the cause, and nothing half made is left behind.
    QString prepare();
    const QString& error() const { return m_error; }

private:
    bool makeFolder(const QString& folder);
    bool copyShippedFile(const QString& from, const QString& to);

    QString m_programFolder;
    QString m_userFolder;
    QString m_fileName;
    QString m_error;
};

} // namespace grelavo
