#pragma once

#include "core/report/ParameterSet.h"

#include <QString>
#include <QStringList>
#include <QVector>

// What the benchmarks run: the parameter sets of the timed reports and the statements of the
// cascading lists and of the rate picker, written out as the parameter form and the rate picker
// send them. The mixtures chosen here exist at every scale of the demonstration database (the
// generator keeps the sites of a smaller scale in a larger one).
namespace grelavo {
class Connection;
}

namespace grelavo::bench {

// One report of the benchmark: a short name and the parameter set.
struct ReportCase {
    const char* name;
    const char* description;
    ParameterSet parameters;
};

// The three reports: one herbicide at its label rate on "Maïs (tous)"; a three-product
// mixture; one herbicide on one crop with several optional conditions.
QVector<ReportCase> reportCases();

// One herbicide as the lists know it.
struct Herbicide {
    int id;
    const char* name;
};

// The list steps the benchmarks time, in the order a user goes through them.
struct ListCase {
    enum class Kind { CascadeCount, CascadeHerbicide, RatePicker };
    const char* name;
    const char* description;
    Kind kind;
    int herbicideCount;
    int period;
    QVector<Herbicide> chosen; // herbicides 0 to r (cascade), all N of them (rate picker)
};

QVector<ListCase> listCases();

// Reports drawn at random (a fixed stream) from the applications of the database: a random
// application's period and products, its rates read as one of the five fractions of the entered
// rates, on "Maïs (tous)". Each has data at that fraction at least. Throws DbError.
QVector<ParameterSet> randomReports(Connection& db, int count, quint32 stream);

} // namespace grelavo::bench
