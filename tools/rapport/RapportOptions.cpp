#include "RapportOptions.h"

#include "CommandLine.h"
#include "core/db/Lists.h"
#include "core/report/NumberText.h"
#include "core/text/NameText.h"
#include "render/PictureFile.h"

#include <QCommandLineParser>
#include <QLocale>
#include <limits>

namespace grelavo {

namespace {

struct OptionInfo {
    const char* name;
    const char* valueName; // nullptr: the option takes no value
    int maxCount;
    const char* help;
};

struct OptionGroup {
    const char* title;
    QVector<OptionInfo> options;
};

const QVector<OptionGroup>& optionGroups() {
    static const QVector<OptionGroup> groups = {
        {"Paramètres obligatoires",
         {{"periode", "ID|NOM", 1, "période d'application"},
          {"herbicide", "ID|NOM:TAUX[:FORMULATION]", 4,
           "herbicide du mélange, son taux en kg i.a./ha et, au besoin, le numéro de sa "
           "formulation\u00a0; de une à quatre fois, dans l'ordre des herbicides"},
          {"culture", "ID|NOM|tous", 1, "culture, ou «\u00a0tous\u00a0» pour Maïs (tous)"}}},
        {"Paramètres facultatifs",
         {{"tolerance", "N", 1, "tolérance sur les taux, en % (1 à 5\u00a0; 5 par défaut)"},
          {"variete", "ID|NOM", 1, "variété (pas avec --culture tous)"},
          {"antecedent", "ID|NOM", 1, "antécédent cultural (année précédente)"},
          {"province", "ID|NOM", 1, "province"},
          {"texture", "ID|NOM", 1, "classe texturale du sol"},
          {"mo", "BAS:HAUT", 1, "matière organique, en %"},
          {"ph", "BAS:HAUT", 1, "pH du sol"},
          {"semis-kg", "BAS:HAUT", 1, "taux de semis en kg/ha"},
          {"semis-grains", "BAS:HAUT", 1, "taux de semis en grains/ha (pas avec --semis-kg)"},
          {"feuilles", "BAS:HAUT", 1, "stade de la culture en nombre de feuilles"},
          {"hauteur", "BAS:HAUT", 1, "hauteur de la culture en cm (pas avec --feuilles)"},
          {"profondeur", "BAS:HAUT", 1, "profondeur du semis, en cm"},
          {"ecart", "0..4", 1,
           "écart entre les rangs en cm\u00a0: 0 60 - 70, 1 70 - 80, 2 80 - 90, 3 90 - 100, 4 100 "
           "et +"},
          {"mauvaise-herbe", "ID|NOM", 5,
           "mauvaise herbe ajoutée au rapport\u00a0; jusqu'à cinq fois"}}},
        {"Autres options",
         {{"db", "FICHIER", 1,
           "base de données (par défaut Grelavo.mdb du dossier du programme ou, installé, sa "
           "copie de travail dans ~/.local/share/Grelavo)"},
          {"pdf", "FICHIER", 1,
           "écrit aussi la page du rapport, telle que Grelavo l'imprime, dans ce fichier PDF"},
          {"csv", "FICHIER", 1,
           "écrit aussi le tableau en CSV, comme «\u00a0Enregistrer en CSV\u00a0» de la fenêtre "
           "des résultats\u00a0: ce que montre le rapport en tête, puis les moyennes, nombres, "
           "essais et parts d'évaluations ≥ 80 et ≥ 90 % de chaque case"},
          {"courbes", "FICHIER", 1,
           "écrit aussi l'image dose-réponse des catégories du rapport (six au plus), avec ce "
           "qu'il montre sous elle\u00a0; en PNG, SVG ou PDF selon la fin du nom (.png, .svg, "
           ".pdf)"},
          {"details", nullptr, 1,
           "ajoute au JSON les évaluations derrière chaque case (membre «\u00a0details\u00a0»)"},
          {"details-csv", "FICHIER", 1,
           "écrit les évaluations derrière chaque case dans ce fichier CSV (une ligne chacune)"},
          {"analyse", nullptr, 1,
           "ajoute au JSON l'analyse dose-réponse (membre «\u00a0analysis\u00a0»)\u00a0: essais et "
           "parts d'évaluations ≥ 80 et ≥ 90 % par case, courbe ajustée et doses efficaces par "
           "ligne"},
          {"listes", nullptr, 1,
           "au lieu d'un rapport, écrit les listes de la base (ou la seule LISTE\u00a0: periode, "
           "herbicide, culture, variete, antecedent, province, texture, mauvaise-herbe), un "
           "élément par ligne\u00a0: liste, numéro et nom, séparés par des tabulations"},
          {"help", nullptr, 1, "affiche cette aide"}}},
    };
    return groups;
}

// The options that name an item of a list, and the list.
struct ListOption {
    const char* option;
    const ListDescription* list;
};

const ListOption kListOptions[] = {
    {"periode", &lists::periods},
    {"herbicide", &lists::herbicides},
    {"culture", &lists::crops},
    {"variete", &lists::varieties},
    {"antecedent", &lists::previousCrops},
    {"province", &lists::provinces},
    {"texture", &lists::textures},
    {"mauvaise-herbe", &lists::weeds},
};

const ListDescription& listOf(const QString& option) {
    for (const ListOption& o : kListOptions)
        if (option == QLatin1String(o.option))
            return *o.list;
    Q_UNREACHABLE();
}

// The items an option offers: the crops as the parameter form offers them, every item otherwise.
QVector<ListItem> offered(Connection& db, const QString& option) {
    return option == QLatin1String("culture") ? reportCrops(db) : items(db, listOf(option));
}

// The row-spacing classes as the parameter form lists them.
const QStringList& rowSpacingTexts() {
    static const QStringList texts = {QStringLiteral("60 - 70"), QStringLiteral("70 - 80"),
                                      QStringLiteral("80 - 90"), QStringLiteral("90 - 100"),
                                      QStringLiteral("100 et +")};
    return texts;
}

std::optional<double> number(const QString& text) {
    return NumberText::parse(text, QLocale::c());
}

// "tous", written in any case, stands for Maïs (tous).
bool isAllCorn(const QString& crop) {
    return crop.trimmed().compare(QLatin1String("tous"), Qt::CaseInsensitive) == 0;
}

QString dashed(const QString& option) {
    return QStringLiteral("--") + option;
}

} // namespace

bool RapportOptions::fail(const QString& message) {
    m_error = message;
    return false;
}

bool RapportOptions::readHerbicide(const QString& value) {
    const QString where = QStringLiteral("--herbicide ") + value;
    const QStringList parts = value.split(QLatin1Char(':'));
    if (parts.first().trimmed().isEmpty() || parts.size() > 3)
        return fail(
            QStringLiteral(
                "%1\u00a0: attendu ID:TAUX[:FORMULATION] ou NOM:TAUX, par exemple atrazine:1.5")
                .arg(where));
    if (parts.size() < 2 || parts.at(1).trimmed().isEmpty())
        return fail(QStringLiteral("%1\u00a0: Vous devez d'abord entrer un taux d'application.")
                        .arg(where));
    Herbicide herbicide;
    herbicide.item = parts.first();
    herbicide.rate = parts.at(1);
    if (!number(herbicide.rate))
        return fail(QStringLiteral(
                        "%1\u00a0: le taux «\u00a0%2\u00a0» n'est pas un nombre (décimales avec un "
                        "point\u00a0: 1.5)")
                        .arg(where, herbicide.rate));
    if (parts.size() == 3 && !parts.at(2).isEmpty()) {
        bool ok = false;
        const int formulation = parts.at(2).toInt(&ok);
        if (!ok)
            return fail(
                QStringLiteral("%1\u00a0: «\u00a0%2\u00a0» n'est pas un numéro de formulation")
                    .arg(where, parts.at(2)));
        herbicide.formulation = formulation;
    }
    m_herbicides << herbicide;
    return true;
}

bool RapportOptions::readRange(const QString& option, std::optional<Range>& range) {
    if (!given(option))
        return true;
    const QString text = value(option);
    const QString where = dashed(option) + QLatin1Char(' ') + text;
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 2 || (parts.at(0).trimmed().isEmpty() && parts.at(1).trimmed().isEmpty()))
        return fail(QStringLiteral("%1\u00a0: attendu BAS:HAUT, par exemple 2.5:7").arg(where));
    if (parts.at(0).trimmed().isEmpty())
        return fail(QStringLiteral("%1\u00a0: Il manque la première valeur associée à la seconde.")
                        .arg(where));
    if (parts.at(1).trimmed().isEmpty())
        return fail(QStringLiteral("%1\u00a0: Il manque la seconde valeur associée à la première.")
                        .arg(where));
    const std::optional<double> low = number(parts.at(0));
    const std::optional<double> high = number(parts.at(1));
    for (const auto& [bound, read] : {std::pair(parts.at(0), low), std::pair(parts.at(1), high)})
        if (!read)
            return fail(
                QStringLiteral("%1\u00a0: «\u00a0%2\u00a0» n'est pas un nombre (décimales avec un "
                               "point\u00a0: 1.5)")
                    .arg(where, bound));
    if (*low > *high)
        return fail(QStringLiteral("%1\u00a0: La seconde valeur est plus petite que la première.")
                        .arg(where));
    range = Range{parts.at(0), parts.at(1)};
    return true;
}

