-- Grelavo.mdb: tables, indexes and the seven stored queries.
--
-- Texts shown in the choice lists are declared COLLATE NOCASE. Any SQLite tool reads the file
-- with SQLite's own NOCASE; Grelavo's engine layer replaces NOCASE on its connection by a French
-- collation, so that ORDER BY and GROUP BY on these texts sort and group as French readers
-- expect ("sétaire" before "souchet"). No index is built on such a column: an index keeps the
-- order of the collation that wrote it, and the two connections would not agree.

-- Lookup lists -----------------------------------------------------------------------------------

CREATE TABLE "ListeDesPériodesApplication" (
    "TypeApplicationId" INTEGER PRIMARY KEY,
    "TypeApplication"   TEXT COLLATE NOCASE NOT NULL
);

CREATE TABLE "ListeDesHerbicides" (
    "HerbicideId" INTEGER PRIMARY KEY,
    "Herbicide"   TEXT COLLATE NOCASE NOT NULL
);

CREATE TABLE "ListeDesCultures" (
    "CultureId"    INTEGER PRIMARY KEY,
    "Nom Français" TEXT COLLATE NOCASE NOT NULL
);

CREATE TABLE "ListeDesVariétés" (
    "VariétéId" INTEGER PRIMARY KEY,
    "Variété"   TEXT COLLATE NOCASE NOT NULL,
    "CultureId" INTEGER REFERENCES "ListeDesCultures"("CultureId")
);

CREATE TABLE "ListeDesAntécédents" (
    "AntécédentID" INTEGER PRIMARY KEY,
    "Nom Français" TEXT COLLATE NOCASE NOT NULL
);

CREATE TABLE "ListeDesProvinces" (
    "ProvinceID" INTEGER PRIMARY KEY,
    "Province"   TEXT COLLATE NOCASE NOT NULL
);

CREATE TABLE "ListedesClastext" (
    "ClasseTexturaleId" INTEGER PRIMARY KEY,
    "ClasseTexturale"   TEXT COLLATE NOCASE NOT NULL
);

-- Weed categories (TypeMHId); the report shows categories 1, 2, 3, 4 and 7.
CREATE TABLE "ListeDesTypesMH" (
    "TypeMHId" INTEGER PRIMARY KEY,
    "TypeMH"   TEXT COLLATE NOCASE NOT NULL
);

CREATE TABLE "ListedesMauvaisesHerbes" (
    "MHId"        INTEGER PRIMARY KEY,
    "Nom-Francais" TEXT COLLATE NOCASE NOT NULL,
    "Nom-Latin"   TEXT COLLATE NOCASE,
    "Nom-Anglais" TEXT COLLATE NOCASE,
    "TypeMHId"    INTEGER REFERENCES "ListeDesTypesMH"("TypeMHId")
);

-- Experiments (read only for the programs) --------------------------------------------------------

CREATE TABLE "tbldesSites" (
    "SiteExpId"         INTEGER PRIMARY KEY,
    "ProvinceID"        INTEGER REFERENCES "ListeDesProvinces"("ProvinceID"),
    "ClasseTexturaleId" INTEGER REFERENCES "ListedesClastext"("ClasseTexturaleId"),
    "MatièreOrganique"  REAL,
    "pH"                REAL
);

CREATE TABLE "tbldesTraitements" (
    "TraitementId" INTEGER PRIMARY KEY,
    "SiteExpId"    INTEGER REFERENCES "tbldesSites"("SiteExpId")
);
CREATE INDEX "idxTraitementsSite" ON "tbldesTraitements"("SiteExpId");

-- One row per application of a mixture within a treatment.
CREATE TABLE "tblPériodesApplication" (
    "DateHerbId"        INTEGER PRIMARY KEY,
    "TraitementId"      INTEGER NOT NULL REFERENCES "tbldesTraitements"("TraitementId"),
    "TypeApplicationId" INTEGER REFERENCES "ListeDesPériodesApplication"("TypeApplicationId")
);
CREATE INDEX "idxPériodesTraitement" ON "tblPériodesApplication"("TraitementId");
CREATE INDEX "idxPériodesType" ON "tblPériodesApplication"("TypeApplicationId");

