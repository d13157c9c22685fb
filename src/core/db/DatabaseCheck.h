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
    // with the key, reads whole and can be written, without writing anything into it. Empty
    // when the file can be used; otherwise a message naming the file and the cause.
    static QString problem(DE& de);
};

} // namespace grelavo
