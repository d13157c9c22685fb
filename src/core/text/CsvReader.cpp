#include "CsvReader.h"

#include "CsvStream.h"

#include <QBuffer>

namespace grelavo {

QString CsvReader::read(const QByteArray& bytes, Table* table, int* line) {
    table->headings.clear();
    table->rows.clear();
    QByteArray data = bytes;
    QBuffer device(&data);
    device.open(QIODevice::ReadOnly);
    // The whole file as one block: the same reading as the import's, without its bound.
    CsvStream stream(qMax<qint64>(bytes.size(), 1));
    CsvStream::Format format;
    const QString problem = stream.examine(&device, &format, line);
    if (!problem.isEmpty())
        return problem;
    table->headings = format.headings;
    table->separator = format.separator;
    table->utf8 = format.utf8;
    stream.start(&device, format);
    for (CsvRecord record; stream.next(&record);)
        table->rows.append(std::move(record));
    return QString();
}

} // namespace grelavo
