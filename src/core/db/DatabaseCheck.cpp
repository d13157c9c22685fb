#include "DatabaseCheck.h"

#include "Connection.h"
#include "DE.h"
#include "DatabaseStamp.h"
#include "DbError.h"
#include "Statement.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>
#include <sqlite3.h>

namespace grelavo {

namespace {

Q_LOGGING_CATEGORY(lcCheck, "grelavo.db.causes", QtWarningMsg)

// What every report reads and rewrites: a file without them is not a Grelavo database.
const char* const kTables[] = {"ListeDesPériodesApplication",
                               "ListeDesHerbicides",
                               "ListeDesCultures",
                               "tblPériodesApplication",
                               "tblDétailsHerbicides",
                               "tblMHEval",
                               "tblResults"};
const char* const kViews[] = {"Herbicide1",        "Herbicide2",        "Herbicide3",
                              "Herbicide4",        "DétailsHerbicides", "DétailsApplication",
                              "DétailsTraitements"};

// What this process knows: whether every check reads every page, whether the last one did,
// and the files found sound that its connections hold.
struct CheckState {
    bool fullAlways = false;
    bool lastFull = false;
    QSet<QString> sound;
};

CheckState& state() {
    static CheckState s;
    return s;
}

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString missingPart(Connection& c) {
    const QStringList tables = c.tableNames();
    for (const char* table : kTables)
        if (!tables.contains(QString::fromUtf8(table), Qt::CaseInsensitive))
            return QString::fromUtf8(table);
    for (const char* view : kViews)
        if (c.viewName(QString::fromUtf8(view)).isEmpty())
            return QString::fromUtf8(view);
    return QString();
}

// Reads every page: a truncated or damaged file says so now rather than in the middle of a
// report.
QString damage(Connection& c) {
    Statement check(c, QStringLiteral("PRAGMA quick_check(1)"));
    if (!check.step())
        return QStringLiteral("aucune réponse");
    const QString answer = check.value(0).toString();
    return answer == QLatin1String("ok") ? QString() : answer;
}

// A write that is rolled back before anything reaches the file (a whole transaction rolled
// back leaves even the file's change counter alone): it fails when the file or its folder
// (where the journal goes) cannot be written.
void probeWrite(Connection& c) {
    c.executeScript(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        c.executeScript(QStringLiteral("CREATE TABLE \"grelavo probe\"(x)"));
    } catch (const DbError&) {
        sqlite3_exec(c.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    c.executeScript(QStringLiteral("ROLLBACK"));
}

} // namespace

QString DatabaseCheck::causeInWords(const DbError& e) {
    // The engine's own text is English: never shown, logged for whoever turns on the
    // category (QT_LOGGING_RULES="grelavo.db.causes.debug=true").
    qCDebug(lcCheck).noquote() << e.number() << e.message();
    if (e.number() == DbError::WrongPassword)
        return QStringLiteral("ce n'est pas une base de données Grelavo, ou sa clé est différente");
    switch (e.number() & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("la base de données est utilisée par un autre programme (Grelavo "
                              "est peut-être déjà ouvert)");
    case SQLITE_READONLY:
        return QStringLiteral("la base de données ou son dossier est en lecture seule");
    case SQLITE_FULL:
        return QStringLiteral("le disque est plein");
    case SQLITE_IOERR:
        return QStringLiteral("erreur de lecture ou d'écriture sur le disque");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("le fichier est endommagé");
    case SQLITE_CANTOPEN:
        return QStringLiteral("le fichier ou son dossier ne peut pas être ouvert ou écrit");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("accès refusé");
    case SQLITE_NOMEM:
        return QStringLiteral("mémoire insuffisante");
    case SQLITE_ERROR:
    case SQLITE_SCHEMA:
        return QStringLiteral("la base de données n'a pas la structure attendue");
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
        return QStringLiteral("une valeur ne respecte pas les règles de la base de données");
    case SQLITE_TOOBIG:
        return QStringLiteral("une valeur est trop grande pour la base de données");
    case SQLITE_INTERRUPT:
    case SQLITE_ABORT:
        return QStringLiteral("l'opération a été interrompue");
    case SQLITE_PROTOCOL:
        return QStringLiteral("la base de données n'a pas pu être verrouillée");
    default:
        return QStringLiteral("erreur de la base de données n° %1").arg(e.number());
    }
}

QString DatabaseCheck::problem(DE& de) {
    const QString path = de.filePath();
    const QFileInfo file(path);
    if (!file.isFile())
        return QStringLiteral("Le fichier %1 est introuvable.").arg(nativePath(path));
    if (file.size() == 0)
        return QStringLiteral("Le fichier %1 est vide\u00a0: ce n'est pas une base de données "
                              "Grelavo.")
            .arg(nativePath(path));
    // Looked at before the connection opens: opening plays a journal back into the file. A
    // connection already open may have done so, or written since.
    const bool full = state().fullAlways || de.isConnected() ||
                      DatabaseStamp::interruptedWrite(path) || !DatabaseStamp::current(path);
    state().lastFull = full;
    state().sound.remove(path);
    try {
        Connection& c = de.Connection2();
        if (full) {
            DatabaseStamp::remove(path);
            const QString damaged = damage(c);
            if (!damaged.isEmpty())
                return QStringLiteral("Le fichier %1 est endommagé (%2).")
                    .arg(nativePath(path), damaged);
        }
        const QString missing = missingPart(c);
        if (!missing.isEmpty())
            return QStringLiteral(
                       "Le fichier %1 n'est pas une base de données Grelavo\u00a0: il n'a "
                       "pas «\u00a0%2\u00a0».")
                .arg(nativePath(path), missing);
        if (sqlite3_db_readonly(c.handle(), "main") == 1)
            return QStringLiteral(
                       "Le fichier %1 est en lecture seule\u00a0: Grelavo doit pouvoir y "
                       "écrire pour produire ses rapports.")
                .arg(nativePath(path));
        probeWrite(c);
    } catch (const DbError& e) {
        const int code = e.number() & 0xff;
        const QString folder = file.absolutePath();
        if ((code == SQLITE_READONLY || code == SQLITE_CANTOPEN) && !QFileInfo(folder).isWritable())
            return QStringLiteral(
                       "Le dossier %1 est en lecture seule\u00a0: Grelavo doit pouvoir y "
                       "écrire pour produire ses rapports.")
                .arg(nativePath(folder));
        if (code == SQLITE_READONLY)
            return QStringLiteral(
                       "Le fichier %1 est en lecture seule\u00a0: Grelavo doit pouvoir y "
                       "écrire pour produire ses rapports.")
                .arg(nativePath(path));
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
            return QStringLiteral("Grelavo est déjà ouvert\u00a0: le fichier %1 est utilisé par un "
                                  "autre programme.")
                .arg(nativePath(path));
        return QStringLiteral("Le fichier %1 ne peut pas servir\u00a0: %2.")
            .arg(nativePath(path), causeInWords(e));
    }
    if (full)
        DatabaseStamp::write(path);
    state().sound.insert(path);
    return QString();
}

void DatabaseCheck::requireFullCheck(bool required) {
    state().fullAlways = required;
}

bool DatabaseCheck::lastCheckWasFull() {
    return state().lastFull;
}

void DatabaseCheck::closed(const QString& path) {
    if (state().sound.remove(path) && !DatabaseStamp::interruptedWrite(path))
        DatabaseStamp::write(path);
}

} // namespace grelavo
