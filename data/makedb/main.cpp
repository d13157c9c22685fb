// grelavo-makedb: builds the demonstration database Grelavo.mdb from the text sources built
// into the program.
//
//   grelavo-makedb --output PATH [--scale F]
//
// F (default 1) multiplies the number of experimental sites, for benchmarks on larger files.

#include "DatabaseBuilder.h"
#include "SourceTable.h"
#include "core/db/DbError.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <cmath>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("grelavo-makedb"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Builds the Grelavo demonstration database (synthetic experiments)."));
    parser.addHelpOption();
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Database file to write (replaced)."),
                                    QStringLiteral("path"));
    const QCommandLineOption scale(QStringList{QStringLiteral("s"), QStringLiteral("scale")},
                                   QStringLiteral("Multiplies the number of sites (default 1)."),
                                   QStringLiteral("factor"), QStringLiteral("1"));
    parser.addOption(output);
    parser.addOption(scale);
    parser.process(app);

    QTextStream err(stderr);
    if (!parser.isSet(output) || parser.value(output).isEmpty() ||
        !parser.positionalArguments().isEmpty()) {
        err << parser.helpText();
        return 2;
    }
    bool ok = false;
    const double factor = parser.value(scale).toDouble(&ok);
    if (!ok || !std::isfinite(factor) || factor <= 0 || factor > 1000) {
        err << "grelavo-makedb: the scale is a number above 0 and at most 1000\n";
        return 2;
    }

    try {
        QElapsedTimer timer;
        timer.start();
        const auto s = grelavo::makedb::DatabaseBuilder::build(parser.value(output), factor);
        QTextStream(stdout) << parser.value(output) << ": " << s.sites << " sites, " << s.treatments
                            << " treatments, " << s.applications << " applications, " << s.products
                            << " products applied, " << s.ratings << " weed ratings, " << s.weeds
                            << " weeds, " << s.herbicides << " herbicides (" << timer.elapsed()
                            << " ms)\n";
    } catch (const grelavo::DbError& e) {
        err << "grelavo-makedb: database error " << e.number() << ": " << e.message() << "\n";
        return 1;
    } catch (const std::exception& e) {
        err << "grelavo-makedb: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