bool RapportOptions::parse(const QStringList& arguments) {
    *this = RapportOptions();
    const QStringList typed = arguments.mid(1);
    if (typed.contains(QLatin1String("--help")) || typed.contains(QLatin1String("-h"))) {
        m_help = true;
        return true;
    }
    if (!readCommandLine(arguments))
        return false;
    if (m_help || m_lists)
        return true;
    return readParameters() && readConditionsAndFiles();
}

bool RapportOptions::readCommandLine(const QStringList& arguments) {
    // --listes takes its list as the next argument; --listes=LISTE is the same.
    QStringList split{arguments.value(0)};
    for (const QString& argument : arguments.mid(1)) {
        if (argument.startsWith(QLatin1String("--listes=")))
            split << QStringLiteral("--listes") << argument.mid(9);
        else
            split << argument;
    }

    QList<QCommandLineOption> options;
    for (const OptionGroup& group : optionGroups())
        for (const OptionInfo& o : group.options) {
            const QString name = QLatin1String(o.name);
            options << (name == QLatin1String("help")
                            ? QCommandLineOption(QStringList{QStringLiteral("h"), name})
                            : QCommandLineOption(name, QString(),
                                                 o.valueName ? QLatin1String(o.valueName)
                                                             : QString()));
        }
    QCommandLineParser parser;
    QString failure;
    if (!cli::parse(parser, options, split, &failure,
                    {QStringLiteral("herbicide"), QStringLiteral("mauvaise-herbe")}))
        return fail(failure);
    m_help = parser.isSet(QStringLiteral("help"));
    if (m_help)
        return true;
    m_lists = parser.isSet(QStringLiteral("listes"));
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > (m_lists ? 1 : 0))
        return fail(QStringLiteral("argument inattendu «\u00a0%1\u00a0» (voir --help)")
                        .arg(positional.last()));
    if (m_lists && !readListName(positional.value(0)))
        return false;
    for (const OptionGroup& group : optionGroups())
        for (const OptionInfo& o : group.options) {
            const QString name = QLatin1String(o.name);
            if (!parser.isSet(name))
                continue;
            if (m_lists && name != QLatin1String("listes") && name != QLatin1String("db"))
                return fail(QStringLiteral("--listes ne va qu'avec --db, pas avec --%1").arg(name));
            if (!o.valueName)
                continue;
            m_values.insert(name, parser.values(name));
            if (values(name).size() > o.maxCount)
                return fail(
                    QStringLiteral("--%1\u00a0: au plus %2 fois").arg(name).arg(o.maxCount));
        }
    m_databasePath = value(QStringLiteral("db"));
    if (!m_lists) {
        m_details = parser.isSet(QStringLiteral("details"));
        m_analysis = parser.isSet(QStringLiteral("analyse"));
    }
    return true;
}

