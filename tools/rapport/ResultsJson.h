#pragma once

#include <QJsonObject>

namespace grelavo {

class DE;
struct ReportOutcome;

// The outcome of a report as JSON: {"reportDate" (today, YYYY-MM-DD), "programVersion",
// "edition": {"name", "date", "source", "synthetic", "importations": [{"date", "fichiers",
// "ajouts": {"sites", "traitements", "cultures", "applications", "stades", "produits",
// "evaluations"}, "nomsAjoutes"}]} (name, date and source null when the file has no edition
// row; the whole member null when it has neither that row nor an import),
// "totalCases", "noDataFound", "rows": [{"noId", "label", "cells": [10 texts], "values":
// [{"fraction": 50, "mean": 52, "count": 27}, ... for 50, 60, 70, 80 and 100 %]}]}, every row of
// the report's results table in NoId order, labels and cells as the table holds them, NULL as null;
// "values" gives the cells of a weed or category as numbers (mean null without ratings), and is
// empty for any other row. Database failures are thrown as DbError.
QJsonObject resultsJson(DE& de, const ReportOutcome& report);

} // namespace grelavo