-- One row per product of the mixture of an application.
CREATE TABLE "tblDétailsHerbicides" (
    "DateHerbId"    INTEGER NOT NULL REFERENCES "tblPériodesApplication"("DateHerbId"),
    "HerbicideId"   INTEGER NOT NULL REFERENCES "ListeDesHerbicides"("HerbicideId"),
    "FormulationId" INTEGER,
    "HerbTauxH"     REAL,
    PRIMARY KEY ("DateHerbId", "HerbicideId")
);
-- Covers the rate windows of a report: no table lookup for the mixture's applications.
CREATE INDEX "idxDétailsHerbicideTaux"
    ON "tblDétailsHerbicides"("HerbicideId", "HerbTauxH", "DateHerbId", "FormulationId");

CREATE TABLE "tblCultureEXP" (
    "CultureEXPId"  INTEGER PRIMARY KEY,
    "TraitementId"  INTEGER NOT NULL REFERENCES "tbldesTraitements"("TraitementId"),
    "CultureId"     INTEGER REFERENCES "ListeDesCultures"("CultureId"),
    "VariétéId"     INTEGER REFERENCES "ListeDesVariétés"("VariétéId"),
    "AntécédentID"  INTEGER REFERENCES "ListeDesAntécédents"("AntécédentID"),
    "TauxSemisKg"   REAL,
    "TauxSemisSe"   REAL,
    "ProfPlantEXP"  REAL,
    "EcartPLantEXP" REAL
);
CREATE INDEX "idxCultureTraitement" ON "tblCultureEXP"("TraitementId");
CREATE INDEX "idxCultureVariété" ON "tblCultureEXP"("VariétéId");

CREATE TABLE "tblStadeCultureH" (
    "StadeCultureId"      INTEGER PRIMARY KEY,
    "DateHerbId"          INTEGER NOT NULL REFERENCES "tblPériodesApplication"("DateHerbId"),
    "CultureId"           INTEGER REFERENCES "ListeDesCultures"("CultureId"),
    "HautMoyenneCultH"    REAL,
    "NoFeuilMoyenneCultH" REAL
);
CREATE INDEX "idxStadeApplication" ON "tblStadeCultureH"("DateHerbId");

CREATE TABLE "tblMHEval" (
    "MHEvalId"     INTEGER PRIMARY KEY,
    "TraitementId" INTEGER NOT NULL REFERENCES "tbldesTraitements"("TraitementId"),
    "MHId"         INTEGER NOT NULL REFERENCES "ListedesMauvaisesHerbes"("MHId"),
    "Visuel"       INTEGER
);
-- Covers the ratings of a treatment, as a report reads them (weed and rating beside the
-- treatment): no table lookup per rating.
CREATE INDEX "idxMHEvalTraitementNote" ON "tblMHEval"("TraitementId", "MHId", "Visuel");
CREATE INDEX "idxMHEvalMH" ON "tblMHEval"("MHId");

-- The results table of the report ------------------------------------------------------------------

CREATE TABLE "tblResults" (
    "NoId"      INTEGER PRIMARY KEY,
    "Results"   TEXT,
    "ResultsId" INTEGER,
    "1" TEXT, "2" TEXT, "3" TEXT, "4" TEXT, "5" TEXT,
    "6" TEXT, "7" TEXT, "8" TEXT, "9" TEXT, "10" TEXT
);

-- The edition of the file: what its experiments are and where they come from. One row; a file
-- without it (or without its row) has an unknown edition.

CREATE TABLE "tblÉdition" (
    "Nom"         TEXT NOT NULL,
    "DateÉdition" TEXT NOT NULL, -- ISO 8601 date, YYYY-MM-DD
    "Source"      TEXT NOT NULL,
    "Synthétique" INTEGER NOT NULL CHECK ("Synthétique" IN (0, 1))
);

