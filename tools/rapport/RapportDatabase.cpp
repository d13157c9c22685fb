#include "RapportDatabase.h"

#include "db/DE.h"
#include "db/DatabaseFile.h"
#include "db/DbError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace grelavo {

RapportDatabase::RapportDatabase() = default;

RapportDatabase::~RapportDatabase() = default;

bool RapportDatabase::open(const QString& path) {
    if (path.isEmpty()) {
        const QString folder = QCoreApplication::applicationDirPath();
        if (DatabaseFile::findInFolder(folder, DatabaseFile::fileName()).isEmpty()) {
            m_error = QStringLiteral("aucun fichier %1 dans le dossier du programme (%2) ; "
                                     "indiquez la base de données avec --db")
                          .arg(DatabaseFile::fileName(), QDir::toNativeSeparators(folder));
            return false;
        }
        return openFolder(folder, DatabaseFile::fileName(), DatabaseFile::fileName());
    }

    const QFileInfo file(path);
    if (!file.isFile()) {
        m_error = QStringLiteral("base de données introuvable : %1").arg(path);
        return false;
    }
    return openFolder(file.absolutePath(), path, file.fileName());
}

bool RapportDatabase::openFolder(const QString& folder, const QString& shownPath,
                                 const QString& fileName) {
    m_de = std::make_unique<DE>(folder, fileName);
    try {
        m_de->Connection2();
    } catch (const DbError& e) {
        m_error = e.number() == DbError::WrongPassword
                      ? QStringLiteral("impossible d'ouvrir %1 : ce n'est pas une base de données "
                                       "Grelavo ou sa clé est différente")
                            .arg(shownPath)
                      : QStringLiteral("impossible d'ouvrir %1 (erreur %2)")
                            .arg(shownPath)
                            .arg(e.number());
        return false;
    }
    return true;
}

} // namespace grelavo
