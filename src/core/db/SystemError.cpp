#include "SystemError.h"

#include <cerrno>

namespace grelavo {

QString systemErrorInWords(int error) {
    switch (error) {
    case ENOSPC:
        return QStringLiteral("le disque est plein");
    case EDQUOT:
        return QStringLiteral("le quota de disque est atteint");
    case EFBIG:
        return QStringLiteral("le fichier dépasse la taille permise");
    case EACCES:
    case EPERM:
        return QStringLiteral("permission refusée");
    case EROFS:
        return QStringLiteral("le système de fichiers est en lecture seule");
    case ENOTDIR:
        return QStringLiteral("un élément du chemin n'est pas un dossier");
    case ENOENT:
        return QStringLiteral("fichier ou dossier introuvable");
    case EIO:
        return QStringLiteral("erreur d'entrée-sortie du disque");
    case EEXIST:
        return QStringLiteral("un fichier de ce nom existe déjà");
    case EISDIR:
        return QStringLiteral("c'est un dossier");
    case ENOTEMPTY:
        return QStringLiteral("le dossier n'est pas vide");
    case ENAMETOOLONG:
        return QStringLiteral("le nom est trop long");
    case ELOOP:
        return QStringLiteral("trop de liens symboliques dans le chemin");
    case EXDEV:
        return QStringLiteral("les deux chemins sont sur des systèmes de fichiers différents");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("le fichier est utilisé par un autre programme");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("trop de fichiers ouverts");
    case ENOMEM:
        return QStringLiteral("mémoire insuffisante");
    case EAGAIN:
    case EINTR:
        return QStringLiteral("opération interrompue, à refaire");
    case ESTALE:
    case ENOTCONN:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ETIMEDOUT:
        return QStringLiteral("le partage réseau ne répond pas");
    case EINVAL:
        return QStringLiteral("opération impossible sur ce fichier");
    default:
        return QStringLiteral("erreur du système n° %1").arg(error);
    }
}

QString fileErrorInWords(QFileDevice::FileError kind, int error) {
    if (error != 0)
        return systemErrorInWords(error);
    switch (kind) {
    case QFileDevice::NoError:
        return QStringLiteral("aucune erreur");
    case QFileDevice::ReadError:
        return QStringLiteral("erreur de lecture");
    case QFileDevice::WriteError:
        return QStringLiteral("erreur d'écriture");
    case QFileDevice::PermissionsError:
        return QStringLiteral("permission refusée");
    case QFileDevice::ResourceError:
        return QStringLiteral("ressources du système épuisées");
    case QFileDevice::OpenError:
        return QStringLiteral("le fichier ne s'ouvre pas");
    default:
        return QStringLiteral("erreur de fichier");
    }
}

} // namespace grelavo
