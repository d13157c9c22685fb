#pragma once

#include "core/db/DataAccess.h"

#include <QStringList>
#include <QVariant>
#include <QVector>

namespace grelavo {

class DE;

// The data steps of the cascading lists and of the rate picker, as the windows (and the bench)
// run them: each narrows DétailsApplication to the applications that fit the choices made so
// far, then reads the next list from it. Like the other shared routines, a failure leaves the
// stored query as it was and gives an empty list (logged).
class ListSteps {
public:
    explicit ListSteps(DE& de) : m_de(de) {}

    // The number of herbicides chosen: the herbicides of the applications of exactly `count`
    // products at the period.
    QVector<ListRow> afterCount(int count, int applicationType);
    // Herbicide r chosen (r = 0, 1 or 2; ids holds herbicides 0 to r): the herbicides that can
    // come next, those shown in boxes 0 to r (herbicideTexts, the four boxes' texts) left out.
    QVector<ListRow> afterHerbicide(int r, int count, int applicationType, const QVector<int>& ids,
                                    const QStringList& herbicideTexts);
    // The rate picker: each distinct combination of rates of the N = ids.size() herbicides (1 to
    // 4) applied together, alone, at the period, in rate order; one value per herbicide.
    QVector<QVector<QVariant>> rateCombinations(int applicationType, const QVector<int>& ids);

private:
    DE& m_de;
};

} // namespace grelavo
