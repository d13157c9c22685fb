// The export's folder: a set written beside the one it replaces, then moved into place, and what
// a write stopped midway left there settled.

#include "DurableFile.h"
#include "ExportSet.h"
#include "core/db/SystemError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>

namespace grelavo {

using exportset::WriteFailed;

namespace {

// The folders a write works in, inside the folder it writes to (so on its file system): the new
// set is written in the first, the set it replaces put in the second until the new one is in
// place. Each is followed by the process number.
const QString kWriting = QStringLiteral(".export-en-cours-");
const QString kReplaced = QStringLiteral(".export-remplace-");

QStringList setNames() {
    QStringList names{ExperimentExport::editionFile().name};
    for (const ExchangeFile& f : ExperimentExport::files())
        names << f.name;
    return names;
}

// The entries of 'folder' named like a file of the set, case ignored, whatever they are.
QFileInfoList setEntries(const QString& folder) {
    const QStringList names = setNames();
    QFileInfoList found;
    for (const QFileInfo& f : QDir(folder).entryInfoList(
             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        if (names.contains(f.fileName(), Qt::CaseInsensitive))
            found << f;
    }
    return found;
}

// Moves each of 'names' from the folder 'from' to the folder 'to'; at the first refusal, moves
// back those already moved and gives the name refused.
QString moveAll(const QStringList& names, const QDir& from, const QDir& to) {
    for (int i = 0; i < names.size(); ++i) {
        if (!durable::rename(from.filePath(names[i]), to.filePath(names[i]))) {
            for (int j = i - 1; j >= 0; --j)
                durable::rename(to.filePath(names[j]), from.filePath(names[j]));
            return names[i];
        }
    }
    return QString();
}

// Whether the run numbered 'pid', another process, still runs: what it is writing is left alone.
bool stillRunning(const QString& pid) {
    bool number = false;
    const qint64 n = pid.toLongLong(&number);
    if (!number || n <= 0 || n == QCoreApplication::applicationPid())
        return false;
    return ::kill(static_cast<pid_t>(n), 0) == 0 || errno == EPERM;
}

QStringList entriesOf(const QDir& folder) {
    return folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDir::Name);
}

// What runs stopped midway left in 'dir'. A run that had begun to put its new set in place is
// finished (the rest of its set moved in, the old set dropped); one that had not is undone (the
// files it had moved aside put back). Its unfinished set is removed.
void finishStoppedRuns(const QDir& dir) {
    const int whole = static_cast<int>(setNames().size());
    for (const QString& name : entriesOf(dir)) {
        if (!name.startsWith(kReplaced) || stillRunning(name.mid(kReplaced.size())))
            continue;
        const QDir replaced(dir.filePath(name));
        const QDir writing(dir.filePath(kWriting + name.mid(kReplaced.size())));
        const QStringList unmoved = writing.exists() ? entriesOf(writing) : QStringList();
        if (unmoved.size() < whole)
            moveAll(unmoved, writing, dir);
        else
            moveAll(entriesOf(replaced), replaced, dir);
        durable::syncFolder(dir.path());
        QDir(replaced).removeRecursively();
    }
    for (const QString& name : entriesOf(dir)) {
        if (name.startsWith(kWriting) && !stillRunning(name.mid(kWriting.size())))
            QDir(dir.filePath(name)).removeRecursively();
    }
}

} // namespace

bool ExperimentExport::isInterrupted(const QString& folder) {
    for (const QString& name : entriesOf(QDir(folder))) {
        if (name.startsWith(kReplaced) || name.startsWith(kWriting))
            return true;
    }
    return false;
}

QStringList ExperimentExport::existingFiles(const QString& folder) {
    if (QFileInfo(folder).isDir())
        finishStoppedRuns(QDir(folder));
    QStringList found;
    for (const QFileInfo& f : setEntries(folder))
        found << f.filePath();
    return found;
}

QString ExperimentExport::refusedEntry(const QString& folder) {
    for (const QFileInfo& f : setEntries(folder)) {
        if (f.isSymLink())
            return QStringLiteral("%1 est un lien symbolique\u00a0: il n'est pas suivi, rien n'est "
                                  "écrit")
                .arg(f.filePath());
        if (!f.isFile())
            return QStringLiteral("%1 n'est pas un fichier\u00a0: rien n'est écrit")
                .arg(f.filePath());
    }
    return QString();
}

QString exportset::writeSet(const QString& folder, bool replace,
                            const std::function<QStringList(const QDir& writing)>& fill) {
    const QDir dir(folder);
    if (!dir.exists() && !QDir().mkpath(folder))
        return QStringLiteral("impossible de créer le dossier %1").arg(folder);
    finishStoppedRuns(dir);
    const QString refused = ExperimentExport::refusedEntry(folder);
    if (!refused.isEmpty())
        return refused;
    QStringList old;
    for (const QFileInfo& f : setEntries(folder))
        old << f.fileName();
    if (!replace && !old.isEmpty())
        return QStringLiteral("%1 existe déjà").arg(dir.filePath(old.first()));

    const QString pid = QString::number(QCoreApplication::applicationPid());
    const QDir writing(dir.filePath(kWriting + pid));
    const QDir replaced(dir.filePath(kReplaced + pid));
    const auto cleanUp = [&] {
        QDir(writing).removeRecursively();
        QDir(replaced).removeRecursively();
    };
    const auto cannotWrite = [&](const QString& path, const QString& why) {
        cleanUp();
        return QStringLiteral("impossible d'écrire %1\u00a0: %2").arg(path, why);
    };
    if (!dir.mkdir(writing.dirName()))
        return cannotWrite(writing.path(), QStringLiteral("le dossier n'a pas pu être créé"));
    QStringList names;
    try {
        names = fill(writing);
    } catch (const WriteFailed& failed) {
        return cannotWrite(dir.filePath(failed.name), failed.why);
    } catch (...) {
        cleanUp();
        throw;
    }
    if (!durable::syncFolder(writing.path()))
        return cannotWrite(writing.path(), QStringLiteral("le dossier n'a pas pu être écrit sur le "
                                                          "disque"));

    // The old set aside, the new one in its place; at a refusal, the old set back.
    if (!old.isEmpty()) {
        if (!dir.mkdir(replaced.dirName()))
            return cannotWrite(replaced.path(), QStringLiteral("le dossier n'a pas pu être créé"));
        const QString stuck = moveAll(old, dir, replaced);
        if (!stuck.isEmpty())
            return cannotWrite(dir.filePath(stuck),
                               QStringLiteral("l'ancien fichier n'a pas pu être remplacé"));
    }
    const QString stuck = moveAll(names, writing, dir);
    if (!stuck.isEmpty()) {
        moveAll(old, replaced, dir);
        return cannotWrite(dir.filePath(stuck), QStringLiteral("le fichier n'a pas pu être mis en "
                                                               "place"));
    }
    const bool synced = durable::syncFolder(folder);
    cleanUp();
    if (!synced || !durable::syncFolder(folder))
        return QStringLiteral(
                   "impossible d'écrire les fichiers dans %1\u00a0: le dossier n'a pas pu "
                   "être écrit sur le disque")
            .arg(folder);
    return QString();
}

QString ExperimentExport::writeFolder(const QVector<Output>& outputs, const QString& folder,
                                      bool replace) {
    return exportset::writeSet(folder, replace, [&](const QDir& writing) {
        QStringList names;
        for (const Output& f : outputs) {
            QFile out(writing.filePath(f.name));
            errno = 0;
            if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
                out.write(f.bytes) != f.bytes.size() || !out.flush())
                throw WriteFailed{f.name, fileErrorInWords(out.error(), errno)};
            out.close();
            if (!durable::syncFile(out.fileName()))
                throw WriteFailed{f.name,
                                  QStringLiteral("le fichier n'a pas pu être écrit sur le disque")};
            names << f.name;
        }
        return names;
    });
}

} // namespace grelavo
