#pragma once

#include "CsvReader.h"

#include <QChar>
#include <QIODevice>
#include <QQueue>
#include <QString>
#include <QStringList>

namespace grelavo {

// A CSV file, in the form CsvReader describes, read one record at a time from a device, so that
// a file of any size is read in a bounded memory: a block of kBlockBytes, its text and the
// records it holds. CsvReader reads a whole file through it as one block.
class CsvStream {
public:
    static constexpr qint64 kBlockBytes = qint64(1) << 20;

    explicit CsvStream(qint64 blockBytes = kBlockBytes) : m_blockBytes(blockBytes) {}

    struct Format {
        QStringList headings; // the first line, each trimmed
        QChar separator = QLatin1Char(',');
        bool utf8 = true;   // false: read as Windows-1252
        qint64 records = 0; // the lines after the headings, blank ones included
    };

    // Reads 'device' through from its start: its headings, its separator and its encoding, and
    // whether it parses. Empty when it does; otherwise what is wrong, with *line set: a quote
    // left open, or a file in UTF-16 or UTF-32 (a byte order mark, a NUL byte) or separated by
    // tabulations, with how to save it instead. A device that fails to read gives false from
    // readFailed().
    QString examine(QIODevice* device, Format* format, int* line);

    // Reads the records of 'device' from its start, in the format examine() found; the headings
    // are left out.
    void start(QIODevice* device, const Format& format);
    // The next record that is not blank; false at the end of the file.
    bool next(CsvRecord* record);
    // Whether the device failed to read (the records stopped there).
    bool readFailed() const { return m_readFailed; }

private:
    bool readBlock();
    void decode(QByteArrayView bytes);
    void parse(QStringView text);
    void endField();
    void endRecord();
    void finish();

    qint64 m_blockBytes;
    QIODevice* m_device = nullptr;
    Format m_format;
    bool m_atStart = true;
    bool m_atEnd = false;
    bool m_readFailed = false;
    bool m_decodeError = false;
    bool m_nul = false;
    bool m_detect = false; // examine(): the headings and the separator found from the file
    bool m_tabs = false;
    bool m_examining = false; // the records are not wanted
    bool m_keep = true;       // the characters of the fields are kept
    QByteArray m_carry;       // bytes of a character cut by the end of a block
    QByteArray m_bytes;       // the block read
    QString m_text;           // its text
    QQueue<CsvRecord> m_ready;

    // The parser's state between blocks.
    QStringList m_fields;
    QString m_field;
    bool m_quoted = false;
    bool m_quoteSeen = false;  // in a quoted field, a quote that may be doubled
    bool m_crInQuotes = false; // in a quoted field, a CR that may be followed by LF
    bool m_skipLf = false;     // a record ended by CR: an LF right after belongs to it
    bool m_fieldStarted = false;
    bool m_headingsRead = false;
    int m_lineNo = 1;
    int m_recordLine = 1;
    int m_quoteLine = 0;
};

} // namespace grelavo
