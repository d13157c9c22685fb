// Experiments read back from exchange files: the round trip through a new database, the forms
// spreadsheets save, every refusal said where it lies with the database left as it was, names
// added only when asked, the copy kept before writing, and a database held by another program.

#include "FixtureDatabase.h"
#include "FixtureReports.h"
#include "ImportSet.h"
#include "core/db/DE.h"
#include "core/db/DatabaseEdition.h"
#include "core/db/DatabaseStamp.h"
#include "core/db/Statement.h"
#include "core/exchange/ExperimentExport.h"
#include "core/exchange/ExperimentImport.h"
#include "core/report/ReportEngine.h"
#include "core/report/ResultsTable.h"
#include "core/text/CsvReader.h"

#include <QProcess>
#include <QtTest>

using namespace grelavo;

namespace {

QString pathIn(const QTemporaryDir& dir, const QString& name) {
    return dir.filePath(name);
}

// Writes the export of 'database' into 'folder'; gives the files' bytes by name.
QHash<QString, QByteArray> exportTo(const QString& database, const QString& folder = QString()) {
    Connection db(database, DatabaseFile::password());
    QHash<QString, QByteArray> files;
    for (const ExperimentExport::Output& f : ExperimentExport::read(db)) {
        files.insert(f.name, f.bytes);
        if (!folder.isEmpty()) {
            QDir().mkpath(folder);
            QFile out(QDir(folder).filePath(f.name));
            if (!out.open(QIODevice::WriteOnly) || out.write(f.bytes) != f.bytes.size())
                qFatal("cannot write %s", qPrintable(out.fileName()));
        }
    }
    return files;
}

// Parameter sets for reports drawn from the database itself: for each of up to 'count'
// applications of one or two products, its period, its products at their rates, all corn.
QVector<ParameterSet> reportsOn(const QString& database, int count) {
    Connection db(database, DatabaseFile::password());
    Statement rows(db, QStringLiteral(R"(SELECT a."DateHerbId", a."TypeApplicationId",
        group_concat(d."HerbicideId" || ':' || d."HerbTauxH", ' ') FROM "tblPériodesApplication" a
        JOIN "tblDétailsHerbicides" d USING ("DateHerbId") GROUP BY a."DateHerbId"
        HAVING count(*) <= 2 ORDER BY a."DateHerbId")"));
    QVector<QVector<QVariant>> applications;
    while (rows.step())
        applications.append({rows.value(1), rows.value(2)});
    QVector<ParameterSet> sets;
    const int step = std::max(1, int(applications.size()) / count); // spread over the file
    for (int a = 0; a < applications.size() && sets.size() < count; a += step) {
        const QVector<QVariant>& row = applications[a];
        ParameterSet p;
        p.cbbApp = {QStringLiteral("période"), row[0].toInt()};
        p.SelectedApplicationType = qint16(row[0].toInt());
        const QStringList products = row[1].toString().split(QLatin1Char(' '));
        for (int i = 0; i < products.size(); ++i) {
            const QStringList idRate = products[i].split(QLatin1Char(':'));
            p.cbbHerbApp[i] = {QStringLiteral("herbicide"), idRate[0].toInt()};
            p.SelectedHerbicideId[i] = qint16(idRate[0].toInt());
            p.txtTaux[i] = p.EnteredRate[i] = idRate[1];
        }
        p.cbbCult = {ParameterSet::AllCornName, ParameterSet::AllCornItemData};
        p.RateInterval = 10;
        sets << p;
    }
    return sets;
}

// Each report as its results table and total of cases, in text.
QStringList reportLines(const QString& folder, const QVector<ParameterSet>& sets) {
    DE de(folder);
    ReportEngine engine(de, QLocale::c());
    QStringList out;
    for (const ParameterSet& p : sets) {
        if (!engine.SetQuery(p))
            return {QStringLiteral("report failed: ") + engine.failure() + engine.refusal()};
        for (const ResultsRow& row : ResultsTable::read(de.Connection2())) {
            QStringList cells{row.Results.value_or(QString())};
            for (const auto& c : row.cells)
                cells << c.value_or(QStringLiteral("NULL"));
            out << cells.join(QLatin1Char('|'));
        }
        out << QStringLiteral("cases %1").arg(engine.TotalCases());
    }
    return out;
}

} // namespace

class TestExperimentImport : public QObject {
    Q_OBJECT

private slots:
    // Exporting a database, importing the files into a new one and exporting that gives the
    // same files; every report on the two gives the same table and total of cases.
    void roundTripGivesTheSameExperimentsAndReports_data() {
        QTest::addColumn<QString>("source");
        QTest::newRow("fixture") << QString();
        QTest::newRow("shipped") << QStringLiteral(GRELAVO_SHIPPED_DATABASE);
        QTest::newRow("generated") << QStringLiteral(GRELAVO_MAKEDB);
    }
    void roundTripGivesTheSameExperimentsAndReports() {
        QFETCH(QString, source);
        QTemporaryDir from, to, files;
        const QString original = pathIn(from, DatabaseFile::fileName());
        const FixtureDatabase fixture;
        if (source.isEmpty())
            QVERIFY(QFile::copy(fixture.path(), original));
        else if (source.endsWith(QLatin1String(".mdb")))
            QVERIFY(QFile::copy(source, original));
        else
            QCOMPARE(QProcess::execute(source, {QStringLiteral("--output"), original,
                                                QStringLiteral("--scale"), QStringLiteral("0.2")}),
                     0);
        const auto exported = exportTo(original, files.path());
        const QString copy = pathIn(to, DatabaseFile::fileName());
        ImportOptions options;
        options.newDatabase = true;
        options.model = original;
        const ImportOutcome o = ExperimentImport::run(copy, {files.path()}, options);
        QCOMPARE(problemTexts(o), QStringList());
        QCOMPARE(int(o.status), int(ImportOutcome::Status::Done));
        QCOMPARE(exportTo(copy), exported);

        const QVector<ParameterSet> sets = reportsOn(original, 12);
        QVERIFY(sets.size() >= 3);
        const QStringList before = reportLines(from.path(), sets);
        QVERIFY(!before.first().startsWith(QLatin1String("report failed")));
        QCOMPARE(reportLines(to.path(), sets), before);

        // The new database says what it is: imported trials, not synthetic, one import.
        Connection db(copy, DatabaseFile::password());
        const DatabaseEdition edition = DatabaseEdition::read(db);
        QCOMPARE(edition.name, QStringLiteral("Essais importés"));
        QVERIFY(!edition.synthetic);
        const QVector<ImportRecord> log = ImportLog::read(db);
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.first().added, o.counts);
        QCOMPARE(log.first().files.size(), 7);
    }

