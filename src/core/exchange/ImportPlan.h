#pragma once

#include "ExperimentImport.h"
#include "core/text/CsvStream.h"

#include <QHash>
#include <QVariant>
#include <QVector>

namespace grelavo {

class Connection;

// One exchange file given to an import, read.
struct ImportFile {
    QString name; // the exchange file it is ("sites.csv"...)
    QString path;
    CsvStream::Format format; // its headings, separator and encoding
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

    // Where the check sends each row it finds sound, in the order of the files, each name to
    // add before the first row that uses it; a row refers to the rows before it by their index
    // among the rows of their kind. The check keeps none of them: it counts them, and the
    // import stages them (ImportStaging) to write them once all are found sound.
    class Rows {
    public:
        virtual ~Rows() = default;
        virtual void name(const Name&) {}
        virtual void site(const Site&) {}
        virtual void treatment(const Treatment&) {}
        virtual void crop(const Crop&) {}
        virtual void application(const Application&) {}
        virtual void stage(const Stage&) {}
        virtual void product(const Product&) {}
        virtual void rating(const Rating&) {}
    };

    QStringList files;    // the names of the files read
    QStringList unusual;  // values out of their usual range, accepted: "file, ligne N, ..."
    int problemCount = 0; // every problem found, beyond the kMaxProblems listed
    QVector<Name> names;
    ExperimentCounts counted; // the rows found sound

    ExperimentCounts counts() const;
    QStringList addedNames() const; // "herbicides : name"

    // Checks the files against the lists of 'db', the keys earlier imports left there and the
    // rates its experiments hold (options.addNames, options.acceptUnusual), reading them one
    // record at a time; each row found sound goes to 'rows' when given. Problems are appended
    // (at most kMaxProblems, then one line counting the rest); the rows are all sound only when
    // none was found. Throws DbError when the lists cannot be read, ImportReadFailed when a
    // file can no longer be read.
    static ImportPlan check(Connection& db, const QVector<ImportFile>& files,
                            const ImportOptions& options, QVector<ImportProblem>* problems,
                            Rows* rows = nullptr);
    static constexpr int kMaxProblems = 500;
    // A rate (kg a.i./ha) above this is unusual whatever the herbicide; so is one more than
    // kUnusualFactor times the highest, or less than the lowest divided by it, of the rates the
    // database holds for the herbicide.
    static constexpr double kMaxUsualRate = 20;
    static constexpr double kUnusualFactor = 10;
};

} // namespace grelavo
