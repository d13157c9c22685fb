#include "ReportDetails.h"

#include "core/db/Statement.h"

#include <algorithm>
#include <cmath>

namespace grelavo {

double CellDetail::mean() const {
    if (ratings.isEmpty())
        return 0;
    double sum = 0;
    for (const DetailRating& r : ratings)
        sum += r.visual;
    return sum / ratings.size();
}

int CellDetail::reportedMean() const {
    // Integer ratings: the truncated mean is the integer quotient, exact (no rounding error).
    qint64 sum = 0;
    for (const DetailRating& r : ratings)
        sum += r.visual;
    return ratings.isEmpty() ? 0 : int(sum / ratings.size());
}

double CellDetail::standardDeviation() const {
    if (ratings.size() < 2)
        return 0;
    const double m = mean();
    double squares = 0;
    for (const DetailRating& r : ratings)
        squares += (r.visual - m) * (r.visual - m);
    return std::sqrt(squares / double(ratings.size() - 1));
}

int CellDetail::lowest() const {
    int v = ratings.isEmpty() ? 0 : ratings.first().visual;
    for (const DetailRating& r : ratings)
        v = std::min(v, r.visual);
    return v;
}

int CellDetail::highest() const {
    int v = ratings.isEmpty() ? 0 : ratings.first().visual;
    for (const DetailRating& r : ratings)
        v = std::max(v, r.visual);
    return v;
}

int CellDetail::trials() const {
    QSet<qint64> sites;
    for (const DetailRating& r : ratings)
        sites.insert(r.siteId);
    return int(sites.size());
}

int CellDetail::reaching(int threshold) const {
    return int(std::count_if(ratings.begin(), ratings.end(),
                             [threshold](const DetailRating& r) { return r.visual >= threshold; }));
}

void ReportDetails::clear() {
    m_fractions.clear();
    m_cells.clear();
}

void ReportDetails::readWeedNames(Connection& db) {
    m_names.clear();
    Statement weeds(
        db, QStringLiteral(R"(SELECT "MHId", "Nom-Francais" FROM "ListedesMauvaisesHerbes")"));
    while (weeds.step())
        m_names.insert(weeds.value(0).toLongLong(), weeds.value(1).toString());
}

void ReportDetails::startFraction(int k) {
    if (m_fractions.size() <= k)
        m_fractions.resize(k + 1);
    m_fractions[k] = Fraction();
}

void ReportDetails::addRating(int k, DetailRating rating, qint64 category) {
    rating.weed = m_names.value(rating.weedId);
    m_fractions[k].ratings.append(rating);
    m_fractions[k].categories << category;
}

void ReportDetails::setGroups(int k, const QSet<qint64>& weeds, const QSet<qint64>& categories) {
    if (k < m_fractions.size()) {
        m_fractions[k].weedGroups = weeds;
        m_fractions[k].categoryGroups = categories;
    }
}

void ReportDetails::assign(const QVector<ResultsRow>& rows) {
    m_cells.clear();
    for (const ResultsRow& row : rows) {
        if (!row.ResultsId)
            continue;
        const qint64 id = *row.ResultsId;
        for (int k = 0; k < m_fractions.size(); ++k) {
            const Fraction& f = m_fractions[k];
            const bool category = f.categoryGroups.contains(id);
            if (!category && !f.weedGroups.contains(id))
                continue;
            CellDetail cell{row.NoId, k, {}};
            for (int i = 0; i < f.ratings.size(); ++i)
                if (category ? f.categories[i] == id : f.ratings[i].weedId == id)
                    cell.ratings << f.ratings[i];
            if (!cell.ratings.isEmpty())
                m_cells << cell;
        }
    }
}

const CellDetail* ReportDetails::cell(qint64 noId, int fraction) const {
    for (const CellDetail& c : m_cells)
        if (c.noId == noId && c.fraction == fraction)
            return &c;
    return nullptr;
}

} // namespace grelavo
