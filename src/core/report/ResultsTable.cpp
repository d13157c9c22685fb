#include "ResultsTable.h"

#include "core/db/Statement.h"

namespace grelavo {

namespace {

std::optional<QString> text(const QVariant& value) {
    if (value.isNull())
        return std::nullopt;
    return value.toString();
}

} // namespace

QVector<ResultsRow> ResultsTable::read(Connection& connection) {
    Statement rows(connection,
                   QStringLiteral("SELECT NoId, Results, ResultsId, [1], [2], [3], [4], "
                                  "[5], [6], [7], [8], [9], [10] FROM tblResults "
                                  "ORDER BY NoId"));
    QVector<ResultsRow> table;
    while (rows.step()) {
        ResultsRow row;
        row.NoId = rows.value(0).toLongLong();
        row.Results = text(rows.value(1));
        const QVariant id = rows.value(2);
        if (!id.isNull())
            row.ResultsId = id.toLongLong();
        for (int c = 0; c < ResultsRow::Cells; ++c)
            row.cells[c] = text(rows.value(3 + c));
        table << row;
    }
    return table;
}

} // namespace grelavo