bool RapportOptions::readParameters() {
    for (const auto& [one, other] :
         {std::pair("semis-kg", "semis-grains"), std::pair("feuilles", "hauteur")})
        if (given(QLatin1String(one)) && given(QLatin1String(other)))
            return fail(QStringLiteral("--%1 et --%2 s'excluent\u00a0: donnez l'une ou l'autre")
                            .arg(QLatin1String(one), QLatin1String(other)));

    // The mandatory parameters, in the order of the parameter form.
    if (!given(QStringLiteral("periode")))
        return fail(QStringLiteral("Pour lancer la requête, certaines informations sont "
                                   "nécessaires\u00a0: veuillez entrer la période d'application "
                                   "(--periode ID ou NOM)."));
    if (!given(QStringLiteral("herbicide")))
        return fail(QStringLiteral("Vous devez d'abord entrer un herbicide (--herbicide "
                                   "ID:TAUX ou NOM:TAUX)."));
    if (!given(QStringLiteral("culture")))
        return fail(QStringLiteral("Vous devez d'abord choisir une culture (--culture ID, "
                                   "--culture NOM ou --culture tous)."));
    for (const QString& herbicide : values(QStringLiteral("herbicide")))
        if (!readHerbicide(herbicide))
            return false;

    if (given(QStringLiteral("tolerance"))) {
        bool ok = false;
        const int tolerance = value(QStringLiteral("tolerance")).toInt(&ok);
        if (!ok || tolerance < 1 || tolerance > 5)
            return fail(
                QStringLiteral(
                    "--tolerance\u00a0: «\u00a0%1\u00a0» n'est pas une tolérance de 1 à 5 %")
                    .arg(value(QStringLiteral("tolerance"))));
        m_tolerance = static_cast<qint16>(tolerance);
    }
    return true;
}

