#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace grelavo {

class Connection;

// The program's one connection, Connection2. It opens on first use, on the database file of the
// program folder (Grelavo.mdb, or another file name), the name matched without regard to case.
// Each routine that reads through it keeps its own recordset.
class DE {
public:
    explicit DE(const QString& programFolder, const QString& fileName = QString());
    ~DE();
    DE(const DE&) = delete;
    DE& operator=(const DE&) = delete;

    // Opens the connection if needed; throws DbError when the file cannot be opened.
    Connection& Connection2();
    bool isConnected() const { return m_connection != nullptr; }
    // The file the connection opens (or has opened).
    QString filePath() const;
    void close();

    // Installed on the connection now or when it opens.
    void setStatementNotices(std::function<void()> before, std::function<void()> after);

private:
    QString m_folder;
    QString m_fileName;
    std::unique_ptr<Connection> m_connection;
    std::function<void()> m_before;
    std::function<void()> m_after;
};

} // namespace grelavo
