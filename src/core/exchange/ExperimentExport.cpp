#include "ExperimentExport.h"

#include "DurableFile.h"
#include "ExchangeLists.h"
#include "db/Connection.h"
#include "db/DatabaseEdition.h"
#include "db/ImportLog.h"
#include "db/Statement.h"
#include "db/SystemError.h"
#include "db/Transaction.h"
#include "text/CsvWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QMetaType>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>

namespace grelavo {

namespace {

using Row = QVector<QVariant>;

QVector<Row> select(Connection& db, const QString& sql) {
    Statement statement(db, sql);
    QVector<Row> rows;
    while (statement.step()) {
        Row row(statement.columnCount());
        for (int c = 0; c < row.size(); ++c)
            row[c] = statement.value(c);
        rows << row;
    }
    return rows;
}

// Where a value sits, for messages: "sites.csv (S2), colonne ph".
QString place(const QString& file, const QString& row, const QString& column) {
    return QStringLiteral("%1 (%2), colonne %3").arg(file, row, column);
}

bool integerId(const QVariant& v, qlonglong* id) {
    if (v.typeId() != QMetaType::LongLong)
        return false;
    *id = v.toLongLong();
    return true;
}

// A lookup list: its names by id.
class Names {
public:
    Names(Connection& db, const ExchangeList& list) : m_what(QString::fromUtf8(list.one)) {
        const QString sql = QStringLiteral("SELECT %1, %2 FROM %3")
                                .arg(Connection::quoteIdentifier(list.idName()),
                                     Connection::quoteIdentifier(list.nameName()),
                                     Connection::quoteIdentifier(list.tableName()));
        for (const Row& r : select(db, sql)) {
            qlonglong id = 0;
            if (integerId(r[0], &id))
                m_names.insert(id, r[1].toString());
        }
    }

    // The name of the row `id` refers to; empty for null. Throws for a missing row.
    QString name(const QVariant& id, const QString& where) const {
        if (id.isNull())
            return QString();
        qlonglong n = 0;
        if (integerId(id, &n)) {
            const auto it = m_names.constFind(n);
            if (it != m_names.constEnd())
                return *it;
        }
        throw ExchangeError(QStringLiteral("%1\u00a0: %2 n° %3 absent(e) de sa liste")
                                .arg(where, m_what, id.toString()));
    }

private:
    QString m_what;
    QHash<qlonglong, QString> m_names;
};

// The keys of the rows of one experiment table: a letter and the row number, padded, or the
// keys the rows were imported under.
class Keys {
public:
    Keys(const QVector<Row>& rows, QChar letter, const QString& what,
         QHash<qlonglong, QString> given = {})
        : m_letter(letter), m_what(what), m_given(std::move(given)) {
        qlonglong largest = 0;
        for (const Row& r : rows) {
            qlonglong id = 0;
            if (!integerId(r[0], &id) || id < 0)
                throw ExchangeError(
                    QStringLiteral(
                        "%1\u00a0: numéro de ligne «\u00a0%2\u00a0» inutilisable comme clé")
                        .arg(what, r[0].toString()));
            m_ids.insert(id);
            largest = std::max(largest, id);
        }
        m_width = QString::number(largest).size();
    }

    QString key(qlonglong id) const {
        const auto given = m_given.constFind(id);
        if (given != m_given.constEnd())
            return *given;
        return m_letter + QString::number(id).rightJustified(m_width, QLatin1Char('0'));
    }
    QString key(const QVariant& id) const { return key(id.toLongLong()); }

    // The key of the row `id` refers to; empty for null. Throws for a missing row.
    QString reference(const QVariant& id, const QString& where) const {
        if (id.isNull())
            return QString();
        qlonglong n = 0;
        if (integerId(id, &n) && m_ids.contains(n))
            return key(n);
        throw ExchangeError(
            QStringLiteral("%1\u00a0: %2 n° %3 n'existe pas").arg(where, m_what, id.toString()));
    }

