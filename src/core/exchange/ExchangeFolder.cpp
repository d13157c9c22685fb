#include "ExchangeFolder.h"

#include "ExperimentExport.h"
#include "core/db/SystemError.h"
#include "core/text/NameText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>
#include <cerrno>

namespace grelavo {

namespace {

QStringList knownNames() {
    QStringList names;
    for (const ExchangeFile& f : ExperimentExport::files())
        names << f.name;
    if (!names.contains(QLatin1String("edition.csv")))
        names << QStringLiteral("edition.csv");
    return names;
}

// Why the file at 'path' is not read, or empty: checked before it is opened, so that a pipe or a
// device is never read from.
QString notReadable(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists())
        return QStringLiteral("lien vers %1, qui n'existe pas")
            .arg(NameText::quotedPath(info.symLinkTarget()));
    if (info.isDir())
        return QStringLiteral("c'est un dossier, pas un fichier");
    if (!info.isFile())
        return QStringLiteral(
            "ce n'est pas un fichier ordinaire (tube, périphérique ou socket)\u00a0: "
            "il n'est pas lu");
    if (info.size() > kMaxExchangeFileBytes)
        return QStringLiteral("fichier de %1 Mo\u00a0: un fichier d'échange ne dépasse pas 1 Go")
            .arg(info.size() >> 20);
    return QString();
}

} // namespace

QString exchangeFileName(const QString& fileName) {
    const QString plain = NameText::plain(fileName);
    for (const QString& name : knownNames()) {
        if (plain == name)
            return name;
    }
    return QString();
}

namespace {

// The files given, and the exchange files of the folders given, in 'paths'; false when a file
// given does not exist ('failure' then says which).
bool gatherPaths(const QStringList& given, QStringList* paths, QVector<ImportProblem>* problems,
                 QString* failure) {
    const QStringList names = knownNames();
    for (const QString& g : given) {
        const QFileInfo info(g);
        if (info.isDir()) {
            if (ExperimentExport::isInterrupted(g)) {
                problems->append(
                    {QDir::toNativeSeparators(g), 0, QString(),
                     QStringLiteral("une exportation vers ce dossier a été "
                                    "interrompue\u00a0: ses fichiers peuvent venir de "
                                    "deux exportations\u00a0; exportez-les de nouveau")});
                continue;
            }
            const QDir::Filters all =
                QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot;
            for (const QFileInfo& f : QDir(g).entryInfoList(all, QDir::Name)) {
                if (!exchangeFileName(f.fileName()).isEmpty())
                    *paths << f.filePath();
                else if (f.suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0)
                    qWarning().noquote()
                        << QStringLiteral("avertissement\u00a0: %1 n'est pas un fichier d'échange "
                                          "(%2)\u00a0: il n'est pas lu")
                               .arg(NameText::quotedPath(f.filePath()),
                                    names.join(QStringLiteral(", ")));
            }
        } else if (info.exists() || info.isSymLink()) {
            *paths << g;
        } else {
            *failure =
                QStringLiteral("Le fichier %1 est introuvable.").arg(NameText::quotedPath(g));
            return false;
        }
    }
    return true;
}

} // namespace

QVector<ImportFile> readFiles(const QStringList& given, QVector<ImportProblem>* problems,
                              QString* failure) {
    const QStringList names = knownNames();
    QStringList paths;
    if (!gatherPaths(given, &paths, problems, failure))
        return {};
    QVector<ImportFile> files;
    for (const QString& path : paths) {
        const QString name = QFileInfo(path).fileName();
        ImportFile file{exchangeFileName(name), path, {}};
        if (file.name.isEmpty()) {
            problems->append(
                {name, 0, QString(),
                 QStringLiteral("fichier inconnu\u00a0: les fichiers d'échange sont %1")
                     .arg(names.join(QStringLiteral(", ")))});
            continue;
        }
        bool twice = false;
        for (const ImportFile& f : files)
            twice = twice || f.name == file.name;
        if (twice) {
            problems->append({name, 0, QString(), QStringLiteral("fichier donné deux fois")});
            continue;
        }
        const QString refusal = notReadable(path);
        if (!refusal.isEmpty()) {
            problems->append({name, 0, QString(), refusal});
            continue;
        }
        QFile in(path);
        errno = 0;
        if (!in.open(QIODevice::ReadOnly)) {
            const int error = errno;
            *failure = QStringLiteral("Le fichier %1 n'a pas pu être lu\u00a0: %2.")
                           .arg(NameText::quotedPath(path), fileErrorInWords(in.error(), error));
            return {};
        }
        int line = 0;
        CsvStream stream;
        const QString error = stream.examine(&in, &file.format, &line);
        if (stream.readFailed()) {
            *failure = QStringLiteral("Le fichier %1 n'a pas pu être lu\u00a0: %2.")
                           .arg(NameText::quotedPath(path), in.errorString());
            return {};
        }
        if (!error.isEmpty()) {
            problems->append({name, line, QString(), error});
            continue;
        }
        files << file;
    }
    if (paths.isEmpty())
        problems->append(
            {QString(), 0, QString(), QStringLiteral("aucun fichier d'échange à lire")});
    return files;
}

ImportFileRecords::ImportFileRecords(const ImportFile& file)
    : m_file(file.path), m_path(file.path) {
    errno = 0;
    if (!m_file.open(QIODevice::ReadOnly)) {
        const int error = errno;
        throw ImportReadFailed{
            QStringLiteral("Le fichier %1 n'a pas pu être lu de nouveau\u00a0: "
                           "%2. Rien n'a été importé.")
                .arg(NameText::quotedPath(file.path), fileErrorInWords(m_file.error(), error))};
    }
    m_stream.start(&m_file, file.format);
}

bool ImportFileRecords::next(CsvRecord* record) {
    if (m_stream.next(record))
        return true;
    if (m_stream.readFailed())
        throw ImportReadFailed{QStringLiteral("Le fichier %1 n'a pas pu être lu de nouveau\u00a0: "
                                              "%2. Rien n'a été importé.")
                                   .arg(NameText::quotedPath(m_path), m_file.errorString())};
    return false;
}

} // namespace grelavo
