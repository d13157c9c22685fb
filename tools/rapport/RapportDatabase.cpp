#include "RapportDatabase.h"

#include "core/db/DE.h"
#include "core/db/DatabaseCheck.h"
#include "core/db/DatabaseFile.h"
#include "core/db/DatabaseLocation.h"

#include <QDir>
#include <QFileInfo>

namespace grelavo {

RapportDatabase::RapportDatabase() = default;

RapportDatabase::~RapportDatabase() = default;

bool RapportDatabase::open(const QString& path) {
    if (path.isEmpty()) {
        // The build folder's database, or the user's working copy of the installed one.
        DatabaseLocation location = DatabaseLocation::ofThisProgram();
        const QString folder = location.prepare();
        if (folder.isEmpty()) {
            m_error = location.error();
            return false;
        }
        if (DatabaseFile::findInFolder(folder, DatabaseFile::fileName()).isEmpty()) {
            m_error = QStringLiteral("aucun fichier %1 dans le dossier du programme (%2) ni dans "
                                     "%3\u00a0; indiquez la base de données avec --db")
                          .arg(DatabaseFile::fileName(), QDir::toNativeSeparators(folder),
                               QDir::toNativeSeparators(
                                   QDir::cleanPath(folder + QStringLiteral("/../share/grelavo"))));
            return false;
        }
        return openFolder(folder, DatabaseFile::fileName());
    }

    const QFileInfo file(path);
    if (!file.isFile()) {
        m_error = QStringLiteral("base de données introuvable\u00a0: %1").arg(path);
        return false;
    }
    return openFolder(file.absolutePath(), file.fileName());
}

bool RapportDatabase::openFolder(const QString& folder, const QString& fileName) {
    m_de = std::make_unique<DE>(folder, fileName);
    m_error = DatabaseCheck::problem(*m_de);
    return m_error.isEmpty();
}

} // namespace grelavo