    // As reference(), for a reference that may not be empty.
    QString required(const QVariant& id, const QString& where) const {
        if (id.isNull())
            throw ExchangeError(QStringLiteral("%1\u00a0: %2 manquant(e)").arg(where, m_what));
        return reference(id, where);
    }

private:
    QChar m_letter;
    QString m_what;
    QHash<qlonglong, QString> m_given;
    QSet<qlonglong> m_ids;
    int m_width = 1;
};

QString numberField(const QVariant& v, const QString& where) {
    if (v.isNull())
        return QString();
    if (v.typeId() == QMetaType::LongLong)
        return QString::number(v.toLongLong());
    if (v.typeId() == QMetaType::Double) {
        if (!std::isfinite(v.toDouble()))
            throw ExchangeError(QStringLiteral("%1\u00a0: valeur non finie").arg(where));
        return ExperimentExport::number(v.toDouble());
    }
    throw ExchangeError(
        QStringLiteral("%1\u00a0: «\u00a0%2\u00a0» n'est pas un nombre").arg(where, v.toString()));
}

// One output file being filled: its headings first.
class FileBuilder {
public:
    explicit FileBuilder(int index) : m_file(ExperimentExport::files().at(index)) {
        m_writer.addRow(m_file.headings);
    }
    const QString& name() const { return m_file.name; }
    QString at(const QString& key, int column) const {
        return place(m_file.name, key, m_file.headings.at(column));
    }
    void add(const QStringList& fields) {
        m_writer.addRow(fields);
        ++m_rows;
    }
    ExperimentExport::Output output() const { return {m_file.name, m_writer.bytes(), m_rows}; }

private:
    const ExchangeFile& m_file;
    CsvWriter m_writer{CsvWriter::Cells::Formulas};
    int m_rows = 0;
};

enum FileIndex { Sites, Treatments, Crops, Applications, Stages, Products, Ratings };

// Which rows are written: all of them, or only the imported ones (under their keys).
struct Selection {
    bool all = true;
    QHash<qlonglong, QString> sites, treatments, applications; // id → key, when not all

    bool keeps(const QHash<qlonglong, QString>& ids, const QVariant& id) const {
        return all || ids.contains(id.toLongLong());
    }
    QVector<Row> filter(QVector<Row> rows, const QHash<qlonglong, QString>& ids,
                        int column = 0) const {
        if (!all)
            rows.erase(std::remove_if(rows.begin(), rows.end(),
                                      [&](const Row& r) { return !keeps(ids, r[column]); }),
                       rows.end());
        return rows;
    }
};

// The lookup lists the experiments refer to.
struct Lists {
    explicit Lists(Connection& db)
        : provinces(db, lists::provinces), textures(db, lists::textures), crops(db, lists::crops),
          varieties(db, lists::varieties), previousCrops(db, lists::previousCrops),
          periods(db, lists::periods), herbicides(db, lists::herbicides), weeds(db, lists::weeds) {}

