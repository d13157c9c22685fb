#pragma once

#include <QString>
#include <QVariant>

struct sqlite3_stmt;

namespace grelavo {

class Connection;

// A prepared SQLite statement (no dialect translation), finalized when destroyed.
class Statement {
public:
    Statement(Connection& connection, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds by 1-based position: null, integers, doubles, texts and byte arrays.
    void bind(int position, const QVariant& value);
    // Advances to the next row; false when the statement is done.
    bool step();
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    // The value of the current row: null, qlonglong, double, QString or QByteArray.
    QVariant value(int column) const;

private:
    Connection& m_connection;
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace grelavo
