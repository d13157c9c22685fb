// grelavo-rapport run as a user runs it, on the small experiment set of tests/db/fixture.sql.

#include "ExchangeCheck.h"
#include "FixtureDatabase.h"
#include "PopplerText.h"
#include "ToolRun.h"
#include "core/db/Connection.h"
#include "core/db/ImportLog.h"
#include "core/db/Recordset.h"

#include <QDate>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <QtTest>
#include <memory>
#include <unistd.h>

using namespace grelavo;

namespace {

struct Outcome : ToolOutcome {
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

// asUser: another user's id, under which the program runs (the test runs as root).
Outcome rapport(const QStringList& arguments, int asUser = -1) {
    return {runTool(QStringLiteral(GRELAVO_RAPPORT), arguments, asUser)};
}

// Atrazine at 1 kg/ha before emergence on all corn.
const QStringList kAllCorn{"--periode", "1", "--herbicide", "10:1", "--culture", "tous"};

QStringList atrazineOnAllCorn(const QString& db, const QStringList& more = {}) {
    return QStringList{"--db", db} + kAllCorn + more;
}

// The row whose NoId is given, as "label|cell 1|...|cell 10", "~" standing for null.
QString row(const QJsonObject& report, int noId) {
    const QJsonObject o = report.value("rows").toArray().at(noId - 1).toObject();
    if (o.value("noId").toInt() != noId)
        return QStringLiteral("no row %1").arg(noId);
    QStringList texts{o.value("label").isNull() ? "~" : o.value("label").toString()};
    for (const QJsonValue cell : o.value("cells").toArray())
        texts << (cell.isNull() ? "~" : cell.toString());
    return texts.join(QLatin1Char('|'));
}

// Every row of tblResults, read straight from the file.
QStringList resultsTable(const QString& path) {
    Connection db(path, DatabaseFile::password());
    return statementRows(db, QStringLiteral("SELECT * FROM tblResults ORDER BY NoId"));
}

void verifyOneLineMessage(const Outcome& o) {
    QVERIFY2(o.error.startsWith(QStringLiteral("grelavo-rapport\u00a0: ")), qPrintable(o.error));
    QVERIFY2(o.error.endsWith(QLatin1Char('\n')) && o.error.count(QLatin1Char('\n')) == 1,
             qPrintable(o.error));
    QVERIFY(o.out.isEmpty());
}

} // namespace

class TestRapportCli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        m_shared = std::make_unique<FixtureDatabase>();
        // A filled table, so that a refused run that reset or wrote anything would show.
        QCOMPARE(rapport(atrazineOnAllCorn(m_shared->path(), {"--mauvaise-herbe", "200"})).status,
                 0);
    }

    // On a database of another name: the report is printed and written into that very file,
    // and no Grelavo.mdb appears beside it. Barnyardgrass already has its row: only the sedge
    // takes a free one.
    void printsTheWholeResultsTable() {
        FixtureDatabase fixture;
        QTemporaryDir elsewhere;
        const QString path = elsewhere.filePath(QStringLiteral("essais 2024.db"));
        QVERIFY(QFile::copy(fixture.path(), path));
        const Outcome o =
            rapport(atrazineOnAllCorn(path, {"--mauvaise-herbe", "16", "--mauvaise-herbe", "200"}));
        QCOMPARE(o.status, 0);
        QCOMPARE(o.error, QString());
        const QJsonObject report = o.json();
        QCOMPARE(report.value("totalCases").toInt(), 7);
        QCOMPARE(report.value("noDataFound"), QJsonValue(false));
        QCOMPARE(report.value("rows").toArray().size(), 33);
        // Labels and cells as the table holds them: blanks kept, NULL as null.
        QCOMPARE(row(report, 2), "     pied-de-coq|57|2| - | - | - | - | - | - |90|1");
        QCOMPARE(row(report, 3), "     sétaire verte|~|0| - | - | - | - | - | - |85|1");
        QCOMPARE(row(report, 7), "~|kept| - | - | - | - | - | - | - | - |kept");
        QCOMPARE(row(report, 31), "     souchet comestible|50|1| - | - | - | - | - | - | - | - ");
        QCOMPARE(row(report, 32), "     --------| - | - | - | - | - | - | - | - | - | - ");
        // The same cells as numbers, for a weed or a category only.
        const auto values = [&](int noId) {
            QStringList out;
            for (const QJsonValue v : report["rows"][noId - 1]["values"].toArray())
                out << QStringLiteral("%1:%2/%3")
                           .arg(v["fraction"].toInt())
                           .arg(v["mean"].isNull() ? QStringLiteral("~")
                                                   : QString::number(v["mean"].toInt()))
                           .arg(v["count"].toInt());
            return out.join(QLatin1Char(' '));
        };
        QCOMPARE(values(2), "50:57/2 60:~/0 70:~/0 80:~/0 100:90/1");
        QCOMPARE(values(3), "50:~/0 60:~/0 70:~/0 80:~/0 100:85/1");
        QCOMPARE(values(7), QString());
        QVERIFY(report["rows"][1]["values"][0]["mean"].isDouble());
        QCOMPARE(resultsTable(path).at(30),
                 "31|     souchet comestible|200|50|1| - | - | - | - | - | - | - | - ");
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files), QStringList{"essais 2024.db"});
    }

    // The JSON says when and by what it was made.
    void saysTheDayAndTheProgramVersion() {
        FixtureDatabase fixture;
        const QDate before = QDate::currentDate();
        const Outcome o = rapport(atrazineOnAllCorn(fixture.path()));
        QCOMPARE(o.status, 0);
        const QJsonObject report = o.json();
        const QDate day = QDate::fromString(report.value("reportDate").toString(), Qt::ISODate);
        QVERIFY2(day == before || day == QDate::currentDate(),
                 qPrintable(report.value("reportDate").toString()));
        QCOMPARE(report.value("programVersion").toString(),
                 QStringLiteral(GRELAVO_PROJECT_VERSION));
    }

    // The JSON says from which edition of the database it was made and what was imported into
    // it: null while the file says neither (no row, or a file older than the tables).
    void saysTheEditionTheFileHolds() {
        FixtureDatabase fixture;
        // What a run says of the edition; undefined when the run wrote no JSON.
        const auto edition = [&] {
            const QJsonObject r = rapport(atrazineOnAllCorn(fixture.path())).json();
            return r.contains("edition") ? r.value("edition") : QJsonValue(QJsonValue::Undefined);
        };
        QCOMPARE(edition(), QJsonValue(QJsonValue::Null));
        Connection(fixture.path(), DatabaseFile::password())
            .executeScript(QStringLiteral("INSERT INTO \"tblÉdition\" VALUES ('Essais 2019', "
                                          "'2026-12-07', 'relevés au champ', 0);"));
        QCOMPARE(edition(), QJsonValue(QJsonObject{{"name", "Essais 2019"},
                                                   {"date", "2026-12-07"},
                                                   {"source", "relevés au champ"},
                                                   {"synthetic", false},
                                                   {"importations", QJsonArray()}}));
        Connection(fixture.path(), DatabaseFile::password())
            .executeScript(QStringLiteral("UPDATE \"tblÉdition\" SET \"Synthétique\" = 1;"));
        QCOMPARE(edition().toObject().value("synthetic"), QJsonValue(true));

        // The imports, oldest first, with or without an edition row.
        {
            Connection db(fixture.path(), DatabaseFile::password());
            ImportLog::ensureTables(db);
            ImportLog::add(db,
                           {"2026-12-07T14:35:22",
                            {"traitements.csv", "evaluations.csv"},
                            {0, 2, 0, 0, 0, 0, 3},
                            {"herbicide\u00a0: mésotrione"}},
                           {});
        }
        const QJsonArray imports{
            QJsonObject{{"date", "2026-12-07T14:35:22"},
                        {"fichiers", QJsonArray{"traitements.csv", "evaluations.csv"}},
                        {"ajouts", QJsonObject{{"sites", 0},
                                               {"traitements", 2},
                                               {"cultures", 0},
                                               {"applications", 0},
                                               {"stades", 0},
                                               {"produits", 0},
                                               {"evaluations", 3}}},
                        {"nomsAjoutes", QJsonArray{"herbicide\u00a0: mésotrione"}}}};
        QCOMPARE(edition().toObject().value("importations"), QJsonValue(imports));
        Connection(fixture.path(), DatabaseFile::password())
            .executeScript(QStringLiteral("DROP TABLE \"tblÉdition\";"));
        QCOMPARE(edition(), QJsonValue(QJsonObject{{"name", QJsonValue::Null},
                                                   {"date", QJsonValue::Null},
                                                   {"source", QJsonValue::Null},
                                                   {"synthetic", false},
                                                   {"importations", imports}}));
        Connection(fixture.path(), DatabaseFile::password())
            .executeScript(QStringLiteral("DELETE FROM \"tblImportations\";"));
        QCOMPARE(edition(), QJsonValue(QJsonValue::Null));
    }

    void eachOptionReachesTheReport_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("totalCases");
        QTest::addColumn<QString>("barnyardgrass"); // the cells of row 2, blanks left out

        // Unfiltered: treatments 3 and 6 at 50 %, treatment 1 at 100 %, "57|2|...|90|1".
        QTest::newRow("semis en grains") << kAllCorn + QStringList{"--semis-grains", "70000:75000"}
                                         << 5 << "60|1|-|-|-|-|-|-|90|1";
        QTest::newRow("feuilles") << kAllCorn + QStringList{"--feuilles", "5:7"} << 2
                                  << "55|1|-|-|-|-|-|-|-|-";
        QTest::newRow("hauteur") << kAllCorn + QStringList{"--hauteur", "9:12"} << 5
                                 << "60|1|-|-|-|-|-|-|90|1";
        QTest::newRow("pH") << kAllCorn + QStringList{"--ph", "7:7.5"} << 4
                            << "57|2|-|-|-|-|-|-|-|-";
        QTest::newRow("écart 90 - 100")
            << kAllCorn + QStringList{"--ecart", "3"} << 2 << "60|1|-|-|-|-|-|-|-|-";
        QTest::newRow("formulation")
            << QStringList{"--periode", "1", "--herbicide", "10:1:2", "--culture", "tous"} << 2
            << "60|1|-|-|-|-|-|-|-|-";
        // 1.04 keeps 0.5 and 1.0 inside the 50 % and 100 % windows at 5 %, not at 1 %.
        QTest::newRow("tolérance 1") << QStringList{"--periode", "1",    "--herbicide", "10:1.04",
                                                    "--culture", "tous", "--tolerance", "1"}
                                     << 0 << "-|-|-|-|-|-|-|-|-|-";
        // Only treatment 2 holds atrazine with dicamba, at the full rates.
        QTest::newRow("deux herbicides")
            << QStringList{"--periode",   "1",      "--herbicide", "11:0.3",
                           "--herbicide", "10:0.5", "--culture",   "tous"}
            << 2 << "-|-|-|-|-|-|-|-|70|1";
    }

    void eachOptionReachesTheReport() {
        QFETCH(QStringList, arguments);
        QFETCH(int, totalCases);
        QFETCH(QString, barnyardgrass);
        const Outcome o = rapport(QStringList{"--db", m_shared->path()} + arguments);
        QCOMPARE(o.status, 0);
        const QJsonObject report = o.json();
        QCOMPARE(report.value("totalCases").toInt(), totalCases);
        QCOMPARE(report.value("noDataFound").toBool(), totalCases == 0);
        QCOMPARE(row(report, 2).section(QLatin1Char('|'), 1).remove(QLatin1Char(' ')),
                 barnyardgrass);
    }

    // A name, written in any case, with or without accents or typographic marks, stands for its
    // item: the report is the one its number gives.
    void namesStandForTheirNumbers_data() {
        QTest::addColumn<QStringList>("byName");
        QTest::addColumn<QStringList>("byNumber");
        QTest::newRow("période, herbicide, tous")
            << QStringList{"--periode",  "PRELEVEE",  "--herbicide",
                           "Atrazine:1", "--culture", "maïs (TOUS)"}
            << kAllCorn;
        QTest::newRow("culture, variété, deux herbicides")
            << QStringList{"--periode",    "Prélevée",  "--herbicide", "dicamba:0.3", "--herbicide",
                           "atrazine:0.5", "--culture", "Mais grain",  "--variete",   "hybride a"}
            << QStringList{"--periode", "1",         "--herbicide", "11:0.3",    "--herbicide",
                           "10:0.5",    "--culture", "149",         "--variete", "1"};
        QTest::newRow("site et mauvaises herbes")
            << kAllCorn + QStringList{"--province",       "quebec",
                                      "--texture",        "LOAM",
                                      "--antecedent",     "Blé",
                                      "--mauvaise-herbe", "Souchet comestible",
                                      "--mauvaise-herbe", "pied‑de‑coq"}
            << kAllCorn + QStringList{"--province",       "1", "--texture",        "1",
                                      "--antecedent",     "2", "--mauvaise-herbe", "200",
                                      "--mauvaise-herbe", "16"};
    }

    void namesStandForTheirNumbers() {
        QFETCH(QStringList, byName);
        QFETCH(QStringList, byNumber);
        const Outcome named = rapport(QStringList{"--db", m_shared->path()} + byName);
        QCOMPARE(named.status, 0);
        const Outcome numbered = rapport(QStringList{"--db", m_shared->path()} + byNumber);
        QCOMPARE(numbered.status, 0);
        QCOMPARE(named.json().value("rows"), numbered.json().value("rows"));
        QCOMPARE(named.json().value("totalCases"), numbered.json().value("totalCases"));
    }

    void refusedParametersRunNothing_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message"); // some words of it

        QTest::newRow("sans période")
            << QStringList{"--herbicide", "10:1", "--culture", "tous"} << "période d'application";
        QTest::newRow("herbicide inconnu")
            << kAllCorn + QStringList{"--herbicide", "99:1"} << "identifiant 99";
        QTest::newRow("taux à deux virgules")
            << QStringList{"--periode", "1", "--herbicide", "10:1,5,0", "--culture", "tous"}
            << "«\u00a01,5,0\u00a0»";
        QTest::newRow("tolérance 9") << kAllCorn + QStringList{"--tolerance", "9"} << "--tolerance";
        QTest::newRow("taux nul") << QStringList{"--periode", "1",         "--herbicide",
                                                 "10:0",      "--culture", "tous"}
                                  << "plus grand que 0";
        QTest::newRow("taux négatif")
            << QStringList{"--periode", "1", "--herbicide", "10:-1", "--culture", "tous"}
            << "plus grand que 0";
        QTest::newRow("feuilles et hauteur")
            << kAllCorn + QStringList{"--feuilles", "2:4", "--hauteur", "10:20"} << "--hauteur";
        QTest::newRow("image en JPEG")
            << kAllCorn + QStringList{"--courbes", "/tmp/courbes.jpg"}
            << "«\u00a0/tmp/courbes.jpg\u00a0» ne finit ni par .png, ni par .svg, ni par .pdf";
        QTest::newRow("image sans extension")
            << kAllCorn + QStringList{"--courbes", "/tmp/courbes"} << "--courbes";
        QTest::newRow("CSV sans nom") << kAllCorn + QStringList{"--csv", ""} << "--csv";
        QTest::newRow("herbicide mal écrit")
            << QStringList{"--periode", "1", "--herbicide", "atrazin:1", "--culture", "tous"}
            << "--herbicide\u00a0: «\u00a0atrazin\u00a0» n'est pas dans la liste des "
               "herbicides\u00a0; noms proches\u00a0: «\u00a0atrazine\u00a0»";
        QTest::newRow("le maïs seul")
            << QStringList{"--periode", "1", "--herbicide", "10:1", "--culture", "Maïs"}
            << "la culture 147, «\u00a0Maïs\u00a0», n'est pas offerte seule\u00a0; donnez "
               "--culture tous";
        QTest::newRow("herbicide deux fois, par numéro et par nom")
            << QStringList{"--periode",   "1",          "--herbicide", "10:1",
                           "--herbicide", "ATRAZINE:2", "--culture",   "tous"}
            << "«\u00a0atrazine\u00a0» est donné deux fois";
        QTest::newRow("variété de tous, par nom")
            << QStringList{"--periode", "1",           "--herbicide", "10:1",
                           "--culture", "Maïs (tous)", "--variete",   "Hybride A"}
            << "pas de variété";
        QTest::newRow("mauvaise herbe six fois")
            << kAllCorn + QStringList{"--mauvaise-herbe", "16",  "--mauvaise-herbe", "34",
                                      "--mauvaise-herbe", "15",  "--mauvaise-herbe", "200",
                                      "--mauvaise-herbe", "201", "--mauvaise-herbe", "16"}
            << "au plus 5 fois";
        QTest::newRow("option inconnue")
            << kAllCorn + QStringList{"--culture-tous"} << "--culture-tous";
        QTest::newRow("liste inconnue")
            << QStringList{"--listes", "herbicides-totaux"}
            << "les listes\u00a0: periode, herbicide, culture, variete, antecedent, province, "
               "texture, mauvaise-herbe";
        QTest::newRow("listes et rapport") << kAllCorn + QStringList{"--listes"} << "--listes";
    }

    void refusedParametersRunNothing() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const QStringList before = resultsTable(m_shared->path());
        const Outcome o = rapport(QStringList{"--db", m_shared->path()} + arguments);
        QCOMPARE(o.status, 2);
        verifyOneLineMessage(o);
        QVERIFY2(o.error.contains(message), qPrintable(o.error));
        QCOMPARE(resultsTable(m_shared->path()), before);
    }

    // A file that cannot serve: status 1 and the file and its cause in words, the file left as
    // it was.
    void unusableDatabase_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("cause");
        QTest::newRow("absent") << "absent"
                                << "introuvable";
        QTest::newRow("vide") << "empty"
                              << "est vide";
        QTest::newRow("autre clé") << "another key"
                                   << "ce n'est pas une base de données Grelavo";
        QTest::newRow("ouverte ailleurs") << "in use"
                                          << "Grelavo est déjà ouvert";
        QTest::newRow("en lecture seule") << "read-only file"
                                          << "est en lecture seule";
        QTest::newRow("dossier en lecture seule") << "read-only folder"
                                                  << "Le dossier ";
    }

    void unusableDatabase() {
        QFETCH(QString, kind);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        const QString path = dir.filePath(DatabaseFile::fileName());
        std::unique_ptr<Connection> holder;
        int user = -1;
        if (kind == QLatin1String("empty")) {
            QFile(path).open(QIODevice::WriteOnly);
        } else if (kind == QLatin1String("another key")) {
            Connection other(path, QStringLiteral("une autre clé"), Connection::Mode::Create);
            other.executeScript(QStringLiteral("CREATE TABLE t (x);"));
        } else if (kind != QLatin1String("absent")) {
            QVERIFY(QFile::copy(m_shared->path(), path));
        }
        // Read before the file is held: closing a file releases every lock of this process on it.
        const QByteArray before = fileBytes(path);
        if (kind == QLatin1String("in use")) {
            holder = std::make_unique<Connection>(path, DatabaseFile::password(),
                                                  Connection::Mode::ReadWrite,
                                                  Connection::Access::Exclusive);
        } else if (kind.startsWith(QLatin1String("read-only"))) {
            // Permissions do not bind root: the program then runs as "nobody".
            user = geteuid() == 0 ? 65534 : -1;
            const bool folder = kind == QLatin1String("read-only folder");
            QVERIFY(QFile::setPermissions(
                dir.path(),
                folder ? QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther
                       : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                             QFile::ExeOther));
            QVERIFY(QFile::setPermissions(path, folder ? QFile::ReadOwner | QFile::WriteOwner |
                                                             QFile::ReadOther | QFile::WriteOther
                                                       : QFile::ReadOwner | QFile::ReadOther));
        }
        const Outcome o = rapport(atrazineOnAllCorn(path), user);
        holder.reset();
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(o.status, 1);
        verifyOneLineMessage(o);
        QVERIFY2(o.error.contains(cause), qPrintable(o.error));
        QVERIFY2(o.error.contains(dir.path()), qPrintable(o.error));
        QCOMPARE(fileBytes(path), before);
    }

    // A statement that fails in the middle of a report: no results, status 4, the cause.
    void aFailingReportIsNoResult() {
        FixtureDatabase fixture;
        Connection(fixture.path(), DatabaseFile::password())
            .executeScript(QStringLiteral("DROP TABLE ListedesMauvaisesHerbes;"));
        const Outcome o = rapport(atrazineOnAllCorn(fixture.path()));
        QCOMPARE(o.status, 4);
        verifyOneLineMessage(o);
        QVERIFY2(o.error.contains(QStringLiteral("le rapport n'a pas pu être produit\u00a0: ")),
                 qPrintable(o.error));
    }

    // The PDF never goes over the database, by its own name or through a link.
    void thePdfNeverReplacesTheDatabase() {
        FixtureDatabase fixture;
        const QString link = fixture.folder() + QStringLiteral("/lien.pdf");
        QVERIFY(QFile::link(fixture.path(), link));
        const QByteArray before = fileBytes(fixture.path());
        for (const QString& pdf : {fixture.path(), link}) {
            const Outcome o = rapport(atrazineOnAllCorn(fixture.path(), {"--pdf", pdf}));
            QCOMPARE(o.status, 3);
            verifyOneLineMessage(o);
            QVERIFY2(o.error.contains(QStringLiteral("est la base de données elle-même")),
                     qPrintable(o.error));
            QCOMPARE(fileBytes(fixture.path()), before);
        }
    }

    // --pdf: the page as Grelavo prints it, in a one-page file, and the JSON as before.
    void writesTheReportPageAsPdf() {
        FixtureDatabase fixture;
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("rapport 1.pdf"));
        const Outcome o = rapport(atrazineOnAllCorn(fixture.path(), {"--pdf", pdf}));
        QCOMPARE(o.status, 0);
        QCOMPARE(o.error, QString());
        QCOMPARE(o.json().value("totalCases").toInt(), 7);
        const QString info = popplerText("pdfinfo", {pdf});
        QVERIFY(info.contains(QRegularExpression("Pages:\\s+1\\n")));
        QVERIFY2(
            info.contains(QRegularExpression("Title:\\s+Grelavo - rapport " +
                                             QDate::currentDate().toString(Qt::ISODate) + "\\n")),
            qPrintable(info));
        const QString text = popplerText("pdftotext", {"-layout", pdf, "-"}).simplified();
        for (const char* expected :
             {"Pourcentage de destruction des mauvaises herbes", "(7 cas répertoriés au total)",
              "-Type d'application = Prélevée", "-Herbicide 1 = atrazine, Taux = 1 kg/ha",
              "Mauvaises herbes 50 ± 5 60 ± 5 70 ± 5 80 ± 5 100 ± 5",
              "Graminées annuelles 57 (2) - - - 87 (2)"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
        QVERIFY(text.contains(QStringLiteral("produit par Grelavo ") +
                              QStringLiteral(GRELAVO_PROJECT_VERSION)));
        QVERIFY(text.contains(QStringLiteral("Base de données : édition inconnue")));
        QVERIFY(!text.contains(QStringLiteral("SYNTHÉTIQUES")));

        // From synthetic data: the warning is on the page, and the edition under the table.
        Connection(fixture.path(), DatabaseFile::password())
            .executeScript(QStringLiteral("INSERT INTO \"tblÉdition\" VALUES ('Démonstration', "
                                          "'2026-12-07', 'grelavo-makedb', 1);"));
        QCOMPARE(rapport(atrazineOnAllCorn(fixture.path(), {"--pdf", pdf})).status, 0);
        const QString marked = popplerText("pdftotext", {"-layout", pdf, "-"}).simplified();
        for (const char* expected :
             {"DONNÉES SYNTHÉTIQUES DE DÉMONSTRATION — ne pas utiliser pour une décision",
              "Données de démonstration synthétiques — édition du 2026-12-07"})
            QVERIFY2(marked.contains(QString::fromUtf8(expected)), qPrintable(marked));

        // A file that cannot be written: one line, status 3, nothing on standard output.
        const Outcome refused =
            rapport(atrazineOnAllCorn(fixture.path(), {"--pdf", dir.filePath("no/such.pdf")}));
        QCOMPARE(refused.status, 3);
        verifyOneLineMessage(refused);
    }

    // --csv: the table as the results window saves it, under the environment's language; what
    // the report shows in "#" lines first, then a line per weed or category with its figures
    // and evidence. Never over the database; a file that cannot be written is status 3.
    void writesTheTableAsCsv() {
        FixtureDatabase fixture;
        Connection(fixture.path(), DatabaseFile::password())
            .executeScript(QStringLiteral("INSERT INTO \"tblÉdition\" VALUES ('Démonstration', "
                                          "'2026-12-07', 'grelavo-makedb', 1);"));
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("tableau.csv"));
        const QByteArray language = qgetenv("LC_ALL");
        for (const char* locale : {"C", "fr_CA.UTF-8"}) {
            qputenv("LC_ALL", locale);
            const Outcome o = rapport(atrazineOnAllCorn(fixture.path(), {"--csv", csv}));
            qputenv("LC_ALL", language);
            QCOMPARE(o.status, 0);
            QCOMPARE(o.json().value("totalCases").toInt(), 7); // the JSON as before
            const QByteArray bytes = fileBytes(csv);
            const bool french = QByteArray(locale).startsWith("fr");
            QVERIFY2(bytes.contains(french ? "#;" : "#,"), bytes.constData());
            const QVector<QStringList> lines = parseCsv(bytes);
            QStringList about;
            int i = 0;
            for (; i < lines.size() && lines[i].value(0) == QLatin1String("#"); ++i)
                about << lines[i].value(1);
            const QString today = QDate::currentDate().toString(Qt::ISODate);
            QCOMPARE(about,
                     (QStringList{QStringLiteral("DONNÉES SYNTHÉTIQUES DE DÉMONSTRATION — ne pas "
                                                 "utiliser pour une décision"),
                                  "Paramètres de recherche\u00a0:", "Type d'application = Prélevée",
                                  "Herbicide 1 = atrazine, Taux = 1 kg/ha", "Culture = Maïs (tous)",
                                  "Tolérance\u00a0: ± 5 % des taux entrés",
                                  "Rapport du " + today +
                                      ", produit par Grelavo " GRELAVO_PROJECT_VERSION,
                                  QStringLiteral("Données de démonstration synthétiques — "
                                                 "édition du 2026-12-07")}));
            // The headings, then the grasses: 57 (2 ratings, 1 trial) at 50 %, 87 (2) at 100 %.
            // Neither has a quoted field: a line is its fields joined by the separator.
            const QChar separator = QLatin1Char(french ? ';' : ',');
            const QStringList text = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
            const QStringList head = text.value(i + 1).split(separator);
            QCOMPARE(head.mid(0, 4), (QStringList{"Catégorie", "Mauvaise herbe", "50 ± 5 moyenne",
                                                  "50 ± 5 nombre"}));
            QVERIFY2(head.contains(QStringLiteral("50 ± 5 essais")), qPrintable(head.join('|')));
            const QStringList grasses =
                text.filter(QRegularExpression(QStringLiteral("^Graminées annuelles[,;][,;]")))
                    .value(0)
                    .split(separator);
            QCOMPARE(grasses.size(), head.size());
            QCOMPARE(grasses.mid(2, 3), (QStringList{"57", "2", "1"}));
            QCOMPARE(grasses.at(head.indexOf(QStringLiteral("100 ± 5 moyenne"))),
                     QStringLiteral("87"));
        }

        const QByteArray before = fileBytes(fixture.path());
        const Outcome database =
            rapport(atrazineOnAllCorn(fixture.path(), {"--csv", fixture.path()}));
        QCOMPARE(database.status, 3);
        verifyOneLineMessage(database);
        QCOMPARE(fileBytes(fixture.path()), before);
        const Outcome refused =
            rapport(atrazineOnAllCorn(fixture.path(), {"--csv", dir.filePath("no/such.csv")}));
        QCOMPARE(refused.status, 3);
        verifyOneLineMessage(refused);
        QVERIFY(refused.error.contains(QStringLiteral("fichier CSV")));
    }

    // --courbes: the picture of the report's categories as the name's ending says, with what
    // the report shows under it, the synthetic warning when its data are.
    void writesTheCategoriesPicture() {
        FixtureDatabase fixture;
        QTemporaryDir dir;
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        const QString png = dir.filePath(QStringLiteral("courbes.PNG"));
        const QString svg = dir.filePath(QStringLiteral("courbes.svg"));
        const QString pdf = dir.filePath(QStringLiteral("courbes.pdf"));
        for (const QString& file : {png, svg, pdf}) {
            const Outcome o = rapport(atrazineOnAllCorn(fixture.path(), {"--courbes", file}));
            QCOMPARE(o.status, 0);
            QCOMPARE(o.error, QString());
            QCOMPARE(o.json().value("totalCases").toInt(), 7);
        }
        QCOMPARE(QImage(png, "PNG").size(), QSize(1440, 1120));
        const QString svgText = QString::fromUtf8(fileBytes(svg));
        const QString pdfText = popplerText("pdftotext", {pdf, "-"});
        QVERIFY(popplerText("pdfinfo", {pdf}).contains(QRegularExpression("Pages:\\s+1\\n")));
        QVERIFY(popplerText("pdfinfo", {pdf})
                    .contains(QRegularExpression("Title:\\s+Grelavo - courbes dose-réponse " +
                                                 today + "\\n")));
        for (const QString& text :
             {QStringLiteral("Graminées annuelles"), QStringLiteral("Dicotylédones annuelles"),
              QStringLiteral("Fraction de la dose entrée (%)"),
              QStringLiteral("Herbicide 1 = atrazine, Taux = 1 kg/ha"),
              QStringLiteral("Tolérance\u00a0: ± 5 % des taux entrés"),
              QStringLiteral("Rapport du ") + today,
              QStringLiteral("Base de données\u00a0: édition inconnue")}) {
            QVERIFY2(svgText.contains(text), qPrintable(text));
            QVERIFY2(pdfText.contains(QString(text).replace(QChar(0xa0), QLatin1Char(' '))),
                     qPrintable(text));
        }
        // The categories only: no weed of theirs is a series.
        QVERIFY(!pdfText.contains(QStringLiteral("pied-de-coq")));
        QVERIFY(!pdfText.contains(QStringLiteral("SYNTHÉTIQUES")));

        Connection(fixture.path(), DatabaseFile::password())
            .executeScript(QStringLiteral("INSERT INTO \"tblÉdition\" VALUES ('Démonstration', "
                                          "'2026-12-07', 'grelavo-makedb', 1);"));
        QCOMPARE(rapport(atrazineOnAllCorn(fixture.path(), {"--courbes", pdf})).status, 0);
        QVERIFY(popplerText("pdftotext", {pdf, "-"})
                    .contains(QStringLiteral("DONNÉES SYNTHÉTIQUES DE DÉMONSTRATION")));

        const Outcome refused =
            rapport(atrazineOnAllCorn(fixture.path(), {"--courbes", dir.filePath("no/c.svg")}));
        QCOMPARE(refused.status, 3);
        verifyOneLineMessage(refused);
        QVERIFY(refused.error.contains(QStringLiteral("impossible d'écrire l'image")));
    }

    // --details lists the ratings behind every cell that has some, agreeing with the cell
    // (count, truncated mean), and --details-csv writes the same ratings, one a line.
    void detailsAgreeWithTheCellsAndTheCsv() {
        FixtureDatabase fixture;
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("details.csv"));
        const Outcome o = rapport(atrazineOnAllCorn(
            fixture.path(), {"--mauvaise-herbe", "200", "--details", "--details-csv", csv}));
        QCOMPARE(o.status, 0);
        const QJsonObject report = o.json();
        QMultiHash<QString, QString> fromJson; // "noId/fraction" → "visuel/traitementId"
        int cells = 0;
        for (const QJsonValue entry : report.value("details").toArray()) {
            const int noId = entry["noId"].toInt(), k = entry["fraction"].toInt();
            const QJsonArray ratings = entry["ratings"].toArray();
            int sum = 0;
            for (const QJsonValue r : ratings) {
                sum += r["visuel"].toInt();
                fromJson.insert(QStringLiteral("%1/%2").arg(noId).arg(k),
                                QStringLiteral("%1/%2")
                                    .arg(r["visuel"].toInt())
                                    .arg(r["traitementId"].toInt()));
            }
            const QStringList texts = row(report, noId).split(QLatin1Char('|'));
            QCOMPARE(texts.at(2 + 2 * k), QString::number(ratings.size()));
            QCOMPARE(texts.at(1 + 2 * k), QString::number(sum / int(ratings.size())));
            ++cells;
        }
        // Every cell that counts ratings has its entry.
        int counted = 0;
        for (int noId = 1; noId <= 33; ++noId) {
            const QStringList texts = row(report, noId).split(QLatin1Char('|'));
            for (int k = 0; k < 5; ++k)
                counted += texts.value(2 + 2 * k).trimmed().toInt() > 0;
        }
        QCOMPARE(cells, counted);
        QCOMPARE(fromJson.values(QStringLiteral("2/0")).size(), 2); // pied-de-coq, 57 (2)
        QVERIFY(fromJson.contains(QStringLiteral("2/0"), QStringLiteral("60/3")));
        QVERIFY(fromJson.contains(QStringLiteral("2/0"), QStringLiteral("55/6")));

        const QVector<QStringList> lines = parseCsv(fileBytes(csv));
        QCOMPARE(lines.first().mid(0, 6),
                 (QStringList{"ligne", "no_id", "fraction_pct", "mauvaise_herbe", "visuel_pct",
                              "traitement_id"}));
        QMultiHash<QString, QString> fromCsv;
        const QVector<int> percents{50, 60, 70, 80, 100};
        for (const QStringList& l : lines.mid(1))
            fromCsv.insert(QStringLiteral("%1/%2").arg(l[1]).arg(percents.indexOf(l[2].toInt())),
                           QStringLiteral("%1/%2").arg(l[4], l[5]));
        QCOMPARE(fromCsv, fromJson);
    }

    // Pied-de-coq: at 50 % two ratings of one trial (60 and 55, site 2), at 100 % one (90,
    // site 1); its curve would rest on two doses only (treatment 6, atrazine applied twice,
    // is not one dose).
    void analysisWeighsEachCellAndSaysWhyNoCurve() {
        const Outcome o = rapport(atrazineOnAllCorn(m_shared->path(), {"--analyse"}));
        QCOMPARE(o.status, 0);
        const QJsonObject analysis = o.json().value("analysis").toObject();
        QCOMPARE(analysis.value("evidence").toObject().value("repeated").toInt(), 1);
        QJsonObject weed;
        for (const QJsonValue r : analysis.value("rows").toArray())
            if (r["noId"].toInt() == 2)
                weed = r.toObject();
        QCOMPARE(weed.value("label").toString(), QStringLiteral("pied-de-coq"));
        const QJsonArray cells = weed.value("cells").toArray();
        QCOMPARE(cells.size(), 2);
        auto share = [&](int cell, const char* level, const char* what) {
            return cells[cell]["controlShare"][QLatin1String(level)][QLatin1String(what)]
                .toDouble();
        };
        QCOMPARE(cells[0]["fraction"].toInt(), 0);
        QCOMPARE(cells[0]["ratings"].toInt(), 2);
        QCOMPARE(cells[0]["trials"].toInt(), 1);
        QCOMPARE(share(0, "80", "share"), 0.0);
        QCOMPARE(share(0, "80", "lower"), 0.0);
        QVERIFY(qAbs(share(0, "80", "upper") - 0.6576) < 1e-4); // Wilson, 0 of 2
        QCOMPARE(cells[1]["fraction"].toInt(), 4);
        QCOMPARE(share(1, "90", "share"), 1.0);
        QVERIFY(qAbs(share(1, "90", "lower") - 0.2065) < 1e-4); // Wilson, 1 of 1
        QCOMPARE(share(1, "90", "upper"), 1.0);
        const QJsonObject curve = weed.value("curve").toObject();
        QCOMPARE(curve.value("estimable"), QJsonValue(false));
        QCOMPARE(curve.value("reasonCode").toString(), QStringLiteral("too-few-doses"));
        QCOMPARE(curve.value("observations").toInt(), 2);
        QVERIFY(!rapport(atrazineOnAllCorn(m_shared->path())).json().contains("analysis"));
    }

    // --listes: every item of every list, or of one, as "list<TAB>number<TAB>name"; the
    // crops as --culture takes them.
    void printsTheLists() {
        const Outcome all = rapport({"--db", m_shared->path(), "--listes"});
        QCOMPARE(all.status, 0);
        QCOMPARE(all.error, QString());
        const QStringList lines = QString::fromUtf8(all.out).split('\n', Qt::SkipEmptyParts);
        for (const QString& line : lines)
            QVERIFY2(line.count('\t') == 2, qPrintable(line));
        for (const char* line :
             {"periode\t1\tPrélevée", "herbicide\t14\téthalfluraline", "culture\t999\tMaïs (tous)",
              "variete\t3\tSucré C", "antecedent\t2\tblé", "province\t2\tOntario",
              "texture\t1\tloam", "mauvaise-herbe\t201\tprêle des champs"})
            QVERIFY2(lines.contains(QString::fromUtf8(line)), line);
        QVERIFY(!lines.contains(QStringLiteral("culture\t147\tMaïs")));

        const Outcome crops = rapport({"--db", m_shared->path(), "--listes=Cultures"});
        QCOMPARE(crops.status, 0);
        QCOMPARE(QString::fromUtf8(crops.out),
                 QStringLiteral("culture\t999\tMaïs (tous)\nculture\t149\tMaïs grain\n"
                                "culture\t240\tMaïs fourrager\nculture\t242\tMaïs sucré\n"
                                "culture\t300\tSoya\nculture\t301\tÉpinard\n"));
    }

    // The example of the manual page runs as it is written, on the shipped database.
    void theManualPageExampleRuns() {
        QFile page(QStringLiteral(GRELAVO_RAPPORT_MAN));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString roff = QString::fromUtf8(page.readAll());
        const QRegularExpressionMatch example =
            QRegularExpression(QStringLiteral("\\n\\.EX\\n(grelavo\\\\-rapport [^\\n]*)\\n\\.EE"))
                .match(roff);
        QVERIFY2(example.hasMatch(), "no example in the manual page");
        const QString line =
            example.captured(1).replace(QStringLiteral("\\-"), QStringLiteral("-"));
        QStringList arguments = QProcess::splitCommand(line).mid(1);
        QVERIFY(arguments.size() >= 6);
        // A copy: a report rewrites its database's results table.
        QTemporaryDir dir;
        const QString shipped = dir.filePath(QStringLiteral("Grelavo.mdb"));
        QVERIFY(QFile::copy(QStringLiteral(GRELAVO_SHIPPED_DATABASE), shipped));
        const Outcome o = rapport(arguments + QStringList{"--db", shipped});
        QVERIFY2(o.status == 0, qPrintable(line + QStringLiteral(": ") + o.error));
        QVERIFY(o.json().value("totalCases").toInt() > 0);
        QVERIFY(o.json().value("rows").toArray().size() > 20);
    }

    void helpWinsOverEverythingElse() {
        const Outcome o = rapport({"--periode", "x", "--help"});
        QCOMPARE(o.status, 0);
        QCOMPARE(o.error, QString());
        const QString help = QString::fromUtf8(o.out);
        QVERIFY(help.startsWith(QStringLiteral("Utilisation\u00a0: grelavo-rapport")));
        QVERIFY(help.contains(QStringLiteral("--herbicide ID|NOM:TAUX[:FORMULATION]")));
        QVERIFY(help.contains(QStringLiteral("--listes [LISTE]")));
        QVERIFY(help.contains(QStringLiteral("--csv FICHIER")));
        QVERIFY(help.contains(QStringLiteral("--courbes FICHIER")));
        QVERIFY(help.contains(QStringLiteral("PNG, SVG ou PDF")));
    }

private:
    std::unique_ptr<FixtureDatabase> m_shared;
};

QTEST_GUILESS_MAIN(TestRapportCli)
#include "TestRapportCli.moc"
