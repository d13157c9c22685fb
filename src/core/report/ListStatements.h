#pragma once

#include <QString>
#include <QVector>

namespace grelavo {

// The statements of the cascading choice lists and of the rate picker: each narrows
// DétailsApplication to the applications that fit the choices made so far, and the lists are
// read from it.
class ListStatements {
public:
    // The herbicides used in the applications of DétailsApplication, by name.
    static QString herbicideList();
    // Applications of exactly `count` products at the period.
    static QString countStep(int count, int applicationType);
    // The same, holding the herbicides chosen in rows 0 to r (r = 0, 1 or 2; ids.size() > r).
    static QString herbicideStep(int r, int count, int applicationType, const QVector<int>& ids);
    // The varieties found in the experiments for a crop.
    static QString varieties(int cropId);
    // The fixed lists of the parameter form, as "tblId, tblField" rows in the database's order
    // (the periods by name, the crops without the all-corn crop, the previous crops by name).
    static QString periods();
    static QString crops();
    static QString previousCrops();
    static QString provinces();
    static QString textures();
    static QString weeds();
    // The weed list window's table: French, Latin and English names, then the id.
    static QString weedNames();
    // The rates Taux1..TauxN of each application of exactly the N chosen herbicides at the
    // period (N = ids.size(), 1 to 4), and the distinct combinations of DétailsApplication.
    static QString rates(int applicationType, const QVector<int>& ids);
    static QString distinctRates(int n);
};

} // namespace grelavo
