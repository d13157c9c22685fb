#pragma once

#include "core/stats/DoseResponseFit.h"

#include <QString>
#include <QVector>

namespace grelavo {

// The observations of a CSV file of doses and responses: the columns "dose" and "reponse"
// (headings compared without regard to case, accents and surrounding blanks), and on request a
// column naming each observation's trial and one naming its group.
class CourbeTable {
public:
    struct Group {
        QString name; // empty without a group column
        QVector<DoseObservation> observations;
    };

    // False, with error(), when the file cannot be read or holds something that is not a dose
    // or a response: the message names the file, the line and the column.
    bool read(const QString& path, const QString& trialColumn, const QString& groupColumn);

    // In the order of their first line; one group without a group column.
    const QVector<Group>& groups() const { return m_groups; }
    const QString& error() const { return m_error; }

private:
    bool fail(int line, const QString& column, const QString& message);

    QString m_fileName;
    QVector<Group> m_groups;
    QString m_error;
};

} // namespace grelavo
