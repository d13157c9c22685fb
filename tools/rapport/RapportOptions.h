#pragma once

#include "core/report/ParameterSet.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace grelavo {

class Connection;

// The parameters of one report as the command line gives them, list items by number or by name,
// turned into the parameter set the parameter form would hand to the report engine; or the
// request to print the lists. Numbers are written with a point; the set keeps them as typed, so
// the engine must read them under QLocale::c().
class RapportOptions {
public:
    // Reads the arguments (the program's name first). False, with error(), when a report cannot
    // be asked for with them: an unknown option, a missing value, an option given too often or
    // together with its alternative, a mandatory parameter missing, a number or a range that
    // cannot be read. --help anywhere wins over everything else.
    bool parse(const QStringList& arguments);

    bool helpRequested() const { return m_help; }
    // --listes: the lists are printed instead of a report.
    bool listsRequested() const { return m_lists; }
    // The database file asked for; empty for the one the programs use.
    const QString& databasePath() const { return m_databasePath; }
    // The PDF file the report page is written to; empty for none.
    const QString& pdfPath() const { return m_pdfPath; }
    // The ratings behind each cell: in the JSON, and in a CSV file (empty for none).
    bool detailsRequested() const { return m_details; }
    const QString& detailsCsvPath() const { return m_detailsCsvPath; }
    // The results table as a CSV file, as the results window saves it; empty for none.
    const QString& csvPath() const { return m_csvPath; }
    // The dose-response picture of the report's categories, a PNG, SVG or PDF file as the
    // name ends; empty for none. Any other ending is refused by parse().
    const QString& picturePath() const { return m_picturePath; }
    // The dose-response analysis of the report, in the JSON.
    bool analysisRequested() const { return m_analysis; }

    // Looks the items up in the lists of the database, by number or name, and fills the
    // parameter set with their names and ids; nothing, with error(), when one is not in its list
    // or a name stands for several. Database failures are thrown as DbError. Call after a
    // successful parse().
    std::optional<ParameterSet> parameterSet(Connection& db);

    // For --listes: one line per item, "option<TAB>number<TAB>name", of every list or of the one
    // named (parse() refuses a list that is not one). Throws DbError.
    QString listsText(Connection& db) const;

    // A one-line French message.
    const QString& error() const { return m_error; }

    static QString helpText();

private:
    struct Herbicide {
        QString item; // number or name
        QString rate;
        std::optional<qint32> formulation;
    };
    struct Range {
        QString low, high;
    };

    bool fail(const QString& message);
    // The command line read into m_values (each option's values, their number checked), the
    // help, the lists and the database asked for.
    bool readCommandLine(const QStringList& arguments);
    // The report's parameters: those that exclude each other, the mandatory ones, the
    // tolerance; then the optional conditions and the files to write.
    bool readParameters();
    bool readConditionsAndFiles();
    bool readHerbicide(const QString& value);
    bool readRange(const QString& option, std::optional<Range>& range);
    bool readListName(const QString& name);
    std::optional<Choice> choose(Connection& db, const QString& option, const QString& text);

    QHash<QString, QStringList> m_values; // of each option given, in command-line order
    QStringList values(const QString& option) const { return m_values.value(option); }
    QString value(const QString& option) const { return values(option).value(0); }
    bool given(const QString& option) const { return m_values.contains(option); }

    bool m_help = false;
    bool m_lists = false;
    QStringList m_shownLists; // by their options' names
    QString m_databasePath;
    QString m_pdfPath;
    bool m_details = false;
    bool m_analysis = false;
    QString m_detailsCsvPath;
    QString m_csvPath;
    QString m_picturePath;
    QString m_error;

    QVector<Herbicide> m_herbicides;
    qint16 m_tolerance = 5;
    std::optional<Range> m_organicMatter, m_pH, m_seeding, m_stage, m_depth;
    bool m_seedingInGrains = false;
    bool m_stageAsHeight = false;
    std::optional<int> m_rowSpacing;
};

} // namespace grelavo
