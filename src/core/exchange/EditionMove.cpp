#include "EditionMove.h"

#include "ExperimentExport.h"
#include "ExperimentImport.h"
#include "core/db/Connection.h"
#include "core/db/DatabaseCheck.h"
#include "core/db/DatabaseFile.h"
#include "core/db/DbError.h"
#include "core/db/SystemError.h"
#include "core/text/NameText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>

namespace grelavo {

namespace {

DatabaseEdition editionOf(const QString& path) {
    Connection db(path, DatabaseFile::password());
    return DatabaseEdition::read(db);
}

// Where the old working copy goes: beside it, named after its edition's date.
QString keptName(const QString& workingCopy, const DatabaseEdition& edition) {
    const QString stem = workingCopy + QStringLiteral(".édition-") +
                         (edition.known ? edition.date : QStringLiteral("inconnue"));
    QString path = stem;
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + QStringLiteral("-%1").arg(n);
    return path;
}

EditionMove::Result refused(const QString& why) {
    EditionMove::Result r;
    r.message = why + QStringLiteral(" Vous restez sur l'édition que vous utilisiez.");
    return r;
}

} // namespace

EditionMove::Offer EditionMove::check(const QString& workingCopy, const QString& shipped) {
    Offer offer;
    offer.shipped = editionOf(shipped);
    Connection db(workingCopy, DatabaseFile::password());
    offer.current = DatabaseEdition::read(db);
    for (const ImportedKey& k : ImportLog::keys(db))
        offer.importedTreatments += k.kind == QLatin1String("traitement");
    const DatabaseEdition &a = offer.current, &b = offer.shipped;
    const bool same = a.known == b.known && a.name == b.name && a.date == b.date &&
                      a.source == b.source && a.synthetic == b.synthetic;
    offer.newer = b.known && !same && (!a.known || b.date >= a.date);
    return offer;
}

EditionMove::Result EditionMove::move(const QString& workingCopy, const QString& shipped) {
    QTemporaryDir files;
    if (!files.isValid())
        return refused(QStringLiteral("Aucun dossier temporaire n'a pu être créé."));
    DatabaseEdition old;
    try {
        Connection db(workingCopy, DatabaseFile::password(), Connection::Mode::ReadWrite,
                      Connection::Access::Exclusive);
        old = DatabaseEdition::read(db);
        for (const ExperimentExport::Output& f : ExperimentExport::readImported(db)) {
            QFile out(files.filePath(f.name));
            errno = 0;
            if (!out.open(QIODevice::WriteOnly) || out.write(f.bytes) != f.bytes.size() ||
                !out.flush()) {
                const int error = errno;
                return refused(QStringLiteral("Vos essais importés n'ont pas pu être mis de "
                                              "côté\u00a0: %1.")
                                   .arg(fileErrorInWords(out.error(), error)));
            }
        }
    } catch (const DbError& e) {
        return refused(QStringLiteral("Votre base de données %1 n'a pas pu être lue\u00a0: %2.")
                           .arg(NameText::quotedPath(workingCopy), DatabaseCheck::causeInWords(e)));
    } catch (const ExchangeError& e) {
        return refused(QStringLiteral("Vos essais importés n'ont pas pu être lus\u00a0: %1.")
                           .arg(e.message()));
    }

    // The new edition is made beside the working copy, filled, and only then put in its place.
    const QString fresh =
        workingCopy + QStringLiteral(".nouvelle-%1").arg(QCoreApplication::applicationPid());
    QFile::remove(fresh);
    if (!QFile::copy(shipped, fresh) ||
        !QFile::setPermissions(fresh, QFile::ReadOwner | QFile::WriteOwner)) {
        QFile::remove(fresh);
        return refused(QStringLiteral("La nouvelle édition n'a pas pu être copiée dans %1.")
                           .arg(NameText::quotedPath(QFileInfo(workingCopy).absolutePath())));
    }
    Result result;
    if (!QDir(files.path()).entryList(QDir::Files).isEmpty()) {
        ImportOptions options;
        options.addNames = true;
        options.keepCopy = false;
        const ImportOutcome o = ExperimentImport::run(fresh, {files.path()}, options);
        if (o.status != ImportOutcome::Status::Done) {
            QFile::remove(fresh);
            return refused(
                QStringLiteral("Vos essais importés n'ont pas pu être repris dans la nouvelle "
                               "édition\u00a0: %1")
                    .arg(o.status == ImportOutcome::Status::Refused ? o.problems.first().text()
                                                                    : o.failure));
        }
        result.carried = o.counts;
    }
    result.kept = keptName(workingCopy, old);
    if (!QFile::rename(workingCopy, result.kept)) {
        QFile::remove(fresh);
        return refused(QStringLiteral("Votre base de données %1 n'a pas pu être renommée.")
                           .arg(NameText::quotedPath(workingCopy)));
    }
    if (!QFile::rename(fresh, workingCopy)) {
        QFile::rename(result.kept, workingCopy);
        QFile::remove(fresh);
        return refused(QStringLiteral("La nouvelle édition n'a pas pu prendre la place de %1.")
                           .arg(NameText::quotedPath(workingCopy)));
    }
    result.done = true;
    result.message =
        QStringLiteral("Vous utilisez maintenant la nouvelle édition de la base de données. "
                       "%1 L'ancienne base est gardée sous %2.")
            .arg(result.carried.treatments > 0
                     ? QStringLiteral("Vos %1 traitements importés (%2 évaluations) y ont été "
                                      "repris.")
                           .arg(result.carried.treatments)
                           .arg(result.carried.ratings)
                     : QStringLiteral("Vous n'aviez importé aucun essai."),
                 NameText::quotedPath(result.kept));
    return result;
}

} // namespace grelavo