bool RapportOptions::readConditionsAndFiles() {
    m_seedingInGrains = given(QStringLiteral("semis-grains"));
    m_stageAsHeight = given(QStringLiteral("hauteur"));
    if (!readRange(QStringLiteral("mo"), m_organicMatter) ||
        !readRange(QStringLiteral("ph"), m_pH) ||
        !readRange(m_seedingInGrains ? QStringLiteral("semis-grains") : QStringLiteral("semis-kg"),
                   m_seeding) ||
        !readRange(m_stageAsHeight ? QStringLiteral("hauteur") : QStringLiteral("feuilles"),
                   m_stage) ||
        !readRange(QStringLiteral("profondeur"), m_depth))
        return false;

    if (given(QStringLiteral("ecart"))) {
        bool ok = false;
        const int spacing = value(QStringLiteral("ecart")).toInt(&ok);
        if (!ok || spacing < 0 || spacing >= rowSpacingTexts().size())
            return fail(
                QStringLiteral("--ecart\u00a0: «\u00a0%1\u00a0» n'est pas une classe de 0 à 4")
                    .arg(value(QStringLiteral("ecart"))));
        m_rowSpacing = spacing;
    }
    m_pdfPath = value(QStringLiteral("pdf"));
    m_detailsCsvPath = value(QStringLiteral("details-csv"));
    m_csvPath = value(QStringLiteral("csv"));
    m_picturePath = value(QStringLiteral("courbes"));
    if (!m_picturePath.isEmpty() && !PictureFile::kindOf(m_picturePath))
        return fail(QStringLiteral(
                        "--courbes\u00a0: «\u00a0%1\u00a0» ne finit ni par .png, ni par .svg, ni "
                        "par .pdf\u00a0; l'image s'écrit dans l'un de ces formats")
                        .arg(m_picturePath));
    return true;
}

