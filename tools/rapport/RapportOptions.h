#pragma once

#include "report/ParameterSet.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace grelavo {

class DE;

// The parameters of one report as the command line gives them, by database ids, turned into
// the parameter set the parameter form would hand to the report engine. Numbers are written
// with a point; the set keeps them as typed, so the engine must read them under QLocale::c().
class RapportOptions {
public:
    // Reads the arguments (the program name left out). False, with error(), when a report
    // cannot be asked for with them: an unknown option, a missing value, an option given too
    // often or together with its alternative, a mandatory parameter missing, a number, an id or
    // a range that cannot be read. --help anywhere wins over everything else.
    bool parse(const QStringList& arguments);

    bool helpRequested() const { return m_help; }
    // The database file asked for; empty for the Grelavo.mdb of the program folder.
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

    // Looks the ids up in the lists of the database and fills the parameter set with the
    // items' names and ids; nothing, with error(), when an id is not offered by its list.
    // Database failures are thrown as DbError. Call after a successful parse().
    std::optional<ParameterSet> parameterSet(DE& de);

    // A one-line French message.
    const QString& error() const { return m_error; }

    static QString helpText();

private:
    struct Herbicide {
        qint16 id = 0;
        QString rate;
        std::optional<qint32> formulation;
    };
    struct Range {
        QString low, high;
    };

    bool fail(const QString& message);
    bool readValues(const QStringList& arguments);
    bool readId(const QString& option, qint32& id);
    bool readOptionalId(const QString& option, std::optional<qint32>& id);
    bool readHerbicide(const QString& value);
    bool readRange(const QString& option, std::optional<Range>& range);
    std::optional<Choice> lookUp(DE& de, const QString& option, qint32 id);

    // Values of each option as given, in command-line order.
    QVector<QPair<QString, QStringList>> m_values;
    QStringList values(const QString& option) const;
    QString value(const QString& option) const;
    bool given(const QString& option) const { return !values(option).isEmpty(); }

    bool m_help = false;
    QString m_databasePath;
    QString m_pdfPath;
    bool m_details = false;
    bool m_analysis = false;
    QString m_detailsCsvPath;
    QString m_csvPath;
    QString m_picturePath;
    QString m_error;

    qint32 m_period = 0;
    QVector<Herbicide> m_herbicides;
    bool m_allCorn = false;
    qint32 m_crop = 0;
    qint16 m_tolerance = 5;
    std::optional<qint32> m_variety, m_previousCrop, m_province, m_texture;
    std::optional<Range> m_organicMatter, m_pH, m_seeding, m_stage, m_depth;
    bool m_seedingInGrains = false;
    bool m_stageAsHeight = false;
    std::optional<int> m_rowSpacing;
    QVector<qint32> m_weeds;
};

} // namespace grelavo
