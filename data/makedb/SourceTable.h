#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <stdexcept>

namespace grelavo::makedb {

// A problem in a text source, naming the file and line.
class SourceError : public std::runtime_error {
public:
    explicit SourceError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// One tab-separated text file: lines starting with '#' and blank lines are comments, the first
// other line names the columns, every following line is a row with at most that many fields
// (missing trailing fields are empty). Values are read by column name.
class SourceTable {
public:
    // Parses UTF-8 text; 'name' is used in error messages.
    SourceTable(const QString& name, const QByteArray& utf8);
    // Reads a file (a Qt resource path such as ":/data/lists/x.tsv" or a file path).
    static SourceTable read(const QString& path);

    const QString& name() const { return m_name; }
    int rowCount() const { return static_cast<int>(m_rows.size()); }

    bool hasColumn(const QString& column) const { return m_header.contains(column); }
    QString text(int row, const QString& column) const;
    // Non-empty text, else an error.
    QString required(int row, const QString& column) const;
    int integer(int row, const QString& column) const;
    double number(int row, const QString& column) const;
    // A comma-separated list of integers or of numbers; "-" or empty gives an empty list.
    QVector<int> integers(int row, const QString& column) const;
    QVector<double> numbers(int row, const QString& column) const;

    // An error about the given row of this file.
    [[noreturn]] void fail(int row, const QString& message) const;

private:
    int columnIndex(const QString& column) const;

    QString m_name;
    QStringList m_header;
    QVector<QStringList> m_rows;
    QVector<int> m_lines;
};

} // namespace grelavo::makedb