std::optional<Choice> RapportOptions::choose(Connection& db, const QString& option,
                                             const QString& text) {
    const bool crop = option == QLatin1String("culture");
    if (crop && isAllCorn(text))
        return Choice{ParameterSet::AllCornName, ParameterSet::AllCornItemData};
    // The crop standing for all corn, by its number or its own name, is offered as "tous".
    if (const ListChoice own =
            crop ? lookUp(items(db, lists::crops), lists::crops, text) : ListChoice();
        own.id == lists::kAllCornCrop) {
        fail(QStringLiteral("--culture\u00a0: la culture %1, %2, n'est pas offerte seule\u00a0; "
                            "donnez --culture tous pour Maïs (tous)")
                 .arg(*own.id)
                 .arg(NameText::quoted(own.name)));
        return std::nullopt;
    }
    const ListChoice found = lookUp(offered(db, option), listOf(option), text);
    // Periods and herbicides are kept as 16-bit numbers, other items as 32-bit ones.
    const bool narrow = option == QLatin1String("periode") || option == QLatin1String("herbicide");
    const qint64 highest =
        narrow ? std::numeric_limits<qint16>::max() : std::numeric_limits<qint32>::max();
    if (found.id && (*found.id > highest || *found.id < -highest - 1)) {
        fail(QStringLiteral("%1\u00a0: le numéro %2 de «\u00a0%3\u00a0» est trop grand pour un "
                            "rapport")
                 .arg(dashed(option))
                 .arg(*found.id)
                 .arg(found.name));
        return std::nullopt;
    }
    if (!found.id) {
        fail(QStringLiteral("%1\u00a0: %2").arg(dashed(option), found.refusal));
        return std::nullopt;
    }
    return Choice{found.name, static_cast<qint32>(*found.id)};
}

std::optional<ParameterSet> RapportOptions::parameterSet(Connection& db) {
    ParameterSet p;
    // Each chosen item, or nothing when the database's list does not hold it.
    auto pick = [&](const QString& option, const QString& text, Choice& choice) {
        const std::optional<Choice> item = choose(db, option, text);
        if (item)
            choice = *item;
        return item.has_value();
    };
    auto pickIfGiven = [&](const QString& option, Choice& choice) {
        return !given(option) || pick(option, value(option), choice);
    };

    if (!pick(QStringLiteral("periode"), value(QStringLiteral("periode")), p.cbbApp))
        return std::nullopt;
    p.SelectedApplicationType = static_cast<qint16>(*p.cbbApp.itemData);
    for (int i = 0; i < m_herbicides.size(); ++i) {
        const Herbicide& h = m_herbicides.at(i);
        if (!pick(QStringLiteral("herbicide"), h.item, p.cbbHerbApp[i]))
            return std::nullopt;
        for (int j = 0; j < i; ++j)
            if (p.cbbHerbApp[j].itemData == p.cbbHerbApp[i].itemData) {
                fail(QStringLiteral("--herbicide\u00a0: l'herbicide %1 est donné deux fois")
                         .arg(NameText::quoted(p.cbbHerbApp[i].text)));
                return std::nullopt;
            }
        p.SelectedHerbicideId[i] = static_cast<qint16>(*p.cbbHerbApp[i].itemData);
        p.txtTaux[i] = p.EnteredRate[i] = h.rate;
        // No list names the formulations: the box shows the number it was given.
        if (h.formulation)
            p.cbbFormApp[i] = {QString::number(*h.formulation), *h.formulation};
    }
    p.RateInterval = m_tolerance;

    if (!pick(QStringLiteral("culture"), value(QStringLiteral("culture")), p.cbbCult))
        return std::nullopt;
    // The variety box is closed for all corn.
    if (p.isAllCorn() && given(QStringLiteral("variete"))) {
        fail(QStringLiteral("--variete\u00a0: pas de variété avec --culture tous (Maïs "
                            "(tous))\u00a0; choisissez une culture"));
        return std::nullopt;
    }
    if (!pickIfGiven(QStringLiteral("variete"), p.cbbCultVar) ||
        !pickIfGiven(QStringLiteral("antecedent"), p.cbbCultAnte) ||
        !pickIfGiven(QStringLiteral("province"), p.cbbSiteProv) ||
        !pickIfGiven(QStringLiteral("texture"), p.cbbSiteClaTex))
        return std::nullopt;

    if (m_organicMatter) {
        p.cbbSiteMatOrgDe = m_organicMatter->low;
        p.cbbSiteMatOrgA = m_organicMatter->high;
    }
    if (m_pH) {
        p.cbbSitepHDe = m_pH->low;
        p.cbbSitepHA = m_pH->high;
    }
    p.optKg = !m_seedingInGrains;
    if (m_seeding) {
        p.txtCultSemisDe = m_seeding->low;
        p.txtCultSemisA = m_seeding->high;
    }
    p.optHaut = m_stageAsHeight;
    if (m_stage) {
        (m_stageAsHeight ? p.txtCultHautDe : p.txtCultFeuilDe) = m_stage->low;
        (m_stageAsHeight ? p.txtCultHautA : p.txtCultFeuilA) = m_stage->high;
    }
    if (m_depth) {
        p.cbbCultProfDe = m_depth->low;
        p.cbbCultProfA = m_depth->high;
    }
    if (m_rowSpacing)
        p.cbbCultEcart = {rowSpacingTexts().at(*m_rowSpacing), *m_rowSpacing};
    const QStringList weeds = values(QStringLiteral("mauvaise-herbe"));
    for (int i = 0; i < weeds.size(); ++i)
        if (!pick(QStringLiteral("mauvaise-herbe"), weeds.at(i), p.cbbMauvHerb[i]))
            return std::nullopt;
    return p;
}

