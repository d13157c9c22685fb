#pragma once

struct sqlite3;

namespace grelavo {

// The functions of the original dialect that SQLite lacks:
//  Fix(x)   truncates toward zero and yields an integer (NULL gives NULL);
//  First(x) the value of the first row of each group.
class JetFunctions {
public:
    static void install(sqlite3* db);
};

} // namespace grelavo
