// grelavo-rapport run as a user runs it, on the small experiment set of tests/db/fixture.sql.

#include "FixtureDatabase.h"
#include "db/Connection.h"
#include "db/Recordset.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

using namespace grelavo;

namespace {

struct Outcome {
    int status = -1;
    QByteArray out;
    QString error;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

Outcome rapport(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(GRELAVO_RAPPORT), arguments);
    if (!process.waitForFinished(20000))
        qFatal("grelavo-rapport did not finish");
    Outcome o;
    o.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    o.out = process.readAllStandardOutput();
    o.error = QString::fromUtf8(process.readAllStandardError());
    return o;
}

// Atrazine at 1 kg/ha before emergence on all corn, on the given database file.
QStringList atrazineOnAllCorn(const QString& db, const QStringList& more = {}) {
    return QStringList{"--db", db, "--periode", "1", "--herbicide", "10:1", "--culture", "tous"} +
           more;
}

// The row whose NoId is given, as "label|cell 1|...|cell 10", "~" standing for null.
QString row(const QJsonObject& report, int noId) {
    for (const QJsonValue& r : report.value("rows").toArray()) {
        const QJsonObject o = r.toObject();
        if (o.value("noId").toInt() != noId)
            continue;
        QStringList texts{o.value("label").isNull() ? "~" : o.value("label").toString()};
        for (const QJsonValue& cell : o.value("cells").toArray())
            texts << (cell.isNull() ? "~" : cell.toString());
        return texts.join(QLatin1Char('|'));
    }
    return QStringLiteral("no row %1").arg(noId);
}

// The ten cells of a row, trimmed, "~" for null: "57|2|-|-|-|-|-|-|90|1".
QString cells(const QJsonObject& report, int noId) {
    QStringList parts = row(report, noId).split(QLatin1Char('|')).mid(1);
    for (QString& part : parts)
        part = part.trimmed();
    return parts.join(QLatin1Char('|'));
}

// Every row of tblResults, read straight from the file.
QStringList resultsTable(const QString& path) {
    Connection db(path, DatabaseFile::password());
    Recordset rs;
    rs.open(db, QStringLiteral("SELECT * FROM tblResults ORDER BY NoId"));
    QStringList rows;
    for (; !rs.eof(); rs.moveNext()) {
        QStringList fields;
        for (const QString& name : rs.fieldNames())
            fields << rs.field(name).toString();
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

void verifyOneLineMessage(const Outcome& o) {
    QVERIFY2(o.error.startsWith(QStringLiteral("grelavo-rapport : ")), qPrintable(o.error));
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

    void printsTheWholeResultsTable() {
        FixtureDatabase fixture;
        const Outcome o = rapport(atrazineOnAllCorn(fixture.path()));
        QCOMPARE(o.status, 0);
        QCOMPARE(o.error, QString());
        const QJsonObject report = o.json();
        QCOMPARE(report.value("totalCases").toInt(), 7);
        QCOMPARE(report.value("noDataFound"), QJsonValue(false));
        const QJsonArray rows = report.value("rows").toArray();
        QCOMPARE(rows.size(), 33);
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(rows.at(i).toObject().value("noId").toInt(), i + 1);
        // Labels and cells as the table holds them: blanks kept, NULL as null.
        QCOMPARE(row(report, 1), "Graminées annuelles|57|2| - | - | - | - | - | - |87|2");
        QCOMPARE(row(report, 2), "     pied-de-coq|57|2| - | - | - | - | - | - |90|1");
        QCOMPARE(row(report, 3), "     sétaire verte|~|0| - | - | - | - | - | - |85|1");
        QCOMPARE(row(report, 9), "     chénopode blanc|65|1| - | - | - | - | - | - |80|1");
        QCOMPARE(row(report, 7), "~|kept| - | - | - | - | - | - | - | - |kept");
        QCOMPARE(row(report, 30),
                 "Sélection de l'utilisateur|kept| - | - | - | - | - | - | - | - |kept");
        QCOMPARE(row(report, 31), "     --------| - | - | - | - | - | - | - | - | - | - ");
    }

    void extraWeedTakesTheFirstFreeRow() {
        FixtureDatabase fixture;
        // Barnyardgrass already has its row: only the sedge gets a free one.
        const Outcome o = rapport(atrazineOnAllCorn(
            fixture.path(), {"--mauvaise-herbe", "16", "--mauvaise-herbe", "200"}));
        QCOMPARE(o.status, 0);
        const QJsonObject report = o.json();
        QCOMPARE(row(report, 31), "     souchet comestible|50|1| - | - | - | - | - | - | - | - ");
        QCOMPARE(row(report, 32), "     --------| - | - | - | - | - | - | - | - | - | - ");
        QCOMPARE(cells(report, 2), "57|2|-|-|-|-|-|-|90|1");
    }

    void eachOptionReachesTheReport_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("totalCases");
        QTest::addColumn<QString>("barnyardgrass"); // the cells of row 2

        const QStringList atrazine{"--periode", "1", "--herbicide", "10:1"};
        const QStringList allCorn = atrazine + QStringList{"--culture", "tous"};
        // Unfiltered: treatments 3 and 6 at 50 %, treatment 1 at 100 %.
        QTest::newRow("rien de plus") << allCorn << 7 << "57|2|-|-|-|-|-|-|90|1";
        QTest::newRow("Maïs grain")
            << atrazine + QStringList{"--culture", "149"} << 5 << "55|1|-|-|-|-|-|-|90|1";
        QTest::newRow("Maïs fourrager")
            << atrazine + QStringList{"--culture", "240"} << 2 << "60|1|-|-|-|-|-|-|-|-";
        QTest::newRow("variété sans essai")
            << atrazine + QStringList{"--culture", "149", "--variete", "2"} << 0
            << "-|-|-|-|-|-|-|-|-|-";
        QTest::newRow("antécédent")
            << allCorn + QStringList{"--antecedent", "2"} << 0 << "-|-|-|-|-|-|-|-|-|-";
        QTest::newRow("province") << allCorn + QStringList{"--province", "2"} << 4
                                  << "57|2|-|-|-|-|-|-|-|-";
        QTest::newRow("texture") << allCorn + QStringList{"--texture", "1"} << 3
                                 << "-|-|-|-|-|-|-|-|90|1";
        QTest::newRow("matière organique")
            << allCorn + QStringList{"--mo", "3:4"} << 3 << "-|-|-|-|-|-|-|-|90|1";
        QTest::newRow("pH") << allCorn + QStringList{"--ph", "7:7.5"} << 4
                            << "57|2|-|-|-|-|-|-|-|-";
        QTest::newRow("semis en kg")
            << allCorn + QStringList{"--semis-kg", "20.5:21.5"} << 2 << "55|1|-|-|-|-|-|-|-|-";
        QTest::newRow("semis en grains") << allCorn + QStringList{"--semis-grains", "70000:75000"}
                                         << 5 << "60|1|-|-|-|-|-|-|90|1";
        QTest::newRow("feuilles") << allCorn + QStringList{"--feuilles", "5:7"} << 2
                                  << "55|1|-|-|-|-|-|-|-|-";
        QTest::newRow("hauteur") << allCorn + QStringList{"--hauteur", "9:12"} << 5
                                 << "60|1|-|-|-|-|-|-|90|1";
        QTest::newRow("profondeur")
            << allCorn + QStringList{"--profondeur", "6:6"} << 2 << "60|1|-|-|-|-|-|-|-|-";
        QTest::newRow("écart 70 - 80")
            << allCorn + QStringList{"--ecart", "1"} << 5 << "55|1|-|-|-|-|-|-|90|1";
        QTest::newRow("écart 90 - 100")
            << allCorn + QStringList{"--ecart", "3"} << 2 << "60|1|-|-|-|-|-|-|-|-";
        QTest::newRow("formulation")
            << QStringList{"--periode", "1", "--herbicide", "10:1:2", "--culture", "tous"} << 2
            << "60|1|-|-|-|-|-|-|-|-";
        // 1.04 keeps 0.5 and 1.0 inside the 50 % and 100 % windows at 5 %, not at 1 %.
        QTest::newRow("taux décimal")
            << QStringList{"--periode", "1", "--herbicide", "10:1.04", "--culture", "tous"} << 7
            << "57|2|-|-|-|-|-|-|90|1";
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
        QCOMPARE(cells(report, 2), barnyardgrass);
    }

    void databaseOfAnyName_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("capitales") << "GRELAVO.MDB";
        QTest::newRow("autre nom") << "essais 2024.db";
    }

    void databaseOfAnyName() {
        QFETCH(QString, name);
        FixtureDatabase fixture;
        QTemporaryDir elsewhere;
        const QString path = elsewhere.filePath(name);
        QVERIFY(QFile::copy(fixture.path(), path));
        const Outcome o = rapport(atrazineOnAllCorn(path));
        QCOMPARE(o.status, 0);
        QCOMPARE(o.json().value("totalCases").toInt(), 7);
        // The report was written into that very file.
        QCOMPARE(resultsTable(path).at(1),
                 "2|     pied-de-coq|16|57|2| - | - | - | - | - | - |90|1");
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files), QStringList{name});
    }

    void refusedParametersRunNothing_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message"); // a part of it

        const QStringList period{"--periode", "1"};
        const QStringList atrazine = period + QStringList{"--herbicide", "10:1"};
        const QStringList allCorn = atrazine + QStringList{"--culture", "tous"};
        QTest::newRow("sans période")
            << QStringList{"--herbicide", "10:1", "--culture", "tous"} << "période d'application";
        QTest::newRow("sans herbicide")
            << period + QStringList{"--culture", "tous"} << "entrer un herbicide";
        QTest::newRow("sans culture") << atrazine << "choisir une culture";
        QTest::newRow("sans taux") << period + QStringList{"--herbicide", "10", "--culture", "tous"}
                                   << "taux d'application";
        QTest::newRow("taux à virgule")
            << period + QStringList{"--herbicide", "10:1,5", "--culture", "tous"} << "« 1,5 »";
        QTest::newRow("période inconnue")
            << QStringList{"--periode", "3", "--herbicide", "10:1", "--culture", "tous"}
            << "identifiant 3";
        QTest::newRow("herbicide inconnu")
            << period +
                   QStringList{"--herbicide", "10:1", "--herbicide", "99:1", "--culture", "tous"}
            << "identifiant 99";
        QTest::newRow("herbicide répété")
            << period +
                   QStringList{"--herbicide", "10:1", "--herbicide", "10:2", "--culture", "tous"}
            << "l'herbicide 10";
        QTest::newRow("cinq herbicides")
            << period + QStringList{"--herbicide", "10:1", "--herbicide", "11:1",
                                    "--herbicide", "12:1", "--herbicide", "13:1",
                                    "--herbicide", "14:1", "--culture",   "tous"}
            << "--herbicide";
        QTest::newRow("culture offerte seulement avec les autres maïs")
            << atrazine + QStringList{"--culture", "147"} << "tous";
        QTest::newRow("culture inconnue")
            << atrazine + QStringList{"--culture", "999"} << "identifiant 999";
        QTest::newRow("variété de Maïs (tous)")
            << allCorn + QStringList{"--variete", "1"} << "--variete";
        QTest::newRow("variété inconnue")
            << atrazine + QStringList{"--culture", "149", "--variete", "9"} << "identifiant 9";
        QTest::newRow("tolérance 9") << allCorn + QStringList{"--tolerance", "9"} << "--tolerance";
        QTest::newRow("tolérance 0") << allCorn + QStringList{"--tolerance", "0"} << "--tolerance";
        QTest::newRow("feuilles et hauteur")
            << allCorn + QStringList{"--feuilles", "2:4", "--hauteur", "10:20"} << "--hauteur";
        QTest::newRow("semis en kg et en grains")
            << allCorn + QStringList{"--semis-kg", "15:20", "--semis-grains", "60000:80000"}
            << "--semis-grains";
        QTest::newRow("intervalle à l'envers")
            << allCorn + QStringList{"--profondeur", "10:2"} << "plus petite";
        QTest::newRow("borne manquante") << allCorn + QStringList{"--ph", "6:"} << "seconde valeur";
        QTest::newRow("borne non numérique")
            << allCorn + QStringList{"--mo", "2:beaucoup"} << "« beaucoup »";
        QTest::newRow("écart 5") << allCorn + QStringList{"--ecart", "5"} << "--ecart";
        QTest::newRow("mauvaise herbe inconnue")
            << allCorn + QStringList{"--mauvaise-herbe", "15", "--mauvaise-herbe", "999"}
            << "identifiant 999";
        QTest::newRow("six mauvaises herbes")
            << allCorn + QStringList{"--mauvaise-herbe", "15",  "--mauvaise-herbe", "16",
                                     "--mauvaise-herbe", "34",  "--mauvaise-herbe", "200",
                                     "--mauvaise-herbe", "201", "--mauvaise-herbe", "15"}
            << "--mauvaise-herbe";
        QTest::newRow("option inconnue")
            << allCorn + QStringList{"--herbicides", "10:1"} << "--herbicides";
        QTest::newRow("option répétée") << allCorn + QStringList{"--periode", "2"} << "--periode";
        QTest::newRow("valeur manquante") << allCorn + QStringList{"--province"} << "--province";
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

    void unusableDatabase_data() {
        QTest::addColumn<QString>("content"); // "" for no file at all
        QTest::newRow("fichier absent") << QString();
        QTest::newRow("autre clé") << "key";
        QTest::newRow("pas une base") << "text";
    }

    void unusableDatabase() {
        QFETCH(QString, content);
        QTemporaryDir dir;
        const QString path = dir.filePath(DatabaseFile::fileName());
        if (content == QLatin1String("key")) {
            Connection other(path, QStringLiteral("une autre clé"), Connection::Mode::Create);
            other.executeScript(QStringLiteral("CREATE TABLE t (x);"));
        } else if (content == QLatin1String("text")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, 'x'));
        }
        const Outcome o = rapport(atrazineOnAllCorn(path));
        QCOMPARE(o.status, 1);
        verifyOneLineMessage(o);
        QVERIFY2(o.error.contains(path), qPrintable(o.error));
    }

    void helpListsEveryOption() {
        // --help wins over whatever else is on the line.
        const Outcome o = rapport({"--periode", "x", "--help"});
        QCOMPARE(o.status, 0);
        const QString help = QString::fromUtf8(o.out);
        QVERIFY(help.startsWith(QStringLiteral("Utilisation : grelavo-rapport")));
        for (const char* option :
             {"--db FICHIER", "--periode ID", "--herbicide ID:TAUX[:FORMULATION]",
              "--culture ID|tous", "--tolerance N", "--variete ID", "--antecedent ID",
              "--province ID", "--texture ID", "--mo BAS:HAUT", "--ph BAS:HAUT",
              "--semis-kg BAS:HAUT", "--semis-grains BAS:HAUT", "--feuilles BAS:HAUT",
              "--hauteur BAS:HAUT", "--profondeur BAS:HAUT", "--ecart 0..4", "--mauvaise-herbe ID",
              "-h, --help"})
            QVERIFY2(help.contains(QString::fromUtf8(option)), option);
        QCOMPARE(o.error, QString());
    }

private:
    std::unique_ptr<FixtureDatabase> m_shared;
};

QTEST_GUILESS_MAIN(TestRapportCli)
#include "TestRapportCli.moc"
