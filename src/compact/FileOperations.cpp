#include "FileOperations.h"

#include "CompactError.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pelvane {

namespace {

[[noreturn]] void fail(const QString& what, int error) {
    throw CompactError{CompactError::FileOperation,
                       QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(strerror(error))),
                       error};
}

struct stat statusOf(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        fail(QStringLiteral("cannot read the attributes of %1").arg(path), errno);
    return status;
}

} // namespace

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
    if (::unlink(QFile::encodeName(path).constData()) != 0)
        fail(QStringLiteral("cannot delete %1").arg(path), errno);
}

void FileOperations::rename(const QString& from, const QString& to) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        fail(QStringLiteral("cannot rename %1 to %2").arg(from, to), errno);
}

void FileOperations::backup(const QString& from, const QString& to) {
    if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return;
    const int linkError = errno;
    if (linkError == EEXIST || !QFile::copy(from, to))
        fail(QStringLiteral("cannot back %1 up as %2").arg(from, to), linkError);
}

void FileOperations::sync(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail(QStringLiteral("cannot open %1").arg(path), errno);
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0)
        fail(QStringLiteral("cannot write %1 to the disk").arg(path), error);
}

void FileOperations::keepAttributes(const QString& model, const QString& path) {
    const struct stat wanted = statusOf(model);
    const struct stat current = statusOf(path);
    const QByteArray name = QFile::encodeName(path);
    // The owner first: changing it may clear the set-id bits, which the mode then puts back.
    if ((current.st_uid != wanted.st_uid || current.st_gid != wanted.st_gid) &&
        ::chown(name.constData(), wanted.st_uid, wanted.st_gid) != 0)
        fail(QStringLiteral("cannot give %1 the owner of %2").arg(path, model), errno);
    if (::chmod(name.constData(), wanted.st_mode & 07777) != 0)
        fail(QStringLiteral("cannot give %1 the permissions of %2").arg(path, model), errno);
}

bool FileOperations::canKeepOwner(const QString& path) const {
    const struct stat status = statusOf(path);
    const uid_t user = ::geteuid();
    if (user == 0)
        return true;
    if (status.st_uid != user)
        return false;
    if (status.st_gid == ::getegid())
        return true;
    std::vector<gid_t> groups(std::max(::getgroups(0, nullptr), 0));
    groups.resize(std::max(::getgroups(int(groups.size()), groups.data()), 0));
    return std::find(groups.begin(), groups.end(), status.st_gid) != groups.end();
}

} // namespace pelvane
