#pragma once

#include "CsvReader.h"

#include <QChar>
#include <QIODevice>
#include <QString>
#include <QStringList>

namespace grelavo {

// A CSV file, in the form CsvReader describes, read one record at a time from a device, so that
// a file of any size is read in a bounded memory: a block of kBlockBytes and its text, parsed
// one record at a time as next() asks. The fields are built in strings that are used again
// from record to record (next() swaps them with the caller's record), so that reading a file
// does not allocate per field. CsvReader reads a whole file through it as one block.
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
    // The next record that is not blank; false at the end of the file. The strings of the
    // record given are kept and used again for the records that follow.
    bool next(CsvRecord* record);
    // Whether the device failed to read (the records stopped there).
    bool readFailed() const { return m_readFailed; }

private:
    bool readBlock();
    void decode(QByteArrayView bytes);
    bool parse();
    QString& field();
    void startRecord();
    void endField();
    void endRecord();
    bool finish();
    void handOver(CsvRecord* record);

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
    qsizetype m_pos = 0;      // where the parser goes on in m_text
    bool m_lastBlock = false; // m_text is the end of the file: finish() follows it
    bool m_ready = false;     // m_fields holds a record that is not blank, from m_readyLine
    int m_readyLine = 0;

    // The parser's state between blocks and records: the fields of the record being read (the
    // first m_count, then the one being built; any beyond are kept for the next records).
    QStringList m_fields;
    qsizetype m_count = 0;
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
