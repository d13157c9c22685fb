#include "CompactFolder.h"
#include "PelvaneProcess.h"

#include "compact/Form1.h"

#include <QLabel>
#include <QProcess>
#include <QtTest>
#include <grp.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

struct stat statusOf(const QString& path) {
    struct stat status {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return status;
}

// A database of Grelavo's schema holds tables; these are other files under its name.
enum class Foreign { Empty, Text, Unencrypted, OtherPassword, NoTables };

void makeForeign(Foreign kind, const QString& path) {
    switch (kind) {
    case Foreign::Empty:
        return writeFile(path, QByteArray());
    case Foreign::Text:
        return writeFile(path, QByteArray("Liste des herbicides\n").repeated(300));
    case Foreign::Unencrypted:
    case Foreign::OtherPassword: {
        grelavo::Connection db(path,
                               kind == Foreign::Unencrypted ? QString() : QStringLiteral("autre"),
                               grelavo::Connection::Mode::Create);
        db.executeScript(QStringLiteral("CREATE TABLE tblResults (x); INSERT INTO tblResults "
                                        "VALUES (1);"));
        return;
    }
    case Foreign::NoTables: {
        grelavo::Connection db(path, grelavo::DatabaseFile::password(),
                               grelavo::Connection::Mode::Create);
        db.executeScript(QStringLiteral("PRAGMA user_version = 7;"));
        return;
    }
    }
}

} // namespace

