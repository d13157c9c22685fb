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
    m_fractions[k].ratings.append(std::move(rating));
    m_fractions[k].categories << category;
}

void ReportDetails::setGroups(int k, const QSet<qint64>& weeds, const QSet<qint64>& categories) {
    if (k < m_fractions.size()) {
        m_fractions[k].weedGroups = weeds;
        m_fractions[k].categoryGroups = categories;
    }
}

void ReportDetails::assign(const QVector<ResultsRow>& rows) {
    // The cells in the order of the rows, then of the fractions; each rating then goes to the
    // cells of its weed's rows and of its category's, found by id (not by a scan per cell).
    m_cells.clear();
    QVector<QHash<qint64, QVector<int>>> byWeed(m_fractions.size());
    QVector<QHash<qint64, QVector<int>>> byCategory(m_fractions.size());
    for (const ResultsRow& row : rows) {
        if (!row.ResultsId)
            continue;
        const qint64 id = *row.ResultsId;
        for (int k = 0; k < m_fractions.size(); ++k) {
            const Fraction& f = m_fractions[k];
            // A category's figures were written last: a row whose id is both takes the category.
            if (f.categoryGroups.contains(id))
                byCategory[k][id] << int(m_cells.size());
            else if (f.weedGroups.contains(id))
                byWeed[k][id] << int(m_cells.size());
            else
                continue;
            m_cells << CellDetail{row.NoId, k, {}};
        }
    }
    const auto give = [this](const QHash<qint64, QVector<int>>& cells, qint64 id,
                             const DetailRating& rating) {
        const auto found = cells.constFind(id);
        if (found != cells.constEnd())
            for (int c : *found)
                m_cells[c].ratings << rating;
    };
    for (int k = 0; k < m_fractions.size(); ++k) {
        const Fraction& f = m_fractions[k];
        for (int i = 0; i < f.ratings.size(); ++i) {
            give(byWeed[k], f.ratings[i].weedId, f.ratings[i]);
            give(byCategory[k], f.categories[i], f.ratings[i]);
        }
    }
    m_cells.removeIf([](const CellDetail& c) { return c.ratings.isEmpty(); });
}

const CellDetail* ReportDetails::cell(qint64 noId, int fraction) const {
    for (const CellDetail& c : m_cells)
        if (c.noId == noId && c.fraction == fraction)
            return &c;
    return nullptr;
}

} // namespace grelavo
