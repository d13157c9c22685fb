// Which database file the programs open: the build folder's, or the user's working copy of the
// shipped file, made safely the first time.

#include "core/db/DatabaseLocation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace grelavo;

namespace {

const QString Name = QStringLiteral("Grelavo.mdb");

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

// Every entry of a folder, hidden ones too (a temporary copy left behind would show).
QStringList entries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Bytes that look like no other file: a shipped file two and a half megabytes long.
QByteArray shippedBytes() {
    QByteArray bytes;
    for (int i = 0; bytes.size() < 2'500'000; ++i)
        bytes += QByteArray::number(i * 7919) + ';';
    return bytes;
}

// Runs 'work' as the user "nobody" when the test runs as root (permissions do not bind root),
// in a child process; its text comes back through a pipe.
QString asOrdinaryUser(const std::function<QString()>& work) {
    if (::geteuid() != 0)
        return work();
    int ends[2];
    if (::pipe(ends) != 0)
        return QStringLiteral("<no pipe>");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(99);
        const QByteArray text = work().toUtf8();
        const bool written = ::write(ends[1], text.constData(), text.size()) == text.size();
        ::_exit(written ? 0 : 98);
    }
    ::close(ends[1]);
    QByteArray text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    ::close(ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QStringLiteral("<child failed: %1>").arg(status);
    return QString::fromUtf8(text);
}

// An installed tree: prefix/bin (the programs), prefix/share/grelavo (the shipped files), and a
// user's home whose data folder does not exist yet; all reachable by "nobody".
struct InstalledTree {
    QTemporaryDir root;
    QString bin = root.filePath(QStringLiteral("usr/bin"));
    QString share = root.filePath(QStringLiteral("usr/share/grelavo"));
    QString home = root.filePath(QStringLiteral("home"));
    QString userFolder = root.filePath(QStringLiteral("home/.local/share/Grelavo"));

    InstalledTree() {
        QDir().mkpath(bin);
        QDir().mkpath(share);
        QDir().mkpath(home);
        writeFile(share + QLatin1Char('/') + Name, shippedBytes());
        ::chmod(QFile::encodeName(root.path()).constData(), 0755);
        ::chmod(QFile::encodeName(home).constData(), 0777);
    }
    QString shipped() const { return share + QLatin1Char('/') + Name; }
    DatabaseLocation location() const { return DatabaseLocation(bin, userFolder); }
};

} // namespace

class TestDatabaseLocation : public QObject {
    Q_OBJECT

private slots:
    // A build folder: the database beside the programs, the folder writable. It is used where it
    // is, whatever the spelling of its name, and the user's data folder is not even made.
    void aBuildFolderKeepsItsOwnDatabase() {
        for (const QString& spelling : {Name, QStringLiteral("grelavo.MDB")}) {
            QTemporaryDir root;
            const QString bin = root.filePath(QStringLiteral("bin"));
            const QString user = root.filePath(QStringLiteral("donnees/Grelavo"));
            writeFile(bin + QLatin1Char('/') + spelling, "base");
            DatabaseLocation location(bin, user);
            QCOMPARE(location.kind(), DatabaseLocation::Kind::ProgramFolder);
            QCOMPARE(location.prepare(), bin);
            QVERIFY(location.error().isEmpty());
            QVERIFY(!QFileInfo::exists(root.filePath(QStringLiteral("donnees"))));
        }
    }

