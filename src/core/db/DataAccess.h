#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace grelavo {

class DE;
class DbError;

// One row of a choice list: the key kept as the item's data and the text shown.
struct ListRow {
    qint32 id = 0;
    QString text;
    bool operator==(const ListRow& other) const { return id == other.id && text == other.text; }
};

// The shared routines through which the windows reach the database. For the windows they go on
// past a failing step: a failure is logged (category grelavo.db) and the routine carries on
// with its next step or returns what it has. The report engine, which must never show a
// failed report as a result, has them throw the DbError instead.
class DataAccess {
public:
    enum class Failures { Logged, Thrown };

    explicit DataAccess(DE& de, Failures failures = Failures::Logged)
        : m_de(de), m_failures(failures) {}

    // The rows of a statement returning tblId and tblField, in the statement's order; no rows
    // when the statement cannot be run. The window puts them into its combo box.
    QVector<ListRow> FillList(const QString& statement);

    // As FillList, leaving out every row whose text equals (exactly) the text of one of the
    // herbicide boxes 0 to r; herbicideTexts holds the texts of the four boxes. Any r other
    // than 0, 1 or 2 leaves nothing out.
    QVector<ListRow> FillHerbicideList(int r, const QString& statement,
                                       const QStringList& herbicideTexts);

    // Replaces the statement of an existing stored query; a missing stored query or a
    // rejected statement leaves everything as it was. True when the new statement is in place.
    bool RedefineStoredQuery(const QString& statement, const QString& name);

    // Writes "     " + label and id into the first free results row above 30; false when
    // there is no free row left.
    bool AddResultRow(const QString& label, int id);

    // Whether a results row, fixed or free, is labelled "     " + label.
    bool IsInResults(const QString& label);

    // Drops the two temporary tables of the aggregation where they exist.
    void DropWorkTables();

    // Every "," that follows a decimal digit becomes "." (the first character never changes).
    static void CommaToPoint(QString& text);
    // Every "." that follows a decimal digit becomes ","; returns the converted text too.
    static QString PointToComma(QString& text);

    // Lets window events run for the given number of seconds, without busy waiting.
    static void Pause(int seconds);

private:
    // Logs the failure and returns, or rethrows it.
    void failed(const QString& what, const DbError& e) const;

    DE& m_de;
    Failures m_failures;
};

} // namespace grelavo
