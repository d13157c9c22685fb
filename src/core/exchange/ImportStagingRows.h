#pragma once

// What the import stages of each kind of row, and the statements that add the staged rows to
// the database (ImportStaging.cpp).

#include <algorithm>
#include <cstring>

namespace grelavo {
namespace importstaging {

// The kinds of rows staged, in the order the files give them, each with the columns the
// copy reads (a reference to a row of the files is that row's index among its kind plus one).
enum Kind { Sites, Treatments, Crops, Applications, Stages, Products, Ratings, KindCount };

struct KindTable {
    const char* name; // the table the copy reads, a virtual table over the staging file
    const char* columns;
};
const KindTable kKinds[KindCount] = {
    {"attente_sites", "cle, province, texture, mo, ph"},
    {"attente_traitements", "cle, site"},
    {"attente_cultures", "traitement, culture, variete, antecedent, kg, grains, profondeur, "
                         "ecartement"},
    {"attente_applications", "cle, traitement, periode"},
    {"attente_stades", "application, culture, hauteur, feuilles"},
    {"attente_produits", "application, herbicide, formulation, dose"},
    {"attente_evaluations", "traitement, mh, visuel"},
};
constexpr int kMostColumns = 8;

// How one kind of staged row is added to the database: ?1 and ?2 are the numbers the rows of
// the database it refers to start after (the largest row number of their table when the copy
// starts), or the import's number.
enum Base { SiteBase, TreatmentBase, ApplicationBase, ImportNumber, NoBase };
struct Copy {
    Kind kind;
    const char* sql;
    Base bases[2];
    bool rows; // rows of the files (counted in the progress), not their keys
};

const Copy kCopies[] = {
    {Sites,
     R"(INSERT INTO "main"."tbldesSites" ("SiteExpId", "ProvinceID", "ClasseTexturaleId",
        "MatièreOrganique", "pH") SELECT ?1 + rowid, province, texture, mo, ph
        FROM attente_sites)",
     {SiteBase, NoBase},
     true},
    {Sites,
     R"(INSERT INTO "main"."tblClésImportées" ("ImportationId", "Genre", "Clé", "Id")
        SELECT ?1, 'site', cle, ?2 + rowid FROM attente_sites)",
     {ImportNumber, SiteBase},
     false},
    {Treatments,
     R"(INSERT INTO "main"."tbldesTraitements" ("TraitementId", "SiteExpId")
        SELECT ?1 + rowid, ?2 + site FROM attente_traitements)",
     {TreatmentBase, SiteBase},
     true},
    {Treatments,
     R"(INSERT INTO "main"."tblClésImportées" ("ImportationId", "Genre", "Clé", "Id")
        SELECT ?1, 'traitement', cle, ?2 + rowid FROM attente_traitements)",
     {ImportNumber, TreatmentBase},
     false},
    {Crops,
     R"(INSERT INTO "main"."tblCultureEXP" ("TraitementId", "CultureId", "VariétéId",
        "AntécédentID", "TauxSemisKg", "TauxSemisSe", "ProfPlantEXP", "EcartPLantEXP")
        SELECT ?1 + traitement, culture, variete, antecedent, kg, grains, profondeur,
        ecartement FROM attente_cultures)",
     {TreatmentBase, NoBase},
     true},
    {Applications,
     R"(INSERT INTO "main"."tblPériodesApplication" ("DateHerbId", "TraitementId",
        "TypeApplicationId") SELECT ?1 + rowid, ?2 + traitement, periode
        FROM attente_applications)",
     {ApplicationBase, TreatmentBase},
     true},
    {Applications,
     R"(INSERT INTO "main"."tblClésImportées" ("ImportationId", "Genre", "Clé", "Id")
        SELECT ?1, 'application', cle, ?2 + rowid FROM attente_applications)",
     {ImportNumber, ApplicationBase},
     false},
    {Stages,
     R"(INSERT INTO "main"."tblStadeCultureH" ("DateHerbId", "CultureId", "HautMoyenneCultH",
        "NoFeuilMoyenneCultH") SELECT ?1 + application, culture, hauteur, feuilles
        FROM attente_stades)",
     {ApplicationBase, NoBase},
     true},
    {Products,
     R"(INSERT INTO "main"."tblDétailsHerbicides" ("DateHerbId", "HerbicideId",
        "FormulationId", "HerbTauxH") SELECT ?1 + application, herbicide, formulation, dose
        FROM attente_produits)",
     {ApplicationBase, NoBase},
     true},
    {Ratings,
     R"(INSERT INTO "main"."tblMHEval" ("TraitementId", "MHId", "Visuel")
        SELECT ?1 + traitement, mh, visuel FROM attente_evaluations)",
     {TreatmentBase, NoBase},
     true},
};

// The tables whose row numbers the files' keys become, in the order of Base.
const char* const kNumberedTables[] = {"tbldesSites", "tbldesTraitements",
                                       "tblPériodesApplication"};

inline int columnCount(Kind kind) {
    return int(std::count(kKinds[kind].columns,
                          kKinds[kind].columns + std::strlen(kKinds[kind].columns), ',')) +
           1;
}

} // namespace importstaging
} // namespace grelavo
