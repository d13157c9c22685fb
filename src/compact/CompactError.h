#pragma once

#include <QString>

namespace pelvane {

// A failure of the database engine or of a file operation, numbered as the engine numbers them.
struct CompactError {
    enum Number {
        FileNotFound = 3024,   // the source database does not exist
        PasswordNeeded = 3031, // the source needs a password that was not given, or another one
        FileExists = 3204,     // the destination already exists
        InUse = 3356,          // another program holds the database
        DamagedCopy = 3049,    // the compacted copy does not pass the integrity check
        EngineFailure = 3000,  // any other failure of the engine
        FileOperation = 3001,  // a delete or a rename failed
        Refused = 3002,        // the file is left alone; the message says why, to the user
    };

    int number;
    QString message;     // the engine's or the system's own words, for a log: never shown
    int systemError = 0; // the errno of a failed file operation
};

} // namespace pelvane
