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

    // The current row's value as the file stores it, read without a QVariant (loops over many
    // rows). integer() and real() convert as SQLite does: a null reads 0, a text its leading
    // number; a real read by integer() is truncated towards zero.
    enum class Type { Null, Integer, Real, Text, Blob };
    Type type(int column) const;
    bool isNull(int column) const { return type(column) == Type::Null; }
    qint64 integer(int column) const;
    double real(int column) const;
    // A null reads as a null QString.
    QString text(int column) const;

private:
    Connection& m_connection;
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace grelavo