    // What a French spreadsheet saves (semicolons, decimal commas, Windows-1252, no byte order
    // mark, quoted fields, CR line ends, blank trailing lines) gives the same database.
    void frenchSpreadsheetGivesTheSameDatabase() {
        const FixtureDatabase fixture;
        QTemporaryDir plainDir, frenchDir, plainDb, frenchDb;
        const auto exported = exportTo(fixture.path(), plainDir.path());
        for (auto it = exported.begin(); it != exported.end(); ++it) {
            CsvReader::Table table;
            int line = 0;
            QVERIFY(CsvReader::read(it.value(), &table, &line).isEmpty());
            QString text = table.headings.join(QLatin1Char(';')) + QLatin1Char('\r');
            for (const CsvRecord& r : table.rows) {
                QStringList fields;
                for (QString f : r.fields) {
                    bool number = false;
                    f.toDouble(&number);
                    fields << (number ? f.replace(QLatin1Char('.'), QLatin1Char(','))
                                      : QStringLiteral("\"%1\"").arg(f));
                }
                text += fields.join(QLatin1Char(';')) + QLatin1Char('\r');
            }
            text += QStringLiteral(";;\r\r");
            QByteArray latin = text.toLatin1();
            QVERIFY(QString::fromLatin1(latin) == text); // the fixture's names are all Latin-1
            writeFile(QDir(frenchDir.path()).filePath(it.key()), latin);
        }
        ImportOptions options;
        options.newDatabase = true;
        options.model = fixture.path();
        const QString plain = pathIn(plainDb, DatabaseFile::fileName());
        const QString french = pathIn(frenchDb, DatabaseFile::fileName());
        QCOMPARE(int(ExperimentImport::run(plain, {plainDir.path()}, options).status),
                 int(ImportOutcome::Status::Done));
        const ImportOutcome o = ExperimentImport::run(french, {frenchDir.path()}, options);
        QCOMPARE(problemTexts(o), QStringList());
        QCOMPARE(exportTo(french), exportTo(plain));
        QCOMPARE(exportTo(french), exported);
    }

