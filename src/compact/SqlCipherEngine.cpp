#include "SqlCipherEngine.h"

#include "CompactError.h"

#include <QFileInfo>
#include <QUrl>
#include <sqlite3.h>

namespace pelvane {

namespace {

// One handle on one file, closed however the operation ends.
class Handle {
public:
    // The file is opened through a URI with mode=rw, so a missing file is never created here,
    // while a database attached later may be (it takes the connection's own CREATE flag).
    Handle(const QString& path, const QString& password) {
        if (!QFileInfo(path).isFile())
            throw CompactError{CompactError::FileNotFound,
                               QStringLiteral("%1: file not found").arg(path)};
        const QByteArray uri =
            QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded() + "?mode=rw";
        const int rc =
            sqlite3_open_v2(uri.constData(), &m_db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, nullptr);
        if (rc != SQLITE_OK) {
            const QString message =
                m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory");
            sqlite3_close(m_db); // never key a handle whose open failed
            m_db = nullptr;
            throw CompactError{CompactError::EngineFailure,
                               QStringLiteral("cannot open %1: %2").arg(path, message)};
        }
        try {
            if (!password.isEmpty()) {
                const QByteArray key = password.toUtf8();
                sqlite3_key(m_db, key.constData(), key.size());
            }
            // The source is held for the whole operation, so nobody writes to it mid-copy; the
            // first read takes the lock and tells whether the key was the right one.
            run("PRAGMA locking_mode = EXCLUSIVE");
            run("SELECT count(*) FROM sqlite_master");
        } catch (const CompactError&) {
            sqlite3_close_v2(m_db); // the destructor does not run for a constructor that throws
            throw;
        }
    }
    ~Handle() { sqlite3_close_v2(m_db); }
    sqlite3* handle() const { return m_db; }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    void run(const char* sql) {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(sql);
    }

    // Runs a statement with text parameters; returns the first column of its first row.
    QString query(const char* sql, const QStringList& parameters = {}) {
        const QStringList all = column(sql, parameters, 1);
        return all.isEmpty() ? QString() : all.first();
    }

    // Runs a statement with text parameters; returns the first column of its rows, at most
    // 'limit' of them (none: all).
    QStringList column(const char* sql, const QStringList& parameters = {}, int limit = -1) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK)
            fail(sql);
        for (int i = 0; i < parameters.size(); ++i) {
            const QByteArray value = parameters.at(i).toUtf8();
            sqlite3_bind_text(statement, i + 1, value.constData(), value.size(), SQLITE_TRANSIENT);
        }
        QStringList values;
        int rc = SQLITE_DONE;
        while (limit < 0 || values.size() < limit) {
            rc = sqlite3_step(statement);
            if (rc != SQLITE_ROW)
                break;
            values << QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        }
        sqlite3_finalize(statement);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            fail(sql);
        return values;
    }

private:
    [[noreturn]] void fail(const char* sql) {
        const int code = sqlite3_errcode(m_db);
        const QString message = QStringLiteral("%1: %2").arg(
            QString::fromUtf8(sql), QString::fromUtf8(sqlite3_errmsg(m_db)));
        if (code == SQLITE_NOTADB)
            throw CompactError{CompactError::PasswordNeeded, message};
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
            throw CompactError{CompactError::InUse, message};
        if (code == SQLITE_CORRUPT)
            throw CompactError{CompactError::DamagedCopy, message};
        throw CompactError{CompactError::EngineFailure, message};
    }

    sqlite3* m_db = nullptr;
};

} // namespace

void SqlCipherEngine::compactDatabase(const QString& source, const QString& destination,
                                      const QString& connect) {
    const QString password = passwordOf(connect);
    Handle db(source, password);
    if (QFileInfo::exists(destination))
        throw CompactError{CompactError::FileExists,
                           QStringLiteral("%1: file already exists").arg(destination)};
    db.query("ATTACH DATABASE ? AS compacted KEY ?", {destination, password});
    // One transaction over both files: a copy cut short is rolled back from its journal the next
    // time it is opened, and then holds nothing, instead of some of the tables.
    try {
        db.run("BEGIN");
        db.query("SELECT sqlcipher_export('compacted')");
        db.run("COMMIT");
    } catch (const CompactError&) {
        sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    db.run("DETACH DATABASE compacted");
}

DatabaseSummary SqlCipherEngine::checkDatabase(const QString& path, const QString& connect) {
    Handle db(path, passwordOf(connect));
    const QString result = db.query("PRAGMA integrity_check");
    if (result != QLatin1String("ok"))
        throw CompactError{CompactError::DamagedCopy,
                           QStringLiteral("%1: integrity check: %2").arg(path, result)};
    DatabaseSummary summary;
    const QStringList entries =
        db.column("SELECT type || ' ' || name FROM sqlite_master ORDER BY rowid");
    const QStringList statements =
        db.column("SELECT ifnull(sql, '') FROM sqlite_master ORDER BY rowid");
    for (int i = 0; i < entries.size() && i < statements.size(); ++i)
        summary.schema.insert(entries.at(i), statements.at(i));
    const QStringList tables =
        db.column("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
    for (const QString& table : tables) {
        QString quoted = table;
        quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
        const QByteArray sql = "SELECT count(*) FROM \"" + quoted.toUtf8() + '"';
        summary.rows.insert(table, db.query(sql.constData()).toLongLong());
    }
    return summary;
}

QString SqlCipherEngine::passwordOf(const QString& connect) {
    static const QString prefix = QStringLiteral(";pwd=");
    return connect.startsWith(prefix, Qt::CaseInsensitive) ? connect.mid(prefix.size()) : QString();
}

} // namespace pelvane
