// Checking exchange files before an import: every value read, every name looked up, every key
// resolved, and every problem said with its file, line and column.

#include "ExchangeFolder.h"
#include "ExchangeLists.h"
#include "ExperimentExport.h"
#include "ImportNameLists.h"
#include "ImportPlan.h"
#include "ImportRecords.h"
#include "core/db/Connection.h"
#include "core/db/Lists.h"
#include "core/db/Statement.h"
#include "core/text/NameText.h"
#include "core/text/NumberReading.h"

#include <QMap>
#include <QSet>
#include <QtDebug>
#include <algorithm>
#include <cmath>
#include <optional>

namespace grelavo {

using namespace importcheck;

namespace {

const QString kNonNegative = QStringLiteral("un nombre positif ou nul");

// The rows of one kind already in the database: the keys earlier imports recorded and the row
// numbers grelavo-export makes keys of, so that files exported from this database and read back
// add nothing twice.
PresentRows presentRows(Connection& db, const QVector<ImportedKey>& keys, const QString& kind,
                        const char* table, const char* idColumn, QChar letter) {
    PresentRows out;
    out.letter = letter;
    Statement rows(db, QStringLiteral("SELECT %1 FROM %2")
                           .arg(Connection::quoteIdentifier(QString::fromUtf8(idColumn)),
                                Connection::quoteIdentifier(QString::fromUtf8(table))));
    while (rows.step())
        out.ids.insert(rows.value(0).toLongLong());
    for (const ImportedKey& k : keys) {
        if (k.kind == kind)
            out.imported.insert(k.key);
    }
    return out;
}

class RowChecker {
public:
    RowChecker(Connection& db, const ImportOptions& options, QVector<ImportProblem>* problems,
               ImportPlan::Rows* rows)
        : m_rows(rows ? rows : &m_counted), m_addNames(options.addNames),
          m_acceptUnusual(options.acceptUnusual), m_problems(problems),
          m_provinces(db, lists::provinces, true), m_textures(db, lists::textures, true),
          m_crops(db, lists::crops, true), m_previousCrops(db, lists::previousCrops, true),
          m_periods(db, lists::periods, true), m_herbicides(db, lists::herbicides, false),
          m_weeds(db, lists::weeds, false, QStringLiteral("Nom-Latin")), m_varieties(db) {
        Statement rates(db, QStringLiteral(R"(SELECT "HerbicideId", min("HerbTauxH"),
            max("HerbTauxH") FROM "tblDétailsHerbicides" WHERE "HerbTauxH" > 0
            GROUP BY "HerbicideId")"));
        while (rates.step())
            m_rates.insert(rates.value(0).toLongLong(),
                           {rates.value(1).toDouble(), rates.value(2).toDouble()});
        const QVector<ImportedKey> keys = ImportLog::keys(db);
        m_siteKeys.emplace(KeyKind{QStringLiteral("le site")}, QStringLiteral("sites.csv"),
                           presentRows(db, keys, QStringLiteral("site"), "tbldesSites", "SiteExpId",
                                       QLatin1Char('S')),
                           &m_present);
        m_treatmentKeys.emplace(KeyKind{QStringLiteral("le traitement")},
                                QStringLiteral("traitements.csv"),
                                presentRows(db, keys, QStringLiteral("traitement"),
                                            "tbldesTraitements", "TraitementId", QLatin1Char('T')),
                                &m_present);
        m_applicationKeys.emplace(
            KeyKind{QStringLiteral("l'application"), true}, QStringLiteral("applications.csv"),
            presentRows(db, keys, QStringLiteral("application"), "tblPériodesApplication",
                        "DateHerbId", QLatin1Char('A')),
            &m_present);
    }

    ImportPlan run(const QVector<ImportFile>& files) {
        using Reader = void (RowChecker::*)(Record&);
        static const Reader readers[] = {&RowChecker::site,  &RowChecker::treatment,
                                         &RowChecker::crop,  &RowChecker::application,
                                         &RowChecker::stage, &RowChecker::product,
                                         &RowChecker::rating};
        const QVector<ExchangeFile>& format = ExperimentExport::files();
        for (int k = 0; k < format.size(); ++k) {
            for (const ImportFile& f : files) {
                if (f.name != format[k].name)
                    continue;
                m_plan.files << f.name;
                QHash<QString, int> columns;
                if (!readHeadings(f, format[k].headings, &columns)) {
                    if (Keys* keys = keysDefinedIn(f.name))
                        keys->setUnread();
                    continue;
                }
                ImportFileRecords records(f);
                for (CsvRecord r; records.next(&r);) {
                    Record record(f, r, columns, m_problems);
                    if (record.fieldCountFits(headingCount(f.format.headings)))
                        (this->*readers[k])(record);
                    else if (Keys* keys = keysDefinedIn(f.name))
                        keys->unreadable(record.text(format[k].headings.first()), r.line);
                }
                const QString present = m_present.said(f.name);
                if (!present.isEmpty())
                    m_problems.add(QString(), 0, QString(), present);
            }
        }
        m_problems.finish();
        m_plan.problemCount = m_problems.count();
        return m_plan;
    }

private:
    bool readHeadings(const ImportFile& f, const QStringList& expected,
                      QHash<QString, int>* columns) {
        bool complete = true;
        for (int i = 0; i < f.format.headings.size(); ++i) {
            const QString& h = f.format.headings[i];
            if (!expected.contains(h))
                continue; // a column of the user's own is left alone
            if (columns->contains(h))
                m_problems.add(f.name, 1, h, QStringLiteral("colonne en double"));
            columns->insert(h, i);
        }
        for (const QString& h : expected) {
            if (!columns->contains(h)) {
                m_problems.add(
                    f.name, 1, h,
                    QStringLiteral("colonne absente\u00a0; la première ligne doit porter "
                                   "les titres %1")
                        .arg(expected.join(QStringLiteral(", "))));
                complete = false;
            }
        }
        return complete;
    }

    // The headings up to the last one that is not empty (a spreadsheet may leave separators
    // after them).
    static int headingCount(const QStringList& headings) {
        int n = int(headings.size());
        while (n > 0 && headings.at(n - 1).isEmpty())
            --n;
        return n;
    }

    Keys* keysDefinedIn(const QString& file) {
        for (std::optional<Keys>* keys : {&m_siteKeys, &m_treatmentKeys, &m_applicationKeys}) {
            if ((*keys)->file() == file)
                return &**keys;
        }
        return nullptr;
    }

    // The names added since the last row, then the row, counted.
    void sendNames() {
        for (; m_namesSent < m_plan.names.size(); ++m_namesSent)
            m_rows->name(m_plan.names.at(m_namesSent));
    }
    template <typename Row>
    void send(void (ImportPlan::Rows::*to)(const Row&), const Row& row, int* count) {
        sendNames();
        (m_rows->*to)(row);
        ++*count;
    }

    QVariant listName(Record& r, const QString& column, NameList& names, bool mayBeEmpty = true) {
        return r.name(column, names, m_addNames, &m_plan.names, mayBeEmpty);
    }

    void site(Record& r) {
        ImportPlan::Site s;
        s.key = r.required(QStringLiteral("site"), QStringLiteral("la clé du site"));
        s.province = listName(r, QStringLiteral("province"), m_provinces);
        s.texture = listName(r, QStringLiteral("classe_texturale"), m_textures);
        s.organicMatter = r.number(QStringLiteral("matiere_organique_pct"), 0, 100, false, false,
                                   QStringLiteral("un pourcentage de 0 à 100"));
        s.pH =
            r.number(QStringLiteral("ph"), 0, 14, false, false, QStringLiteral("un pH de 0 à 14"));
        if (m_siteKeys->define(r, QStringLiteral("site"), s.key, m_plan.counted.sites)) {
            sendNames();
            m_rows->site(s);
            ++m_plan.counted.sites;
        }
    }

    void treatment(Record& r) {
        ImportPlan::Treatment t;
        t.key = r.required(QStringLiteral("traitement"), QStringLiteral("la clé du traitement"));
        const QString site = r.text(QStringLiteral("site"));
        if (!site.isEmpty())
            t.site = m_siteKeys->find(r, QStringLiteral("site"), site);
        if (m_treatmentKeys->define(r, QStringLiteral("traitement"), t.key,
                                    m_plan.counted.treatments)) {
            sendNames();
            m_rows->treatment(t);
            ++m_plan.counted.treatments;
        }
    }

    int treatmentOf(Record& r) {
        const QString key =
            r.required(QStringLiteral("traitement"), QStringLiteral("la clé d'un traitement"));
        return key.isEmpty() ? -1 : m_treatmentKeys->find(r, QStringLiteral("traitement"), key);
    }

    int applicationOf(Record& r) {
        const QString key =
            r.required(QStringLiteral("application"), QStringLiteral("la clé d'une application"));
        return key.isEmpty() ? -1 : m_applicationKeys->find(r, QStringLiteral("application"), key);
    }

    QVariant variety(Record& r, const QVariant& crop) {
        const QString column = QStringLiteral("variete");
        const QString name = r.text(column);
        if (name.isEmpty())
            return QVariant();
        const QVector<qlonglong> ids = m_varieties.find(name, crop);
        if (ids.size() == 1)
            return ids.first();
        if (ids.size() > 1) {
            r.problem(column,
                      QStringLiteral("plusieurs cultures ont une variété %1\u00a0: indiquez "
                                     "la culture")
                          .arg(quoted(name)));
            return QVariant();
        }
        const QString list = QString::fromUtf8(lists::varieties.many);
        if (m_addNames) {
            if (r.refusedAsNew(column, name, m_varieties.lookalike(name, crop), list))
                return QVariant();
            m_plan.names << m_varieties.add(name, crop);
            return m_plan.names.last().id;
        }
        QString message =
            QStringLiteral("%1 n'est pas une variété %2 de la liste des variétés")
                .arg(quoted(name),
                     crop.isNull() ? QStringLiteral("connue") : QStringLiteral("de cette culture"));
        QStringList near;
        for (const auto& v : m_varieties.closest(name)) {
            const QString cropName =
                v.second.isNull() ? QString() : m_crops.nameOf(v.second.toLongLong());
            near << (cropName.isEmpty() ? quoted(v.first)
                                        : QStringLiteral("%1 (%2)").arg(quoted(v.first), cropName));
        }
        if (!near.isEmpty())
            message += QStringLiteral("\u00a0; variétés proches\u00a0: %1")
                           .arg(near.join(QStringLiteral(", ")));
        r.problem(column, message);
        return QVariant();
    }

    void crop(Record& r) {
        ImportPlan::Crop c;
        c.treatment = treatmentOf(r);
        c.crop = listName(r, QStringLiteral("culture"), m_crops);
        if (r.ok())
            c.variety = variety(r, c.crop);
        c.previousCrop = listName(r, QStringLiteral("antecedent"), m_previousCrops);
        QVariant* values[] = {&c.sowingKg, &c.sowingGrains, &c.depth, &c.spacing};
        const char* columns[] = {"semis_kg_ha", "semis_grains_ha", "profondeur_cm",
                                 "ecartement_cm"};
        for (int i = 0; i < 4; ++i)
            *values[i] =
                r.number(QString::fromLatin1(columns[i]), 0, 1e12, false, false, kNonNegative);
        if (r.ok())
            send(&ImportPlan::Rows::crop, c, &m_plan.counted.crops);
    }

    void application(Record& r) {
        ImportPlan::Application a;
        a.key =
            r.required(QStringLiteral("application"), QStringLiteral("la clé de l'application"));
        a.treatment = treatmentOf(r);
        a.period = listName(r, QStringLiteral("periode"), m_periods);
        if (m_applicationKeys->define(r, QStringLiteral("application"), a.key,
                                      m_plan.counted.applications)) {
            sendNames();
            m_rows->application(a);
            ++m_plan.counted.applications;
        }
    }

    void stage(Record& r) {
        ImportPlan::Stage s;
        s.application = applicationOf(r);
        s.crop = listName(r, QStringLiteral("culture"), m_crops);
        s.height = r.number(QStringLiteral("hauteur_cm"), 0, 1e6, false, false, kNonNegative);
        s.leaves = r.number(QStringLiteral("feuilles"), 0, 1e6, false, false, kNonNegative);
        if (r.ok())
            send(&ImportPlan::Rows::stage, s, &m_plan.counted.stages);
    }

    void product(Record& r) {
        ImportPlan::Product p;
        p.application = applicationOf(r);
        const QVariant herbicide =
            listName(r, QStringLiteral("herbicide"), m_herbicides, /*mayBeEmpty=*/false);
        p.formulation = r.number(QStringLiteral("formulation"), 0, 1e9, true, true,
                                 QStringLiteral("un numéro de formulation (entier positif)"));
        p.rate = r.number(QStringLiteral("dose_kg_ma_ha"), 0, 1e9, true, false,
                          QStringLiteral("une dose positive (kg i.a./ha)"));
        if (p.application < 0 || herbicide.isNull())
            return;
        p.herbicide = herbicide.toLongLong();
        if (!p.rate.isNull())
            usualRate(r, p.rate.toDouble(), p.herbicide);
        QVector<int>& lines = m_productLines[p.application];
        const QString key = r.text(QStringLiteral("application"));
        const auto twice = m_productHerbicides.constFind({p.application, p.herbicide});
        if (twice != m_productHerbicides.constEnd()) {
            r.problem(QStringLiteral("herbicide"),
                      QStringLiteral("%1 figure déjà dans le mélange de l'application %2 "
                                     "(ligne %3)")
                          .arg(quoted(r.text(QStringLiteral("herbicide"))), quoted(key))
                          .arg(*twice));
            return;
        }
        m_productHerbicides.insert({p.application, p.herbicide}, r.line());
        lines << r.line();
        if (lines.size() > lists::kMixtureProducts) {
            QStringList shown;
            for (const int l : lines)
                shown << QString::number(l);
            r.problem(
                QStringLiteral("application"),
                QStringLiteral("un mélange compte au plus quatre produits\u00a0; l'application "
                               "%1 en a %2 (lignes %3)")
                    .arg(quoted(key))
                    .arg(lines.size())
                    .arg(shown.join(QStringLiteral(", "))));
        }
        if (r.ok())
            send(&ImportPlan::Rows::product, p, &m_plan.counted.products);
    }

    // A rate out of the usual range is refused, or only listed when unusual values are accepted.
    void usualRate(Record& r, double rate, qlonglong herbicide) {
        const QString column = QStringLiteral("dose_kg_ma_ha");
        const QString name = r.text(QStringLiteral("herbicide"));
        const auto range = m_rates.constFind(herbicide);
        QString why;
        if (rate > ImportPlan::kMaxUsualRate)
            why = QStringLiteral("plus de %1 kg i.a./ha")
                      .arg(ExperimentExport::number(ImportPlan::kMaxUsualRate));
        else if (range != m_rates.constEnd() && rate > range->second * ImportPlan::kUnusualFactor)
            why = QStringLiteral("plus de dix fois la plus forte dose %1 dans la base (%2)")
                      .arg(ofName(name), ExperimentExport::number(range->second));
        else if (range != m_rates.constEnd() && rate < range->first / ImportPlan::kUnusualFactor)
            why = QStringLiteral("moins du dixième de la plus faible dose %1 dans la base (%2)")
                      .arg(ofName(name), ExperimentExport::number(range->first));
        if (why.isEmpty())
            return;
        const QString message = QStringLiteral("dose inhabituelle de %1 kg i.a./ha\u00a0: %2")
                                    .arg(ExperimentExport::number(rate), why);
        if (m_acceptUnusual)
            m_plan.unusual << ImportProblem{r.file(), r.line(), column, message}.text();
        else
            r.problem(column,
                      message + QStringLiteral("\u00a0; vérifiez l'unité (kg de matière active "
                                               "par hectare), ou importez avec "
                                               "--accepter-inhabituels"));
    }

    void rating(Record& r) {
        ImportPlan::Rating g;
        g.treatment = treatmentOf(r);
        const QVariant weed =
            listName(r, QStringLiteral("mauvaise_herbe"), m_weeds, /*mayBeEmpty=*/false);
        g.visual = r.number(QStringLiteral("visuel_pct"), 0, 100, false, true,
                            QStringLiteral("une destruction en % entière, de 0 à 100"));
        if (!r.ok())
            return;
        g.weed = weed.toLongLong();
        send(&ImportPlan::Rows::rating, g, &m_plan.counted.ratings);
    }

    ImportPlan::Rows m_counted; // rows only counted
    ImportPlan::Rows* m_rows;
    int m_namesSent = 0;
    bool m_addNames;
    bool m_acceptUnusual;
    PresentTally m_present;
    QHash<qlonglong, QPair<double, double>> m_rates; // lowest and highest of each herbicide
    Problems m_problems;
    ImportPlan m_plan;
    NameList m_provinces, m_textures, m_crops, m_previousCrops, m_periods, m_herbicides, m_weeds;
    VarietyList m_varieties;
    std::optional<Keys> m_siteKeys, m_treatmentKeys, m_applicationKeys;
    QHash<int, QVector<int>> m_productLines;
    QHash<QPair<int, qlonglong>, int> m_productHerbicides;
};

} // namespace

ExperimentCounts ImportPlan::counts() const {
    return counted;
}

QStringList ImportPlan::addedNames() const {
    QStringList out;
    for (const Name& n : names)
        out << QStringLiteral("%1\u00a0: %2").arg(n.list, n.name);
    return out;
}

ImportPlan ImportPlan::check(Connection& db, const QVector<ImportFile>& files,
                             const ImportOptions& options, QVector<ImportProblem>* problems,
                             Rows* rows) {
    return RowChecker(db, options, problems, rows).run(files);
}

QString ImportProblem::text() const {
    QStringList where;
    if (!file.isEmpty())
        where << file;
    if (line > 0)
        where << QStringLiteral("ligne %1").arg(line);
    if (!column.isEmpty())
        where << QStringLiteral("colonne %1").arg(column);
    return NameText::oneLine(
        where.isEmpty()
            ? message
            : QStringLiteral("%1\u00a0: %2").arg(where.join(QStringLiteral(", ")), message));
}

} // namespace grelavo
