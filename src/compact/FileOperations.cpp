#include "FileOperations.h"

#include "CompactError.h"

#include <QDir>
#include <QFile>

namespace pelvane {

QStringList FileOperations::find(const QString& folder, const QString& name) const {
    const QDir dir(folder);
    QStringList exact;
    QStringList others;
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& file : files) {
        if (file == name)
            exact << dir.filePath(file);
        else if (file.compare(name, Qt::CaseInsensitive) == 0)
            others << dir.filePath(file);
    }
    return exact + others;
}

void FileOperations::remove(const QString& path) {
    QFile file(path);
    if (!file.remove())
        throw CompactError{CompactError::FileOperation,
                           QStringLiteral("cannot delete %1: %2").arg(path, file.errorString())};
}

void FileOperations::rename(const QString& from, const QString& to) {
    // QFile::rename refuses an existing destination; the run has removed it before.
    QFile file(from);
    if (!file.rename(to))
        throw CompactError{
            CompactError::FileOperation,
            QStringLiteral("cannot rename %1 to %2: %3").arg(from, to, file.errorString())};
}

} // namespace pelvane
