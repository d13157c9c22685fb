#pragma once

#include "ExperimentImport.h"
#include "text/CsvReader.h"

#include <QHash>
#include <QVariant>
#include <QVector>

namespace grelavo {

class Connection;

// One exchange file given to an import, read.
struct ImportFile {
    QString name; // the exchange file it is ("sites.csv"...)
    QString path;
    CsvReader::Table table;
};

// The rows an import will add, checked: every list reference resolved to its row number (names
// to add included), every key reference to the index of the row it names.
struct ImportPlan {
    struct Name {
        QString list;  // how the list is called in messages ("herbicides")
        QString table; // its table, id column, name column
        QString idColumn, nameColumn;
        qlonglong id = 0;
        QString name;
        QVariant crop; // a variety's crop
    };
    struct Site {
        QString key;
        QVariant province, texture, organicMatter, pH;
    };
    struct Treatment {
        QString key;
        int site = -1; // index in sites; -1 for none
    };
    struct Crop {
        int treatment = 0;
        QVariant crop, variety, previousCrop, sowingKg, sowingGrains, depth, spacing;
    };
    struct Application {
        QString key;
        int treatment = 0;
        QVariant period;
    };
    struct Stage {
        int application = 0;
        QVariant crop, height, leaves;
    };
    struct Product {
        int application = 0;
        qlonglong herbicide = 0;
        QVariant formulation, rate;
    };
    struct Rating {
        int treatment = 0;
        qlonglong weed = 0;
        QVariant visual;
    };

    QStringList files;    // the names of the files read
    QStringList unusual;  // values out of their usual range, accepted: "file, ligne N, ..."
    int problemCount = 0; // every problem found, beyond the kMaxProblems listed
    QVector<Name> names;
    QVector<Site> sites;
    QVector<Treatment> treatments;
    QVector<Crop> crops;
    QVector<Application> applications;
    QVector<Stage> stages;
    QVector<Product> products;
    QVector<Rating> ratings;

    ExperimentCounts counts() const;
    QStringList addedNames() const; // "herbicides : name"

    // Checks the files against the lists of 'db', the keys earlier imports left there and the
    // rates its experiments hold (options.addNames, options.acceptUnusual). Problems are appended
    // (at most kMaxProblems, then one line counting the rest); the plan is complete only when
    // none was found. Throws DbError when the lists cannot be read.
    static ImportPlan check(Connection& db, const QVector<ImportFile>& files,
                            const ImportOptions& options, QVector<ImportProblem>* problems);
    static constexpr int kMaxProblems = 500;
    // A rate (kg a.i./ha) above this is unusual whatever the herbicide; so is one more than
    // kUnusualFactor times the highest, or less than the lowest divided by it, of the rates the
    // database holds for the herbicide.
    static constexpr double kMaxUsualRate = 20;
    static constexpr double kUnusualFactor = 10;
};

} // namespace grelavo
