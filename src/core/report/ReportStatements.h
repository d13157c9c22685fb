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

    // A herbicide's rate window in one dose fraction: its bounds as the fraction's Herbicide
    // statement writes them.
    struct RateWindow {
        QString low, high;
    };
    // Per dose fraction, the windows of the entered herbicides, in their order.
    using FractionWindows = QVector<QVector<RateWindow>>;

    // The temporary tables a report reads the file into. Whether an application's mixture is
    // exactly the entered herbicides, at the chosen period, on a treatment that meets the
    // conditions, does not depend on the dose fraction: those applications are gathered once per
    // report into ApplicationsRetenues, with each entered herbicide's rate (Taux1 to Taux4).
    // Each fraction then selects its treatments from them by the rates alone into
    // TraitementsRetenus: each treatment once, with the first of its applications whose rates lie
    // in the fraction's windows, and its site; then their ratings, each once, into NotesRetenues
    // (with the weed's category, the application and the site), from which every figure of the
    // fraction, and every rating behind it, is read.
    static QStringList createMatched();
    static QString clearApplications();
    static QStringList clearMatched();
    // The applications of the period (DétailsApplication) whose rates lie in the windows of at
    // least one fraction. 'herbicides' are the Herbicide1..n statements with windows that hold
    // every fraction's: they become common table expressions under their own names. An
    // application matches the stored queries' DétailsHerbicides at a fraction exactly when it has
    // a row of each HerbicideN at that fraction's window, and n products in all. The statement
    // reads the rows of herbicide 'leader' (0 to n - 1) first: best the one with the fewest.
    static QString fillApplications(const QStringList& herbicides, int leader, int applicationType,
                                    const FractionWindows& windows);
    // The number of a herbicide's products with a rate in the window, counted up to 'atMost'.
    static QString rowsInWindow(int herbicideId, const RateWindow& window, int atMost);
    // Keeps those of the applications that DétailsTraitements selects: the stored query runs
    // as a common table expression over them, with the conditions on the crop, site and stage.
    static QString keepTreatedApplications(const QString& detailsTraitements, int applicationType);
    // A fraction's treatments, from the applications whose rates lie in its windows.
    static QString fillMatched(const QVector<RateWindow>& windows);
    static QString fillRatings();

    // A fraction's figures: every rated weed (columns MHId, Moyenne, CompteDeVisuel: the mean
    // as the report writes it, the number of ratings), and every reported category (TypeMHId,
    // Moyenne, CompteDeVisuel). The weeds are narrowed to the report's weed list by the caller:
    // that list is only known once the extra weeds' rows are written.
    static QString fractionWeeds();
    static QString fractionCategories();
    // A fraction's ratings in the order of their ids: MHId, TypeMHId, Visuel, then, with
    // 'context', MHEvalId, TraitementId, DateHerbId and the treatment's SiteExpId.
    static QString fractionRatings(bool context);

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