-- Every import of experiments into the file: when, from which files, how many rows of each kind it
-- added and which names it added to the lists.

CREATE TABLE "tblImportations" (
    "ImportationId"     INTEGER PRIMARY KEY,
    "DateImportation"   TEXT NOT NULL, -- ISO 8601 date and time, YYYY-MM-DDTHH:MM:SS
    "Fichiers"          TEXT NOT NULL, -- the files' names, one a line
    "Sites"             INTEGER NOT NULL,
    "Traitements"       INTEGER NOT NULL,
    "Cultures"          INTEGER NOT NULL,
    "Applications"      INTEGER NOT NULL,
    "Stades"            INTEGER NOT NULL,
    "Produits"          INTEGER NOT NULL,
    "Évaluations"       INTEGER NOT NULL,
    "NomsAjoutés"       TEXT NOT NULL DEFAULT '' -- "list : name", one a line
);

-- The keys the files gave the sites, treatments and applications an import added, and the rows
-- they became: a key already here is refused by the next import (nothing is added twice), and
-- the trials a user imported are found again when they move to a newer edition.
CREATE TABLE "tblClésImportées" (
    "ImportationId" INTEGER NOT NULL REFERENCES "tblImportations"("ImportationId"),
    "Genre"         TEXT NOT NULL CHECK ("Genre" IN ('site', 'traitement', 'application')),
    "Clé"           TEXT NOT NULL,
    "Id"            INTEGER NOT NULL,
    PRIMARY KEY ("Genre", "Clé")
);

-- Stored queries. Each report rewrites them; these first statements select nothing. -------------

CREATE VIEW "Herbicide1" AS SELECT * FROM tblDétailsHerbicides WHERE (((tblDétailsHerbicides.HerbicideId)=0));
CREATE VIEW "Herbicide2" AS SELECT * FROM tblDétailsHerbicides WHERE (((tblDétailsHerbicides.HerbicideId)=0));
CREATE VIEW "Herbicide3" AS SELECT * FROM tblDétailsHerbicides WHERE (((tblDétailsHerbicides.HerbicideId)=0));
CREATE VIEW "Herbicide4" AS SELECT * FROM tblDétailsHerbicides WHERE (((tblDétailsHerbicides.HerbicideId)=0));

CREATE VIEW "DétailsHerbicides" AS SELECT First(tblDétailsHerbicides.DateHerbId) AS DateHerbId FROM Herbicide1 INNER JOIN tblDétailsHerbicides ON Herbicide1.DateHerbId = tblDétailsHerbicides.DateHerbId GROUP BY tblDétailsHerbicides.DateHerbId HAVING (((Count(tblDétailsHerbicides.DateHerbId))=1));

CREATE VIEW "DétailsApplication" AS SELECT tblPériodesApplication.DateHerbId, tblPériodesApplication.TraitementId, tblPériodesApplication.TypeApplicationId FROM tblPériodesApplication INNER JOIN DétailsHerbicides ON tblPériodesApplication.DateHerbId = DétailsHerbicides.DateHerbId WHERE (((tblPériodesApplication.TypeApplicationId)=0));

CREATE VIEW "DétailsTraitements" AS SELECT  DétailsApplication.DateHerbId, tbldesTraitements.TraitementId FROM (tbldesSites INNER JOIN (tblStadeCultureH INNER JOIN (tbldesTraitements INNER JOIN DétailsApplication ON tbldesTraitements.TraitementId = DétailsApplication.TraitementId) ON tblStadeCultureH.DateHerbId = DétailsApplication.DateHerbId) ON tbldesSites.SiteExpId = tbldesTraitements.SiteExpId) INNER JOIN tblCultureEXP ON tbldesTraitements.TraitementId = tblCultureEXP.TraitementId WHERE (((tblCultureEXP.CultureId)=147 Or (tblCultureEXP.CultureId)=149 Or (tblCultureEXP.CultureId)=240 Or (tblCultureEXP.CultureId)=242));
