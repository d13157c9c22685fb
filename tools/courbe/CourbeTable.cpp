#include "CourbeTable.h"

#include "core/text/CsvReader.h"
#include "core/text/NumberReading.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace grelavo {

namespace {

// A heading as the columns are looked up: no case, no accent, no blank around.
QString folded(const QString& heading) {
    const QString decomposed =
        heading.trimmed().toCaseFolded().normalized(QString::NormalizationForm_D);
    QString out;
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            out += c;
    return out;
}

QString quoted(const QString& text) {
    return QStringLiteral("«\u00a0%1\u00a0»").arg(text);
}

} // namespace

bool CourbeTable::fail(int line, const QString& column, const QString& message) {
    m_error = column.isEmpty()
                  ? QStringLiteral("%1, ligne %2\u00a0: %3").arg(m_fileName).arg(line).arg(message)
                  : QStringLiteral("%1, ligne %2, colonne %3\u00a0: %4")
                        .arg(m_fileName)
                        .arg(line)
                        .arg(column, message);
    return false;
}

bool CourbeTable::read(const QString& path, const QString& trialColumn,
                       const QString& groupColumn) {
    m_fileName = QFileInfo(path).fileName();
    m_groups.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("%1\u00a0: %2")
                      .arg(path, QFileInfo::exists(path) ? QStringLiteral("lecture impossible")
                                                         : QStringLiteral("fichier introuvable"));
        return false;
    }
    CsvReader::Table table;
    int line = 0;
    const QString problem = CsvReader::read(file.readAll(), &table, &line);
    if (!problem.isEmpty())
        return fail(line, QString(), problem);

    // Where each column is; -1 for a column not asked for.
    const auto find = [&](const QString& name, int* index) {
        *index = -1;
        if (name.isEmpty())
            return true;
        for (int i = 0; i < table.headings.size(); ++i)
            if (folded(table.headings.at(i)) == folded(name)) {
                *index = i;
                return true;
            }
        return fail(1, QString(), QStringLiteral("pas de colonne %1").arg(quoted(name)));
    };
    int dose = -1, response = -1, trial = -1, group = -1;
    if (!find(QStringLiteral("dose"), &dose) || !find(QStringLiteral("reponse"), &response) ||
        !find(trialColumn, &trial) || !find(groupColumn, &group))
        return false;

    QHash<QString, int> trialNumbers, groupIndex;
    for (const CsvRecord& record : std::as_const(table.rows)) {
        const auto field = [&](int column) {
            return column < record.fields.size() ? record.fields.at(column).trimmed() : QString();
        };
        const auto number = [&](int column, double* value) {
            const QString text = field(column);
            if (text.isEmpty())
                return fail(record.line, table.headings.at(column),
                            QStringLiteral("valeur manquante"));
            if (!readNumber(text, value))
                return fail(record.line, table.headings.at(column),
                            QStringLiteral("%1 n'est pas un nombre").arg(quoted(text)));
            return true;
        };
        DoseObservation o;
        if (!number(dose, &o.dose) || !number(response, &o.response))
            return false;
        if (o.dose < 0)
            return fail(record.line, table.headings.at(dose),
                        QStringLiteral("%1\u00a0: une dose ne peut être négative")
                            .arg(quoted(field(dose))));
        if (trial >= 0) {
            const QString name = field(trial);
            if (name.isEmpty())
                return fail(record.line, table.headings.at(trial),
                            QStringLiteral("essai manquant"));
            o.cluster = trialNumbers.value(name, trialNumbers.size());
            trialNumbers.insert(name, o.cluster);
        }
        const QString groupName = group >= 0 ? field(group) : QString();
        if (!groupIndex.contains(groupName)) {
            groupIndex.insert(groupName, m_groups.size());
            m_groups.append({groupName, {}});
        }
        m_groups[groupIndex.value(groupName)].observations.append(o);
    }
    if (m_groups.isEmpty())
        m_groups.append({QString(), {}});
    return true;
}

} // namespace grelavo
