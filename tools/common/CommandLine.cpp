#include "CommandLine.h"

#include "core/db/DatabaseFile.h"
#include "core/db/DatabaseLocation.h"

#include <QCoreApplication>
#include <QDir>

namespace grelavo::cli {

bool write(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    const bool written =
        std::fwrite(bytes.constData(), 1, bytes.size(), stream) == std::size_t(bytes.size());
    return std::fflush(stream) == 0 && written;
}

int fail(const QString& message, int status) {
    write(stderr,
          QStringLiteral("%1\u00a0: %2\n").arg(QCoreApplication::applicationName(), message));
    return status;
}

bool parse(QCommandLineParser& parser, const QList<QCommandLineOption>& options,
           const QStringList& arguments, QString* failure, const QStringList& repeatable) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(options);
    // The parser's own messages are English: the causes are found here and said in French.
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--"))
            break;
        if (!a.startsWith(QLatin1Char('-')) || a == QLatin1String("-"))
            continue;
        const int equals = a.indexOf(QLatin1Char('='));
        const int start = a.startsWith(QLatin1String("--")) ? 2 : 1;
        const QString name = a.mid(start, equals < 0 ? -1 : equals - start);
        bool known = false;
        bool valued = false;
        for (const QCommandLineOption& o : options) {
            if (o.names().contains(name)) {
                known = true;
                valued = !o.valueName().isEmpty();
            }
        }
        if (!known) {
            *failure = QStringLiteral("option inconnue «\u00a0%1\u00a0» (voir --help)")
                           .arg(equals < 0 ? a : a.left(equals));
            return false;
        }
        if (valued && equals >= 0 && equals == a.size() - 1) {
            *failure = QStringLiteral("l'option %1 demande une valeur").arg(a.left(equals));
            return false;
        }
        if (valued && equals < 0) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
                *failure = QStringLiteral("l'option %1 demande une valeur").arg(a);
                return false;
            }
            ++i;
        }
    }
    if (!parser.parse(arguments)) {
        *failure = QStringLiteral("options incorrectes (voir --help)");
        return false;
    }
    for (const QCommandLineOption& o : options) {
        if (!o.valueName().isEmpty() && parser.values(o).size() > 1 &&
            !repeatable.contains(o.names().constLast())) {
            *failure =
                QStringLiteral("l'option --%1 est donnée deux fois").arg(o.names().constLast());
            return false;
        }
    }
    return true;
}

QString defaultDatabase(QString* failure) {
    DatabaseLocation location = DatabaseLocation::ofThisProgram();
    const QString folder = location.prepare();
    if (folder.isEmpty()) {
        *failure = location.error();
        return QString();
    }
    const QString found = DatabaseFile::findInFolder(folder, DatabaseFile::fileName());
    if (found.isEmpty()) {
        *failure =
            QStringLiteral("aucun fichier %1 dans %2\u00a0; indiquez la base de données avec "
                           "--db FICHIER")
                .arg(DatabaseFile::fileName(), QDir::toNativeSeparators(folder));
        return QString();
    }
    return found;
}

} // namespace grelavo::cli
