#pragma once

#include <QMap>
#include <QString>
#include <QVector>

namespace grelavo::makedb {

struct Period {
    int id = 0;
    QString name;
    bool soil = false; // applied to the soil before the crop and the weeds emerge
    double leavesMin = 0, leavesMax = 0, heightMin = 0, heightMax = 0;
};

struct Crop {
    int id = 0;
    QString name;
    double weight = 0;
    double grainsMin = 0, grainsMax = 0;           // sowing rate, grains/ha
    double grainsPerKgMin = 0, grainsPerKgMax = 0; // kernel count of one kg
    double kgMin = 0, kgMax = 0;                   // sowing rate bounds, kg/ha
    double depthMin = 0, depthMax = 0;             // cm
    QVector<int> spacings;                         // row spacings, cm
};

struct Variety {
    int id = 0;
    QString name;
    int cropId = 0;
};

// A lookup row with a relative frequency (previous crops, provinces).
struct WeightedName {
    int id = 0;
    QString name;
    double weight = 0;
};

struct SoilTexture {
    int id = 0;
    QString name;
    double clay = 0; // %
    double weight = 0;
};

struct WeedCategory {
    int id = 0;
    QString name;
};

struct Weed {
    int id = 0;
    QString french, latin, english;
    int categoryId = 0;
    double frequency = 0;      // relative chance of being present at a site
    double susceptibility = 1; // multiplies the ED50 of every product
};

struct Herbicide {
    int id = 0;
    QString name;
    QVector<double> rates; // reference rates, kg a.i./ha; the first is the usual label rate
    QVector<int> periods;
    QVector<int> formulations;
    bool soilActive = false;
    bool foliarActive = false;
    QMap<int, QChar> categoryClass; // efficacy class by weed category
    QMap<int, QChar> weedClass;     // exceptions by weed

    double labelRate() const { return rates.first(); }
    bool usedAt(int periodId) const { return periods.contains(periodId); }
};

struct EfficacyClass {
    QChar code;
    double emax = 0; // %
    double ed50 = 1; // relative dose giving half of emax
    double slope = 1;
};

struct Mixture {
    QVector<int> herbicideIds; // 1 to 4 distinct products
    QVector<int> periods;
    QVector<int> crops;
    double weight = 0;
    QVector<int> guaranteedPeriods; // one dose-response trial on corn at each
};

struct DoseSeries {
    QString name;
    double weight = 0;
    QVector<double> fractions;
    bool forGuaranteedTrials = false;
};

struct ResultRowLayout {
    enum class Kind { Category, Weed, Blank, Heading, Free };
    int noId = 0;
    Kind kind = Kind::Blank;
    int id = 0;      // TypeMHId or MHId
    QString heading; // text of a heading row
};

// What the file says of itself in tblÉdition.
struct Edition {
    QString name;
    QString date; // ISO 8601, YYYY-MM-DD
    QString source;
    bool synthetic = true;
};

// Every text source of the demonstration database, read and checked for consistency.
class Sources {
public:
    // Reads the sources below 'folder' (by default the copy built into the program).
    static Sources load(const QString& folder = QStringLiteral(":/data"));

    // The corn crops that "Maïs (tous)" stands for.
    static const QVector<int>& cornCrops();
    // The 19 weeds of the report's standard list, in report order.
    static const QVector<int>& standardWeeds();

    QString schemaSql;
    Edition edition;
    QVector<Period> periods;
    QVector<Crop> crops;
    QVector<Variety> varieties;
    QVector<WeightedName> previousCrops;
    QVector<WeightedName> provinces;
    QVector<SoilTexture> textures;
    QVector<WeedCategory> categories;
    QVector<Weed> weeds;
    QVector<Herbicide> herbicides;
    QVector<EfficacyClass> efficacyClasses;
    QVector<Mixture> mixtures;
    QVector<DoseSeries> doseSeries;
    QVector<ResultRowLayout> resultRows;
    QMap<QString, double> parameters;

    const Period& period(int id) const;
    const Crop& crop(int id) const;
    const Weed& weed(int id) const;
    const WeedCategory& category(int id) const;
    const Herbicide& herbicide(int id) const;
    const Herbicide& herbicideByName(const QString& name) const;
    const EfficacyClass& efficacyClass(QChar code) const;
    double parameter(const QString& key) const;

private:
    void check() const;
};

} // namespace grelavo::makedb
