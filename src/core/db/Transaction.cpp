#include "Transaction.h"

#include "Connection.h"

#include <QString>

namespace grelavo {

namespace {
// Savepoints nest, so a routine can keep its own steps atomic inside a caller's transaction.
const QString kSavepoint = QStringLiteral("grelavo_step");
} // namespace

Transaction::Transaction(Connection& connection) : m_connection(connection) {
    m_connection.executeScript(QStringLiteral("SAVEPOINT ") + kSavepoint);
}

Transaction::~Transaction() {
    if (m_done)
        return;
    try {
        m_connection.executeScript(QStringLiteral("ROLLBACK TO ") + kSavepoint +
                                   QStringLiteral("; RELEASE ") + kSavepoint);
    } catch (...) {
        // A destructor must not throw; SQLite has already rolled back what it could.
    }
}

void Transaction::commit() {
    m_connection.executeScript(QStringLiteral("RELEASE ") + kSavepoint);
    m_done = true;
}

} // namespace grelavo
