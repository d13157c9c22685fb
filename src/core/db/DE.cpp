#include "DE.h"

#include "Connection.h"
#include "DatabaseCheck.h"
#include "DatabaseFile.h"

#include <QDir>

namespace grelavo {

DE::DE(const QString& programFolder, const QString& fileName)
    : m_folder(programFolder),
      m_fileName(fileName.isEmpty() ? DatabaseFile::fileName() : fileName) {}

DE::~DE() {
    close();
}

QString DE::filePath() const {
    if (m_connection)
        return m_connection->path();
    const QString path = DatabaseFile::findInFolder(m_folder, m_fileName);
    return path.isEmpty() ? QDir(m_folder).filePath(m_fileName) : path;
}

Connection& DE::Connection2() {
    if (!m_connection) {
        const QString path = filePath();
        // The program's connection holds the file to itself while it is open.
        m_connection = std::make_unique<Connection>(path, DatabaseFile::password(),
                                                    Connection::Mode::ReadWrite,
                                                    Connection::Access::Exclusive);
        m_connection->setStatementNotices(m_before, m_after);
    }
    return *m_connection;
}

void DE::close() {
    if (!m_connection)
        return;
    const QString path = m_connection->path();
    m_connection.reset();
    DatabaseCheck::closed(path);
}

void DE::setStatementNotices(std::function<void()> before, std::function<void()> after) {
    m_before = std::move(before);
    m_after = std::move(after);
    if (m_connection)
        m_connection->setStatementNotices(m_before, m_after);
}

} // namespace grelavo
