#include "DatabaseFile.h"

#include <QDir>
#include <QFileInfo>

namespace grelavo {

QString DatabaseFile::fileName() {
    return QStringLiteral("Grelavo.mdb");
}

QString DatabaseFile::password() {
    return QStringLiteral("wkhtqelmzav");
}

QString DatabaseFile::findInFolder(const QString& folder, const QString& name) {
    const QDir dir(folder);
    if (QFileInfo(dir.filePath(name)).isFile())
        return dir.filePath(name);
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& file : files)
        if (file.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(file);
    return QString();
}

} // namespace grelavo
