// grelavo-courbe run as a user runs it, on R's ryegrass data written as a French spreadsheet
// saves it: semicolons, decimal commas, accented headings.

#include "ToolRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <functional>

namespace {

ToolOutcome courbe(const QStringList& arguments) {
    return runTool(QStringLiteral(GRELAVO_COURBE), arguments);
}

QJsonArray curvesOf(const ToolOutcome& o) {
    return QJsonDocument::fromJson(o.out).object().value("curves").toArray();
}

bool near(const QJsonValue& actual, double expected, double relative = 1e-4) {
    return std::abs(actual.toDouble() - expected) <= relative * std::abs(expected);
}

// The rows of tests/stats/ryegrass.csv as "response;dose" with decimal commas, and a third field
// from 'extra' (the row's index).
QStringList ryegrassRows(const std::function<QString(int)>& extra = {}) {
    QFile file(QStringLiteral(GRELAVO_RYEGRASS_CSV));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", GRELAVO_RYEGRASS_CSV);
    QStringList rows;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty() || !QChar(line.at(0)).isDigit())
            continue;
        QString row = QString::fromLatin1(line).replace(QLatin1Char(','), QLatin1Char(';'));
        row.replace(QLatin1Char('.'), QLatin1Char(','));
        if (extra)
            row += QLatin1Char(';') + extra(rows.size());
        rows << row;
    }
    return rows;
}

QString written(const QTemporaryDir& dir, const QString& name, const QString& text) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write("\xEF\xBB\xBF" + text.toUtf8());
    return path;
}

} // namespace

class TestCourbeCli : public QObject {
    Q_OBJECT

private slots:
    // drm(rootl ~ conc, data = ryegrass, fct = LL.4()) and ED(..., c(10, 50, 90), interval =
    // "delta"), as drc prints them.
    void fitsRyegrassAsDrcDoes() {
        QTemporaryDir dir;
        const QString path =
            written(dir, QStringLiteral("ray-grass.csv"),
                    QStringLiteral(" Réponse ;DOSE\n") + ryegrassRows().join(QLatin1Char('\n')));
        const ToolOutcome o = courbe({path});
        QCOMPARE(o.status, 0);
        QCOMPARE(o.error, QString());
        const QJsonArray curves = curvesOf(o);
        QCOMPARE(curves.size(), 1);
        const QJsonObject curve = curves.first().toObject();
        QVERIFY(curve.value("group").isNull());
        QCOMPARE(curve.value("model").toString(), "LL.4");
        const QJsonObject parameters = curve.value("parameters").toObject();
        QCOMPARE(parameters.keys(), (QStringList{"b", "c", "d", "e"}));
        const double estimates[] = {2.98222, 0.48141, 7.79296, 3.05795};
        const double ses[] = {0.46506, 0.21219, 0.18857, 0.18573};
        for (int i = 0; i < 4; ++i) {
            const QJsonObject p = parameters.value(parameters.keys().at(i)).toObject();
            QVERIFY(near(p.value("estimate"), estimates[i]) && near(p.value("se"), ses[i]));
            QVERIFY(!p.contains("seRobust"));
        }
        QCOMPARE(curve.value("df").toInt(), 20);
        QVERIFY(near(curve.value("residualSe"), 0.5196));
        QVERIFY(near(curve.value("logLik"), -16.15514) && near(curve.value("aic"), 42.31029));
        const double doses[][4] = {{1.46371, 0.18677, 1.07411, 1.85330},
                                   {3.05795, 0.18573, 2.67053, 3.44538},
                                   {6.38864, 0.84510, 4.62580, 8.15148}};
        const QJsonArray ed = curve.value("ed").toArray();
        QCOMPARE(ed.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QJsonObject e = ed.at(i).toObject();
            QCOMPARE(e.value("level").toDouble(), (QList<double>{10, 50, 90}).at(i));
            QVERIFY2(near(e.value("dose"), doses[i][0]) && near(e.value("se"), doses[i][1]) &&
                         near(e.value("lower"), doses[i][2]) && near(e.value("upper"), doses[i][3]),
                     QJsonDocument(e).toJson().constData());
        }
        // --absolu: the dose at which the root length is 4.
        const QJsonArray four =
            curvesOf(courbe({path, "--absolu", "--ed", "4"})).at(0)["ed"].toArray();
        QVERIFY(near(four[0]["dose"], 3.05795 * std::pow(3.79296 / 3.51859, 1 / 2.98222)));
    }

