#include "CourbeOptions.h"

#include "CommandLine.h"

#include "core/text/NumberReading.h"

#include <QCommandLineParser>

namespace grelavo {

namespace {

const QString kModel = QStringLiteral("modele");
const QString kLevels = QStringLiteral("ed");
const QString kAbsolute = QStringLiteral("absolu");
const QString kTrial = QStringLiteral("essai");
const QString kGroup = QStringLiteral("groupe");
const QString kHelp = QStringLiteral("help");

} // namespace

QString CourbeOptions::helpText() {
    return QStringLiteral(
        "Usage\u00a0: grelavo-courbe FICHIER.csv [--modele LL.2|LL.3|LL.4|auto] [--ed 10,50,90]\n"
        "                       [--absolu] [--essai COLONNE] [--groupe COLONNE]\n"
        "\n"
        "Ajuste une courbe dose-réponse log-logistique aux colonnes «\u00a0dose\u00a0»\n"
        "et «\u00a0reponse\u00a0» du fichier CSV et écrit en JSON ses paramètres, leurs\n"
        "erreurs types et les doses efficaces demandées avec leurs intervalles de confiance\n"
        "à 95 %.\n"
        "Le fichier peut être en UTF-8 ou Windows-1252, séparé par des virgules ou des\n"
        "points-virgules, avec le point ou la virgule décimale.\n"
        "\n"
        "Options\u00a0:\n"
        "  --modele M       LL.4 (par défaut), LL.3 (limite basse 0), LL.2 (limites 0 et 100)\n"
        "                   ou auto (celui des trois de plus petit AIC)\n"
        "  --ed LISTE       niveaux des doses efficaces, séparés par des virgules (10,50,90 par\n"
        "                   défaut)\u00a0: en % du chemin de la réponse à la dose 0 à sa limite\n"
        "  --absolu         les niveaux sont des valeurs de la réponse\n"
        "  --essai COLONNE  colonne de l'essai de chaque observation\u00a0: erreurs types\n"
        "                   robustes aux effets d'essai et intervalles sur le logarithme de\n"
        "                   la dose\u00a0;\n"
        "                   trois essais au moins\n"
        "  --groupe COLONNE une courbe par valeur de cette colonne, avec une variance commune\n"
        "  -h, --help       affiche cette aide\n"
        "\n"
        "Code de sortie\u00a0: 0 courbes écrites (celles qui ne peuvent être ajustées disent\n"
        "pourquoi), 2 fichier ou options refusés, 1 autre échec.\n");
}

bool CourbeOptions::fail(const QString& message) {
    m_error = message;
    return false;
}

bool CourbeOptions::parse(const QStringList& arguments) {
    // --help wins over the rest, a wrong option included.
    if (arguments.contains(QStringLiteral("--") + kHelp) ||
        arguments.contains(QStringLiteral("-h"))) {
        m_help = true;
        return true;
    }
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    QString failure;
    if (!cli::parse(parser,
                    {{kModel, QString(), QStringLiteral("M")},
                     {kLevels, QString(), QStringLiteral("LISTE")},
                     {kAbsolute, QString()},
                     {kTrial, QString(), QStringLiteral("COLONNE")},
                     {kGroup, QString(), QStringLiteral("COLONNE")},
                     {{QStringLiteral("h"), kHelp}, QString()}},
                    arguments, &failure))
        return fail(failure);

    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return fail(QStringLiteral("indiquez le fichier CSV des doses et des réponses"));
    if (files.size() > 1)
        return fail(QStringLiteral("un seul fichier à la fois\u00a0: «\u00a0%1\u00a0» est de trop")
                        .arg(files.at(1)));
    m_file = files.first();
    m_absolute = parser.isSet(kAbsolute);
    m_trialColumn = parser.value(kTrial).trimmed();
    m_groupColumn = parser.value(kGroup).trimmed();
    if (parser.isSet(kTrial) && m_trialColumn.isEmpty())
        return fail(QStringLiteral("l'option --essai demande un nom de colonne"));
    if (parser.isSet(kGroup) && m_groupColumn.isEmpty())
        return fail(QStringLiteral("l'option --groupe demande un nom de colonne"));
    if (parser.isSet(kModel) && !readModel(parser.value(kModel)))
        return false;
    return !parser.isSet(kLevels) || readLevels(parser.value(kLevels));
}

bool CourbeOptions::readModel(const QString& text) {
    const QString model = text.trimmed();
    if (model.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) {
        m_models = allLogLogisticModels();
        return true;
    }
    for (const LogLogisticModel candidate : allLogLogisticModels())
        if (model.compare(modelName(candidate), Qt::CaseInsensitive) == 0) {
            m_models = {candidate};
            return true;
        }
    return fail(
        QStringLiteral("--modele\u00a0: «\u00a0%1\u00a0» n'est pas LL.2, LL.3, LL.4 ni auto")
            .arg(text));
}

bool CourbeOptions::readLevels(const QString& text) {
    m_levels.clear();
    for (const QString& item : text.split(QLatin1Char(','))) {
        double level = 0;
        if (!readNumber(item, &level))
            return fail(QStringLiteral("--ed\u00a0: «\u00a0%1\u00a0» n'est pas un nombre")
                            .arg(item.trimmed()));
        if (!m_absolute && !(level > 0 && level < 100))
            return fail(
                QStringLiteral("--ed\u00a0: %1 n'est pas un pourcentage strictement entre 0 et 100")
                    .arg(item.trimmed()));
        m_levels << level;
    }
    return true;
}

} // namespace grelavo
