#include "Workloads.h"

#include "core/db/Statement.h"

#include <QRandomGenerator>

namespace grelavo::bench {

namespace {

const Herbicide kAtrazine{1, "atrazine"};
const Herbicide kDicamba{2, "dicamba"};
const Herbicide kSMetolachlor{3, "S-métolachlore"};
const Herbicide kMesotrione{6, "mésotrione"};

const int kPreEmergence = 2;  // Prélevée
const int kPostEmergence = 4; // Postlevée

ParameterSet base(int period, const char* periodName) {
    ParameterSet p;
    p.cbbApp = {QString::fromUtf8(periodName), period};
    p.SelectedApplicationType = static_cast<qint16>(period);
    p.cbbCult = {ParameterSet::AllCornName, ParameterSet::AllCornItemData};
    p.RateInterval = 5;
    return p;
}

void addHerbicide(ParameterSet& p, int row, const Herbicide& h, const char* rate) {
    p.cbbHerbApp[row] = {QString::fromUtf8(h.name), h.id};
    p.SelectedHerbicideId[row] = static_cast<qint16>(h.id);
    p.txtTaux[row] = p.EnteredRate[row] = QString::fromLatin1(rate);
}

} // namespace

QVector<ReportCase> reportCases() {
    QVector<ReportCase> cases;

    ParameterSet single = base(kPreEmergence, "Prélevée");
    addHerbicide(single, 0, kAtrazine, "1");
    cases.push_back({"single", "atrazine 1 kg/ha, Prélevée, Maïs (tous)", single});

    ParameterSet mixture = base(kPreEmergence, "Prélevée");
    addHerbicide(mixture, 0, kAtrazine, "1");
    addHerbicide(mixture, 1, kSMetolachlor, "1.6");
    addHerbicide(mixture, 2, kMesotrione, "0.1");
    cases.push_back(
        {"mixture", "atrazine 1 + S-métolachlore 1.6 + mésotrione 0.1 kg/ha, Prélevée, Maïs (tous)",
         mixture});

    ParameterSet conditions = base(kPostEmergence, "Postlevée");
    addHerbicide(conditions, 0, kDicamba, "0.6");
    conditions.cbbCult = {QStringLiteral("Maïs grain"), 149};
    conditions.cbbSiteProv = {QStringLiteral("Québec"), 1};
    conditions.cbbSitepHDe = QStringLiteral("5.5");
    conditions.cbbSitepHA = QStringLiteral("7.5");
    conditions.cbbSiteMatOrgDe = QStringLiteral("2");
    conditions.cbbSiteMatOrgA = QStringLiteral("8");
    conditions.optKg = true;
    conditions.txtCultSemisDe = QStringLiteral("15");
    conditions.txtCultSemisA = QStringLiteral("25");
    conditions.optHaut = false;
    conditions.txtCultFeuilDe = QStringLiteral("3");
    conditions.txtCultFeuilA = QStringLiteral("6");
    cases.push_back({"conditions",
                     "dicamba 0.6 kg/ha, Postlevée, Maïs grain, Québec, pH 5.5-7.5, "
                     "m.o. 2-8 %, 15-25 kg/ha sown, 3-6 leaves",
                     conditions});
    return cases;
}

QVector<ParameterSet> randomReports(Connection& db, int count, quint32 stream) {
    struct Product {
        int herbicide;
        QString name;
        double rate;
    };
    struct Application {
        int period = 0;
        QVector<Product> products;
    };
    QVector<Application> applications;
    Statement rows(db, QStringLiteral("SELECT p.DateHerbId, p.TypeApplicationId, h.HerbicideId, "
                                      "l.Herbicide, h.HerbTauxH FROM tblPériodesApplication p "
                                      "JOIN tblDétailsHerbicides h ON h.DateHerbId = p.DateHerbId "
                                      "JOIN ListeDesHerbicides l ON l.HerbicideId = h.HerbicideId "
                                      "ORDER BY p.DateHerbId, h.HerbicideId"));
    qint64 last = -1;
    while (rows.step()) {
        if (rows.value(0).toLongLong() != last) {
            last = rows.value(0).toLongLong();
            applications.append(Application{rows.value(1).toInt(), {}});
        }
        applications.last().products.append(
            Product{rows.value(2).toInt(), rows.value(3).toString(), rows.value(4).toDouble()});
    }
    QRandomGenerator random(stream);
    const double fractions[] = {0.5, 0.6, 0.7, 0.8, 1.0};
    QVector<ParameterSet> out;
    while (out.size() < count && !applications.isEmpty()) {
        const Application& a = applications[int(random.bounded(applications.size()))];
        if (a.products.size() > ParameterSet::HerbicideRows ||
            (a.products.size() > 1 && a.products[0].herbicide == a.products[1].herbicide))
            continue;
        const double f = fractions[random.bounded(5)];
        ParameterSet p;
        p.cbbApp = {QStringLiteral("période"), a.period};
        p.SelectedApplicationType = qint16(a.period);
        for (int i = 0; i < a.products.size(); ++i) {
            p.cbbHerbApp[i] = {a.products[i].name, a.products[i].herbicide};
            p.SelectedHerbicideId[i] = qint16(a.products[i].herbicide);
            p.txtTaux[i] = p.EnteredRate[i] = QString::number(a.products[i].rate / f, 'g', 6);
        }
        p.cbbCult = {ParameterSet::AllCornName, ParameterSet::AllCornItemData};
        out.append(p);
    }
    return out;
}

QVector<ListCase> listCases() {
    using K = ListCase::Kind;
    const QVector<Herbicide> three = {kAtrazine, kSMetolachlor, kMesotrione};
    return {
        {"count_n1", "number of herbicides 1, Prélevée", K::CascadeCount, 1, kPreEmergence, {}},
        {"count_n3", "number of herbicides 3, Prélevée", K::CascadeCount, 3, kPreEmergence, {}},
        {"herbicide_r0", "herbicide 1 = atrazine (of 3)", K::CascadeHerbicide, 3, kPreEmergence,
         three.mid(0, 1)},
        {"herbicide_r1", "herbicide 2 = S-métolachlore (of 3)", K::CascadeHerbicide, 3,
         kPreEmergence, three.mid(0, 2)},
        {"herbicide_r2", "herbicide 3 = mésotrione (of 3)", K::CascadeHerbicide, 3, kPreEmergence,
         three},
        {"rates_n1", "rates of atrazine alone", K::RatePicker, 1, kPreEmergence, {kAtrazine}},
        {"rates_n2",
         "rates of atrazine + S-métolachlore",
         K::RatePicker,
         2,
         kPreEmergence,
         {kAtrazine, kSMetolachlor}},
        {"rates_n3", "rates of atrazine + S-métolachlore + mésotrione", K::RatePicker, 3,
         kPreEmergence, three},
    };
}

} // namespace grelavo::bench
