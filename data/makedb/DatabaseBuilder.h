#pragma once

#include "Sources.h"

#include <QString>

namespace grelavo::makedb {

// What a build wrote.
struct BuildSummary {
    int sites = 0, treatments = 0, applications = 0, products = 0, crops = 0, stages = 0,
        ratings = 0, weeds = 0, herbicides = 0, resultRows = 0;
};

// Writes the demonstration database: the schema, the lookup lists, the generated experiments
// and the prepared rows of the results table, keyed with the program's password.
class DatabaseBuilder {
public:
    // Builds into 'path', replacing any file there; the file appears only once it is complete.
    // 'scale' multiplies the number of experimental sites. Throws SourceError or DbError.
    static BuildSummary build(const QString& path, double scale, const Sources& sources);
    static BuildSummary build(const QString& path, double scale);
};

} // namespace grelavo::makedb
