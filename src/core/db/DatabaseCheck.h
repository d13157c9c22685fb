#pragma once

#include <QString>

namespace grelavo {

class DE;
class DbError;

// Whether a database file can serve the programs, and database failures said in words.
class DatabaseCheck {
public:
    // The cause of a failure in French words ("le disque est plein"), for messages.
    static QString causeInWords(const DbError& e);

    // Opens the connection of `de` and checks that its file is a Grelavo database that opens
    // with the key, holds the tables and stored queries the reports use and can be written,
    // without writing anything into it. Every page is read too (a damaged or cut file said now
    // rather than in the middle of a report) unless the file's stamp (DatabaseStamp) says that
    // nothing outside Grelavo has written it since it was last found whole, and no write was
    // cut short; a file found whole is stamped. Empty when the file can be used; otherwise a
    // message naming the file and the cause.
    static QString problem(DE& de);

    // Every page is read at the following checks of this process, whatever the stamp says (or,
    // 'required' false, again only when there is reason).
    static void requireFullCheck(bool required = true);
    // Whether the last check of this process read every page.
    static bool lastCheckWasFull();
    // Called once the connection to 'path' is closed: when the file was found sound when it
    // was opened (and the connection held it to itself since), its stamp is written again, so
    // that Grelavo's own writes do not cost the next start a full reading.
    static void closed(const QString& path);
};

} // namespace grelavo
