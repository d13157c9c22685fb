#pragma once

#include <QVector>
#include <optional>

namespace grelavo::makedb {

// The experiment rows of the database, as the generator makes them.
struct SiteRow {
    int id, provinceId, textureId;
    double organicMatter, pH;
};
struct TreatmentRow {
    int id, siteId;
};
struct ApplicationRow {
    int id, treatmentId, periodId;
};
struct ProductRow {
    int applicationId, herbicideId, formulationId;
    double rate; // kg a.i./ha
};
struct CropRow {
    int id, treatmentId, cropId, varietyId, previousCropId;
    double sowingKg, sowingGrains, depth, spacing;
};
struct StageRow {
    int id, applicationId, cropId;
    double height, leaves;
};
struct RatingRow {
    int id, treatmentId, weedId;
    std::optional<int> visual;
};

struct Dataset {
    QVector<SiteRow> sites;
    QVector<TreatmentRow> treatments;
    QVector<ApplicationRow> applications;
    QVector<ProductRow> products;
    QVector<CropRow> crops;
    QVector<StageRow> stages;
    QVector<RatingRow> ratings;
};

} // namespace grelavo::makedb
