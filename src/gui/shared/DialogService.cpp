#include "DialogService.h"

#include <QDir>

namespace grelavo {

void DialogService::fileNotWritten(QWidget* parent, const QString& path) {
    message(parent,
            QStringLiteral(
                "Le fichier «\u00a0%1\u00a0» n'a pas pu être écrit.\rVérifiez le dossier choisi "
                "et la place libre sur le disque.")
                .arg(QDir::toNativeSeparators(path)),
            QStringLiteral("Attention"), Icon::Critical);
}

} // namespace grelavo
