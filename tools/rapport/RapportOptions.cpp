#include "RapportOptions.h"

#include "db/DE.h"
#include "db/Recordset.h"
#include "render/PictureFile.h"
#include "report/NumberText.h"

#include <QLocale>
#include <algorithm>
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
         {{"periode", "ID", 1, "période d'application"},
          {"herbicide", "ID:TAUX[:FORMULATION]", 4,
           "herbicide du mélange, son taux en kg i.a./ha et, au besoin, sa formulation\u00a0; "
           "de une à quatre fois, dans l'ordre des herbicides"},
          {"culture", "ID|tous", 1, "culture, ou «\u00a0tous\u00a0» pour Maïs (tous)"}}},
        {"Paramètres facultatifs",
         {{"tolerance", "N", 1, "tolérance sur les taux, en % (1 à 5\u00a0; 5 par défaut)"},
          {"variete", "ID", 1, "variété (pas avec --culture tous)"},
          {"antecedent", "ID", 1, "antécédent cultural (année précédente)"},
          {"province", "ID", 1, "province"},
          {"texture", "ID", 1, "classe texturale du sol"},
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
          {"mauvaise-herbe", "ID", 5,
           "mauvaise herbe ajoutée au rapport\u00a0; jusqu'à cinq fois"}}},
        {"Autres options",
         {{"db", "FICHIER", 1,
           "base de données (par défaut Grelavo.mdb du dossier du programme ou, installé, sa "
           "copie de travail dans ~/.local/share/Grelavo)"},
          {"pdf", "FICHIER", 1,
           "écrit aussi la page du rapport, telle que Grelavo l'imprime, dans ce fichier PDF"},
          {"csv", "FICHIER", 1,
           "écrit aussi le tableau en CSV, comme «\u00a0Enregistrer en CSV\u00a0» de la fenêtre "
           "des "
           "résultats\u00a0: ce que montre le rapport en tête, puis les moyennes, nombres, essais "
           "et "
           "parts d'évaluations ≥ 80 et ≥ 90 % de chaque case"},
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
           "parts "
           "d'évaluations ≥ 80 et ≥ 90 % par case, courbe ajustée et doses efficaces par ligne"},
          {"help", nullptr, 1, "affiche cette aide"}}},
    };
    return groups;
}

const OptionInfo* findOption(const QString& name) {
    for (const OptionGroup& group : optionGroups())
        for (const OptionInfo& option : group.options)
            if (name == QLatin1String(option.name))
                return &option;
    return nullptr;
}

// Where the names of a list's items are, and how the list is called in a message.
struct ListInfo {
    const char* option;
    const char* table;
    const char* idColumn;
    const char* nameColumn;
    const char* listName;
};

const ListInfo kLists[] = {
    {"periode", "ListeDesPériodesApplication", "TypeApplicationId", "TypeApplication",
     "des périodes d'application"},
    {"herbicide", "ListeDesHerbicides", "HerbicideId", "Herbicide", "des herbicides"},
    {"culture", "ListeDesCultures", "CultureId", "Nom Français", "des cultures"},
    {"variete", "ListeDesVariétés", "VariétéId", "Variété", "des variétés"},
    {"antecedent", "ListeDesAntécédents", "AntécédentID", "Nom Français",
     "des antécédents culturaux"},
    {"province", "ListeDesProvinces", "ProvinceID", "Province", "des provinces"},
    {"texture", "ListedesClastext", "ClasseTexturaleId", "ClasseTexturale",
     "des classes texturales"},
    {"mauvaise-herbe", "ListedesMauvaisesHerbes", "MHId", "Nom-Francais", "des mauvaises herbes"},
};

const ListInfo& listFor(const QString& option) {
    for (const ListInfo& list : kLists)
        if (option == QLatin1String(list.option))
            return list;
    Q_UNREACHABLE();
}

// The crop that stands for every kind of corn and is never offered by its own name.
constexpr qint32 kCornCrop = 147;

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
    return crop.compare(QLatin1String("tous"), Qt::CaseInsensitive) == 0;
}

QString dashed(const QString& option) {
    return QStringLiteral("--") + option;
}

} // namespace

bool RapportOptions::fail(const QString& message) {
    m_error = message;
    return false;
}

QStringList RapportOptions::values(const QString& option) const {
    for (const auto& entry : m_values)
        if (entry.first == option)
            return entry.second;
    return {};
}

QString RapportOptions::value(const QString& option) const {
    const QStringList all = values(option);
    return all.isEmpty() ? QString() : all.first();
}

