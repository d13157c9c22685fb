#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace grelavo {

// The texts of the statements a report runs, in the engine's dialect.
class ReportStatements {
public:
    static const QVector<int>& standardWeeds();      // the 19 weeds every report covers, in order
    static const QVector<int>& reportedCategories(); // 1, 2, 3, 4, 7
    static const QVector<int>& allCornCrops();       // the crops "Maïs (tous)" stands for

    // Herbicide1..4: the products of herbicide `id` (in that formulation, if given) whose rate
    // lies between the two bounds, written as NumberText::forStatement writes them.
    static QString herbicideWindow(int herbicideId, std::optional<int> formulationId,
                                   const QString& low, const QString& high);
    // DétailsHerbicides: applications whose mixture is exactly the n entered herbicides.
    static QString detailsHerbicides(int n);
    // DétailsApplication: those applications at the chosen period.
    static QString detailsApplication(int applicationType);
    // DétailsTraitements: the WHERE clause holds the crop condition first, then the others.
    // The crop-stage rows are joined only when a stage range is among the conditions
    // (withStage): otherwise an application without a stage row would be left out for nothing.
    static QString detailsTraitements(const QStringList& conditions, bool withStage);

    static QString cropCondition(bool allCorn, int cropId);
    static QString stageCropCondition(bool allCorn, int cropId);
    static QString idCondition(const QString& column, int id); // "((col) = id)"
    static QString rangeCondition(const QString& column, const QString& low,
                                  const QString& high); // "((col) Between ...)"
    // Row spacing by class 0 to 4; nothing for another class.
    static std::optional<QString> rowSpacingCondition(int itemData);

    // The per-weed and per-category aggregations; each rating of a matching treatment counts
    // once, however many times the treatment comes out of DétailsTraitements.
    static QString perWeed(const QVector<int>& extraWeeds);
    static QString perCategory();
    static QString perWeedUpdate(int fraction);
    static QString perCategoryUpdate(int fraction);
    static QString totalCases();

    // The reset of tblResults, in order.
    static QStringList resetResults();
};

} // namespace grelavo
