#pragma once

#include <QString>

namespace pelvane {

// The engine's compact operation and the check of its result. Failures throw CompactError.
class DatabaseEngine {
public:
    virtual ~DatabaseEngine() = default;

    // Copies the database 'source' into the new file 'destination', compactly, under the same
    // password. 'connect' is the source's connect string (";pwd=..." or empty).
    virtual void compactDatabase(const QString& source, const QString& destination,
                                 const QString& connect) = 0;
    // Opens 'path' with the password of 'connect' and runs the engine's integrity check.
    virtual void checkDatabase(const QString& path, const QString& connect) = 0;
};

} // namespace pelvane
