#include "ChildRun.h"

#include "core/db/Connection.h"
#include "core/db/DatabaseFile.h"
#include "core/db/DbError.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryFile>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace grelavo::bench {

namespace {

const char kMeasure[] = "--grelavo_measure=";
const char kDump[] = "--grelavo_dump";

double nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Starts argv[0] with argv and waits for it; -1 and errno when it cannot start.
pid_t spawn(const std::vector<std::string>& arguments, int errorFd) {
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (errorFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, errorFd, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);
    }
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) {
        errno = failed;
        return -1;
    }
    return pid;
}

// A CSV field: text quoted when it holds a separator, a quote or a line break.
void writeField(FILE* out, const char* text, bool isText) {
    if (!text)
        return;
    if (!isText || !std::strpbrk(text, ",\"\r\n")) {
        std::fputs(text, out);
        return;
    }
    std::fputc('"', out);
    for (const char* c = text; *c; ++c) {
        if (*c == '"')
            std::fputc('"', out);
        std::fputc(*c, out);
    }
    std::fputc('"', out);
}

} // namespace

QStringList dumpArguments(const QString& databaseFile, const QString& folder) {
    return {QString::fromLatin1(kDump), databaseFile, folder};
}

ChildResult runMeasured(const QString& program, const QStringList& arguments) {
    ChildResult result;
    QTemporaryFile report;
    QTemporaryFile output;
    if (!report.open() || !output.open()) {
        result.error = "no temporary file";
        return result;
    }
    std::vector<std::string> argv{QCoreApplication::applicationFilePath().toStdString(),
                                  kMeasure + report.fileName().toStdString(),
                                  program.toStdString()};
    for (const QString& a : arguments)
        argv.push_back(a.toStdString());
    const pid_t pid = spawn(argv, output.handle());
    if (pid < 0) {
        result.error = std::string("cannot start the bench again: ") + std::strerror(errno);
        return result;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    report.seek(0);
    const QList<QByteArray> fields = report.readAll().trimmed().split(' ');
    if (fields.size() == 4) {
        result.exitStatus = fields[0].toInt();
        result.wallMs = fields[1].toDouble();
        result.cpuMs = fields[2].toDouble();
        result.peakMegabytes = fields[3].toDouble() / 1024.0;
    }
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && result.exitStatus == 0;
    if (!result.ok) {
        output.seek(0);
        const QByteArray text = output.readAll();
        result.error = program.section(QLatin1Char('/'), -1).toStdString() + " failed (status " +
                       std::to_string(result.exitStatus) + "): " + text.left(300).toStdString();
    }
    return result;
}

int measureMain(int argc, char** argv) {
    if (argc < 3 || std::strncmp(argv[1], kMeasure, sizeof kMeasure - 1) != 0)
        return -1;
    const char* reportFile = argv[1] + sizeof kMeasure - 1;
    std::vector<std::string> arguments(argv + 2, argv + argc);
    if (arguments[0] == kDump) // the dump is this program too
        arguments.insert(arguments.begin(), argv[0]);
    const double start = nowMs();
    const pid_t pid = spawn(arguments, -1);
    if (pid < 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", arguments[0].c_str(), std::strerror(errno));
        return 127;
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    const double wall = nowMs() - start;
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (FILE* out = std::fopen(reportFile, "w")) {
        const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
        std::fprintf(out, "%d %.3f %.3f %ld\n", exitStatus, wall,
                     ms(usage.ru_utime) + ms(usage.ru_stime), usage.ru_maxrss);
        std::fclose(out);
    }
    return exitStatus;
}

int dumpMain(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], kDump) != 0)
        return -1;
    if (argc != 4) {
        std::fprintf(stderr, "%s DATABASE FOLDER\n", kDump);
        return 2;
    }
    static const char* const tables[] = {
        "tbldesSites",      "tbldesTraitements",    "tblCultureEXP", "tblPériodesApplication",
        "tblStadeCultureH", "tblDétailsHerbicides", "tblMHEval"};
    try {
        Connection db(QString::fromLocal8Bit(argv[2]), DatabaseFile::password());
        for (const char* table : tables) {
            const std::string path = std::string(argv[3]) + "/" + table + ".csv";
            FILE* out = std::fopen(path.c_str(), "w");
            if (!out) {
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
                return 1;
            }
            const QByteArray sql =
                "SELECT * FROM " + Connection::quoteIdentifier(QString::fromUtf8(table)).toUtf8();
            sqlite3_stmt* rows = nullptr;
            if (sqlite3_prepare_v2(db.handle(), sql.constData(), -1, &rows, nullptr) != SQLITE_OK)
                db.throwLastError(QString::fromUtf8(sql));
            const int columns = sqlite3_column_count(rows);
            for (int c = 0; c < columns; ++c) {
                if (c)
                    std::fputc(',', out);
                writeField(out, sqlite3_column_name(rows, c), true);
            }
            std::fputc('\n', out);
            int step = SQLITE_ROW;
            while ((step = sqlite3_step(rows)) == SQLITE_ROW) {
                for (int c = 0; c < columns; ++c) {
                    if (c)
                        std::fputc(',', out);
                    // The type first: reading the text may change it.
                    const bool isText = sqlite3_column_type(rows, c) == SQLITE_TEXT;
                    writeField(out, reinterpret_cast<const char*>(sqlite3_column_text(rows, c)),
                               isText);
                }
                std::fputc('\n', out);
            }
            sqlite3_finalize(rows);
            if (step != SQLITE_DONE)
                db.throwLastError(QString::fromUtf8(sql));
            if (std::fclose(out) != 0) {
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
                return 1;
            }
        }
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
    return 0;
}

} // namespace grelavo::bench
