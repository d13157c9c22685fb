// The question asked at start when a newer edition of the shipped database is installed: the
// answer No leaves the user's copy as it is (and the question comes back), Yes moves it,
// carrying the trials the user imported under their keys and keeping the old copy.

#include "FixtureDatabase.h"
#include "ImportSet.h"
#include "RecordingDialogs.h"
#include "core/db/DatabaseEdition.h"
#include "core/exchange/EditionMove.h"
#include "core/exchange/ExperimentExport.h"
#include "core/exchange/ExperimentImport.h"
#include "gui/app/EditionOffer.h"

#include <QtTest>

using namespace grelavo;

class TestEditionOffer : public QObject {
    Q_OBJECT

private slots:
    void newerEditionIsOfferedUntilTaken() {
        const FixtureDatabase shipped;
        QTemporaryDir user, input;
        const QString working = user.filePath(DatabaseFile::fileName());
        QVERIFY(QFile::copy(shipped.path(), working));
        QCOMPARE(
            int(ExperimentImport::run(working, writeSet(input.path()), ImportOptions()).status),
            int(ImportOutcome::Status::Done));
        const auto imported = [](const QString& path) {
            Connection db(path, DatabaseFile::password());
            QByteArrayList files;
            for (const ExperimentExport::Output& f : ExperimentExport::readImported(db))
                files << f.bytes;
            return files;
        };
        const QByteArrayList importedBefore = imported(working);
        QVERIFY(importedBefore[1].contains("E2,P1")); // under the user's own keys
        RecordingDialogs dialogs;
        offerNewerEdition(working, shipped.path(), dialogs); // the same edition: nothing asked
        QCOMPARE(dialogs.messages.size(), 0);

        // The new edition drops a treatment's ratings and lists another herbicide.
        Connection(shipped.path(), DatabaseFile::password())
            .executeScript(QStringLiteral(
                "INSERT INTO \"tblÉdition\" VALUES ('Démo 2', '2026-06-01', 'essais', 1); "
                "DELETE FROM \"tblMHEval\" WHERE \"TraitementId\" = 7; "
                "INSERT INTO \"ListeDesHerbicides\" VALUES (15, 'mésotrione');"));
        QVERIFY(!EditionMove::check(shipped.path(), working).newer); // never offered backwards
        const QByteArray before = fileBytes(working);
        dialogs.nextAnswer = DialogService::Answer::No;
        offerNewerEdition(working, shipped.path(), dialogs);
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(
            dialogs.messages[0].text,
            QStringLiteral("Une nouvelle édition de la base de données est installée\u00a0: «\u00a0"
                           "Démo 2\u00a0» du 2026-06-01 (vous utilisez la base d'édition "
                           "inconnue).\rLes 2 traitements que vous avez importés y seront "
                           "repris. Votre base actuelle sera gardée.\r\rPasser à la "
                           "nouvelle édition\u00a0? (Sinon, la question sera reposée au "
                           "prochain démarrage.)"));
        QCOMPARE(dialogs.messages[0].buttons, DialogService::Buttons::YesNo);
        QCOMPARE(fileBytes(working), before);

        dialogs.nextAnswer = DialogService::Answer::Yes;
        offerNewerEdition(working, shipped.path(), dialogs);
        QCOMPARE(dialogs.messages.size(), 3);
        QCOMPARE(dialogs.messages[2].icon, DialogService::Icon::Information);
        QVERIFY2(dialogs.messages[2].text.contains(
                     QStringLiteral("Vos 2 traitements importés (3 évaluations) y ont été repris")),
                 qPrintable(dialogs.messages[2].text));
        // The old copy kept as it was; the new one the new edition with the same imported trials.
        const QStringList kept = QDir(user.path()).entryList({QStringLiteral("*.édition-*")});
        QCOMPARE(kept.size(), 1);
        QCOMPARE(fileBytes(user.filePath(kept.first())), before);
        QCOMPARE(imported(working), importedBefore);
        QVERIFY(!EditionMove::check(working, shipped.path()).newer);
        Connection db(working, DatabaseFile::password());
        QCOMPARE(DatabaseEdition::read(db).name, QStringLiteral("Démo 2"));
        QCOMPARE(statementRows(db, QStringLiteral("SELECT count(*) FROM \"tblMHEval\" WHERE "
                                                  "\"TraitementId\" = 7")),
                 QStringList{"0"});
    }
};

QTEST_MAIN(TestEditionOffer)
#include "TestEditionOffer.moc"