bool RapportOptions::readListName(const QString& name) {
    QStringList names;
    for (const ListOption& o : kListOptions) {
        names << QLatin1String(o.option);
        // The option's name, or the list's, written any way.
        if (name.isEmpty() || NameText::loose(name) == NameText::loose(QLatin1String(o.option)) ||
            NameText::loose(name) == NameText::loose(QString::fromUtf8(o.list->many)))
            m_shownLists << QLatin1String(o.option);
    }
    if (m_shownLists.isEmpty())
        return fail(
            QStringLiteral("--listes\u00a0: %1 n'est pas une liste\u00a0; les listes\u00a0: %2")
                .arg(NameText::quoted(name), names.join(QStringLiteral(", "))));
    return true;
}

QString RapportOptions::listsText(Connection& db) const {
    QString text;
    for (const QString& option : m_shownLists)
        for (const ListItem& item : offered(db, option))
            text += QStringLiteral("%1\t%2\t%3\n")
                        .arg(option)
                        .arg(item.id)
                        .arg(NameText::oneLine(item.name));
    return text;
}

QString RapportOptions::helpText() {
    QString text = QStringLiteral(
        "Utilisation\u00a0: grelavo-rapport --periode ID|NOM --herbicide "
        "ID|NOM:TAUX[:FORMULATION] --culture ID|NOM|tous [options]\n"
        "       grelavo-rapport --listes [LISTE] [--db FICHIER]\n"
        "Produit le rapport d'efficacité des doses réduites d'herbicides et écrit le tableau "
        "des résultats en JSON sur la sortie standard.\n"
        "Les éléments des listes de la base de données se donnent par leur numéro ou par leur nom "
        "(majuscules, accents, apostrophes et traits d'union sans importance\u00a0; --listes les "
        "montre)\u00a0; les nombres s'écrivent avec un point décimal (1.5) et les intervalles "
        "BAS:HAUT (2.5:7).\n");
    for (const OptionGroup& group : optionGroups()) {
        text += QStringLiteral("\n%1\u00a0:\n").arg(QString::fromUtf8(group.title));
        for (const OptionInfo& option : group.options) {
            QString left = QStringLiteral("--") + QLatin1String(option.name);
            if (option.valueName)
                left += QLatin1Char(' ') + QLatin1String(option.valueName);
            else if (left == QLatin1String("--help"))
                left = QStringLiteral("-h, --help");
            else if (left == QLatin1String("--listes"))
                left += QStringLiteral(" [LISTE]");
            constexpr int width = 28;
            if (left.size() > width)
                left += QLatin1Char('\n') + QString(width + 2, QLatin1Char(' '));
            text +=
                QStringLiteral("  %1  %2\n").arg(left, -width).arg(QString::fromUtf8(option.help));
        }
    }
    text += QStringLiteral(
        "\nStatut de sortie\u00a0: 0 rapport produit (ou listes écrites), 1 base de données "
        "introuvable ou inutilisable, 2 paramètres refusés, 3 fichier PDF, CSV ou image "
        "impossible à écrire, 4 rapport interrompu par une erreur de la base de données.\n");
    return text;
}

} // namespace grelavo
