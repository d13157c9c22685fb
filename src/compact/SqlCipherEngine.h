#pragma once

#include "DatabaseEngine.h"

namespace pelvane {

// The compact operation on SQLCipher files: the source is exported, tables, indexes, views and
// rows, into a new file keyed with the source's own password.
class SqlCipherEngine : public DatabaseEngine {
public:
    void compactDatabase(const QString& source, const QString& destination,
                         const QString& connect) override;
    DatabaseSummary checkDatabase(const QString& path, const QString& connect) override;

    // The password carried by a connect string ";pwd=secret"; empty when it carries none.
    static QString passwordOf(const QString& connect);
};

} // namespace pelvane