bool RapportOptions::readValues(const QStringList& arguments) {
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (!argument.startsWith(QLatin1String("--")) || argument.size() == 2)
            return fail(QStringLiteral("argument inattendu\u00a0: «\u00a0%1\u00a0» (voir --help)")
                            .arg(argument));
        QString name = argument.mid(2);
        std::optional<QString> inlineValue;
        if (const int equals = name.indexOf(QLatin1Char('=')); equals >= 0) {
            inlineValue = name.mid(equals + 1);
            name.truncate(equals);
        }
        const OptionInfo* option = findOption(name);
        if (!option)
            return fail(QStringLiteral("option inconnue\u00a0: --%1 (voir --help)").arg(name));
        if (!option->valueName) { // --details, --analyse, or --help=...
            if (name == QLatin1String("details"))
                m_details = true;
            else if (name == QLatin1String("analyse"))
                m_analysis = true;
            else
                m_help = true;
            continue;
        }
        QString optionValue;
        if (inlineValue) {
            optionValue = *inlineValue;
        } else {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("--%1\u00a0: valeur manquante (%2)")
                                .arg(name, QLatin1String(option->valueName)));
            optionValue = arguments.at(++i);
        }
        auto entry = std::find_if(m_values.begin(), m_values.end(),
                                  [&](const auto& e) { return e.first == name; });
        if (entry == m_values.end())
            entry = m_values.insert(m_values.end(), {name, {}});
        entry->second << optionValue;
        if (entry->second.size() > option->maxCount)
            return fail(option->maxCount == 1
                            ? QStringLiteral("--%1 est donnée plus d'une fois").arg(name)
                            : QStringLiteral("--%1\u00a0: au plus %2 fois")
                                  .arg(name)
                                  .arg(option->maxCount));
    }
    return true;
}

bool RapportOptions::readId(const QString& option, qint32& id) {
    const QString text = value(option);
    bool ok = false;
    id = text.toInt(&ok);
    if (!ok)
        return fail(QStringLiteral("%1\u00a0: «\u00a0%2\u00a0» n'est pas un identifiant")
                        .arg(dashed(option), text));
    return true;
}

bool RapportOptions::readOptionalId(const QString& option, std::optional<qint32>& id) {
    if (!given(option))
        return true;
    qint32 read = 0;
    if (!readId(option, read))
        return false;
    id = read;
    return true;
}

