#pragma once

#include <QString>
#include <QVector>
#include <optional>

namespace grelavo {

class Connection;

// A lookup list of the database: where its items lie, and how messages call one item and the
// list ("la liste des provinces"). The one description of the lists, for the report's command
// line and the exchange files alike.
struct ListDescription {
    const char* table;
    const char* idColumn;
    const char* nameColumn;
    const char* one;  // "province"
    const char* many; // "provinces"

    QString tableName() const { return QString::fromUtf8(table); }
    QString idName() const { return QString::fromUtf8(idColumn); }
    QString nameName() const { return QString::fromUtf8(nameColumn); }
};

namespace lists {
inline constexpr ListDescription periods{"ListeDesPériodesApplication", "TypeApplicationId",
                                         "TypeApplication", "période", "périodes"};
inline constexpr ListDescription herbicides{"ListeDesHerbicides", "HerbicideId", "Herbicide",
                                            "herbicide", "herbicides"};
inline constexpr ListDescription crops{"ListeDesCultures", "CultureId", "Nom Français", "culture",
                                       "cultures"};
inline constexpr ListDescription varieties{"ListeDesVariétés", "VariétéId", "Variété", "variété",
                                           "variétés"};
inline constexpr ListDescription previousCrops{"ListeDesAntécédents", "AntécédentID",
                                               "Nom Français", "antécédent", "antécédents"};
inline constexpr ListDescription provinces{"ListeDesProvinces", "ProvinceID", "Province",
                                           "province", "provinces"};
inline constexpr ListDescription textures{"ListedesClastext", "ClasseTexturaleId",
                                          "ClasseTexturale", "classe texturale",
                                          "classes texturales"};
inline constexpr ListDescription weeds{"ListedesMauvaisesHerbes", "MHId", "Nom-Francais",
                                       "mauvaise herbe", "mauvaises herbes"};

// The crop that stands for every kind of corn: the report offers it by no name of its own, but
// as "Maïs (tous)" (allCornName() below), which groups it with grain, silage and sweet corn.
inline constexpr qint64 kAllCornCrop = 147;
// The choice "Maïs (tous)" of the form and the report, and the item data it carries in the form.
inline QString allCornName() {
    return QStringLiteral("Maïs (tous)");
}
inline constexpr int kAllCornItemData = 999;

// The tables that hold the experiments, from the ratings to the sites: a row refers only to rows
// of the tables after its own.
inline constexpr const char* kExperimentTables[] = {
    "tblMHEval",     "tblDétailsHerbicides", "tblStadeCultureH", "tblPériodesApplication",
    "tblCultureEXP", "tbldesTraitements",    "tbldesSites"};

// The most products one application holds: a mixture of one to four herbicides.
inline constexpr int kMixtureProducts = 4;
} // namespace lists

// The first experiment table the database lacks; empty when it has them all.
QString missingExperimentTable(Connection& db);

struct ListItem {
    qint64 id = 0;
    QString name;

    bool operator==(const ListItem& other) const { return id == other.id && name == other.name; }
};

// Every item of the list, in id order. Throws DbError.
QVector<ListItem> items(Connection& db, const ListDescription& list);

// The crops a report is asked for, as the parameter form offers them: "Maïs (tous)" under
// lists::kAllCornItemData first, then every crop but kAllCornCrop, in id order.
QVector<ListItem> reportCrops(Connection& db);

// An item looked up by number or by name: its id and name, or why none is taken.
struct ListChoice {
    std::optional<qint64> id;
    QString name;
    // In French, on one line, naming the close names: "« atrazin » n'est pas dans la liste des
    // herbicides ; noms proches : « atrazine »".
    QString refusal;
};

// Finds 'text' among 'candidates' of 'list': a whole number is an id, anything else a name
// compared without regard to case, accents or the style of apostrophes and hyphens (the exact
// writing wins when the looser comparison finds several). A blank text, an id that is not there, a
// name that is not there or that stands for several items, is refused.
ListChoice lookUp(const QVector<ListItem>& candidates, const ListDescription& list,
                  const QString& text);
// The same among every item of the list. Throws DbError.
ListChoice lookUp(Connection& db, const ListDescription& list, const QString& text);

} // namespace grelavo
