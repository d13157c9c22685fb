#pragma once

#include <QString>

namespace grelavo {

// Where the database file is and how it is opened.
class DatabaseFile {
public:
    static QString fileName(); // "Grelavo.mdb"
    static QString password(); // the key of the file

    // The path of the file called 'name' in 'folder', the name matched without regard to case
    // (an exact match wins); empty when there is none.
    static QString findInFolder(const QString& folder, const QString& name);
};

} // namespace grelavo
