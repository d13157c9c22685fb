// Whether a database file can serve, checked as the programs check it at start.

#include "FixtureDatabase.h"
#include "FrenchText.h"
#include "core/db/Connection.h"
#include "core/db/DE.h"
#include "core/db/DatabaseCheck.h"
#include "core/db/DatabaseStamp.h"
#include "core/db/DbError.h"
#include "core/db/SystemError.h"

#include <QDir>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace grelavo;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Damages one page in the middle of the file, far from the schema: only reading every page
// finds it.
void damageAPage(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const qint64 at = file.size() / 2 + 100;
    file.seek(at);
    QByteArray bytes = file.read(16);
    for (char& b : bytes)
        b = char(~b);
    file.seek(at);
    file.write(bytes);
}

struct timespec modified(const QString& path) {
    struct stat s {};
    ::stat(QFile::encodeName(path).constData(), &s);
    return s.st_mtim;
}

void setModified(const QString& path, struct timespec when) {
    const struct timespec times[2] = {when, when};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
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

    // A file changed since Grelavo last found it whole is read page by page; one that is not
    // opens without it.
    void theWholeFileIsReadWhenItMayHaveChanged_data() {
        QTest::addColumn<QString>("change");
        QTest::newRow("unchanged") << "";
        QTest::newRow("another time") << "time";
        QTest::newRow("another file, same size and time") << "identity";
        QTest::newRow("another size") << "size";
        QTest::newRow("write cut short") << "journal";
        QTest::newRow("no stamp") << "no stamp";
        QTest::newRow("unreadable stamp") << "bad stamp";
        QTest::newRow("asked for") << "asked";
    }

    void theWholeFileIsReadWhenItMayHaveChanged() {
        QFETCH(QString, change);
        FixtureDatabase f;
        {
            DE de(f.folder());
            QCOMPARE(DatabaseCheck::problem(de), QString());
            QVERIFY(DatabaseCheck::lastCheckWasFull());
        }
        QVERIFY(DatabaseStamp::current(f.path()));
        // A damage the stamp does not know of: another program's write, unless it is stamped.
        const struct timespec before = modified(f.path());
        damageAPage(f.path());
        setModified(f.path(), before);
        QVERIFY(DatabaseStamp::current(f.path()));
        if (change == QLatin1String("time")) {
            setModified(f.path(), {before.tv_sec - 60, before.tv_nsec});
        } else if (change == QLatin1String("identity")) {
            const QString copy = f.path() + QStringLiteral(".copie");
            QVERIFY(QFile::copy(f.path(), copy));
            QVERIFY(QFile::remove(f.path()));
            QVERIFY(QFile::rename(copy, f.path()));
            setModified(f.path(), before);
        } else if (change == QLatin1String("size")) {
            QFile file(f.path());
            QVERIFY(file.open(QIODevice::Append));
            file.write(QByteArray(512, '\0'));
            file.close();
            setModified(f.path(), before);
        } else if (change == QLatin1String("journal")) {
            writeBytes(f.path() + QStringLiteral("-journal"), QByteArray(512, 'j'));
        } else if (change == QLatin1String("no stamp")) {
            QVERIFY(QFile::remove(DatabaseStamp::pathFor(f.path())));
        } else if (change == QLatin1String("bad stamp")) {
            writeBytes(DatabaseStamp::pathFor(f.path()), QByteArray("\x01\x02 n'importe quoi"));
        } else if (change == QLatin1String("asked")) {
            DatabaseCheck::requireFullCheck();
        }
        DE de(f.folder());
        const QString problem = DatabaseCheck::problem(de);
        if (change.isEmpty()) {
            QCOMPARE(problem, QString());
            QVERIFY(!DatabaseCheck::lastCheckWasFull());
            return;
        }
        QVERIFY(DatabaseCheck::lastCheckWasFull());
        QVERIFY2(problem.contains(QStringLiteral("est endommagé")), qPrintable(problem));
        // A damaged file is never stamped: the next start reads it again.
        QVERIFY(!DatabaseStamp::current(f.path()));
        if (change == QLatin1String("asked")) {
            QCOMPARE(DatabaseCheck::problem(de), problem); // every check of the process
            DatabaseCheck::requireFullCheck(false);
        }
    }

    // Grelavo's own writes keep the stamp: it is written again when the connection closes, if
    // the file was found sound when it opened.
    void grelavosOwnWritesKeepTheStamp() {
        FixtureDatabase f;
        {
            DE de(f.folder());
            QCOMPARE(DatabaseCheck::problem(de), QString());
            de.Connection2().executeScript(
                QStringLiteral("CREATE TABLE travail(x); INSERT INTO travail VALUES (1);"));
        }
        QVERIFY(DatabaseStamp::current(f.path()));
        {
            DE unchecked(f.folder());
            unchecked.Connection2().executeScript(QStringLiteral("DROP TABLE travail"));
        }
        QVERIFY(!DatabaseStamp::current(f.path()));
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
