-- A small hand-made set of experiments whose report figures can be worked out by hand.

INSERT INTO "ListeDesPériodesApplication" VALUES (1, 'Prélevée'), (2, 'Postlevée');

-- Names chosen so that French order differs from byte order (capital, accented initial).
INSERT INTO "ListeDesHerbicides" VALUES
    (10, 'atrazine'), (11, 'dicamba'), (12, 'nicosulfuron'), (13, 'Bromoxynil'),
    (14, 'éthalfluraline');

INSERT INTO "ListeDesCultures" VALUES
    (147, 'Maïs'), (149, 'Maïs grain'), (240, 'Maïs fourrager'), (242, 'Maïs sucré'),
    (300, 'Soya'), (301, 'Épinard');

INSERT INTO "ListeDesVariétés" VALUES (1, 'Hybride A', 149), (2, 'Hybride B', 149), (3, 'Sucré C', 242);
INSERT INTO "ListeDesAntécédents" VALUES (1, 'soya'), (2, 'blé'), (3, 'Avoine');
INSERT INTO "ListeDesProvinces" VALUES (1, 'Québec'), (2, 'Ontario');
INSERT INTO "ListedesClastext" VALUES (1, 'loam'), (2, 'argile');
INSERT INTO "ListeDesTypesMH" VALUES
    (1, 'Graminées annuelles'), (2, 'Dicotylédones annuelles'), (5, 'Prêles');

INSERT INTO "ListedesMauvaisesHerbes" VALUES
    (16, 'pied-de-coq', 'Echinochloa crus-galli', 'barnyardgrass', 1),
    (34, 'sétaire verte', 'Setaria viridis', 'green foxtail', 1),
    (15, 'chénopode blanc', 'Chenopodium album', 'lamb''s-quarters', 2),
    (200, 'souchet comestible', 'Cyperus esculentus', 'yellow nutsedge', 2),
    (201, 'prêle des champs', 'Equisetum arvense', 'field horsetail', 5);

INSERT INTO "tbldesSites" VALUES (1, 1, 1, 3.5, 6.5), (2, 2, 2, 8.0, 7.2);

INSERT INTO "tbldesTraitements" VALUES (1, 1), (2, 1), (3, 2), (4, 2), (5, 1), (6, 2), (7, 1);

-- Treatment 6 has two applications of the same product: both match the same mixture.
INSERT INTO "tblPériodesApplication" VALUES
    (1, 1, 1), (2, 2, 1), (3, 3, 1), (4, 4, 2), (5, 5, 1), (6, 6, 1), (7, 6, 1), (8, 7, 1);

INSERT INTO "tblDétailsHerbicides" VALUES
    (1, 10, 1, 1.0),
    (2, 10, 1, 0.5), (2, 11, 2, 0.3),
    (3, 10, 2, 0.5),
    (4, 10, 1, 1.0),
    (5, 10, 1, 0.5), (5, 11, 1, 0.3), (5, 12, 1, 0.02),
    (6, 10, 1, 0.5),
    (7, 10, 1, 0.5),
    (8, 10, 1, 1.0);

INSERT INTO "tblCultureEXP" VALUES
    (1, 1, 149, 1, 1, 20, 75000, 5, 76),
    (2, 2, 149, 2, 2, 22, 80000, 4, 76),
    (3, 3, 240, NULL, 1, 18, 70000, 6, 91),
    (4, 4, 149, 1, 3, 20, 75000, 5, 76),
    (5, 5, 242, 3, 2, 15, 60000, 3, 65),
    (6, 6, 149, 1, 1, 21, 78000, 5, 76),
    (7, 7, 300, NULL, 2, 90, 400000, 3, 38);

INSERT INTO "tblStadeCultureH" VALUES
    (1, 1, 149, 10, 3), (2, 2, 149, 25, 5), (3, 3, 240, 12, 3), (4, 4, 149, 40, 7),
    (5, 5, 242, 20, 4), (6, 6, 149, 8, 2), (7, 7, 149, 30, 6), (8, 8, 300, 10, 2);

INSERT INTO "tblMHEval" ("TraitementId", "MHId", "Visuel") VALUES
    (1, 16, 90), (1, 34, 85), (1, 15, 80),
    (2, 16, 70), (2, 15, 95),
    (3, 16, 60), (3, 34, NULL), (3, 200, 50),
    (4, 16, 75),
    (5, 16, 100),
    (6, 16, 55), (6, 15, 65),
    (7, 16, 40);

-- Results rows 1 to 30 (a few of them labelled) and three free rows.
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 33)
INSERT INTO "tblResults" SELECT i, NULL, NULL, ' - ', ' - ', ' - ', ' - ', ' - ', ' - ', ' - ',
    ' - ', ' - ', ' - ' FROM n;
UPDATE "tblResults" SET "Results" = 'Graminées annuelles', "ResultsId" = 1 WHERE "NoId" = 1;
UPDATE "tblResults" SET "Results" = '     pied-de-coq', "ResultsId" = 16 WHERE "NoId" = 2;
UPDATE "tblResults" SET "Results" = '     sétaire verte', "ResultsId" = 34 WHERE "NoId" = 3;
UPDATE "tblResults" SET "Results" = 'Dicotylédones annuelles', "ResultsId" = 2 WHERE "NoId" = 8;
UPDATE "tblResults" SET "Results" = '     chénopode blanc', "ResultsId" = 15 WHERE "NoId" = 9;
UPDATE "tblResults" SET "Results" = 'Sélection de l''utilisateur' WHERE "NoId" = 30;
UPDATE "tblResults" SET "Results" = '     --------' WHERE "NoId" > 30;
UPDATE "tblResults" SET "1" = 'kept', "10" = 'kept' WHERE "NoId" IN (7, 13, 22, 25, 29, 30);
