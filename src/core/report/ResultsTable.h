#pragma once

#include <QString>
#include <QVector>
#include <array>
#include <optional>

namespace grelavo {

class Connection;

// One row of tblResults: the row number, its label, the weed or category it stands for and its
// ten cells, the mean and the count of each dose fraction (nothing for a NULL cell).
struct ResultsRow {
    static constexpr int Cells = 10;

    qint64 NoId = 0;
    std::optional<QString> Results;
    std::optional<qint64> ResultsId;
    std::array<std::optional<QString>, Cells> cells;

    bool operator==(const ResultsRow& other) const {
        return NoId == other.NoId && Results == other.Results && ResultsId == other.ResultsId &&
               cells == other.cells;
    }
    bool operator!=(const ResultsRow& other) const { return !(*this == other); }
};

// The results table as a report leaves it, the one reader of it for the page, the JSON, the
// evaluator and the tests.
class ResultsTable {
public:
    // Every row in NoId order; throws DbError.
    static QVector<ResultsRow> read(Connection& connection);
};

} // namespace grelavo
