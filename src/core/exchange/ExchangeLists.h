#pragma once

#include <QString>

namespace grelavo {

// A lookup list the exchange files name their entries from: where it lies, and how messages
// call one entry and the list.
struct ExchangeList {
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
inline constexpr ExchangeList provinces{"ListeDesProvinces", "ProvinceID", "Province", "province",
                                        "provinces"};
inline constexpr ExchangeList textures{"ListedesClastext", "ClasseTexturaleId", "ClasseTexturale",
                                       "classe texturale", "classes texturales"};
inline constexpr ExchangeList crops{"ListeDesCultures", "CultureId", "Nom Français", "culture",
                                    "cultures"};
inline constexpr ExchangeList varieties{"ListeDesVariétés", "VariétéId", "Variété", "variété",
                                        "variétés"};
inline constexpr ExchangeList previousCrops{"ListeDesAntécédents", "AntécédentID", "Nom Français",
                                            "antécédent", "antécédents"};
inline constexpr ExchangeList periods{"ListeDesPériodesApplication", "TypeApplicationId",
                                      "TypeApplication", "période", "périodes"};
inline constexpr ExchangeList herbicides{"ListeDesHerbicides", "HerbicideId", "Herbicide",
                                         "herbicide", "herbicides"};
inline constexpr ExchangeList weeds{"ListedesMauvaisesHerbes", "MHId", "Nom-Francais",
                                    "mauvaise herbe", "mauvaises herbes"};
} // namespace lists

} // namespace grelavo
