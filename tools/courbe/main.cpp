// grelavo-courbe: log-logistic dose-response curves fitted to the doses and responses of a CSV
// file, written as JSON on standard output with the doses that give the levels asked for.

#include "CommandLine.h"
#include "CourbeOptions.h"
#include "CourbeTable.h"
#include "core/stats/DoseResponseFit.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

using namespace grelavo;

namespace {

using cli::Done;
using cli::Failed;
using cli::Refused;
using cli::write;

int fail(int status, const QString& message) {
    return cli::fail(message, status);
}

// A number, or null when there is none.
QJsonValue number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QJsonObject notEstimable(QJsonObject object, NotEstimable reason) {
    object.insert(QStringLiteral("estimable"), false);
    object.insert(QStringLiteral("reason"), reasonWords(reason));
    object.insert(QStringLiteral("reasonCode"), reasonCode(reason));
    return object;
}

QJsonObject curveJson(const CurveFit& fit, const QJsonValue& group, const CourbeOptions& options) {
    QJsonObject curve{{QStringLiteral("group"), group}};
    if (!fit.ok())
        return notEstimable(curve, fit.reason);
    const bool robust = !options.trialColumn().isEmpty();
    curve.insert(QStringLiteral("model"), modelName(fit.model));
    QJsonObject parameters;
    for (const FitParameter& p : fit.parameters) {
        QJsonObject parameter{{QStringLiteral("estimate"), number(p.estimate)},
                              {QStringLiteral("se"), number(p.se)}};
        if (robust)
            parameter.insert(QStringLiteral("seRobust"), number(p.seRobust));
        parameters.insert(p.name, parameter);
    }
    curve.insert(QStringLiteral("parameters"), parameters);
    curve.insert(QStringLiteral("df"), fit.df);
    curve.insert(QStringLiteral("residualSe"), number(fit.residualSe));
    curve.insert(QStringLiteral("logLik"), number(fit.logLik));
    curve.insert(QStringLiteral("aic"), number(fit.aic));

    EffectiveDoseSettings settings;
    settings.absolute = options.absolute();
    settings.robust = robust;
    settings.logScale = robust;
    QJsonArray doses;
    for (const double level : options.levels()) {
        const EffectiveDose ed = effectiveDose(fit, level, settings);
        QJsonObject entry{{QStringLiteral("level"), level}};
        if (!ed.ok()) {
            doses.append(notEstimable(entry, ed.reason));
            continue;
        }
        entry.insert(QStringLiteral("dose"), number(ed.dose));
        entry.insert(QStringLiteral("se"), number(ed.se));
        entry.insert(QStringLiteral("lower"), number(ed.lower));
        entry.insert(QStringLiteral("upper"), number(ed.upper));
        doses.append(entry);
    }
    curve.insert(QStringLiteral("ed"), doses);
    return curve;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("grelavo-courbe"));
    CourbeOptions options;
    if (!options.parse(QCoreApplication::arguments()))
        return fail(Refused, options.error());
    if (options.helpRequested())
        return write(stdout, CourbeOptions::helpText()) ? Done : Failed;

    CourbeTable table;
    if (!table.read(options.file(), options.trialColumn(), options.groupColumn()))
        return fail(Refused, table.error());

    FitSettings settings;
    settings.models = options.models();
    settings.requireTrials = !options.trialColumn().isEmpty();
    QJsonArray curves;
    if (options.groupColumn().isEmpty()) {
        const CurveFit fit = fitLogLogistic(table.groups().first().observations, settings);
        curves.append(curveJson(fit, QJsonValue::Null, options));
    } else {
        QVector<QVector<DoseObservation>> groups;
        for (const CourbeTable::Group& group : table.groups())
            groups << group.observations;
        const QVector<CurveFit> fits = fitLogLogisticGroups(groups, settings);
        for (int g = 0; g < fits.size(); ++g)
            curves.append(curveJson(fits[g], table.groups()[g].name, options));
    }
    const QByteArray json = QJsonDocument(QJsonObject{{QStringLiteral("curves"), curves}}).toJson();
    if (!write(stdout, QString::fromUtf8(json)))
        return fail(Failed, QStringLiteral("la sortie standard ne peut être écrite"));
    return Done;
}
