#pragma once

#include <QString>

namespace grelavo {

// Turns a statement of the original engine's dialect into one that SQLite 3.15 runs with the
// same meaning. SQLite already takes most of it as written (square brackets, nested joins,
// In (SELECT ...), Between ... And, Not); what differs:
//  - SELECT cols INTO t FROM ...          -> CREATE TABLE t AS SELECT cols FROM ...
//  - UPDATE a INNER JOIN b ON c SET b.x = [a]![y]
//                                         -> UPDATE b SET x = (SELECT a.y FROM a WHERE c LIMIT 1)
//                                            WHERE EXISTS (SELECT 1 FROM a WHERE c)
//  - UPDATE t SET t.x = v                 -> UPDATE t SET x = v
//  - [table]![column]                     -> [table].[column]
//  - SELECT t.c                          -> SELECT t.c AS c (the engine's column name)
//  - a closing semicolon is dropped (a view's statement cannot carry one).
// Anything it does not recognise passes through unchanged, for SQLite to accept or refuse.
class JetDialect {
public:
    static QString translate(const QString& statement);
};

} // namespace grelavo
