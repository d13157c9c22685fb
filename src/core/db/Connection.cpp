#include "Connection.h"

#include "DbError.h"
#include "FrenchCollation.h"
#include "JetDialect.h"
#include "JetFunctions.h"
#include "Statement.h"
#include "Transaction.h"

#include <QFile>
#include <QRegularExpression>
#include <sqlite3.h>

namespace grelavo {

namespace {

// Names of the schema are compared as SQLite compares them: ASCII letters without regard to
// case, every other character exactly.
bool sameName(const QString& a, const QString& b) {
    const QByteArray x = a.toUtf8();
    const QByteArray y = b.toUtf8();
    return x.size() == y.size() && sqlite3_strnicmp(x.constData(), y.constData(), x.size()) == 0;
}

} // namespace

Connection::Connection(const QString& path, const QString& key, Mode mode, Access access)
    : m_path(path), m_collation(std::make_unique<FrenchCollation>()) {
    const int flags = SQLITE_OPEN_READWRITE | (mode == Mode::Create ? SQLITE_OPEN_CREATE : 0);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message =
            db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        sqlite3_close(db); // never key a handle whose open failed
        throw DbError(rc, QStringLiteral("cannot open %1: %2").arg(path, message));
    }
    m_db = db;
    sqlite3_extended_result_codes(m_db, 1);
    if (!key.isEmpty()) {
        const QByteArray k = key.toUtf8();
        sqlite3_key(m_db, k.constData(), k.size());
    }
    // sqlite3_key accepts any key; the first read tells whether it was the right one.
    const int check =
        sqlite3_exec(m_db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (check != SQLITE_OK) {
        const int code = sqlite3_extended_errcode(m_db);
        const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_close(m_db);
        m_db = nullptr;
        if ((code & 0xff) == SQLITE_NOTADB)
            throw DbError(DbError::WrongPassword,
                          QStringLiteral("%1: missing or wrong password").arg(path));
        throw DbError(code, QStringLiteral("cannot read %1: %2").arg(path, message));
    }
    try {
        // Every page read is decrypted: a 64 MiB cache (taken only as pages are read) keeps a
        // report on a large file from reading the same pages again and again.
        executeScript(QStringLiteral("PRAGMA cache_size = -65536"));
        // In exclusive locking mode SQLite keeps every lock it takes; an empty exclusive
        // transaction takes the strongest one now, so other programs (Pelvane) find the file
        // busy from this first statement until the connection closes.
        if (access == Access::Exclusive)
            executeScript(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE; "
                                         "BEGIN EXCLUSIVE; COMMIT;"));
        m_collation->install(m_db);
        JetFunctions::install(m_db);
    } catch (...) {
        sqlite3_close(m_db);
        m_db = nullptr;
        throw;
    }
}

Connection::~Connection() {
    if (m_db)
        sqlite3_close_v2(m_db);
}

void Connection::execute(const QString& jetStatement) {
    const QByteArray sql = JetDialect::translate(jetStatement).toUtf8();
    NoticeScope notices(*this);
    if (sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throwLastError(QStringLiteral("statement failed"));
}

void Connection::executeScript(const QString& sql) {
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throwLastError(QStringLiteral("script failed"));
}

void Connection::setStatementNotices(std::function<void()> before, std::function<void()> after) {
    m_before = std::move(before);
    m_after = std::move(after);
}

void Connection::noticeBefore() const {
    if (m_before)
        m_before();
}

void Connection::noticeAfter() const {
    if (m_after)
        m_after();
}

QStringList Connection::tableNames() {
    Statement names(*this, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                          "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
                                          "ORDER BY name"));
    QStringList result;
    while (names.step())
        result << names.value(0).toString();
    return result;
}

QString Connection::viewName(const QString& name) {
    Statement views(*this, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'view'"));
    while (views.step()) {
        const QString candidate = views.value(0).toString();
        if (sameName(candidate, name))
            return candidate;
    }
    return QString();
}

QString Connection::viewStatement(const QString& name) {
    const QString exact = viewName(name);
    if (exact.isEmpty())
        return QString();
    Statement view(*this, QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'view' "
                                         "AND name = ?"));
    view.bind(1, exact);
    if (!view.step())
        return QString();
    static const QRegularExpression head(
        QStringLiteral(R"(^\s*CREATE\s+VIEW\s+("(?:[^"]|"")*"|\[[^\]]*\]|\S+)\s+AS\s+)"),
        QRegularExpression::CaseInsensitiveOption);
    QString text = view.value(0).toString();
    const QRegularExpressionMatch match = head.match(text);
    return match.hasMatch() ? text.mid(match.capturedLength()) : text;
}

void Connection::redefineView(const QString& name, const QString& jetStatement) {
    NoticeScope notices(*this);
    const QString exact = viewName(name);
    if (exact.isEmpty())
        throw DbError(SQLITE_ERROR, QStringLiteral("no stored query named %1").arg(name));
    const QString select = JetDialect::translate(jetStatement);
    Transaction transaction(*this);
    executeScript(QStringLiteral("DROP VIEW %1").arg(quoteIdentifier(exact)));
    executeScript(QStringLiteral("CREATE VIEW %1 AS %2").arg(quoteIdentifier(exact), select));
    // SQLite accepts a view naming missing tables or columns; preparing a read of it resolves
    // every name, so a statement the engine cannot run is rejected here and rolled back.
    Statement check(*this, QStringLiteral("SELECT * FROM %1").arg(quoteIdentifier(exact)));
    transaction.commit();
}

QString Connection::quoteIdentifier(const QString& identifier) {
    QString text = identifier;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

bool Connection::inTransaction() const {
    return sqlite3_get_autocommit(m_db) == 0;
}

void Connection::throwLastError(const QString& context) const {
    throw DbError(sqlite3_extended_errcode(m_db),
                  context + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(m_db)));
}

} // namespace grelavo
