#pragma once

#include "ImportPlan.h"
#include "core/text/CsvStream.h"

#include <QFile>

#include <QString>
#include <QStringList>
#include <QVector>

namespace grelavo {

// The largest exchange file read (docs/exchange-format.md, "Reading"): 1 GB.
inline constexpr qint64 kMaxExchangeFileBytes = qint64(1) << 30;

// The exchange file a file name stands for ("évaluations.csv", "SITES.CSV": case and accents
// ignored), or empty when it is none of them. "edition.csv" is known too.
QString exchangeFileName(const QString& fileName);

// The files given to an import, read: each an exchange file known by its name, a folder standing
// for the exchange files it holds (any other CSV file there named in a warning). A file given
// that does not exist is a failure (*failure set); a name that is not of the format, a file given
// twice, one that is not a regular file (a pipe, a device, a link to nothing) or larger than
// kMaxExchangeFileBytes, one that cannot be read or does not parse, a problem.
// Each file is read through once here, without keeping its records: they are read again, one at
// a time, by ImportFileRecords.
QVector<ImportFile> readFiles(const QStringList& given, QVector<ImportProblem>* problems,
                              QString* failure);

// A file that could be read by readFiles() and no longer can: the whole message.
struct ImportReadFailed {
    QString message;
};

// The records of a file given to an import, read again from its start, one at a time. Throws
// ImportReadFailed when the file cannot be opened or read.
class ImportFileRecords {
public:
    explicit ImportFileRecords(const ImportFile& file);
    bool next(CsvRecord* record);

private:
    QFile m_file;
    QString m_path;
    CsvStream m_stream;
};

} // namespace grelavo