    // The first run of an installed copy makes the working copy, byte for byte, with no other
    // file beside it; the shipped file is left as it was. The next runs use that copy as the user
    // left it, never copying the shipped file over it.
    void anInstalledCopyMakesTheWorkingCopyOnce() {
        InstalledTree tree;
        const QByteArray shipped = bytesOf(tree.shipped());
        const QDateTime shippedTime = QFileInfo(tree.shipped()).lastModified();
        DatabaseLocation location = tree.location();
        QCOMPARE(location.kind(), DatabaseLocation::Kind::WorkingCopy);
        QCOMPARE(location.shippedFile(), tree.shipped());
        QCOMPARE(location.prepare(), tree.userFolder);
        QVERIFY2(location.error().isEmpty(), qPrintable(location.error()));
        QCOMPARE(entries(tree.userFolder), QStringList{Name});
        QVERIFY(bytesOf(tree.userFolder + QLatin1Char('/') + Name) == shipped);
        QVERIFY(QFileInfo(tree.userFolder + QLatin1Char('/') + Name).isWritable());

        writeFile(tree.userFolder + QLatin1Char('/') + Name, "compactée par l'utilisateur");
        QCOMPARE(tree.location().prepare(), tree.userFolder);
        QCOMPARE(bytesOf(tree.userFolder + QLatin1Char('/') + Name),
                 QByteArray("compactée par l'utilisateur"));
        QVERIFY(bytesOf(tree.shipped()) == shipped);
        QCOMPARE(QFileInfo(tree.shipped()).lastModified(), shippedTime);
    }

    // A working copy spelt otherwise is still the working copy.
    void theWorkingCopyIsFoundWhateverItsSpelling() {
        InstalledTree tree;
        writeFile(tree.userFolder + QStringLiteral("/GRELAVO.mdb"), "copie");
        DatabaseLocation location = tree.location();
        QCOMPARE(location.prepare(), tree.userFolder);
        QCOMPARE(entries(tree.userFolder), QStringList{QStringLiteral("GRELAVO.mdb")});
        QCOMPARE(location.workingCopy(), tree.userFolder + QStringLiteral("/GRELAVO.mdb"));
    }

    // The shipped files are looked for beside the programs first, then in ../share/grelavo, so
    // that a tree keeps working wherever it is moved.
    void shippedFilesAreBesideTheProgramsOrInShare() {
        InstalledTree tree;
        QCOMPARE(DatabaseLocation::shippedFile(tree.bin, Name), tree.shipped());
        QCOMPARE(DatabaseLocation::shippedFile(tree.bin, QStringLiteral("Aide.chm")), QString());
        writeFile(tree.share + QStringLiteral("/aide.CHM"), "aide");
        QCOMPARE(DatabaseLocation::shippedFile(tree.bin, QStringLiteral("Aide.chm")),
                 tree.share + QStringLiteral("/aide.CHM"));
        writeFile(tree.bin + QStringLiteral("/Aide.chm"), "aide de la construction");
        QCOMPARE(DatabaseLocation::shippedFile(tree.bin, QStringLiteral("Aide.chm")),
                 tree.bin + QStringLiteral("/Aide.chm"));

        const QString moved = tree.root.filePath(QStringLiteral("ailleurs"));
        QVERIFY(QDir().rename(tree.root.filePath(QStringLiteral("usr")), moved));
        QCOMPARE(DatabaseLocation::shippedFile(moved + QStringLiteral("/bin"), Name),
                 moved + QStringLiteral("/share/grelavo/") + Name);
    }

    // With no database anywhere, the programs are pointed at their own folder, where they say the
    // file is missing, and nothing is made. A working copy left by an installed Grelavo is not
    // taken up by a program that ships no database (a folder of tests, a build folder).
    void noDatabaseAnywhereMakesNothing() {
        QTemporaryDir root;
        const QString user = root.filePath(QStringLiteral("donnees"));
        DatabaseLocation location(root.path(), user);
        QCOMPARE(location.kind(), DatabaseLocation::Kind::Missing);
        QCOMPARE(location.prepare(), root.path());
        QVERIFY(location.error().isEmpty());
        QVERIFY(!QFileInfo::exists(user));

        writeFile(user + QLatin1Char('/') + Name, "copie de travail d'une installation");
        QCOMPARE(location.kind(), DatabaseLocation::Kind::Missing);
        QCOMPARE(location.prepare(), root.path());
    }

    // A program folder that holds the database but cannot be written (a copy installed beside
    // its programs, read-only) gives the working copy too; the file beside the programs stays.
    void aReadOnlyProgramFolderGivesAWorkingCopy() {
        InstalledTree tree;
        const QString beside = tree.bin + QLatin1Char('/') + Name;
        writeFile(beside, "base à côté du programme");
        QCOMPARE(::chmod(QFile::encodeName(tree.bin).constData(), 0555), 0);
        const QString outcome = asOrdinaryUser([&] {
            DatabaseLocation location = tree.location();
            return location.prepare() + QLatin1Char('|') + location.error();
        });
        ::chmod(QFile::encodeName(tree.bin).constData(), 0755);
        QCOMPARE(outcome, tree.userFolder + QLatin1Char('|'));
        QCOMPARE(bytesOf(tree.userFolder + QLatin1Char('/') + Name),
                 QByteArray("base à côté du programme"));
        QCOMPARE(bytesOf(beside), QByteArray("base à côté du programme"));
    }

