#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

struct sqlite3;

namespace grelavo {

class FrenchCollation;

// One open, keyed database file. Statements in the Jet dialect (execute, Recordset) are
// translated by JetDialect; executeScript runs plain SQLite text. Errors are thrown as DbError.
class Connection {
public:
    enum class Mode { ReadWrite, Create };
    // Access::Exclusive locks the whole file from the key check until the connection closes:
    // no other connection, in this process or another, can then read or write it.
    enum class Access { Shared, Exclusive };

    // Opens the file and checks the key at once; a missing or wrong key throws
    // DbError::WrongPassword. Mode::Create creates a missing file. With Access::Exclusive, a
    // file that another connection is using throws (SQLITE_BUSY).
    Connection(const QString& path, const QString& key, Mode mode = Mode::ReadWrite,
               Access access = Access::Shared);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const QString& path() const { return m_path; }

    // Runs a Jet statement that returns no rows; its effect is in the file when this returns.
    void execute(const QString& jetStatement);
    // Runs one or more plain SQLite statements, without translation and without notices.
    void executeScript(const QString& sql);

    // Called just before and just after every statement run through execute() or a Recordset.
    void setStatementNotices(std::function<void()> before, std::function<void()> after);

    // User tables of the file (views and SQLite's own tables left out), in name order.
    QStringList tableNames();
    // The view's exact name in the file, matched without regard to case; empty when absent.
    QString viewName(const QString& name);
    // The statement text the view was last defined with (the text after "AS").
    QString viewStatement(const QString& name);
    // Replaces a view's statement in one transaction. A missing view is not created, and a
    // statement the engine rejects leaves the old one in place; both throw.
    void redefineView(const QString& name, const QString& jetStatement);

    bool inTransaction() const;
    sqlite3* handle() const { return m_db; }

    // Used by Statement and Recordset around the statements they run for a caller.
    void noticeBefore() const;
    void noticeAfter() const;
    [[noreturn]] void throwLastError(const QString& context) const;

    // An SQL identifier in double quotes, inner quotes doubled.
    static QString quoteIdentifier(const QString& identifier);

private:
    QString m_path;
    sqlite3* m_db = nullptr;
    std::unique_ptr<FrenchCollation> m_collation;
    std::function<void()> m_before;
    std::function<void()> m_after;
};

// Raises a connection's before and after notices around one statement, even when it throws.
class NoticeScope {
public:
    explicit NoticeScope(const Connection& connection) : m_connection(connection) {
        m_connection.noticeBefore();
    }
    ~NoticeScope() { m_connection.noticeAfter(); }
    NoticeScope(const NoticeScope&) = delete;
    NoticeScope& operator=(const NoticeScope&) = delete;

private:
    const Connection& m_connection;
};

} // namespace grelavo