class TestPelvane : public QObject {
    Q_OBJECT

private slots:
    void windowSaysTheDatabaseIsBeingCompacted() {
        pelvane::Form1 form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Compactage de la base de donnée en cours…"));
        auto* label = form.findChild<QLabel*>(QStringLiteral("Label1"));
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("Compactage en cours…"));
    }

    // The program compacts the database of its own folder; without one it says so and ends.
    void programCompactsTheDatabaseOfItsFolderOrSaysErrorWithout() {
        CompactFolder folder;
        folder.grow();
        const qint64 grown = folder.size();
        const QStringList before = CompactFolder::content(folder.path());
        const PelvaneRun run = runPelvane(folder.folder());
        QVERIFY(run.ended);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.messages, QStringList{Done});
        QCOMPARE(folder.files(), QStringList({Database, QStringLiteral("pelvane")}));
        QVERIFY(folder.size() < grown);
        QCOMPARE(CompactFolder::content(folder.path()), before);

        QTemporaryDir empty;
        const PelvaneRun error = runPelvane(empty.path());
        QCOMPARE(error.exitCode, 1);
        QCOMPARE(
            error.messages,
            QStringList({QStringLiteral("Erreur."),
                         QStringLiteral("Le compactage ne s'est pas fait jusqu'au bout\u00a0: la "
                                        "base de données «\u00a0%1\u00a0» est introuvable.")
                             .arg(QDir(empty.path()).filePath(Database))}));
        QCOMPARE(QDir(empty.path()).entryList(QDir::Files), QStringList{QStringLiteral("pelvane")});
    }

    // In a terminal or over ssh, with no display at all: the help, and the messages on the
    // standard error, with the same exit statuses; a failure says its cause.
    void runsWithoutADisplay() {
        const auto run = [](const QString& folder, const QStringList& arguments) {
            const QString program = QDir(folder).filePath(QStringLiteral("pelvane"));
            if (!QFileInfo::exists(program))
                QFile::copy(QStringLiteral(PELVANE_PROGRAM), program);
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                environment.remove(QString::fromLatin1(name));
            QProcess process;
            process.setProcessEnvironment(environment);
            process.start(program, arguments);
            process.waitForFinished(120000);
            return std::make_tuple(process.exitStatus() == QProcess::NormalExit ? process.exitCode()
                                                                                : -1,
                                   QString::fromUtf8(process.readAllStandardOutput()),
                                   QString::fromUtf8(process.readAllStandardError()));
        };
        QTemporaryDir empty;
        const auto [helpStatus, help, helpError] = run(empty.path(), {QStringLiteral("--help")});
        QCOMPARE(helpStatus, 0);
        QVERIFY2(help.startsWith(QStringLiteral("Usage\u00a0: pelvane")), qPrintable(help));
        QVERIFY(help.contains(QStringLiteral("Code de sortie")));
        QCOMPARE(helpError, QString());

        CompactFolder folder;
        folder.grow();
        // An option it does not know: refused before the file is touched.
        const QByteArray before = CompactFolder::bytes(folder.path());
        const auto [unknownStatus, unknownOut, unknownError] =
            run(folder.folder(), {QStringLiteral("--force")});
        QCOMPARE(unknownStatus, 1);
        QVERIFY2(unknownError.startsWith(QStringLiteral("Option inconnue\u00a0: «\u00a0--force")),
                 qPrintable(unknownError));
        QCOMPARE(CompactFolder::bytes(folder.path()), before);
        QCOMPARE(folder.files(), (QStringList{Database, QStringLiteral("pelvane")}));

        const auto [status, out, error] = run(folder.folder(), {});
        QCOMPARE(status, 0);
        QCOMPARE(out, QString());
        QCOMPARE(error, Done + QLatin1Char('\n'));

        // A link to nothing: no database, and why.
        const QString link = QDir(empty.path()).filePath(Database);
        QVERIFY(QFile::link(QDir(empty.path()).filePath(QStringLiteral("ailleurs.mdb")), link));
        const auto [linkStatus, linkOut, linkError] = run(empty.path(), {});
        QCOMPARE(linkStatus, 1);
        QCOMPARE(
            linkError,
            QStringLiteral(
                "Erreur.\nLe compactage ne s'est pas fait jusqu'au bout\u00a0: «\u00a0%1\u00a0» "
                "est un lien vers «\u00a0%2\u00a0», qui n'existe pas.\n")
                .arg(link, QDir(empty.path()).filePath(QStringLiteral("ailleurs.mdb"))));
    }

    // The only copy left by an earlier run, the compacted one, becomes the database.
    void aWholeCopyLeftAloneBecomesTheDatabase() {
        CompactFolder folder;
        const QStringList before = CompactFolder::content(folder.path());
        QVERIFY(QFile::rename(folder.path(), folder.file(Database + QStringLiteral(".CPT"))));

        const PelvaneRun run = runPelvane(folder.folder());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.messages, QStringList{Done});
        QCOMPARE(folder.files(), QStringList({Database, QStringLiteral("pelvane")}));
        QCOMPARE(CompactFolder::content(folder.path()), before);
    }

    // A file that is not a Grelavo database under the password is refused with one message that
    // names it; it, and the work file beside it, stay as they were.
    void refusesAFileThatIsNotAGrelavoDatabase_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("cause");
        QTest::newRow("empty file") << int(Foreign::Empty) << "vide (0 octet)";
        QTest::newRow("text file") << int(Foreign::Text) << "pas une base de données Grelavo";
        QTest::newRow("unencrypted database")
            << int(Foreign::Unencrypted) << "pas une base de données Grelavo";
        QTest::newRow("other password") << int(Foreign::OtherPassword) << "mot de passe";
        QTest::newRow("no tables") << int(Foreign::NoTables) << "aucune table";
    }

    void refusesAFileThatIsNotAGrelavoDatabase() {
        QFETCH(int, kind);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        const QString path = dir.filePath(Database);
        const QString stale = path + QStringLiteral(".CPT");
        makeForeign(Foreign(kind), path);
        writeFile(stale, QByteArray("reste"));
        const QByteArray bytes = CompactFolder::bytes(path);

        const PelvaneRun run = runPelvane(dir.path());
        QVERIFY(run.ended);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.messages.size(), 1);
        const QString message = run.messages.first();
        QVERIFY2(message.contains(path) && message.contains(cause) &&
                     message.contains(QStringLiteral("Rien n'a été modifié")),
                 qPrintable(message));
        QCOMPARE(
            QDir(dir.path()).entryList(QDir::Files),
            QStringList({Database, Database + QStringLiteral(".CPT"), QStringLiteral("pelvane")}));
        QVERIFY(CompactFolder::bytes(path) == bytes);
        QCOMPARE(CompactFolder::bytes(stale), QByteArray("reste"));
    }

    // The compacted database keeps the file's permissions, here read-only, and its owner and
    // group (those only when the test can give the file another owner, as root).
    void keepsTheDatabasesPermissionsAndOwner() {
        CompactFolder folder;
        folder.grow();
        const QStringList before = CompactFolder::content(folder.path());
        const QByteArray name = QFile::encodeName(folder.path());
        QCOMPARE(::chmod(name.constData(), 0440), 0);
        const bool root = ::geteuid() == 0;
        if (root)
            QCOMPARE(::chown(name.constData(), 65534, 65534), 0);
        const struct stat was = statusOf(folder.path());

        const PelvaneRun run = runPelvane(folder.folder());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.messages, QStringList{Done});
        const struct stat is = statusOf(folder.path());
        QVERIFY(is.st_ino != was.st_ino); // compacted, not left alone
        QCOMPARE(is.st_mode & 07777, was.st_mode & 07777);
        QCOMPARE(is.st_uid, was.st_uid);
        QCOMPARE(is.st_gid, was.st_gid);
        QCOMPARE(CompactFolder::content(folder.path()), before);
        if (!root)
            QSKIP("owner kept: only checked as root");
    }

    // Run by a user who could not give the compacted copy the database's owner, the program
    // refuses before it touches anything.
    void refusesADatabaseWhoseOwnerItCannotKeep() {
        if (::geteuid() != 0)
            QSKIP("needs root, to run the program as another user");
        CompactFolder folder;
        QCOMPARE(::chmod(QFile::encodeName(folder.folder()).constData(), 0777), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder.path()).constData(), 0666), 0);
        const QByteArray bytes = CompactFolder::bytes(folder.path());
        PelvaneOptions asNobody;
        asNobody.inChild = [] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(99);
        };

        const PelvaneRun run = runPelvane(folder.folder(), asNobody);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.messages.size(), 1);
        QVERIFY2(run.messages.first().contains(folder.path()) &&
                     run.messages.first().contains(QStringLiteral("«\u00a0root\u00a0»")),
                 qPrintable(run.messages.first()));
        QCOMPARE(folder.files(), QStringList({Database, QStringLiteral("pelvane")}));
        QCOMPARE(statusOf(folder.path()).st_uid, uid_t(0));
        QVERIFY(CompactFolder::bytes(folder.path()) == bytes);
    }

    // A database reached through a symbolic link is compacted where the link leads, its work
    // files beside it; the link stays a link to it.
    void compactsTheFileALinkLeadsTo() {
        CompactFolder target(QStringLiteral("base.mdb"));
        target.grow();
        const qint64 grown = target.size();
        const QStringList before = CompactFolder::content(target.path());
        QTemporaryDir program;
        const QString link = QDir(program.path()).filePath(Database);
        QVERIFY(QFile::link(target.path(), link));

        const PelvaneRun run = runPelvane(program.path());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.messages, QStringList{Done});
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QFileInfo(link).symLinkTarget(), target.path());
        QCOMPARE(QDir(program.path()).entryList(QDir::Files),
                 QStringList({Database, QStringLiteral("pelvane")}));
        QCOMPARE(target.files(), QStringList{QStringLiteral("base.mdb")});
        QVERIFY(target.size() < grown);
        QCOMPARE(CompactFolder::content(link), before);
    }
};

QTEST_MAIN(TestPelvane)
#include "TestPelvane.moc"
