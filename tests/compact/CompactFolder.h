#pragma once

#include "core/db/Connection.h"
#include "core/db/DatabaseFile.h"
#include "core/db/DbError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

// The database's name in its program folder, and the message of a compaction that went well.
inline const QString Database = grelavo::DatabaseFile::fileName();
inline const QString Done = QStringLiteral("compactage terminée");

// Writes the bytes over the file, or fails the test.
inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A program folder in a temporary directory holding a copy of the shipped database, made to
// grow as a report session makes it grow, and what a compaction must keep of it.
class CompactFolder {
public:
    explicit CompactFolder(const QString& name = grelavo::DatabaseFile::fileName()) : m_name(name) {
        QVERIFY(QFile::copy(QStringLiteral(GRELAVO_DATABASE_FILE), m_dir.filePath(name)));
    }

    QString folder() const { return m_dir.path(); }
    QString path() const { return m_dir.filePath(m_name); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    QStringList files() const { return QDir(folder()).entryList(QDir::Files, QDir::Name); }
    qint64 size() const { return QFileInfo(path()).size(); }

    // Temporary tables created and dropped, rows added and deleted, a stored query rewritten.
    void grow() {
        grelavo::Connection db(path(), grelavo::DatabaseFile::password());
        db.executeScript(QStringLiteral(R"(
            CREATE TABLE tmpCopie AS SELECT * FROM tblDétailsHerbicides;
            INSERT INTO tmpCopie SELECT * FROM tmpCopie; INSERT INTO tmpCopie SELECT * FROM tmpCopie;
            INSERT INTO tmpCopie SELECT * FROM tmpCopie;
            DROP TABLE tmpCopie;
            CREATE TABLE tmpGardee (n INTEGER, texte TEXT);
            WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 20000)
                INSERT INTO tmpGardee SELECT i, hex(randomblob(40)) FROM c;
            DELETE FROM tmpGardee WHERE n % 100 <> 0;)"));
        db.redefineView(QStringLiteral("Herbicide1"),
                        QStringLiteral("SELECT * FROM tblDétailsHerbicides WHERE "
                                       "(((tblDétailsHerbicides.HerbicideId)=3));"));
    }

    // A table of 'rowCount' rows of 200 random characters each: the database then takes a
    // while to compact.
    void addBulk(int rowCount) {
        grelavo::Connection db(path(), grelavo::DatabaseFile::password());
        db.executeScript(QStringLiteral(R"(
            CREATE TABLE tmpVolume (n INTEGER PRIMARY KEY, texte TEXT);
            WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < %1)
                INSERT INTO tmpVolume SELECT i, hex(randomblob(100)) FROM c;)")
                             .arg(rowCount));
    }

    // Every schema entry (its statement), then each table's and each view's name and rows
    // (sorted, for a table without an integer key may be renumbered).
    static QStringList content(const QString& path) {
        grelavo::Connection db(path, grelavo::DatabaseFile::password());
        QStringList result = rows(db, "SELECT type || ' ' || name || ': ' || ifnull(sql, '') "
                                      "FROM sqlite_master ORDER BY type, name");
        for (const QString& source :
             rows(db, "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') "
                      "ORDER BY type, name")) {
            QStringList sourceRows =
                rows(db, "SELECT * FROM " + grelavo::Connection::quoteIdentifier(source).toUtf8());
            sourceRows.sort();
            result << source + QStringLiteral(":") << sourceRows;
        }
        return result;
    }

    static QByteArray bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static bool opensWithKey(const QString& path, const QString& key) {
        try {
            grelavo::Connection db(path, key);
            return true;
        } catch (const grelavo::DbError&) {
            return false;
        }
    }

private:
    // Each row as its columns' text, separated by tabs.
    static QStringList rows(grelavo::Connection& db, const QByteArray& sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db.handle(), sql.constData(), -1, &statement, nullptr) != SQLITE_OK)
            qFatal("cannot prepare %s", sql.constData());
        QStringList result;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList columns;
            for (int i = 0; i < sqlite3_column_count(statement); ++i)
                columns << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
            result << columns.join(QLatin1Char('\t'));
        }
        sqlite3_finalize(statement);
        return result;
    }

    QTemporaryDir m_dir;
    QString m_name;
};