    // 2 and one line naming file, line and column for what cannot be read; 0 for help.
    void refusesWhatItCannotRead() {
        QTemporaryDir dir;
        const QString bad = written(dir, QStringLiteral("donnees.csv"),
                                    "dose,reponse\n0,90\n\"1,5\",80\n2,abc\n4,20\n");
        ToolOutcome o = courbe({bad});
        QCOMPARE(o.status, 2);
        QVERIFY(o.out.isEmpty());
        QCOMPARE(
            o.error,
            "grelavo-courbe\u00a0: donnees.csv, ligne 4, colonne reponse\u00a0: «\u00a0abc\u00a0» "
            "n'est pas un nombre\n");
        const QString negative =
            written(dir, QStringLiteral("negative.csv"), "dose;reponse\n-1;5\n");
        QVERIFY(courbe({negative})
                    .error.startsWith("grelavo-courbe\u00a0: negative.csv, ligne 2, colonne "
                                      "dose\u00a0: «\u00a0-1\u00a0»"));
        const QString noResponse = written(dir, QStringLiteral("r.csv"), "dose;effet\n1;5\n");
        const QStringList refused[] = {{negative},
                                       {noResponse},
                                       {dir.filePath("absent.csv")},
                                       {bad, "--essai", "essai"},
                                       {noResponse, "--ed", "10,x"},
                                       {noResponse, "--ed", "100"},
                                       {noResponse, "--modele", "LL.5"},
                                       {noResponse, "--ordre"},
                                       {noResponse, "--ed"},
                                       {}};
        for (const QStringList& arguments : refused) {
            o = courbe(arguments);
            QCOMPARE(o.status, 2);
            QVERIFY2(o.error.startsWith("grelavo-courbe\u00a0: ") && o.error.count('\n') == 1,
                     qPrintable(o.error));
        }
        o = courbe({"--help"});
        QCOMPARE(o.status, 0);
        QVERIFY(o.out.startsWith("Usage\u00a0: grelavo-courbe FICHIER.csv"));
    }

    // One curve per group in the order they come, with a common residual variance.
    void fitsOneCurvePerGroup() {
        QTemporaryDir dir;
        const QStringList first = ryegrassRows([](int) { return QStringLiteral("témoin"); });
        QStringList second = ryegrassRows([](int) { return QStringLiteral("acide"); });
        for (QString& row : second) // the same roots at twice the concentration
            row = row.section(';', 0, 0) + ';' +
                  QString::number(row.section(';', 1, 1).replace(',', '.').toDouble() * 2)
                      .replace('.', ',') +
                  ";acide";
        const QString path = written(dir, QStringLiteral("groupes.csv"),
                                     "reponse;dose;Série\n" + (second + first).join('\n'));
        const ToolOutcome o = courbe({path, "--groupe", "serie", "--ed", "50"});
        QCOMPARE(o.status, 0);
        const QJsonArray curves = curvesOf(o);
        QCOMPARE(curves.size(), 2);
        const QJsonObject acid = curves.at(0).toObject(), control = curves.at(1).toObject();
        QCOMPARE(acid.value("group").toString(), "acide");
        QCOMPARE(control.value("group").toString(), "témoin");
        QCOMPARE(control.value("df").toInt(), 40);
        QVERIFY(near(control.value("residualSe"), 0.5196, 1e-3));
        QCOMPARE(acid.value("residualSe"), control.value("residualSe"));
        QVERIFY(near(acid.value("ed")[0]["dose"], 2 * 3.05795));
        QVERIFY(near(control.value("ed")[0]["dose"], 3.05795));
    }

    // Trials: robust errors and intervals on the log of the dose; too few trials said.
    void trialsGiveRobustErrors() {
        QTemporaryDir dir;
        const QString path = written(dir, QStringLiteral("essais.csv"),
                                     "reponse;dose;essai;paire\n" +
                                         ryegrassRows([](int i) {
                                             return QStringLiteral("E%1;P%2").arg(i % 5).arg(i % 2);
                                         }).join('\n'));
        ToolOutcome o = courbe({path, "--essai", "ESSAI", "--ed", "50,99.9"});
        QCOMPARE(o.status, 0);
        const QJsonObject curve = curvesOf(o).first().toObject();
        const QJsonObject e = curve.value("parameters")["e"].toObject();
        QVERIFY(e.value("seRobust").toDouble() > 0);
        const QJsonObject ed50 = curve.value("ed")[0].toObject();
        // ED50 is e: its error is e's robust one, or the classical one when that is larger;
        // t on 5 - 1 degrees of freedom.
        QVERIFY(near(ed50.value("se"),
                     std::max(e.value("se").toDouble(), e.value("seRobust").toDouble()), 1e-9));
        QVERIFY(near(ed50.value("lower"), ed50.value("dose").toDouble() *
                                              std::exp(-2.776445105 * ed50.value("se").toDouble() /
                                                       ed50.value("dose").toDouble())));
        const QJsonObject ed999 = curve.value("ed")[1].toObject();
        QCOMPARE(ed999.value("estimable"), QJsonValue(false));
        QCOMPARE(ed999.value("reasonCode").toString(), "level-not-reached");

        o = courbe({path, "--essai", "paire"});
        QCOMPARE(o.status, 0);
        const QJsonObject refused = curvesOf(o).first().toObject();
        QCOMPARE(refused.value("estimable"), QJsonValue(false));
        QCOMPARE(refused.value("reasonCode").toString(), "too-few-trials");
        QCOMPARE(refused.value("reason").toString(), "trop peu d'essais");
    }
};

QTEST_GUILESS_MAIN(TestCourbeCli)
#include "TestCourbeCli.moc"
