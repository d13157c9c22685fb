#pragma once

#include "core/db/DatabaseEdition.h"
#include "core/db/ImportLog.h"

#include <QString>

namespace grelavo {

// A newer edition of the shipped database for a user who works on a copy of an older one: it is
// noticed, and the user's copy can move to it carrying the trials they imported.
class EditionMove {
public:
    struct Offer {
        bool newer = false; // the shipped file holds another edition, not an older one
        DatabaseEdition current, shipped;
        int importedTreatments = 0; // the trials the user imported into the working copy
    };
    // Compares the editions of the working copy and of the shipped file. Throws DbError.
    static Offer check(const QString& workingCopy, const QString& shipped);

    struct Result {
        bool done = false;
        QString message; // what was done, or why nothing was, in French
        QString kept;    // where the old working copy is kept
        ExperimentCounts carried;
    };
    // Makes the working copy a copy of the shipped file that also holds the trials imported into
    // the old one (names they use that the new lists lack are added); the old copy is kept
    // beside it under another name. When anything fails, the working copy is left as it was.
    static Result move(const QString& workingCopy, const QString& shipped);
};

} // namespace grelavo