bool RapportOptions::readHerbicide(const QString& value) {
    const QString where = QStringLiteral("--herbicide ") + value;
    const QStringList parts = value.split(QLatin1Char(':'));
    bool ok = false;
    const int id = parts.first().toInt(&ok);
    if (!ok || parts.size() > 3 || id < std::numeric_limits<qint16>::min() ||
        id > std::numeric_limits<qint16>::max())
        return fail(QStringLiteral("%1\u00a0: attendu ID:TAUX[:FORMULATION], par exemple 10:1.5")
                        .arg(where));
    if (parts.size() < 2 || parts.at(1).trimmed().isEmpty())
        return fail(QStringLiteral("%1\u00a0: Vous devez d'abord entrer un taux d'application.")
                        .arg(where));
    Herbicide herbicide;
    herbicide.id = static_cast<qint16>(id);
    herbicide.rate = parts.at(1);
    if (!number(herbicide.rate))
        return fail(QStringLiteral(
                        "%1\u00a0: le taux «\u00a0%2\u00a0» n'est pas un nombre (décimales avec un "
                        "point\u00a0: 1.5)")
                        .arg(where, herbicide.rate));
    if (parts.size() == 3 && !parts.at(2).isEmpty()) {
        const int formulation = parts.at(2).toInt(&ok);
        if (!ok)
            return fail(
                QStringLiteral("%1\u00a0: «\u00a0%2\u00a0» n'est pas un identifiant de formulation")
                    .arg(where, parts.at(2)));
        herbicide.formulation = formulation;
    }
    for (const Herbicide& other : std::as_const(m_herbicides))
        if (other.id == herbicide.id)
            return fail(
                QStringLiteral("--herbicide\u00a0: l'herbicide %1 est donné deux fois").arg(id));
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
    for (const QString& argument : arguments)
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            m_help = true;
            return true;
        }
    if (!readValues(arguments))
        return false;
    if (m_help)
        return true;

    // An option and its alternative; the variety box is closed for all corn.
    for (const auto& [one, other] :
         {std::pair("semis-kg", "semis-grains"), std::pair("feuilles", "hauteur")})
        if (given(QLatin1String(one)) && given(QLatin1String(other)))
            return fail(QStringLiteral("--%1 et --%2 s'excluent\u00a0: donnez l'une ou l'autre")
                            .arg(QLatin1String(one), QLatin1String(other)));
    if (given(QStringLiteral("variete")) && isAllCorn(value(QStringLiteral("culture"))))
        return fail(QStringLiteral(
            "--variete\u00a0: pas de variété avec --culture tous (Maïs (tous))\u00a0; "
            "choisissez une culture"));

    // The mandatory parameters, in the order of the parameter form.
    if (!given(QStringLiteral("periode")))
        return fail(QStringLiteral("Pour lancer la requête, certaines informations sont "
                                   "nécessaires\u00a0: veuillez entrer la période d'application "
                                   "(--periode ID)."));
    if (!given(QStringLiteral("herbicide")))
        return fail(QStringLiteral("Vous devez d'abord entrer un herbicide (--herbicide "
                                   "ID:TAUX)."));
    if (!given(QStringLiteral("culture")))
        return fail(QStringLiteral("Vous devez d'abord choisir une culture (--culture ID ou "
                                   "--culture tous)."));

    if (!readId(QStringLiteral("periode"), m_period))
        return false;
    if (m_period < std::numeric_limits<qint16>::min() ||
        m_period > std::numeric_limits<qint16>::max())
        return fail(QStringLiteral("--periode\u00a0: «\u00a0%1\u00a0» n'est pas un identifiant")
                        .arg(m_period));
    for (const QString& herbicide : values(QStringLiteral("herbicide")))
        if (!readHerbicide(herbicide))
            return false;
    m_allCorn = isAllCorn(value(QStringLiteral("culture")));
    if (!m_allCorn && !readId(QStringLiteral("culture"), m_crop))
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
    if (!readOptionalId(QStringLiteral("variete"), m_variety) ||
        !readOptionalId(QStringLiteral("antecedent"), m_previousCrop) ||
        !readOptionalId(QStringLiteral("province"), m_province) ||
        !readOptionalId(QStringLiteral("texture"), m_texture))
        return false;

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
    for (const QString& weed : values(QStringLiteral("mauvaise-herbe"))) {
        bool ok = false;
        m_weeds << weed.toInt(&ok);
        if (!ok)
            return fail(
                QStringLiteral("--mauvaise-herbe\u00a0: «\u00a0%1\u00a0» n'est pas un identifiant")
                    .arg(weed));
    }
    m_databasePath = value(QStringLiteral("db"));
    if (given(QStringLiteral("pdf")) && value(QStringLiteral("pdf")).isEmpty())
        return fail(QStringLiteral("--pdf\u00a0: nom de fichier manquant"));
    m_pdfPath = value(QStringLiteral("pdf"));
    if (given(QStringLiteral("details-csv")) && value(QStringLiteral("details-csv")).isEmpty())
        return fail(QStringLiteral("--details-csv\u00a0: nom de fichier manquant"));
    m_detailsCsvPath = value(QStringLiteral("details-csv"));
    if (given(QStringLiteral("csv")) && value(QStringLiteral("csv")).isEmpty())
        return fail(QStringLiteral("--csv\u00a0: nom de fichier manquant"));
    m_csvPath = value(QStringLiteral("csv"));
    if (given(QStringLiteral("courbes")) && value(QStringLiteral("courbes")).isEmpty())
        return fail(QStringLiteral("--courbes\u00a0: nom de fichier manquant"));
    m_picturePath = value(QStringLiteral("courbes"));
    if (!m_picturePath.isEmpty() && !PictureFile::kindOf(m_picturePath))
        return fail(QStringLiteral(
                        "--courbes\u00a0: «\u00a0%1\u00a0» ne finit ni par .png, ni par .svg, ni "
                        "par .pdf\u00a0; l'image s'écrit dans l'un de ces formats")
                        .arg(m_picturePath));
    return true;
}

std::optional<Choice> RapportOptions::lookUp(DE& de, const QString& option, qint32 id) {
    const ListInfo& list = listFor(option);
    Recordset rs;
    rs.open(de.Connection2(),
            QStringLiteral("SELECT [%1].[%2] AS tblField FROM [%1] WHERE "
                           "[%1].[%3] = %4;")
                .arg(QString::fromUtf8(list.table), QString::fromUtf8(list.nameColumn),
                     QString::fromUtf8(list.idColumn))
                .arg(id));
    if (rs.eof()) {
        fail(QStringLiteral("%1\u00a0: l'identifiant %2 n'est pas dans la liste %3")
                 .arg(dashed(option))
                 .arg(id)
                 .arg(QString::fromUtf8(list.listName)));
        return std::nullopt;
    }
    return Choice{rs.field(QStringLiteral("tblField")).toString(), id};
}

