// Whether a database file can serve, checked as the programs check it at start.

#include "FixtureDatabase.h"
#include "FrenchText.h"
#include "db/Connection.h"
#include "db/DE.h"
#include "db/DatabaseCheck.h"
#include "db/DbError.h"
#include "db/SystemError.h"

#include <QDir>
#include <sqlite3.h>
#include <unistd.h>

using namespace grelavo;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

class TestDatabaseCheck : public QObject {
    Q_OBJECT

private slots:
    void aGrelavoDatabaseServes() {
        FixtureDatabase f;
        DE de(f.folder());
        QCOMPARE(DatabaseCheck::problem(de), QString());
        QVERIFY(de.isConnected());
    }

    void unusableFilesAreNamedWithTheirCauseAndLeftUntouched_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("cause");
        QTest::newRow("empty") << "empty"
                               << "est vide\u00a0: ce n'est pas une base de données Grelavo";
        QTest::newRow("text") << "text"
                              << "ce n'est pas une base de données Grelavo, ou sa clé";
        QTest::newRow("another key") << "another key"
                                     << "ce n'est pas une base de données Grelavo, ou sa clé";
        QTest::newRow("cut in half") << "cut in half"
                                     << "est endommagé";
        QTest::newRow("not Grelavo's tables")
            << "other tables"
            << "n'est pas une base de données Grelavo\u00a0: il n'a pas «\u00a0";
    }

    void unusableFilesAreNamedWithTheirCauseAndLeftUntouched() {
        QFETCH(QString, damage);
        QFETCH(QString, cause);
        FixtureDatabase f;
        if (damage == QLatin1String("empty")) {
            writeBytes(f.path(), QByteArray());
        } else if (damage == QLatin1String("text")) {
            writeBytes(f.path(), QByteArray("Nom;Taux\natrazine;1\n").repeated(300));
        } else if (damage == QLatin1String("another key")) {
            QFile::remove(f.path());
            Connection other(f.path(), QStringLiteral("une autre clé"), Connection::Mode::Create);
            other.executeScript(QStringLiteral("CREATE TABLE t(x); INSERT INTO t VALUES (1);"));
        } else if (damage == QLatin1String("cut in half")) {
            const QByteArray whole = fileBytes(f.path());
            writeBytes(f.path(), whole.left(whole.size() / 2));
        } else {
            QFile::remove(f.path());
            Connection other(f.path(), DatabaseFile::password(), Connection::Mode::Create);
            other.executeScript(
                QStringLiteral("CREATE TABLE notes(x); INSERT INTO notes VALUES (1);"));
        }
        const QByteArray before = fileBytes(f.path());
        {
            DE de(f.folder());
            const QString problem = DatabaseCheck::problem(de);
            QVERIFY2(problem.contains(cause), qPrintable(problem));
            QVERIFY2(problem.contains(QDir::toNativeSeparators(f.path())), qPrintable(problem));
        }
        // Nothing is ever written into a file that is not a Grelavo database.
        QCOMPARE(fileBytes(f.path()), before);
    }

    void aFileInUseSaysGrelavoIsAlreadyOpen() {
        FixtureDatabase f;
        DE first(f.folder());
        QCOMPARE(DatabaseCheck::problem(first), QString());
        DE second(f.folder());
        const QString problem = DatabaseCheck::problem(second);
        QVERIFY2(problem.startsWith(QStringLiteral("Grelavo est déjà ouvert\u00a0: le fichier ")),
                 qPrintable(problem));
        first.close();
        QCOMPARE(DatabaseCheck::problem(second), QString());
    }

    // Root may write any file: these cases run as another user in the command-line tests.
    void readOnlyFileOrFolderIsNamed() {
        if (geteuid() == 0)
            QSKIP("permissions do not bind root");
        FixtureDatabase f;
        QFile::setPermissions(f.path(), QFile::ReadOwner);
        {
            DE de(f.folder());
            QVERIFY(DatabaseCheck::problem(de).contains(QStringLiteral("est en lecture seule")));
        }
        QFile::setPermissions(f.path(), QFile::ReadOwner | QFile::WriteOwner);
        QFile::setPermissions(f.folder(), QFile::ReadOwner | QFile::ExeOwner);
        {
            DE de(f.folder());
            const QString problem = DatabaseCheck::problem(de);
            QVERIFY2(problem.startsWith(QStringLiteral("Le dossier ")), qPrintable(problem));
        }
        QFile::setPermissions(f.folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void causesAreSaidInWords() {
        QCOMPARE(DatabaseCheck::causeInWords(DbError(SQLITE_FULL, QString())),
                 QStringLiteral("le disque est plein"));
        QCOMPARE(DatabaseCheck::causeInWords(DbError(SQLITE_IOERR_WRITE, QString())),
                 QStringLiteral("erreur de lecture ou d'écriture sur le disque"));
        QVERIFY(DatabaseCheck::causeInWords(DbError(SQLITE_BUSY, QString()))
                    .contains(QStringLiteral("utilisée par un autre programme")));
        QVERIFY(DatabaseCheck::causeInWords(DbError(SQLITE_READONLY, QString()))
                    .contains(QStringLiteral("lecture seule")));

        // The engine's English never reaches the words: not for a real failure, not for any
        // code, nor for any system error number.
        FixtureDatabase f;
        Connection db(f.path(), DatabaseFile::password());
        try {
            db.executeScript(QStringLiteral("SELECT * FROM \"absente\""));
            QFAIL("a missing table was read");
        } catch (const DbError& e) {
            QVERIFY(e.message().contains(QStringLiteral("no such table")));
            const QString said = DatabaseCheck::causeInWords(e);
            QVERIFY2(englishWords(said).isEmpty(), qPrintable(said));
        }
        for (int code = 0; code < 30; ++code) {
            const QString said =
                DatabaseCheck::causeInWords(DbError(code, QStringLiteral("disk I/O error")));
            QVERIFY2(!said.isEmpty() && englishWords(said).isEmpty(), qPrintable(said));
        }
        for (int error = 1; error < 134; ++error) {
            const QString said = systemErrorInWords(error);
            QVERIFY2(!said.isEmpty() && englishWords(said).isEmpty(), qPrintable(said));
        }
    }
};

QTEST_GUILESS_MAIN(TestDatabaseCheck)
#include "TestDatabaseCheck.moc"
