#include "DataAccess.h"

#include "Connection.h"
#include "DE.h"
#include "DbError.h"
#include "Recordset.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

namespace grelavo {

Q_LOGGING_CATEGORY(lcData, "grelavo.db")

namespace {

const QString kLabelIndent = QStringLiteral("     ");
const QString kFreeRowLabel = QStringLiteral("     --------");
const int kLastFixedRow = 30;
const QString kResultsTable = QStringLiteral("tblResults");

void swapAfterDigit(QString& text, QChar from, QChar to) {
    for (int p = 1; p < text.size(); ++p) {
        const QChar before = text[p - 1];
        if (text[p] == from && before >= QLatin1Char('0') && before <= QLatin1Char('9'))
            text[p] = to;
    }
}

} // namespace

QVector<ListRow> DataAccess::FillList(const QString& statement) {
    return FillHerbicideList(-1, statement, {});
}

QVector<ListRow> DataAccess::FillHerbicideList(int r, const QString& statement,
                                               const QStringList& herbicideTexts) {
    const int lastCompared = (r >= 0 && r <= 2) ? r : -1;
    const QStringList chosen = herbicideTexts.mid(0, lastCompared + 1);
    QVector<ListRow> rows;
    Recordset rs;
    try {
        rs.open(m_de.Connection2(), statement);
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            const QString text = rs.field(QStringLiteral("tblField")).toString();
            if (chosen.contains(text, Qt::CaseSensitive))
                continue;
            rows.push_back({rs.field(QStringLiteral("tblId")).toInt(), text});
        }
    } catch (const DbError& e) {
        failed(QStringLiteral("list not filled:"), e);
    }
    return rows;
}

bool DataAccess::RedefineStoredQuery(const QString& statement, const QString& name) {
    try {
        m_de.Connection2().redefineView(name, statement);
        return true;
    } catch (const DbError& e) {
        failed(QStringLiteral("stored query %1 kept:").arg(name), e);
        return false;
    }
}

bool DataAccess::AddResultRow(const QString& label, int id) {
    bool written = false;
    Recordset rs;
    try {
        rs.openTable(m_de.Connection2(), kResultsTable);
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            if (rs.field(QStringLiteral("NoId")).toLongLong() > kLastFixedRow &&
                rs.field(QStringLiteral("Results")).toString() == kFreeRowLabel) {
                rs.setField(QStringLiteral("Results"), kLabelIndent + label);
                rs.setField(QStringLiteral("ResultsId"), id);
                rs.update();
                written = true;
                break;
            }
        }
    } catch (const DbError& e) {
        failed(QStringLiteral("result row not added:"), e);
    }
    return written;
}

bool DataAccess::IsInResults(const QString& label) {
    bool found = false;
    Recordset rs;
    try {
        rs.openTable(m_de.Connection2(), kResultsTable);
        const QString wanted = kLabelIndent + label;
        for (rs.moveFirst(); !rs.eof() && !found; rs.moveNext())
            found = rs.field(QStringLiteral("Results")).toString() == wanted;
    } catch (const DbError& e) {
        failed(QStringLiteral("results not searched:"), e);
    }
    return found;
}

void DataAccess::DropWorkTables() {
    // Table names are matched without regard to case, as the engine resolves them, so a
    // temporary table is always found whatever case it was created with.
    static const QStringList workTables = {QStringLiteral("tblQueryResults"),
                                           QStringLiteral("tblQueryResults_Cat")};
    try {
        Connection& connection = m_de.Connection2();
        for (const QString& table : connection.tableNames()) {
            if (table.startsWith(QLatin1String("MSys")))
                continue;
            if (workTables.contains(table, Qt::CaseInsensitive)) {
                try {
                    connection.execute(QStringLiteral("drop table ") +
                                       Connection::quoteIdentifier(table));
                } catch (const DbError& e) {
                    failed(QStringLiteral("work table not dropped:"), e);
                }
            }
        }
    } catch (const DbError& e) {
        failed(QStringLiteral("work tables not listed:"), e);
    }
}

void DataAccess::failed(const QString& what, const DbError& e) const {
    if (m_failures == Failures::Thrown)
        throw e;
    qCWarning(lcData) << what << e.message();
}

void DataAccess::CommaToPoint(QString& text) {
    swapAfterDigit(text, QLatin1Char(','), QLatin1Char('.'));
}

QString DataAccess::PointToComma(QString& text) {
    swapAfterDigit(text, QLatin1Char('.'), QLatin1Char(','));
    return text;
}

void DataAccess::Pause(int seconds) {
    if (seconds <= 0 || !QCoreApplication::instance()) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace grelavo
