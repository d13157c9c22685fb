#include "Recordset.h"

#include "Connection.h"
#include "DbError.h"
#include "JetDialect.h"
#include "Statement.h"

#include <sqlite3.h>

namespace grelavo {

namespace {

const QString kRowIdColumn = QStringLiteral("grelavo_rowid");

} // namespace

void Recordset::open(Connection& connection, const QString& statement) {
    openSource(connection, statement, false);
}

void Recordset::openTable(Connection& connection, const QString& table) {
    openSource(connection, table, true);
}

void Recordset::openSource(Connection& connection, const QString& source, bool isTable) {
    close();
    m_source = source;
    m_isTable = isTable;
    m_connection = &connection;
    try {
        load();
    } catch (...) {
        close();
        throw;
    }
}

void Recordset::requery() {
    if (!isOpen())
        throw DbError(SQLITE_MISUSE, QStringLiteral("the recordset is closed"));
    load();
}

void Recordset::close() {
    m_connection = nullptr;
    m_fields.clear();
    m_rows.clear();
    m_rowIds.clear();
    m_changed.clear();
    m_current = 0;
}

void Recordset::load() {
    const QString sql = m_isTable ? QStringLiteral("SELECT rowid AS %1, * FROM %2 ORDER BY rowid")
                                        .arg(kRowIdColumn, Connection::quoteIdentifier(m_source))
                                  : JetDialect::translate(m_source);
    NoticeScope notices(*m_connection);

    Statement statement(*m_connection, sql);
    const int first = m_isTable ? 1 : 0;
    QStringList fields;
    for (int c = first; c < statement.columnCount(); ++c)
        fields << statement.columnName(c);
    QVector<QVector<QVariant>> rows;
    QVector<qlonglong> rowIds;
    while (statement.step()) {
        QVector<QVariant> row;
        row.reserve(fields.size());
        for (int c = first; c < statement.columnCount(); ++c)
            row.push_back(statement.value(c));
        rows.push_back(row);
        if (m_isTable)
            rowIds.push_back(statement.value(0).toLongLong());
    }
    m_fields = fields;
    m_rows = rows;
    m_rowIds = rowIds;
    m_changed = QVector<bool>(fields.size(), false);
    m_current = 0;
}

void Recordset::moveNext() {
    if (m_current < m_rows.size())
        ++m_current;
}

int Recordset::fieldIndex(const QString& name) const {
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    throw DbError(SQLITE_ERROR, QStringLiteral("no field named %1").arg(name));
}

void Recordset::checkCurrent() const {
    if (!isOpen() || eof())
        throw DbError(SQLITE_MISUSE, QStringLiteral("no current row"));
}

QVariant Recordset::field(const QString& name) const {
    checkCurrent();
    return m_rows[m_current][fieldIndex(name)];
}

void Recordset::setField(const QString& name, const QVariant& value) {
    checkCurrent();
    if (!m_isTable)
        throw DbError(SQLITE_READONLY, QStringLiteral("rows of a statement cannot be changed"));
    const int index = fieldIndex(name);
    m_rows[m_current][index] = value;
    m_changed[index] = true;
}

void Recordset::update() {
    checkCurrent();
    QStringList assignments;
    QVector<QVariant> values;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_changed[i]) {
            assignments << Connection::quoteIdentifier(m_fields[i]) + QStringLiteral(" = ?");
            values << m_rows[m_current][i];
        }
    }
    if (assignments.isEmpty())
        return;
    NoticeScope notices(*m_connection);
    Statement statement(*m_connection,
                        QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                            .arg(Connection::quoteIdentifier(m_source), assignments.join(", ")));
    for (int i = 0; i < values.size(); ++i)
        statement.bind(i + 1, values[i]);
    statement.bind(values.size() + 1, m_rowIds[m_current]);
    statement.step();
    m_changed.fill(false);
}

} // namespace grelavo