    Names provinces, textures, crops, varieties, previousCrops, periods, herbicides, weeds;
};

ExperimentExport::Output siteFile(const QVector<Row>& sites, const Keys& siteKeys,
                                  const Lists& lists) {
    FileBuilder file(Sites);
    for (const Row& r : sites) {
        const QString key = siteKeys.key(r[0]);
        file.add({key, lists.provinces.name(r[1], file.at(key, 1)),
                  lists.textures.name(r[2], file.at(key, 2)), numberField(r[3], file.at(key, 3)),
                  numberField(r[4], file.at(key, 4))});
    }
    return file.output();
}

ExperimentExport::Output treatmentFile(const QVector<Row>& treatments, const Keys& treatmentKeys,
                                       const Keys& siteKeys) {
    FileBuilder file(Treatments);
    for (const Row& r : treatments) {
        const QString key = treatmentKeys.key(r[0]);
        file.add({key, siteKeys.reference(r[1], file.at(key, 1))});
    }
    return file.output();
}

ExperimentExport::Output cropFile(Connection& db, const Keys& treatmentKeys, const Lists& lists,
                                  const Selection& only) {
    FileBuilder file(Crops);
    for (const Row& r : only.filter(select(db, QStringLiteral(R"(SELECT "TraitementId", "CultureId",
        "VariétéId", "AntécédentID", "TauxSemisKg", "TauxSemisSe", "ProfPlantEXP",
        "EcartPLantEXP", "CultureEXPId" FROM "tblCultureEXP" ORDER BY 1, "CultureEXPId")")),
                                    only.treatments)) {
        const QString row = QStringLiteral("culture n° %1").arg(r[8].toString());
        const QString key = treatmentKeys.required(r[0], file.at(row, 0));
        QStringList fields{key, lists.crops.name(r[1], file.at(key, 1)),
                           lists.varieties.name(r[2], file.at(key, 2)),
                           lists.previousCrops.name(r[3], file.at(key, 3))};
        for (int c = 4; c < 8; ++c)
            fields << numberField(r[c], file.at(key, c));
        file.add(fields);
    }
    return file.output();
}

ExperimentExport::Output applicationFile(const QVector<Row>& applications,
                                         const Keys& applicationKeys, const Keys& treatmentKeys,
                                         const Lists& lists) {
    FileBuilder file(Applications);
    for (const Row& r : applications) {
        const QString key = applicationKeys.key(r[0]);
        file.add({key, treatmentKeys.required(r[1], file.at(key, 1)),
                  lists.periods.name(r[2], file.at(key, 2))});
    }
    return file.output();
}

ExperimentExport::Output stageFile(Connection& db, const Keys& applicationKeys, const Lists& lists,
                                   const Selection& only) {
    FileBuilder file(Stages);
    for (const Row& r : only.filter(select(db, QStringLiteral(R"(SELECT "DateHerbId", "CultureId",
        "HautMoyenneCultH", "NoFeuilMoyenneCultH", "StadeCultureId" FROM "tblStadeCultureH"
        ORDER BY 1, "StadeCultureId")")),
                                    only.applications)) {
        const QString row = QStringLiteral("stade n° %1").arg(r[4].toString());
        const QString key = applicationKeys.required(r[0], file.at(row, 0));
        file.add({key, lists.crops.name(r[1], file.at(key, 1)), numberField(r[2], file.at(key, 2)),
                  numberField(r[3], file.at(key, 3))});
    }
    return file.output();
}

ExperimentExport::Output productFile(Connection& db, const Keys& applicationKeys,
                                     const Lists& lists, const Selection& only) {
    FileBuilder file(Products);
    for (const Row& r : only.filter(select(db, QStringLiteral(R"(SELECT "DateHerbId", "HerbicideId",
        "FormulationId", "HerbTauxH" FROM "tblDétailsHerbicides" ORDER BY 1, 2)")),
                                    only.applications)) {
        const QString row = QStringLiteral("application n° %1").arg(r[0].toString());
        const QString key = applicationKeys.required(r[0], file.at(row, 0));
        file.add({key, lists.herbicides.name(r[1], file.at(key, 1)),
                  numberField(r[2], file.at(key, 2)), numberField(r[3], file.at(key, 3))});
    }
    return file.output();
}

ExperimentExport::Output ratingFile(Connection& db, const Keys& treatmentKeys, const Lists& lists,
                                    const Selection& only) {
    FileBuilder file(Ratings);
    for (const Row& r :
         only.filter(select(db, QStringLiteral(R"(SELECT "TraitementId", "MHId", "Visuel",
        "MHEvalId" FROM "tblMHEval" ORDER BY 1, "MHEvalId")")),
                     only.treatments)) {
        const QString row = QStringLiteral("évaluation n° %1").arg(r[3].toString());
        const QString key = treatmentKeys.required(r[0], file.at(row, 0));
        file.add(
            {key, lists.weeds.name(r[1], file.at(key, 1)), numberField(r[2], file.at(key, 2))});
    }
    return file.output();
}

} // namespace

const QVector<ExchangeFile>& ExperimentExport::files() {
    static const QVector<ExchangeFile> all{
        {QStringLiteral("sites.csv"),
         {QStringLiteral("site"), QStringLiteral("province"), QStringLiteral("classe_texturale"),
          QStringLiteral("matiere_organique_pct"), QStringLiteral("ph")}},
        {QStringLiteral("traitements.csv"), {QStringLiteral("traitement"), QStringLiteral("site")}},
        {QStringLiteral("cultures.csv"),
         {QStringLiteral("traitement"), QStringLiteral("culture"), QStringLiteral("variete"),
          QStringLiteral("antecedent"), QStringLiteral("semis_kg_ha"),
          QStringLiteral("semis_grains_ha"), QStringLiteral("profondeur_cm"),
          QStringLiteral("ecartement_cm")}},
        {QStringLiteral("applications.csv"),
         {QStringLiteral("application"), QStringLiteral("traitement"), QStringLiteral("periode")}},
        {QStringLiteral("stades.csv"),
         {QStringLiteral("application"), QStringLiteral("culture"), QStringLiteral("hauteur_cm"),
          QStringLiteral("feuilles")}},
        {QStringLiteral("produits.csv"),
         {QStringLiteral("application"), QStringLiteral("herbicide"), QStringLiteral("formulation"),
          QStringLiteral("dose_kg_ma_ha")}},
        {QStringLiteral("evaluations.csv"),
         {QStringLiteral("traitement"), QStringLiteral("mauvaise_herbe"),
          QStringLiteral("visuel_pct")}},
    };
    return all;
}

const ExchangeFile& ExperimentExport::editionFile() {
    static const ExchangeFile edition{
        QStringLiteral("edition.csv"),
        {QStringLiteral("nom"), QStringLiteral("date"), QStringLiteral("synthetique")}};
    return edition;
}

QString ExperimentExport::number(double value) {
    return CsvWriter::plainNumber(value);
}

namespace {

QVector<ExperimentExport::Output> readSelected(Connection& db, const Selection& only) {
    const Lists lists(db);
    const QVector<Row> sites = only.filter(select(db, QStringLiteral(R"(SELECT "SiteExpId",
        "ProvinceID", "ClasseTexturaleId", "MatièreOrganique", "pH" FROM "tbldesSites"
        ORDER BY 1)")),
                                           only.sites);
    const Keys siteKeys(sites, QLatin1Char('S'), QStringLiteral("site"), only.sites);
    const QVector<Row> treatments = only.filter(
        select(db,
               QStringLiteral(
                   R"(SELECT "TraitementId", "SiteExpId" FROM "tbldesTraitements" ORDER BY 1)")),
        only.treatments);
    const Keys treatmentKeys(treatments, QLatin1Char('T'), QStringLiteral("traitement"),
                             only.treatments);
    const QVector<Row> applications =
        only.filter(select(db, QStringLiteral(R"(SELECT "DateHerbId", "TraitementId",
        "TypeApplicationId" FROM "tblPériodesApplication" ORDER BY 1)")),
                    only.applications);
    const Keys applicationKeys(applications, QLatin1Char('A'), QStringLiteral("application"),
                               only.applications);

    return {siteFile(sites, siteKeys, lists),
            treatmentFile(treatments, treatmentKeys, siteKeys),
            cropFile(db, treatmentKeys, lists, only),
            applicationFile(applications, applicationKeys, treatmentKeys, lists),
            stageFile(db, applicationKeys, lists, only),
            productFile(db, applicationKeys, lists, only),
            ratingFile(db, treatmentKeys, lists, only)};
}

} // namespace

QVector<ExperimentExport::Output> ExperimentExport::read(Connection& db) {
    Transaction snapshot(db);
    const QVector<Output> out = readSelected(db, Selection());
    snapshot.commit();
    return out;
}

QVector<ExperimentExport::Output> ExperimentExport::readWithEdition(Connection& db) {
    Transaction snapshot(db);
    QVector<Output> out = readSelected(db, Selection());
    const DatabaseEdition edition = DatabaseEdition::read(db);
    CsvWriter file(CsvWriter::Cells::Formulas);
    file.addRow(editionFile().headings);
    if (edition.known)
        file.addRow({edition.name, edition.date,
                     edition.synthetic ? QStringLiteral("1") : QStringLiteral("0")});
    out.append({editionFile().name, file.bytes(), edition.known ? 1 : 0});
    snapshot.commit();
    return out;
}

QVector<ExperimentExport::Output> ExperimentExport::readImported(Connection& db) {
    Transaction snapshot(db);
    Selection only;
    only.all = false;
    for (const ImportedKey& k : ImportLog::keys(db)) {
        auto& ids = k.kind == QLatin1String("site")         ? only.sites
                    : k.kind == QLatin1String("traitement") ? only.treatments
                                                            : only.applications;
        ids.insert(k.id, k.key);
    }
    const QVector<Output> out = readSelected(db, only);
    snapshot.commit();
    return out;
}

namespace {

// The folders a write works in, inside the folder it writes to (so on its file system): the new
// set is written in the first, the set it replaces put in the second until the new one is in
// place. Each is followed by the process number.
const QString kWriting = QStringLiteral(".export-en-cours-");
const QString kReplaced = QStringLiteral(".export-remplace-");

QStringList setNames() {
    QStringList names{ExperimentExport::editionFile().name};
    for (const ExchangeFile& f : ExperimentExport::files())
        names << f.name;
    return names;
}

// The entries of 'folder' named like a file of the set, case ignored, whatever they are.
QFileInfoList setEntries(const QString& folder) {
    const QStringList names = setNames();
    QFileInfoList found;
    for (const QFileInfo& f : QDir(folder).entryInfoList(
             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        if (names.contains(f.fileName(), Qt::CaseInsensitive))
            found << f;
    }
    return found;
}

// Moves each of 'names' from the folder 'from' to the folder 'to'; at the first refusal, moves
// back those already moved and gives the name refused.
QString moveAll(const QStringList& names, const QDir& from, const QDir& to) {
    for (int i = 0; i < names.size(); ++i) {
        if (!durable::rename(from.filePath(names[i]), to.filePath(names[i]))) {
            for (int j = i - 1; j >= 0; --j)
                durable::rename(to.filePath(names[j]), from.filePath(names[j]));
            return names[i];
        }
    }
    return QString();
}

// Whether the run numbered 'pid', another process, still runs: what it is writing is left alone.
bool stillRunning(const QString& pid) {
    bool number = false;
    const qint64 n = pid.toLongLong(&number);
    if (!number || n <= 0 || n == QCoreApplication::applicationPid())
        return false;
    return ::kill(static_cast<pid_t>(n), 0) == 0 || errno == EPERM;
}

QStringList entriesOf(const QDir& folder) {
    return folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDir::Name);
}

// What runs stopped midway left in 'dir'. A run that had begun to put its new set in place is
// finished (the rest of its set moved in, the old set dropped); one that had not is undone (the
// files it had moved aside put back). Its unfinished set is removed.
void finishStoppedRuns(const QDir& dir) {
    const int whole = static_cast<int>(setNames().size());
    for (const QString& name : entriesOf(dir)) {
        if (!name.startsWith(kReplaced) || stillRunning(name.mid(kReplaced.size())))
            continue;
        const QDir replaced(dir.filePath(name));
        const QDir writing(dir.filePath(kWriting + name.mid(kReplaced.size())));
        const QStringList unmoved = writing.exists() ? entriesOf(writing) : QStringList();
        if (unmoved.size() < whole)
            moveAll(unmoved, writing, dir);
        else
            moveAll(entriesOf(replaced), replaced, dir);
        durable::syncFolder(dir.path());
        QDir(replaced).removeRecursively();
    }
    for (const QString& name : entriesOf(dir)) {
        if (name.startsWith(kWriting) && !stillRunning(name.mid(kWriting.size())))
            QDir(dir.filePath(name)).removeRecursively();
    }
}

} // namespace

bool ExperimentExport::isInterrupted(const QString& folder) {
    for (const QString& name : entriesOf(QDir(folder))) {
        if (name.startsWith(kReplaced) || name.startsWith(kWriting))
            return true;
    }
    return false;
}

QStringList ExperimentExport::existingFiles(const QString& folder) {
    if (QFileInfo(folder).isDir())
        finishStoppedRuns(QDir(folder));
    QStringList found;
    for (const QFileInfo& f : setEntries(folder))
        found << f.filePath();
    return found;
}

QString ExperimentExport::refusedEntry(const QString& folder) {
    for (const QFileInfo& f : setEntries(folder)) {
        if (f.isSymLink())
            return QStringLiteral("%1 est un lien symbolique\u00a0: il n'est pas suivi, rien n'est "
                                  "écrit")
                .arg(f.filePath());
        if (!f.isFile())
            return QStringLiteral("%1 n'est pas un fichier\u00a0: rien n'est écrit")
                .arg(f.filePath());
    }
    return QString();
}

QString ExperimentExport::writeFolder(const QVector<Output>& outputs, const QString& folder,
                                      bool replace) {
    const QDir dir(folder);
    if (!dir.exists() && !QDir().mkpath(folder))
        return QStringLiteral("impossible de créer le dossier %1").arg(folder);
    finishStoppedRuns(dir);
    const QString refused = refusedEntry(folder);
    if (!refused.isEmpty())
        return refused;
    QStringList old;
    for (const QFileInfo& f : setEntries(folder))
        old << f.fileName();
    if (!replace && !old.isEmpty())
        return QStringLiteral("%1 existe déjà").arg(dir.filePath(old.first()));

    const QString pid = QString::number(QCoreApplication::applicationPid());
    const QDir writing(dir.filePath(kWriting + pid));
    const QDir replaced(dir.filePath(kReplaced + pid));
    const auto cleanUp = [&] {
        QDir(writing).removeRecursively();
        QDir(replaced).removeRecursively();
    };
    const auto cannotWrite = [&](const QString& path, const QString& why) {
        cleanUp();
        return QStringLiteral("impossible d'écrire %1\u00a0: %2").arg(path, why);
    };
    if (!dir.mkdir(writing.dirName()))
        return cannotWrite(writing.path(), QStringLiteral("le dossier n'a pas pu être créé"));
    QStringList names;
    for (const Output& f : outputs) {
        QFile out(writing.filePath(f.name));
        errno = 0;
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
            out.write(f.bytes) != f.bytes.size() || !out.flush()) {
            const int error = errno;
            return cannotWrite(dir.filePath(f.name), fileErrorInWords(out.error(), error));
        }
        out.close();
        if (!durable::syncFile(out.fileName()))
            return cannotWrite(dir.filePath(f.name),
                               QStringLiteral("le fichier n'a pas pu être écrit sur le disque"));
        names << f.name;
    }
    if (!durable::syncFolder(writing.path()))
        return cannotWrite(writing.path(), QStringLiteral("le dossier n'a pas pu être écrit sur le "
                                                          "disque"));

    // The old set aside, the new one in its place; at a refusal, the old set back.
    if (!old.isEmpty()) {
        if (!dir.mkdir(replaced.dirName()))
            return cannotWrite(replaced.path(), QStringLiteral("le dossier n'a pas pu être créé"));
        const QString stuck = moveAll(old, dir, replaced);
        if (!stuck.isEmpty())
            return cannotWrite(dir.filePath(stuck),
                               QStringLiteral("l'ancien fichier n'a pas pu être remplacé"));
    }
    const QString stuck = moveAll(names, writing, dir);
    if (!stuck.isEmpty()) {
        moveAll(old, replaced, dir);
        return cannotWrite(dir.filePath(stuck), QStringLiteral("le fichier n'a pas pu être mis en "
                                                               "place"));
    }
    const bool synced = durable::syncFolder(folder);
    cleanUp();
    if (!synced || !durable::syncFolder(folder))
        return QStringLiteral(
                   "impossible d'écrire les fichiers dans %1\u00a0: le dossier n'a pas pu "
                   "être écrit sur le disque")
            .arg(folder);
    return QString();
}

} // namespace grelavo
