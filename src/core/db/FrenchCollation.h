#pragma once

#include <QCollator>

struct sqlite3;

namespace grelavo {

// Orders and groups texts as the original engine did: French order (accents sorted with their
// letter), without regard to case. Installed on a connection in place of SQLite's NOCASE, which
// the schema declares on the texts shown in lists.
class FrenchCollation {
public:
    FrenchCollation();
    // French order without regard to case, the one order of every sorted list of the program.
    static const QCollator& frenchOrder();
    int compare(const QString& a, const QString& b) const;
    // Registers this collation as NOCASE on the connection; it must outlive the connection.
    void install(sqlite3* db);

private:
    QCollator m_collator;
};

} // namespace grelavo
