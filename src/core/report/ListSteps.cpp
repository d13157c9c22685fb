#include "ListSteps.h"

#include "ListStatements.h"
#include "core/db/DE.h"
#include "core/db/DbError.h"
#include "core/db/Recordset.h"

#include <QLoggingCategory>

namespace grelavo {

namespace {

Q_LOGGING_CATEGORY(lcLists, "grelavo.lists")

const QString kDetailsApplication = QStringLiteral("DétailsApplication");

} // namespace

QVector<ListRow> ListSteps::afterCount(int count, int applicationType) {
    DataAccess data(m_de);
    data.RedefineStoredQuery(ListStatements::countStep(count, applicationType),
                             kDetailsApplication);
    // No box is compared: nothing is chosen yet.
    return data.FillHerbicideList(-1, ListStatements::herbicideList(), {});
}

QVector<ListRow> ListSteps::afterHerbicide(int r, int count, int applicationType,
                                           const QVector<int>& ids,
                                           const QStringList& herbicideTexts) {
    DataAccess data(m_de);
    data.RedefineStoredQuery(ListStatements::herbicideStep(r, count, applicationType, ids),
                             kDetailsApplication);
    return data.FillHerbicideList(r, ListStatements::herbicideList(), herbicideTexts);
}

QVector<QVector<QVariant>> ListSteps::rateCombinations(int applicationType,
                                                       const QVector<int>& ids) {
    const int n = int(ids.size());
    QVector<QVector<QVariant>> combinations;
    if (n < 1 || n > 4)
        return combinations;
    DataAccess(m_de).RedefineStoredQuery(ListStatements::rates(applicationType, ids),
                                         kDetailsApplication);
    Recordset rs;
    try {
        rs.open(m_de.Connection2(), ListStatements::distinctRates(n));
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            QVector<QVariant> rates;
            for (int k = 1; k <= n; ++k)
                rates << rs.field(QStringLiteral("Taux%1").arg(k));
            combinations << rates;
        }
    } catch (const DbError& e) {
        qCWarning(lcLists) << "rates not read:" << e.message();
    }
    return combinations;
}

} // namespace grelavo