std::optional<ParameterSet> RapportOptions::parameterSet(DE& de) {
    ParameterSet p;
    // Each chosen item, or nothing when the database's list does not hold it.
    auto choose = [&](const QString& option, qint32 id, Choice& choice) {
        const std::optional<Choice> item = lookUp(de, option, id);
        if (item)
            choice = *item;
        return item.has_value();
    };
    auto chooseIfGiven = [&](const QString& option, const std::optional<qint32>& id,
                             Choice& choice) { return !id || choose(option, *id, choice); };

    if (!choose(QStringLiteral("periode"), m_period, p.cbbApp))
        return std::nullopt;
    p.SelectedApplicationType = static_cast<qint16>(m_period);
    for (int i = 0; i < m_herbicides.size(); ++i) {
        const Herbicide& h = m_herbicides.at(i);
        if (!choose(QStringLiteral("herbicide"), h.id, p.cbbHerbApp[i]))
            return std::nullopt;
        p.SelectedHerbicideId[i] = h.id;
        p.txtTaux[i] = p.EnteredRate[i] = h.rate;
        // No list names the formulations: the box shows the id it was given.
        if (h.formulation)
            p.cbbFormApp[i] = {QString::number(*h.formulation), *h.formulation};
    }
    p.RateInterval = m_tolerance;

    if (m_allCorn) {
        p.cbbCult = {ParameterSet::AllCornName, ParameterSet::AllCornItemData};
    } else if (m_crop == kCornCrop) {
        fail(QStringLiteral("--culture\u00a0: la culture %1 n'est pas offerte seule\u00a0; donnez "
                            "--culture tous pour Maïs (tous)")
                 .arg(kCornCrop));
        return std::nullopt;
    } else if (!choose(QStringLiteral("culture"), m_crop, p.cbbCult)) {
        return std::nullopt;
    }
    if (!chooseIfGiven(QStringLiteral("variete"), m_variety, p.cbbCultVar) ||
        !chooseIfGiven(QStringLiteral("antecedent"), m_previousCrop, p.cbbCultAnte) ||
        !chooseIfGiven(QStringLiteral("province"), m_province, p.cbbSiteProv) ||
        !chooseIfGiven(QStringLiteral("texture"), m_texture, p.cbbSiteClaTex))
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
    for (int i = 0; i < m_weeds.size(); ++i)
        if (!choose(QStringLiteral("mauvaise-herbe"), m_weeds.at(i), p.cbbMauvHerb[i]))
            return std::nullopt;
    return p;
}

QString RapportOptions::helpText() {
    QString text = QStringLiteral(
        "Utilisation\u00a0: grelavo-rapport --periode ID --herbicide ID:TAUX[:FORMULATION] "
        "--culture ID|tous [options]\n"
        "Produit le rapport d'efficacité des doses réduites d'herbicides et écrit le tableau "
        "des résultats en JSON sur la sortie standard.\n"
        "Les identifiants sont ceux des listes de la base de données\u00a0; les nombres s'écrivent "
        "avec un point décimal (1.5) et les intervalles BAS:HAUT (2.5:7).\n");
    for (const OptionGroup& group : optionGroups()) {
        text += QStringLiteral("\n%1\u00a0:\n").arg(QString::fromUtf8(group.title));
        for (const OptionInfo& option : group.options) {
            QString left = QStringLiteral("--") + QLatin1String(option.name);
            if (option.valueName)
                left += QLatin1Char(' ') + QLatin1String(option.valueName);
            else if (left == QLatin1String("--help"))
                left = QStringLiteral("-h, --help");
            constexpr int width = 28;
            if (left.size() > width)
                left += QLatin1Char('\n') + QString(width + 2, QLatin1Char(' '));
            text +=
                QStringLiteral("  %1  %2\n").arg(left, -width).arg(QString::fromUtf8(option.help));
        }
    }
    text += QStringLiteral(
        "\nStatut de sortie\u00a0: 0 rapport produit, 1 base de données "
        "introuvable ou inutilisable, 2 paramètres refusés, 3 fichier PDF, CSV ou image "
        "impossible à écrire, 4 rapport interrompu par une erreur de la base de données.\n");
    return text;
}

} // namespace grelavo
