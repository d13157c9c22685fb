#pragma once

#include "core/db/Connection.h"
#include "core/db/DatabaseFile.h"
#include "core/db/Recordset.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

// A program folder in a temporary directory holding Grelavo.mdb built from the real schema and
// the small experiment set of tests/db/fixture.sql.
class FixtureDatabase {
public:
    FixtureDatabase() {
        QVERIFY(m_dir.isValid());
        grelavo::Connection db(path(), grelavo::DatabaseFile::password(),
                               grelavo::Connection::Mode::Create);
        db.executeScript(readText(QStringLiteral(GRELAVO_SCHEMA_SQL)));
        db.executeScript(readText(QStringLiteral(GRELAVO_FIXTURE_SQL)));
    }

    QString folder() const { return m_dir.path(); }
    QString path() const { return m_dir.filePath(grelavo::DatabaseFile::fileName()); }

    static QString readText(const QString& file) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(file));
        return QString::fromUtf8(f.readAll());
    }

private:
    QTemporaryDir m_dir;
};

// The bytes of a file, to see that something left it untouched.
inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Rows of a statement, each written as its fields joined by "|" (NULL written as nullText).
inline QStringList statementRows(grelavo::Connection& db, const QString& sql,
                                 const QString& nullText = QString()) {
    grelavo::Recordset rs;
    rs.open(db, sql);
    QStringList out;
    for (; !rs.eof(); rs.moveNext()) {
        QStringList fields;
        for (const QString& name : rs.fieldNames()) {
            const QVariant v = rs.field(name);
            fields << (v.isNull() ? nullText : v.toString());
        }
        out << fields.join(QLatin1Char('|'));
    }
    return out;
}
