#pragma once

#include <QJsonObject>

namespace grelavo {

class DE;
class ReportEngine;

// The outcome of a report as JSON: {"reportDate" (today, YYYY-MM-DD), "programVersion",
// "edition": {"name", "date", "source", "synthetic"} or null when the file does not say,
// "totalCases", "noDataFound", "rows": [{"noId", "label", "cells": [10 texts]}]}, every row of
// tblResults in NoId order, labels and cells as the table holds them, NULL as null. Database
// failures are thrown as DbError.
QJsonObject resultsJson(DE& de, const ReportEngine& engine);

} // namespace grelavo
