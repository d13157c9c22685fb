#pragma once

#include <QString>
#include <memory>

namespace grelavo {

class DE;

// The database a report runs on, reached through a DE as the program reaches it.
class RapportDatabase {
public:
    RapportDatabase();
    ~RapportDatabase();

    // Opens the file (empty: the Grelavo.mdb of the program folder, or, for an installed copy,
    // the user's working copy, made first when needed; see DatabaseLocation) and checks that it can
    // serve (key, whole, writable). False, with a one-line French error() naming the file and the
    // cause, when it cannot.
    bool open(const QString& path);

    DE& de() { return *m_de; }
    const QString& error() const { return m_error; }

private:
    bool openFolder(const QString& folder, const QString& fileName);

    std::unique_ptr<DE> m_de;
    QString m_error;
};

} // namespace grelavo
