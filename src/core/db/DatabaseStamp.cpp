#include "DatabaseStamp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <sys/stat.h>

namespace grelavo {

namespace {

const QByteArray kFirstLine = QByteArrayLiteral("grelavo-controle 1");

// The size, modification time (seconds and nanoseconds), device and inode of the file; empty
// when it cannot be read.
QByteArray described(const QString& path) {
    struct stat s {};
    if (::stat(QFile::encodeName(path).constData(), &s) != 0 || !S_ISREG(s.st_mode))
        return QByteArray();
    return QByteArray::number(qlonglong(s.st_size)) + ' ' +
           QByteArray::number(qlonglong(s.st_mtim.tv_sec)) + ' ' +
           QByteArray::number(qlonglong(s.st_mtim.tv_nsec)) + ' ' +
           QByteArray::number(qulonglong(s.st_dev)) + ' ' +
           QByteArray::number(qulonglong(s.st_ino));
}

bool holdsSomething(const QString& path) {
    struct stat s {};
    return ::stat(QFile::encodeName(path).constData(), &s) == 0 && s.st_size > 0;
}

} // namespace

QString DatabaseStamp::pathFor(const QString& database) {
    const QFileInfo file(database);
    return file.dir().filePath(QLatin1Char('.') + file.fileName() + QStringLiteral(".controle"));
}

bool DatabaseStamp::current(const QString& database) {
    QFile stamp(pathFor(database));
    if (!stamp.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = stamp.read(4096).split('\n');
    const QByteArray now = described(database);
    return lines.size() >= 2 && lines[0] == kFirstLine && !now.isEmpty() && lines[1] == now;
}

bool DatabaseStamp::interruptedWrite(const QString& database) {
    return holdsSomething(database + QStringLiteral("-journal")) ||
           holdsSomething(database + QStringLiteral("-wal"));
}

bool DatabaseStamp::write(const QString& database) {
    const QByteArray now = described(database);
    if (now.isEmpty()) {
        remove(database);
        return false;
    }
    QSaveFile stamp(pathFor(database));
    if (!stamp.open(QIODevice::WriteOnly) || stamp.write(kFirstLine + '\n' + now + '\n') < 0 ||
        !stamp.commit()) {
        remove(database);
        return false;
    }
    return true;
}

void DatabaseStamp::remove(const QString& database) {
    QFile::remove(pathFor(database));
}

} // namespace grelavo
