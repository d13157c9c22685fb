// The real grelavo program, started as a user starts it (offscreen), in a folder of its own with
// a copy of the shipped database; a plugin at its keyboard types a report and quits. The
// report written into the file must be the reference evaluator's.

#include "FixtureDatabase.h"
#include "verify/ReferenceEvaluator.h"

#include <QProcess>

using namespace grelavo;

class TestProgram : public QObject {
    Q_OBJECT

private:
    static qint32 idOf(Connection& db, const QString& sql) {
        const QStringList rows = statementRows(db, sql);
        return rows.size() == 1 ? rows.first().toInt() : -1;
    }

private slots:
    void aReportTypedIntoTheRealProgram() {
        QTemporaryDir folder;
        const QString program = folder.filePath(QStringLiteral("grelavo"));
        const QString database = folder.filePath(DatabaseFile::fileName());
        QVERIFY(QFile::copy(QStringLiteral(GRELAVO_PROGRAM), program));
        QVERIFY(QFile::copy(QStringLiteral(GRELAVO_SHIPPED_DATABASE), database));
        QFile(database).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);

        QProcess grelavo;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // Whatever the system's language, Qt's own buttons speak French.
        environment.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
        environment.insert(QStringLiteral("LANGUAGE"), QStringLiteral("en"));
        environment.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(GRELAVO_PLUGINS));
        environment.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"),
                           QStringLiteral("grelavodriver"));
        environment.insert(QStringLiteral("GRELAVO_DRIVER_LOG"), folder.filePath("driver.log"));
        grelavo.setProcessEnvironment(environment);
        grelavo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        grelavo.start(program, {});
        QVERIFY(grelavo.waitForFinished(120000));
        QCOMPARE(grelavo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(grelavo.exitCode(), 0);
        QCOMPARE(
            FixtureDatabase::readText(folder.filePath("driver.log")).split('\n'),
            QStringList(
                {"cbbApp = Prélevée", "cbbNombHerb = 1", "cbbHerbApp(0) = atrazine",
                 "txtTaux(0) = 1", "cbbCult = Maïs (tous)",
                 "rapport affiché\u00a0: Gestion des rapports",
                 "question\u00a0: Voulez-vous vraiment quitter l'application\u00a0? [&Non, &Oui]",
                 ""}));

        Connection db(database, DatabaseFile::password());
        ParameterSet p;
        p.SelectedApplicationType =
            qint16(idOf(db, "SELECT TypeApplicationId FROM ListeDesPériodesApplication WHERE "
                            "TypeApplication = 'Prélevée'"));
        p.cbbApp = {QStringLiteral("Prélevée"), p.SelectedApplicationType};
        p.SelectedHerbicideId[0] = qint16(
            idOf(db, "SELECT HerbicideId FROM ListeDesHerbicides WHERE Herbicide = 'atrazine'"));
        p.cbbHerbApp[0] = {QStringLiteral("atrazine"), p.SelectedHerbicideId[0]};
        p.txtTaux[0] = p.EnteredRate[0] = QStringLiteral("1");
        p.cbbCult = {QStringLiteral("Maïs (tous)"), ParameterSet::AllCornItemData};
        const std::optional<ReferenceReport> expected = ReferenceEvaluator(db).evaluate(p);
        QVERIFY(expected && expected->TotalCases > 0);
        const QVector<ResultsRow> written = ResultsTable::read(db);
        QCOMPARE(written.size(), expected->rows.size());
        for (int i = 0; i < written.size(); ++i)
            QVERIFY2(written[i] == expected->rows[i], qPrintable(QString::number(i + 1)));
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "TestProgram.moc"
