#pragma once

#include "core/stats/DoseResponseFit.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace grelavo {

// The command line of grelavo-courbe: the CSV file, the models to try, the response levels asked
// for and the columns of trials and groups.
class CourbeOptions {
public:
    // Reads the arguments (the program's name first, as QCoreApplication::arguments() gives
    // them). False, with error(), for an unknown option, a missing or repeated value, a model or
    // a list of levels that cannot be read, or not exactly one file. --help wins over the rest.
    bool parse(const QStringList& arguments);

    bool helpRequested() const { return m_help; }
    const QString& file() const { return m_file; }
    const QVector<LogLogisticModel>& models() const { return m_models; }
    const QVector<double>& levels() const { return m_levels; }
    bool absolute() const { return m_absolute; }
    // Empty when not given.
    const QString& trialColumn() const { return m_trialColumn; }
    const QString& groupColumn() const { return m_groupColumn; }

    // A one-line French message.
    const QString& error() const { return m_error; }

    static QString helpText();

private:
    bool fail(const QString& message);
    bool readModel(const QString& text);
    bool readLevels(const QString& text);

    bool m_help = false;
    QString m_file;
    QVector<LogLogisticModel> m_models{LogLogisticModel::LL4};
    QVector<double> m_levels{10, 50, 90};
    bool m_absolute = false;
    QString m_trialColumn;
    QString m_groupColumn;
    QString m_error;
};

} // namespace grelavo
