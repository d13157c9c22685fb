#include "DatabaseLocation.h"

#include "DatabaseFile.h"
#include "SystemError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace grelavo {

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// A file descriptor closed on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now; false, errno set, when the close reports a late write failure.
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const char* data, ssize_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

DatabaseLocation::DatabaseLocation(QString programFolder, QString userFolder, QString fileName)
    : m_programFolder(std::move(programFolder)), m_userFolder(std::move(userFolder)),
      m_fileName(fileName.isEmpty() ? DatabaseFile::fileName() : std::move(fileName)) {}

DatabaseLocation DatabaseLocation::ofThisProgram() {
    return DatabaseLocation(QCoreApplication::applicationDirPath(), userDataFolder());
}

QString DatabaseLocation::userDataFolder() {
    // Not AppDataLocation: that follows each program's own name, and Pelvane's is not Grelavo.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Grelavo"));
}

QString DatabaseLocation::shippedFile(const QString& programFolder, const QString& name) {
    const QString beside = DatabaseFile::findInFolder(programFolder, name);
    if (!beside.isEmpty())
        return beside;
    return DatabaseFile::findInFolder(
        QDir::cleanPath(QDir(programFolder).filePath(QStringLiteral("../share/grelavo"))), name);
}

DatabaseLocation::Kind DatabaseLocation::kind() const {
    const bool beside = !DatabaseFile::findInFolder(m_programFolder, m_fileName).isEmpty();
    if (beside && ::access(QFile::encodeName(m_programFolder).constData(), W_OK) == 0)
        return Kind::ProgramFolder;
    // Only a program with a shipped file has a working copy: a folder of tests or a build folder
    // without its database never opens the user's.
    if (!shippedFile().isEmpty())
        return Kind::WorkingCopy;
    return Kind::Missing;
}

QString DatabaseLocation::shippedFile() const {
    return shippedFile(m_programFolder, m_fileName);
}

QString DatabaseLocation::workingCopy() const {
    const QString existing = DatabaseFile::findInFolder(m_userFolder, m_fileName);
    return existing.isEmpty() ? QDir(m_userFolder).filePath(m_fileName) : existing;
}

QString DatabaseLocation::prepare() {
    m_error.clear();
    switch (kind()) {
    case Kind::ProgramFolder:
    case Kind::Missing:
        return m_programFolder;
    case Kind::WorkingCopy:
        break;
    }
    if (!DatabaseFile::findInFolder(m_userFolder, m_fileName).isEmpty())
        return m_userFolder;
    if (!makeFolder(m_userFolder) || !copyShippedFile(shippedFile(), workingCopy()))
        return QString();
    return m_userFolder;
}

bool DatabaseLocation::makeFolder(const QString& folder) {
    // Each missing folder of the path in turn, so that the one that fails is named with its cause.
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString made;
    for (const QString& part : parts) {
        made += QLatin1Char('/') + part;
        const QByteArray name = QFile::encodeName(made);
        if (::mkdir(name.constData(), 0700) == 0 || errno == EEXIST) {
            if (QFileInfo(made).isDir())
                continue;
            errno = ENOTDIR;
        }
        m_error =
            QStringLiteral("Impossible de créer le dossier «\u00a0%1\u00a0» de la copie de travail "
                           "de la base de données\u00a0: %2.")
                .arg(native(made), systemErrorInWords(errno));
        return false;
    }
    return true;
}

// Copied under a temporary name, written through to the disk, then given the working copy's name
// in one step: a copy cut short never bears that name.
bool DatabaseLocation::copyShippedFile(const QString& from, const QString& to) {
    const auto fail = [&](const QString& temporary, int error) {
        if (!temporary.isEmpty())
            ::unlink(QFile::encodeName(temporary).constData());
        m_error = QStringLiteral("Impossible de copier la base de données «\u00a0%1\u00a0» vers "
                                 "«\u00a0%2\u00a0»\u00a0: "
                                 "%3. Rien n'a été écrit.")
                      .arg(native(from), native(to), systemErrorInWords(error));
        return false;
    };
    Descriptor source(::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0)
        return fail(QString(), errno);
    QByteArray pattern =
        QFile::encodeName(QDir(QFileInfo(to).absolutePath())
                              .filePath(QStringLiteral(".%1.copie-XXXXXX").arg(m_fileName)));
    Descriptor target(::mkostemp(pattern.data(), O_CLOEXEC));
    if (target.get() < 0)
        return fail(QString(), errno);
    const QString temporary = QFile::decodeName(pattern);

    // A buffer of known size: a hardened build proves each read fits it.
    std::array<char, 64 * 1024> buffer;
    for (;;) {
        const ssize_t read = ::read(source.get(), buffer.data(), buffer.size());
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0)
            return fail(temporary, errno);
        if (read == 0)
            break;
        if (!writeAll(target.get(), buffer.data(), read))
            return fail(temporary, errno);
    }
    if (::fsync(target.get()) != 0 || !target.close())
        return fail(temporary, errno);

    const QByteArray finalName = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, pattern.constData(), AT_FDCWD, finalName.constData(),
                    RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST) {
            // Another Grelavo program made it meanwhile: that copy is whole, and is used.
            ::unlink(pattern.constData());
            return true;
        }
        if ((errno != EINVAL && errno != ENOSYS) ||
            ::rename(pattern.constData(), finalName.constData()) != 0)
            return fail(temporary, errno);
    }
    syncFolder(QFileInfo(to).absolutePath());
    return true;
}

} // namespace grelavo
