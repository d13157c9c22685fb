#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace grelavo {

class Connection;

// Rows of a statement or of a table, held in memory: the record count is exact, fields are read
// by name without regard to case, and on a table the current row can be changed and saved.
class Recordset {
public:
    bool isOpen() const { return m_connection != nullptr; }
    // Opens on a statement in the engine's dialect.
    void open(Connection& connection, const QString& statement);
    // Opens on a whole table, rows in key order; such a recordset can save changed rows.
    void openTable(Connection& connection, const QString& table);
    // Reads the rows again from the same source.
    void requery();
    void close();

    int recordCount() const { return m_rows.size(); }
    bool eof() const { return m_current >= m_rows.size(); }
    void moveFirst() { m_current = 0; }
    void moveNext();

    int fieldCount() const { return m_fields.size(); }
    const QStringList& fieldNames() const { return m_fields; }
    // The field of the current row; throws DbError for an unknown field or when at the end.
    QVariant field(const QString& name) const;
    void setField(const QString& name, const QVariant& value);
    // Saves the changed fields of the current row (table recordsets only).
    void update();

private:
    int fieldIndex(const QString& name) const;
    void checkCurrent() const;
    void openSource(Connection& connection, const QString& source, bool isTable);
    void load();

    Connection* m_connection = nullptr;
    QString m_source;
    bool m_isTable = false;
    QStringList m_fields;
    QVector<QVector<QVariant>> m_rows;
    QVector<qlonglong> m_rowIds;
    QVector<bool> m_changed;
    int m_current = 0;
};

} // namespace grelavo