    // A data folder that cannot be made: the message names it and says why; nothing is made.
    void aDataFolderThatCannotBeMadeIsNamedWithItsCause_data() {
        QTest::addColumn<QString>("blocker");
        QTest::addColumn<QString>("cause");
        QTest::newRow("un fichier") << "file"
                                    << "un élément du chemin n'est pas un dossier";
        QTest::newRow("dossier en lecture seule") << "read-only"
                                                  << "permission refusée";
    }

    void aDataFolderThatCannotBeMadeIsNamedWithItsCause() {
        QFETCH(QString, blocker);
        QFETCH(QString, cause);
        InstalledTree tree;
        const QString local = tree.home + QStringLiteral("/.local");
        if (blocker == QLatin1String("file"))
            writeFile(local, "pas un dossier");
        else
            QVERIFY(QDir().mkpath(local)); // owned by root, 0755: "nobody" cannot write it
        const QString outcome = asOrdinaryUser([&] {
            DatabaseLocation location = tree.location();
            return location.prepare() + QLatin1Char('|') + location.error();
        });
        const QString failed = blocker == QLatin1String("file") ? local : local + "/share";
        QCOMPARE(outcome,
                 QStringLiteral(
                     "|Impossible de créer le dossier «\u00a0%1\u00a0» de la copie de travail de "
                     "la base de données\u00a0: %2.")
                     .arg(failed, cause));
        QVERIFY(!QFileInfo::exists(local + QStringLiteral("/share")));
    }

    // A copy that the disk cannot hold (here a file size limit stands for the full disk): the
    // message names both files and the cause, no file is left in the data folder, the shipped file
    // is whole, and once there is room the next run makes the copy.
    void aCopyCutShortLeavesNothing() {
        InstalledTree tree;
        const QByteArray shipped = bytesOf(tree.shipped());
        rlimit was{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &was), 0);
        const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = was;
        small.rlim_cur = 1'000'000;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        DatabaseLocation location = tree.location();
        const QString folder = location.prepare();
        ::setrlimit(RLIMIT_FSIZE, &was);
        std::signal(SIGXFSZ, previousSignal);

        QCOMPARE(folder, QString());
        QCOMPARE(location.error(),
                 QStringLiteral("Impossible de copier la base de données «\u00a0%1\u00a0» vers "
                                "«\u00a0%2\u00a0»\u00a0: le "
                                "fichier dépasse la taille permise. Rien n'a été écrit.")
                     .arg(tree.shipped(), tree.userFolder + QLatin1Char('/') + Name));
        QCOMPARE(entries(tree.userFolder), QStringList());
        QVERIFY(bytesOf(tree.shipped()) == shipped);

        QCOMPARE(location.prepare(), tree.userFolder);
        QVERIFY(bytesOf(tree.userFolder + QLatin1Char('/') + Name) == shipped);
    }

    // The user's data folder is the same for every program, whatever name it gives itself, and
    // follows XDG_DATA_HOME.
    void everyProgramSharesOneDataFolder() {
        QTemporaryDir data;
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        const QString asGrelavo = DatabaseLocation::userDataFolder();
        QCoreApplication::setApplicationName(QStringLiteral("Pelvane"));
        const QString asPelvane = DatabaseLocation::userDataFolder();
        QCoreApplication::setApplicationName(QStringLiteral("Grelavo"));
        if (saved.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", saved);
        QCOMPARE(asGrelavo, data.filePath(QStringLiteral("Grelavo")));
        QCOMPARE(asPelvane, asGrelavo);
    }
};

QTEST_GUILESS_MAIN(TestDatabaseLocation)
#include "TestDatabaseLocation.moc"
