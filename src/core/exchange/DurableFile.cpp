#include "DurableFile.h"

#include "core/db/SystemError.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace grelavo::durable {

namespace {

bool syncOpened(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

QString lastError() {
    return systemErrorInWords(errno);
}

} // namespace

bool syncFile(const QString& path) {
    return syncOpened(path, O_RDONLY);
}

bool syncFolder(const QString& path) {
    return syncOpened(path, O_RDONLY | O_DIRECTORY);
}

bool rename(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

QString createLike(const QString& path, const QString& model) {
    struct stat status {};
    if (::stat(QFile::encodeName(model).constData(), &status) != 0)
        return lastError();
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return lastError();
    // The owner first: changing it may clear the set-id bits the mode then gives back. A process
    // that may not give the file away leaves it its own.
    const bool owned = ::fchown(fd, status.st_uid, status.st_gid) == 0 ||
                       ::fchown(fd, static_cast<uid_t>(-1), status.st_gid) == 0;
    static_cast<void>(owned);
    if (::fchmod(fd, status.st_mode & 07777) != 0) {
        const QString why = lastError();
        ::close(fd);
        ::unlink(QFile::encodeName(path).constData());
        return why;
    }
    if (::close(fd) != 0)
        return lastError();
    return QString();
}

} // namespace grelavo::durable
