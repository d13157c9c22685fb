#pragma once

#include "Workloads.h"

#include <QString>
#include <QStringList>

namespace grelavo {
class Connection;
class DE;
} // namespace grelavo

// The list steps of the benchmarks run as the windows run them (ListSteps), and their lower
// bounds run as plain statements; the rows each gives, to check that they agree.
namespace grelavo::bench {

// The chosen herbicides' names, as the form's herbicide boxes hold them.
QStringList herbicideTexts(const ListCase& c);

// One list step as the windows run it (ListSteps): the next herbicide list, or the rate
// picker's combinations. Returns the number of rows listed.
long long runListStep(DE& de, const ListCase& c, const QStringList& texts);

// The rows a list step shows (id|name), or the rate picker's combinations (rate|rate...).
QStringList listedRows(DE& de, const ListCase& c);

// The same from the list's lower bound, the chosen herbicides left out as the step does.
QStringList boundRows(Connection& connection, const ListCase& c);

// Runs a list's lower bound; returns the number of rows.
long long runBound(Connection& connection, const QString& statement);

} // namespace grelavo::bench