    void readerTakesWhatSpreadsheetsWrite_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("rows"); // "line:field|field"
        QTest::newRow("quoted separator, quote, line break")
            << QByteArray("a,b\r\n\"x,1\",\"dit \"\"y\"\"\"\r\n\"deux\nlignes\",z\r\n3,4\r\n")
            << QStringList{"2:x,1|dit \"y\"", "3:deux\nlignes|z", "5:3|4"};
        QTest::newRow("Windows-1252")
            << QByteArray("a\n\xe9t\xe9 \x9c\x80\n") << QStringList{QStringLiteral("2:été œ€")};
        QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBF"
                                                       "a\n\xc3\xa9\n")
                                         << QStringList{QStringLiteral("2:é")};
    }
    void readerTakesWhatSpreadsheetsWrite() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, rows);
        CsvReader::Table table;
        int line = 0;
        QCOMPARE(CsvReader::read(bytes, &table, &line), QString());
        QCOMPARE(table.headings.first(), QStringLiteral("a"));
        QStringList got;
        for (const CsvRecord& r : table.rows)
            got << QStringLiteral("%1:%2").arg(r.line).arg(r.fields.join(QLatin1Char('|')));
        QCOMPARE(got, rows);
    }

    // Every kind of bad input is refused, said with its file, line and column, and the
    // database is left byte for byte as it was, with no copy made.
    void badInputIsRefusedWhereItLies_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("problem");
        const QByteArray ratingHead("traitement,mauvaise_herbe,visuel_pct\n");
        const QByteArray productHead("application,herbicide,formulation,dose_kg_ma_ha\n");
        const QByteArray siteHead("site,province,classe_texturale,matiere_organique_pct,ph\n");
        QTest::newRow("rating over 100")
            << "evaluations.csv" << ratingHead + "E1,sétaire verte,88\nE1,pied-de-coq,101\n"
            << "evaluations.csv, ligne 3, colonne visuel_pct\u00a0: «\u00a0101\u00a0» n'est pas "
               "une "
               "destruction en % entière, de 0 à 100";
        QTest::newRow("pH over 14")
            << "sites.csv" << siteHead + "P1,Québec,loam,3,\"14,5\"\n"
            << "sites.csv, ligne 2, colonne ph\u00a0: «\u00a014,5\u00a0» n'est pas un "
               "pH de 0 à 14";
        QTest::newRow("decimal comma unquoted")
            << "sites.csv" << siteHead + "P1,Québec,loam,3,6,5\n"
            << "sites.csv, ligne 2\u00a0: 6 champs pour 5 colonnes\u00a0: une virgule de trop "
               "(décimale "
               "sans guillemets\u00a0?)";
        QTest::newRow("rate not positive")
            << "produits.csv" << productHead + "AP1,atrazine,1,0\nAP2,atrazine,1,1\n"
            << "produits.csv, ligne 2, colonne dose_kg_ma_ha\u00a0: «\u00a00\u00a0» n'est pas une "
               "dose "
               "positive (kg i.a./ha)";
        QTest::newRow("rate not a number")
            << "produits.csv" << productHead + "AP1,atrazine,1,0.5 kg\nAP2,atrazine,1,1\n"
            << "produits.csv, ligne 2, colonne dose_kg_ma_ha\u00a0: «\u00a00.5 kg\u00a0» n'est pas "
               "une dose "
               "positive (kg i.a./ha)";
        QTest::newRow("negative depth")
            << "cultures.csv"
            << QByteArray("traitement,culture,variete,antecedent,semis_kg_ha,semis_grains_ha,"
                          "profondeur_cm,ecartement_cm\nE1,Maïs grain,,,,,-2,76\nE2,,,,,,,\n")
            << "cultures.csv, ligne 2, colonne profondeur_cm\u00a0: «\u00a0-2\u00a0» n'est pas un "
               "nombre "
               "positif ou nul";
        QTest::newRow("name not in list")
            << "produits.csv" << productHead + "AP1,atrazyne,1,0.5\nAP2,atrazine,1,1\n"
            << "produits.csv, ligne 2, colonne herbicide\u00a0: «\u00a0atrazyne\u00a0» n'est pas "
               "dans la liste "
               "des herbicides\u00a0; noms proches\u00a0: «\u00a0atrazine\u00a0»";
        QTest::newRow("undefined treatment")
            << "evaluations.csv" << ratingHead + "E1,sétaire verte,88\nE9,pied-de-coq,50\n"
            << "evaluations.csv, ligne 3, colonne traitement\u00a0: le traitement «\u00a0E9\u00a0» "
               "n'est "
               "défini dans aucune ligne de traitements.csv";
        QTest::newRow("undefined site")
            << "traitements.csv" << QByteArray("traitement,site\nE1,P1\nE2,P2\n")
            << "traitements.csv, ligne 3, colonne site\u00a0: le site «\u00a0P2\u00a0» n'est "
               "défini dans "
               "aucune ligne de sites.csv";
        QTest::newRow("duplicate key")
            << "traitements.csv" << QByteArray("traitement,site\nE1,P1\nE2,P1\nE1,P1\n")
            << "traitements.csv, ligne 4, colonne traitement\u00a0: clé «\u00a0E1\u00a0» en "
               "double\u00a0: déjà "
               "définie à la ligne 2";
        QTest::newRow("missing column")
            << "sites.csv" << QByteArray("site,province,classe_texturale,ph\nP1,Québec,loam,6\n")
            << "sites.csv, ligne 1, colonne matiere_organique_pct\u00a0: colonne absente\u00a0; la "
               "première ligne doit porter les titres site, province, classe_texturale, "
               "matiere_organique_pct, ph";
        QTest::newRow("five products")
            << "produits.csv"
            << productHead + "AP1,atrazine,1,0.5\nAP1,dicamba,1,0.5\nAP1,nicosulfuron,1,0.05\n"
                             "AP1,Bromoxynil,1,0.5\nAP1,éthalfluraline,1,0.5\nAP2,atrazine,1,1\n"
            << "produits.csv, ligne 6, colonne application\u00a0: un mélange compte au plus quatre "
               "produits\u00a0; l'application «\u00a0AP1\u00a0» en a 5 (lignes 2, 3, 4, 5, 6)";
        QTest::newRow("quote left open")
            << "sites.csv" << siteHead + "P1,\"Québec,loam,3,6\n"
            << "sites.csv, ligne 2\u00a0: guillemet ouvert jamais fermé";
    }
    void badInputIsRefusedWhereItLies() {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QString, problem);
        const FixtureDatabase fixture;
        QTemporaryDir input;
        const QByteArray before = fileBytes(fixture.path());
        const ImportOutcome o = ExperimentImport::run(
            fixture.path(), writeSet(input.path(), file, content), ImportOptions());
        QCOMPARE(int(o.status), int(ImportOutcome::Status::Refused));
        QCOMPARE(problemTexts(o), QStringList{problem});
        QCOMPARE(fileBytes(fixture.path()), before);
        QCOMPARE(QDir(fixture.folder()).entryList(QDir::Files), QStringList{"Grelavo.mdb"});
    }

    // A valid import adds the rows after a copy of the file is made; the same keys again are
    // refused and leave the file as it is; a dry run writes nothing.
    void importAddsOnceAndKeepsACopy() {
        const FixtureDatabase fixture;
        QTemporaryDir input;
        const QStringList files = writeSet(input.path());
        const QByteArray before = fileBytes(fixture.path());
        const auto exportedBefore = exportTo(fixture.path());

        ImportOptions dry;
        dry.dryRun = true;
        const ImportOutcome checked = ExperimentImport::run(fixture.path(), files, dry);
        QCOMPARE(int(checked.status), int(ImportOutcome::Status::Done));
        QCOMPARE(checked.counts.ratings, 3);
        QCOMPARE(fileBytes(fixture.path()), before);

        // A file found whole keeps its stamp through the import's own write: the start-up
        // check need not read it all again.
        QVERIFY(DatabaseStamp::write(fixture.path()));
        QVector<qint64> progress;
        const ImportOutcome o =
            ExperimentImport::run(fixture.path(), files, ImportOptions(),
                                  [&](qint64 done, qint64 total) { progress << done << total; });
        QCOMPARE(problemTexts(o), QStringList());
        QCOMPARE(o.counts, (ExperimentCounts{1, 2, 2, 2, 1, 3, 3}));
        QCOMPARE(progress.mid(progress.size() - 2), (QVector<qint64>{14, 14}));
        QVERIFY(o.backup.startsWith(fixture.path() + QStringLiteral(".avant-import-")));
        QCOMPARE(exportTo(o.backup), exportedBefore);
        QVERIFY(DatabaseStamp::current(fixture.path()));
        {
            Connection db(fixture.path(), DatabaseFile::password());
            QCOMPARE(statementRows(db, QStringLiteral(R"(SELECT m."Nom-Francais", e."Visuel"
                FROM "tblMHEval" e JOIN "ListedesMauvaisesHerbes" m USING ("MHId")
                WHERE e."TraitementId" > 7 ORDER BY e."MHEvalId")"),
                                   QStringLiteral("NULL")),
                     (QStringList{"sétaire verte|88", "chénopode blanc|75", "pied-de-coq|NULL"}));
            QCOMPARE(statementRows(db, QStringLiteral(R"(SELECT "ProvinceID", "pH" FROM
                "tbldesSites" WHERE "SiteExpId" > 2)")),
                     QStringList{"1|6.8"});
        }

        // Files exported from the database, read back into it, would add every trial twice.
        QTemporaryDir exported;
        exportTo(fixture.path(), exported.path());
        const QByteArray after = fileBytes(fixture.path());
        const ImportOutcome same =
            ExperimentImport::run(fixture.path(), {exported.path()}, ImportOptions());
        QCOMPARE(problemTexts(same).first(),
                 QStringLiteral(
                     "3 lignes de sites.csv (la première à la ligne 2) sont déjà dans "
                     "la base\u00a0: ce sont des essais exportés de cette base\u00a0; rien n'est "
                     "remplacé (donnez d'autres clés à de nouveaux essais)"));
        QCOMPARE(fileBytes(fixture.path()), after);
        const ImportOutcome again = ExperimentImport::run(fixture.path(), files, ImportOptions());
        QCOMPARE(int(again.status), int(ImportOutcome::Status::Refused));
        QVERIFY2(problemTexts(again).first().startsWith(QStringLiteral(
                     "1 ligne de sites.csv (ligne 2) est déjà dans la base\u00a0: ce "
                     "jeu a déjà été importé")),
                 qPrintable(problemTexts(again).first()));
        QCOMPARE(fileBytes(fixture.path()), after);
    }

    // Rows the check found sound wait in a file of the temporary folder, read back a block
    // (1 MiB) at a time: 130,000 treatments of 11-character keys and no site take 17 bytes each
    // there, so the end of the first block falls between a key and the site that follows it.
    // Every key comes back whole, each treatment numbered after the largest of the file, and
    // the temporary folder is left empty, whether the import is done or refused.
    void stagedRowsComeBackWholeAndLeaveNothing() {
        const FixtureDatabase fixture;
        QTemporaryDir input, temporary;
        const QByteArray savedTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temporary.path()));
        const auto restore = qScopeGuard([&] {
            if (savedTemp.isNull())
                qunsetenv("TMPDIR");
            else
                qputenv("TMPDIR", savedTemp);
        });
        QStringList keys;
        QByteArray treatments = "traitement,site\n";
        for (int i = 0; i < 130000; ++i) {
            keys << QStringLiteral("K%1").arg(i, 10, 10, QLatin1Char('0'));
            treatments += keys.last().toLatin1() + ",\n";
        }
        const QString file = input.filePath(QStringLiteral("traitements.csv"));
        writeFile(file, treatments);
        const auto rows = [&](const char* sql) {
            Connection db(fixture.path(), DatabaseFile::password());
            return statementRows(db, QString::fromUtf8(sql), QStringLiteral("NULL"));
        };
        const qlonglong largest =
            rows(R"(SELECT max("TraitementId") FROM "tbldesTraitements")").first().toLongLong();
        ImportOptions noCopy;
        noCopy.keepCopy = false;
        const ImportOutcome o = ExperimentImport::run(fixture.path(), {file}, noCopy);
        QCOMPARE(problemTexts(o), QStringList());
        QCOMPARE(o.counts.treatments, 130000);
        QCOMPARE(rows(R"(SELECT k."Clé" FROM "tblClésImportées" k JOIN "tbldesTraitements" t
            ON t."TraitementId" = k."Id" WHERE k."Genre" = 'traitement' ORDER BY k."Id")"),
                 keys);
        QCOMPARE(
            rows(R"(SELECT min("TraitementId"), max("TraitementId"), count(*),
            count("SiteExpId") FROM "tbldesTraitements" WHERE "TraitementId" > (SELECT
            min("Id") - 1 FROM "tblClésImportées"))"),
            QStringList{QStringLiteral("%1|%2|130000|0").arg(largest + 1).arg(largest + 130000)});
        const QStringList everything{QStringLiteral("*")};
        const auto filters = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden;
        QCOMPARE(QDir(temporary.path()).entryList(everything, filters), QStringList());
        const ImportOutcome again = ExperimentImport::run(fixture.path(), {file}, noCopy);
        QCOMPARE(int(again.status), int(ImportOutcome::Status::Refused));
        QCOMPARE(QDir(temporary.path()).entryList(everything, filters), QStringList());

        // A temporary folder that cannot take the file: nothing is imported, and said so; a dry
        // run, which keeps no row, still checks.
        qputenv("TMPDIR", QFile::encodeName(temporary.filePath(QStringLiteral("absent"))));
        const QStringList set = writeSet(input.path());
        const QByteArray before = fileBytes(fixture.path());
        const ImportOutcome noRoom = ExperimentImport::run(fixture.path(), set, noCopy);
        QCOMPARE(int(noRoom.status), int(ImportOutcome::Status::Failed));
        QVERIFY2(noRoom.failure.startsWith(QStringLiteral("Le fichier temporaire de l'import")) &&
                     noRoom.failure.endsWith(QStringLiteral("Rien n'a été importé.")),
                 qPrintable(noRoom.failure));
        QCOMPARE(fileBytes(fixture.path()), before);
        ImportOptions dry;
        dry.dryRun = true;
        QCOMPARE(int(ExperimentImport::run(fixture.path(), set, dry).status),
                 int(ImportOutcome::Status::Done));
    }

    // A name missing from its list is refused with the nearest names, and added (as a variety
    // of the row's crop) only when asked, the outcome saying what was added.
    void namesAreAddedOnlyWhenAsked() {
        const FixtureDatabase fixture;
        QTemporaryDir input;
        const QStringList files = writeSet(
            input.path(), QStringLiteral("cultures.csv"),
            "traitement,culture,variete,antecedent,semis_kg_ha,semis_grains_ha,profondeur_cm,"
            "ecartement_cm\nE1,Maïs grain,Hybride Z,orge,,,,\nE2,Maïs grain,,,,,,\n");
        const ImportOutcome refused = ExperimentImport::run(fixture.path(), files, ImportOptions());
        QCOMPARE(
            problemTexts(refused),
            (QStringList{
                "cultures.csv, ligne 2, colonne variete\u00a0: «\u00a0Hybride Z\u00a0» n'est pas "
                "une variété de cette culture de la liste des variétés\u00a0; variétés "
                "proches\u00a0: «\u00a0Hybride A\u00a0» (Maïs grain), «\u00a0Hybride B\u00a0» "
                "(Maïs grain)",
                "cultures.csv, ligne 2, colonne antecedent\u00a0: «\u00a0orge\u00a0» n'est pas "
                "dans la liste des antécédents (aucun nom proche)"}));
        ImportOptions add;
        add.addNames = true;
        // The previous crops are a fixed list: never added to.
        QCOMPARE(
            problemTexts(ExperimentImport::run(fixture.path(), files, add)),
            QStringList{
                "cultures.csv, ligne 2, colonne antecedent\u00a0: «\u00a0orge\u00a0» n'est pas "
                "dans la liste des antécédents (aucun nom proche)\u00a0; cette liste ne "
                "reçoit pas de nouveaux noms"});
        writeSet(input.path(), QStringLiteral("cultures.csv"),
                 "traitement,culture,variete,antecedent,semis_kg_ha,semis_grains_ha,profondeur_cm,"
                 "ecartement_cm\nE1,Maïs grain,Hybride Z,Avoine,,,,\nE2,Maïs grain,,,,,,\n");
        const ImportOutcome o = ExperimentImport::run(fixture.path(), files, add);
        QCOMPARE(o.addedNames, (QStringList{"variétés\u00a0: Hybride Z"}));
        Connection db(fixture.path(), DatabaseFile::password());
        QCOMPARE(statementRows(db, QStringLiteral(R"(SELECT v."Variété", v."CultureId",
            a."Nom Français" FROM "tblCultureEXP" c JOIN "ListeDesVariétés" v USING ("VariétéId")
            JOIN "ListeDesAntécédents" a USING ("AntécédentID") WHERE c."TraitementId" > 7)")),
                 QStringList{"Hybride Z|149|Avoine"});
        QCOMPARE(ImportLog::read(db).first().addedNames, o.addedNames);
    }

    // A database another program holds (Grelavo itself) is not touched.
    void databaseHeldOpenIsLeftAlone() {
        const FixtureDatabase fixture;
        QTemporaryDir input;
        DE held(fixture.folder());
        held.Connection2();
        const QByteArray before = fileBytes(fixture.path());
        const ImportOutcome o =
            ExperimentImport::run(fixture.path(), writeSet(input.path()), ImportOptions());
        QCOMPARE(int(o.status), int(ImportOutcome::Status::Failed));
        QVERIFY2(o.failure.contains(QStringLiteral("utilisée par un autre programme")),
                 qPrintable(o.failure));
        held.close();
        QCOMPARE(fileBytes(fixture.path()), before);
        QCOMPARE(QDir(fixture.folder()).entryList(QDir::Files), QStringList{"Grelavo.mdb"});
    }

    // The export pads keys to the width of the largest row number: once the database holds more
    // than 9,999 treatments, the keys of its earlier exports (T7) name its rows as surely as
    // those of a new export (T00007); a number no row has is a new key.
    void exportedKeysAreKnownWhateverTheirWidth() {
        const FixtureDatabase fixture;
        {
            Connection db(fixture.path(), DatabaseFile::password());
            db.executeScript(QStringLiteral(R"(WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL
                SELECT i + 1 FROM n WHERE i < 10000)
                INSERT INTO "tbldesTraitements" ("SiteExpId") SELECT NULL FROM n)"));
        }
        QTemporaryDir input;
        const QString file = input.filePath(QStringLiteral("traitements.csv"));
        writeFile(file, "traitement,site\nT7,\nT0007,\nT00007,\nT10007,\nT10008,\nX7,\n");
        const ImportOutcome o = ExperimentImport::run(fixture.path(), {file}, ImportOptions());
        QCOMPARE(
            problemTexts(o),
            QStringList{"4 lignes de traitements.csv (la première à la ligne 2) sont déjà "
                        "dans la base\u00a0: ce sont des essais exportés de cette base\u00a0; rien "
                        "n'est remplacé (donnez d'autres clés à de nouveaux essais)"});
    }

    // With names to add, a weed or variety that writes a name of its list another way, or that
    // looks mis-encoded, is refused as that name; a fixed list is never added to. Typographic
    // apostrophes and hyphens are the plain ones.
    void namesToAddMustBeNew_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("problem"); // empty: accepted, nothing added
        const QByteArray ratings("traitement,mauvaise_herbe,visuel_pct\nE1,");
        const QString asExisting =
            QStringLiteral(" déjà dans la liste, écrit autrement (majuscules, accents, "
                           "apostrophes, traits d'union ou espaces)");
        QTest::newRow("accents")
            << "evaluations.csv" << ratings + "Setaire verte,88\n"
            << "evaluations.csv, ligne 2, colonne mauvaise_herbe\u00a0: «\u00a0Setaire "
               "verte\u00a0» n'est pas ajouté à la liste des mauvaises herbes\u00a0: "
               "c'est «\u00a0sétaire verte\u00a0»," +
                   asExisting;
        QTest::newRow("hyphens and blanks")
            << "evaluations.csv" << ratings + "pied de  coq,88\n"
            << "evaluations.csv, ligne 2, colonne mauvaise_herbe\u00a0: «\u00a0pied de  coq\u00a0» "
               "n'est pas "
               "ajouté à la liste des mauvaises herbes\u00a0: c'est «\u00a0pied-de-coq\u00a0»," +
                   asExisting;
        QTest::newRow("typographic hyphens") << "evaluations.csv"
                                             << ratings + "Pied\xe2\x80\x91"
                                                          "de\xe2\x80\x93"
                                                          "coq,88\n"
                                             << QString();
        QTest::newRow("mis-encoded")
            << "evaluations.csv" << ratings + "s\xc3\x83\xc2\xa9taire verte,88\n"
            << "evaluations.csv, ligne 2, colonne mauvaise_herbe\u00a0: «\u00a0sÃ©taire "
               "verte\u00a0» n'est pas "
               "ajouté à la liste des mauvaises herbes\u00a0: il semble mal encodé (UTF-8 lu comme "
               "Windows-1252)\u00a0; enregistrez le fichier en CSV UTF-8";
        QTest::newRow("variety")
            << "cultures.csv"
            << QByteArray("traitement,culture,variete,antecedent,semis_kg_ha,semis_grains_ha,"
                          "profondeur_cm,ecartement_cm\nE1,Maïs grain,hybride-a,,,,,\nE2,,,,,,,\n")
            << "cultures.csv, ligne 2, colonne variete\u00a0: «\u00a0hybride-a\u00a0» n'est pas "
               "ajouté à la "
               "liste des variétés\u00a0: c'est «\u00a0Hybride A\u00a0»," +
                   asExisting;
        QTest::newRow("fixed list")
            << "sites.csv"
            << QByteArray("site,province,classe_texturale,matiere_organique_pct,ph\n"
                          "P1,Quebec,loam,,\n")
            << "sites.csv, ligne 2, colonne province\u00a0: «\u00a0Quebec\u00a0» n'est pas dans la "
               "liste des "
               "provinces\u00a0; noms proches\u00a0: «\u00a0Québec\u00a0»\u00a0; cette liste ne "
               "reçoit pas de nouveaux "
               "noms";
    }
    void namesToAddMustBeNew() {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QString, problem);
        const FixtureDatabase fixture;
        QTemporaryDir input;
        ImportOptions add;
        add.addNames = true;
        add.dryRun = true;
        const ImportOutcome o =
            ExperimentImport::run(fixture.path(), writeSet(input.path(), file, content), add);
        QCOMPARE(problemTexts(o), problem.isEmpty() ? QStringList() : QStringList{problem});
        QCOMPARE(o.addedNames, QStringList());
    }

    // What the reader cannot take as it is is refused, with how to save it; a line that lost its
    // last fields is not read as empty values.
    void unreadableFormsAreRefused_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("problem");
        const QString saveAs =
            QStringLiteral("enregistrez-le en CSV UTF-8, séparateur virgule ou point-virgule");
        const QString csv =
            QStringLiteral("traitement,mauvaise_herbe,visuel_pct\nE1,pied-de-coq,8\n");
        QTest::newRow("fields missing")
            << QByteArray(
                   "traitement,mauvaise_herbe,visuel_pct\nE1,sétaire verte,88\nE2,pied-de-coq\n")
            << "evaluations.csv, ligne 3\u00a0: 2 champs pour 3 colonnes\u00a0: il manque des "
               "champs à la "
               "fin de la ligne";
        // UTF-16, little-endian as the machine is, as Windows saves "Unicode text".
        const QByteArray utf16 =
            "\xff\xfe" + QByteArray(reinterpret_cast<const char*>(csv.utf16()), csv.size() * 2);
        QTest::newRow("UTF-16") << utf16
                                << "evaluations.csv\u00a0: fichier en UTF-16 ou UTF-32\u00a0: " +
                                       saveAs;
        QTest::newRow("UTF-16 without mark")
            << utf16.mid(2)
            << "evaluations.csv\u00a0: fichier en UTF-16 ou UTF-32\u00a0: " + saveAs;
        QTest::newRow("tabulations")
            << QString(csv).replace(QLatin1Char(','), QLatin1Char('\t')).toUtf8()
            << "evaluations.csv, ligne 1\u00a0: champs séparés par des "
               "tabulations\u00a0: " +
                   saveAs;
    }
    void unreadableFormsAreRefused() {
        QFETCH(QByteArray, content);
        QFETCH(QString, problem);
        const FixtureDatabase fixture;
        QTemporaryDir input;
        const ImportOutcome o = ExperimentImport::run(
            fixture.path(), writeSet(input.path(), QStringLiteral("evaluations.csv"), content),
            ImportOptions());
        QCOMPARE(problemTexts(o), QStringList{problem});
    }

    // A rate over 20 kg a.i./ha, over ten times the highest or under a tenth of the lowest the
    // database holds for the herbicide, is refused unless unusual values are accepted.
    void unusualRatesAreRefusedUnlessAccepted_data() {
        QTest::addColumn<QByteArray>("rows");
        QTest::addColumn<QString>("problem"); // empty: usual
        const QString retry = QStringLiteral("\u00a0; vérifiez l'unité (kg de matière active par "
                                             "hectare), ou importez avec --accepter-inhabituels");
        QTest::newRow("over 20")
            << QByteArray("AP1,Bromoxynil,1,20.5\n")
            << "dose inhabituelle de 20.5 kg i.a./ha\u00a0: plus de 20 kg i.a./ha" + retry;
        QTest::newRow("over ten times the highest")
            << QByteArray("AP1,atrazine,1,10.01\n")
            << "dose inhabituelle de 10.01 kg i.a./ha\u00a0: plus de dix fois la plus forte dose "
               "d'atrazine dans la base (1)" +
                   retry;
        QTest::newRow("under a tenth of the lowest")
            << QByteArray("AP1,nicosulfuron,1,0.0019\n")
            << "dose inhabituelle de 0.0019 kg i.a./ha\u00a0: moins du dixième de la plus faible "
               "dose "
               "de nicosulfuron dans la base (0.02)" +
                   retry;
        QTest::newRow("within") << QByteArray("AP1,atrazine,1,10\nAP1,nicosulfuron,1,0.002\n")
                                << QString();
    }
    void unusualRatesAreRefusedUnlessAccepted() {
        QFETCH(QByteArray, rows);
        QFETCH(QString, problem);
        const FixtureDatabase fixture;
        QTemporaryDir input;
        const QStringList files = writeSet(input.path(), QStringLiteral("produits.csv"),
                                           "application,herbicide,formulation,dose_kg_ma_ha\n" +
                                               rows + "AP2,atrazine,1,1\n");
        ImportOptions options;
        options.dryRun = true;
        QCOMPARE(
            problemTexts(ExperimentImport::run(fixture.path(), files, options)),
            problem.isEmpty()
                ? QStringList()
                : QStringList{"produits.csv, ligne 2, colonne dose_kg_ma_ha\u00a0: " + problem});
        options.acceptUnusual = true;
        const ImportOutcome accepted = ExperimentImport::run(fixture.path(), files, options);
        QCOMPARE(problemTexts(accepted), QStringList());
        QCOMPARE(accepted.acceptedUnusual,
                 problem.isEmpty()
                     ? QStringList()
                     : QStringList{"produits.csv, ligne 2, colonne dose_kg_ma_ha\u00a0: " +
                                   problem.left(problem.indexOf(QStringLiteral("\u00a0; ")))});
    }

    // Every problem is one line: control characters escaped, long values cut; past the limit
    // one line counts the others so that the numbers add up; a set imported again is said in
    // one line per file.
    void problemsAreSaidOnOneLineEach() {
        const FixtureDatabase fixture;
        QTemporaryDir input;
        const QByteArray longName(100, 'x');
        QStringList files = writeSet(
            input.path(), QStringLiteral("evaluations.csv"),
            "traitement,mauvaise_herbe,visuel_pct\nE1,\"s\xc3\xa9taire\nverte\x1b[31m\",88\n"
            "E1," +
                longName + ",7\n");
        QCOMPARE(
            problemTexts(ExperimentImport::run(fixture.path(), files, ImportOptions())),
            (QStringList{"evaluations.csv, ligne 2, colonne mauvaise_herbe\u00a0: «\u00a0"
                         "sétaire\\nverte\\x1b[31m\u00a0» n'est pas dans la liste des mauvaises "
                         "herbes\u00a0; noms proches\u00a0: «\u00a0sétaire verte\u00a0»",
                         "evaluations.csv, ligne 4, colonne mauvaise_herbe\u00a0: «\u00a0" +
                             QString(79, QLatin1Char('x')) +
                             "…\u00a0» n'est pas dans la liste des mauvaises herbes (aucun nom "
                             "proche)"}));

        QByteArray many("traitement,mauvaise_herbe,visuel_pct\n");
        for (int i = 0; i < 601; ++i)
            many += "E1,sétaire verte,101\n";
        files = writeSet(input.path(), QStringLiteral("evaluations.csv"), many);
        const ImportOutcome refused = ExperimentImport::run(fixture.path(), files, ImportOptions());
        QCOMPARE(refused.problemCount, 601); // what the window's title says
        const QStringList problems = problemTexts(refused);
        QCOMPARE(problems.size(), 501);
        QCOMPARE(problems.last(),
                 QStringLiteral("et 101 autres problèmes, non détaillés\u00a0: 601 "
                                "problèmes en tout"));

        files = writeSet(input.path());
        QCOMPARE(int(ExperimentImport::run(fixture.path(), files, ImportOptions()).status),
                 int(ImportOutcome::Status::Done));
        QStringList again;
        for (const QString& p :
             problemTexts(ExperimentImport::run(fixture.path(), files, ImportOptions())))
            again << p.section(QStringLiteral("\u00a0;"), 0, 0);
        const QString imported =
            QStringLiteral(" est déjà dans la base\u00a0: ce jeu a déjà été importé");
        const QString importedMany =
            QStringLiteral(" sont déjà dans la base\u00a0: ce jeu a déjà été importé");
        QCOMPARE(
            again,
            (QStringList{"1 ligne de sites.csv (ligne 2)" + imported,
                         "2 lignes de traitements.csv (la première à la ligne 2)" + importedMany,
                         "2 lignes de cultures.csv (la première à la ligne 2)" + importedMany,
                         "2 lignes de applications.csv (la première à la ligne 2)" + importedMany,
                         "1 ligne de stades.csv (ligne 2)" + imported,
                         "3 lignes de produits.csv (la première à la ligne 2)" + importedMany,
                         "3 lignes de evaluations.csv (la première à la ligne 2)" + importedMany}));
    }

    // A key no file defines is named with its gender.
    void undefinedApplicationIsSaidInGoodFrench() {
        const FixtureDatabase fixture;
        QTemporaryDir input;
        const ImportOutcome o = ExperimentImport::run(
            fixture.path(),
            writeSet(input.path(), QStringLiteral("stades.csv"),
                     "application,culture,hauteur_cm,feuilles\nAP9,Maïs grain,10,3\n"),
            ImportOptions());
        QCOMPARE(problemTexts(o),
                 QStringList{"stades.csv, ligne 2, colonne application\u00a0: "
                             "l'application «\u00a0AP9\u00a0» n'est définie dans aucune "
                             "ligne de applications.csv"});
    }

    // The export's guard against formulas (an apostrophe before = + - @, a tabulation or a
    // carriage return) is read off, so that a round trip gives the same text; any other
    // apostrophe stays.
    void readerTakesOffTheFormulaGuard() {
        CsvReader::Table table;
        int line = 0;
        QCOMPARE(CsvReader::read("a,b\n'=1+2,'+x\n'-3,\"'@y\"\n\"'\tz\",\"'\rw\"\n'abc,d'=\n",
                                 &table, &line),
                 QString());
        QStringList got;
        for (const CsvRecord& r : table.rows)
            got << r.fields.join(QLatin1Char('|'));
        QCOMPARE(got, (QStringList{"=1+2|+x", "-3|@y", "\tz|\rw", "'abc|d'="}));
    }

    // Counts agree with their noun: one field, one line.
    void countsAgreeWithTheirNoun() {
        const FixtureDatabase fixture;
        QTemporaryDir input;
        const ImportOutcome o = ExperimentImport::run(
            fixture.path(),
            writeSet(input.path(), QStringLiteral("evaluations.csv"),
                     "traitement,mauvaise_herbe,visuel_pct\nE1,sétaire verte,88\nE2\n"),
            ImportOptions());
        QCOMPARE(problemTexts(o),
                 QStringList{"evaluations.csv, ligne 3\u00a0: 1 champ pour 3 colonnes\u00a0"
                             ": il manque des champs à la fin de la ligne"});
    }
};

QTEST_GUILESS_MAIN(TestExperimentImport)
#include "TestExperimentImport.moc"
