#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace grelavo {

// One record of a CSV file and the line it starts on (from 1).
struct CsvRecord {
    int line = 0;
    QStringList fields;
};

// A CSV file as spreadsheets save it: UTF-8 with or without a byte order mark, or Windows-1252
// (a file that is not valid UTF-8); fields separated by commas or by semicolons (the first line
// tells which); fields quoted or not, a quote inside a quoted field doubled, line breaks inside
// quotes kept; lines ended by LF, CR LF or CR. Blank lines, and lines of separators only, are
// left out. A field whose first character is an apostrophe followed by = + - @, a tabulation or
// a carriage return is read without that apostrophe (the export's guard against formulas).
class CsvReader {
public:
    struct Table {
        QStringList headings;    // the first line, each trimmed
        QVector<CsvRecord> rows; // the following lines
        QChar separator;         // ',' or ';'
        bool utf8 = true;        // false: read as Windows-1252
    };

    // Empty when the bytes read; otherwise what is wrong, with *line set (0 for the whole file):
    // a quote left open, or a file in UTF-16 or UTF-32 (a byte order mark, a NUL byte) or
    // separated by tabulations, with how to save it instead.
    // Read by CsvStream, the whole file as one block.
    static QString read(const QByteArray& bytes, Table* table, int* line);
};

} // namespace grelavo
