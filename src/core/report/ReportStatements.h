#pragma once

#include <QPair>
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

    // The treatments a dose fraction selects, gathered once per fraction into the temporary
    // table TraitementsRetenus: each treatment once, with the first of the matching
    // applications it comes out of DétailsTraitements with, and its site. 'storedQueries' are the
    // fraction's stored queries, name and statement, each after those it reads: they become the
    // common table expressions of the statement under their own names, so that it selects what the
    // stored queries would select, without rewriting them for every fraction. Then their
    // ratings, each once, into NotesRetenues (with the weed's category and the application),
    // from which every figure of the fraction is read.
    static QStringList createMatched();
    static QStringList clearMatched();
    static QString fillMatched(const QVector<QPair<QString, QString>>& storedQueries);
    static QString fillRatings();

    // A fraction's figures: every rated weed (columns MHId, Moyenne, CompteDeVisuel: the mean
    // as the report writes it, the number of ratings), and every reported category (TypeMHId,
    // Moyenne, CompteDeVisuel). The weeds are narrowed to the report's weed list by the caller:
    // that list is only known once the extra weeds' rows are written.
    static QString fractionWeeds();
    static QString fractionCategories();

    // The work tables the report leaves behind, made from the last fraction's ratings:
    // tblQueryResults (the report's weeds) and tblQueryResults_Cat.
    static QString perWeed(const QVector<int>& extraWeeds);
    static QString perCategory();
    // The cells of fraction k (0 to 4) of the rows whose ResultsId is the bound id: mean, then
    // count, then the id.
    static QString cellUpdate(int fraction);

    // The reset of tblResults, in order.
    static QStringList resetResults();
};

} // namespace grelavo
