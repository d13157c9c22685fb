#include "ExperimentExport.h"

#include "DurableFile.h"
#include "ExchangeLists.h"
#include "core/db/Connection.h"
#include "core/db/DatabaseEdition.h"
#include "core/db/ImportLog.h"
#include "core/db/Statement.h"
#include "core/db/SystemError.h"
#include "core/db/Transaction.h"
#include "core/text/CsvWriter.h"

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
#include <functional>
#include <optional>

namespace grelavo {

namespace {

using Row = QVector<QVariant>;

// The rows of a statement, one at a time.
class Rows {
public:
    Rows(Connection& db, const QString& sql) : m_statement(db, sql) {}
    bool next(Row* row) {
        if (!m_statement.step())
            return false;
        row->resize(m_statement.columnCount());
        for (int c = 0; c < row->size(); ++c)
            (*row)[c] = m_statement.value(c);
        return true;
    }

private:
    Statement m_statement;
};

// Where a value sits, for messages: "sites.csv (S2), colonne ph", or, for a row that has no key,
// "evaluations.csv (évaluation n° 12), colonne traitement". Said only when something is wrong
// there.
struct At {
    const ExchangeFile* file;
    QString key;
    const char* kind; // when not null: the row is "<kind> n° <number>"
    QVariant number;
    int column;

    QString text() const {
        const QString row =
            kind ? QStringLiteral("%1 n° %2").arg(QString::fromUtf8(kind), number.toString()) : key;
        return QStringLiteral("%1 (%2), colonne %3")
            .arg(file->name, row, file->headings.at(column));
    }
};

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
        Rows rows(db, sql);
        for (Row r; rows.next(&r);) {
            qlonglong id = 0;
            if (integerId(r[0], &id))
                m_names.insert(id, r[1].toString());
        }
    }

    // The name of the row `id` refers to; empty for null. Throws for a missing row.
    QString name(const QVariant& id, const At& where) const {
        if (id.isNull())
            return QString();
        qlonglong n = 0;
        if (integerId(id, &n)) {
            const auto it = m_names.constFind(n);
            if (it != m_names.constEnd())
                return *it;
        }
        throw ExchangeError(QStringLiteral("%1\u00a0: %2 n° %3 absent(e) de sa liste")
                                .arg(where.text(), m_what, id.toString()));
    }

private:
    QString m_what;
    QHash<qlonglong, QString> m_names;
};

// The keys of the rows of one experiment table: a letter and the row number, padded, or the
// keys the rows were imported under.
class Keys {
public:
    // The row numbers 'sql' gives in its first column, those 'keeps' keeps.
    Keys(Connection& db, const QString& sql, const std::function<bool(const QVariant&)>& keeps,
         QChar letter, const QString& what, QHash<qlonglong, QString> given = {})
        : m_letter(letter), m_what(what), m_given(std::move(given)) {
        qlonglong largest = 0;
        Rows rows(db, sql);
        for (Row r; rows.next(&r);) {
            if (!keeps(r[0]))
                continue;
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
    QString reference(const QVariant& id, const At& where) const {
        if (id.isNull())
            return QString();
        qlonglong n = 0;
        if (integerId(id, &n) && m_ids.contains(n))
            return key(n);
        throw ExchangeError(QStringLiteral("%1\u00a0: %2 n° %3 n'existe pas")
                                .arg(where.text(), m_what, id.toString()));
    }

    // As reference(), for a reference that may not be empty.
    QString required(const QVariant& id, const At& where) const {
        if (id.isNull())
            throw ExchangeError(
                QStringLiteral("%1\u00a0: %2 manquant(e)").arg(where.text(), m_what));
        return reference(id, where);
    }

private:
    QChar m_letter;
    QString m_what;
    QHash<qlonglong, QString> m_given;
    QSet<qlonglong> m_ids;
    int m_width = 1;
};

QString numberField(const QVariant& v, const At& where) {
    if (v.isNull())
        return QString();
    if (v.typeId() == QMetaType::LongLong)
        return QString::number(v.toLongLong());
    if (v.typeId() == QMetaType::Double) {
        if (!std::isfinite(v.toDouble()))
            throw ExchangeError(QStringLiteral("%1\u00a0: valeur non finie").arg(where.text()));
        return ExperimentExport::number(v.toDouble());
    }
    throw ExchangeError(QStringLiteral("%1\u00a0: «\u00a0%2\u00a0» n'est pas un nombre")
                            .arg(where.text(), v.toString()));
}

// A file of the set that could not be written: its name and the cause in French.
struct WriteFailed {
    QString name;
    QString why;
};

// One output file being filled: its headings first. Its bytes are kept, or written to 'out' as
// they come (kept then only up to kFlushBytes).
class FileBuilder {
public:
    static constexpr int kFlushBytes = 1 << 20;

    FileBuilder(const ExchangeFile& file, QFile* out) : m_file(file), m_out(out) {
        if (m_out)
            m_bytes.reserve(kFlushBytes + 4096);
        m_bytes += QByteArrayLiteral("\xEF\xBB\xBF");
        addLine(m_file.headings);
    }
    const QString& name() const { return m_file.name; }
    At at(const QString& key, int column) const { return {&m_file, key, nullptr, {}, column}; }
    // A row without a key, known by its kind and number ("évaluation", 12).
    At at(const char* kind, const QVariant& number, int column) const {
        return {&m_file, QString(), kind, number, column};
    }
    void add(const QStringList& fields) {
        addLine(fields);
        ++m_rows;
    }
    // The file complete: its bytes (none when they went to the file) and rows.
    ExperimentExport::Output output() {
        flush();
        return {m_file.name, m_bytes, m_rows};
    }

private:
    // As CsvWriter::addRow with Cells::Formulas.
    void addLine(const QStringList& fields) {
        for (int i = 0; i < fields.size(); ++i) {
            if (i > 0)
                m_bytes += ',';
            m_bytes += CsvWriter::field(fields[i], CsvWriter::Cells::Formulas).toUtf8();
        }
        m_bytes += "\r\n";
        if (m_out && m_bytes.size() >= kFlushBytes)
            flush();
    }
    void flush() {
        if (!m_out)
            return;
        errno = 0;
        if (m_out->write(m_bytes) != m_bytes.size())
            throw WriteFailed{m_file.name, fileErrorInWords(m_out->error(), errno)};
        m_bytes.resize(0); // the capacity is kept for the next block
    }

    const ExchangeFile& m_file;
    QFile* m_out;
    QByteArray m_bytes;
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
    std::function<bool(const QVariant&)> keeping(const QHash<qlonglong, QString>& ids) const {
        return [this, &ids](const QVariant& id) { return keeps(ids, id); };
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

// What the files are made from: the lists, the keys, the rows kept.
struct Sources {
    Connection& db;
    const Lists& lists;
    const Selection& only;
    const Keys& sites;
    const Keys& treatments;
    const Keys& applications;
};

// Writes 'file' from the rows of 'sql' that the selection keeps ('column' holds the row number
// the selection knows, in 'ids'), each made into fields by 'fields'.
void fill(FileBuilder& file, const Sources& from, const QString& sql,
          const QHash<qlonglong, QString>& ids, int column,
          const std::function<QStringList(const Row&)>& fields) {
    Rows rows(from.db, sql);
    for (Row r; rows.next(&r);) {
        if (from.only.keeps(ids, r[column]))
            file.add(fields(r));
    }
}

const QString kSitesSql = QStringLiteral(R"(SELECT "SiteExpId", "ProvinceID",
    "ClasseTexturaleId", "MatièreOrganique", "pH" FROM "tbldesSites" ORDER BY 1)");
const QString kTreatmentsSql =
    QStringLiteral(R"(SELECT "TraitementId", "SiteExpId" FROM "tbldesTraitements" ORDER BY 1)");
const QString kApplicationsSql = QStringLiteral(R"(SELECT "DateHerbId", "TraitementId",
    "TypeApplicationId" FROM "tblPériodesApplication" ORDER BY 1)");

void siteFile(FileBuilder& file, const Sources& from) {
    fill(file, from, kSitesSql, from.only.sites, 0, [&](const Row& r) -> QStringList {
        const QString key = from.sites.key(r[0]);
        return {key, from.lists.provinces.name(r[1], file.at(key, 1)),
                from.lists.textures.name(r[2], file.at(key, 2)), numberField(r[3], file.at(key, 3)),
                numberField(r[4], file.at(key, 4))};
    });
}

void treatmentFile(FileBuilder& file, const Sources& from) {
    fill(file, from, kTreatmentsSql, from.only.treatments, 0, [&](const Row& r) -> QStringList {
        const QString key = from.treatments.key(r[0]);
        return {key, from.sites.reference(r[1], file.at(key, 1))};
    });
}

void cropFile(FileBuilder& file, const Sources& from) {
    fill(file, from, QStringLiteral(R"(SELECT "TraitementId", "CultureId",
        "VariétéId", "AntécédentID", "TauxSemisKg", "TauxSemisSe", "ProfPlantEXP",
        "EcartPLantEXP", "CultureEXPId" FROM "tblCultureEXP" ORDER BY 1, "CultureEXPId")"),
         from.only.treatments, 0, [&](const Row& r) {
             const QString key = from.treatments.required(r[0], file.at("culture", r[8], 0));
             QStringList fields{key, from.lists.crops.name(r[1], file.at(key, 1)),
                                from.lists.varieties.name(r[2], file.at(key, 2)),
                                from.lists.previousCrops.name(r[3], file.at(key, 3))};
             for (int c = 4; c < 8; ++c)
                 fields << numberField(r[c], file.at(key, c));
             return fields;
         });
}

void applicationFile(FileBuilder& file, const Sources& from) {
    fill(file, from, kApplicationsSql, from.only.applications, 0, [&](const Row& r) -> QStringList {
        const QString key = from.applications.key(r[0]);
        return {key, from.treatments.required(r[1], file.at(key, 1)),
                from.lists.periods.name(r[2], file.at(key, 2))};
    });
}

void stageFile(FileBuilder& file, const Sources& from) {
    fill(file, from, QStringLiteral(R"(SELECT "DateHerbId", "CultureId",
        "HautMoyenneCultH", "NoFeuilMoyenneCultH", "StadeCultureId" FROM "tblStadeCultureH"
        ORDER BY 1, "StadeCultureId")"),
         from.only.applications, 0, [&](const Row& r) -> QStringList {
             const QString key = from.applications.required(r[0], file.at("stade", r[4], 0));
             return {key, from.lists.crops.name(r[1], file.at(key, 1)),
                     numberField(r[2], file.at(key, 2)), numberField(r[3], file.at(key, 3))};
         });
}

void productFile(FileBuilder& file, const Sources& from) {
    fill(file, from, QStringLiteral(R"(SELECT "DateHerbId", "HerbicideId",
        "FormulationId", "HerbTauxH" FROM "tblDétailsHerbicides" ORDER BY 1, 2)"),
         from.only.applications, 0, [&](const Row& r) -> QStringList {
             const QString key = from.applications.required(r[0], file.at("application", r[0], 0));
             return {key, from.lists.herbicides.name(r[1], file.at(key, 1)),
                     numberField(r[2], file.at(key, 2)), numberField(r[3], file.at(key, 3))};
         });
}

void ratingFile(FileBuilder& file, const Sources& from) {
    fill(file, from, QStringLiteral(R"(SELECT "TraitementId", "MHId", "Visuel",
        "MHEvalId" FROM "tblMHEval" ORDER BY 1, "MHEvalId")"),
         from.only.treatments, 0, [&](const Row& r) -> QStringList {
             const QString key = from.treatments.required(r[0], file.at("évaluation", r[3], 0));
             return {key, from.lists.weeds.name(r[1], file.at(key, 1)),
                     numberField(r[2], file.at(key, 2))};
         });
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

// Makes each file of the set in turn, from one reading of the database (the caller's
// transaction): into 'writing' when given, its bytes never all kept, otherwise in memory. Throws
// DbError, ExchangeError, or WriteFailed for a file that cannot be written.
QVector<ExperimentExport::Output> makeSet(Connection& db, const Selection& only, bool withEdition,
                                          const QDir* writing) {
    const Lists lists(db);
    const Keys siteKeys(db, kSitesSql, only.keeping(only.sites), QLatin1Char('S'),
                        QStringLiteral("site"), only.sites);
    const Keys treatmentKeys(db, kTreatmentsSql, only.keeping(only.treatments), QLatin1Char('T'),
                             QStringLiteral("traitement"), only.treatments);
    const Keys applicationKeys(db, kApplicationsSql, only.keeping(only.applications),
                               QLatin1Char('A'), QStringLiteral("application"), only.applications);
    const Sources from{db, lists, only, siteKeys, treatmentKeys, applicationKeys};
    using Maker = void (*)(FileBuilder&, const Sources&);
    const Maker makers[] = {siteFile,  treatmentFile, cropFile,  applicationFile,
                            stageFile, productFile,   ratingFile};
    QVector<ExperimentExport::Output> out;
    const auto make = [&](const ExchangeFile& format,
                          const std::function<void(FileBuilder&)>& rows) {
        std::optional<QFile> file;
        if (writing) {
            file.emplace(writing->filePath(format.name));
            errno = 0;
            if (!file->open(QIODevice::WriteOnly | QIODevice::NewOnly))
                throw WriteFailed{format.name, fileErrorInWords(file->error(), errno)};
        }
        FileBuilder builder(format, file ? &*file : nullptr);
        rows(builder);
        out << builder.output();
        if (file) {
            errno = 0;
            if (!file->flush())
                throw WriteFailed{format.name, fileErrorInWords(file->error(), errno)};
            file->close();
            if (!durable::syncFile(file->fileName()))
                throw WriteFailed{format.name,
                                  QStringLiteral("le fichier n'a pas pu être écrit sur le disque")};
        }
    };
    for (int i = 0; i < ExperimentExport::files().size(); ++i)
        make(ExperimentExport::files().at(i),
             [&](FileBuilder& builder) { makers[i](builder, from); });
    if (withEdition) {
        const DatabaseEdition edition = DatabaseEdition::read(db);
        make(ExperimentExport::editionFile(), [&](FileBuilder& builder) {
            if (edition.known)
                builder.add({edition.name, edition.date,
                             edition.synthetic ? QStringLiteral("1") : QStringLiteral("0")});
        });
    }
    return out;
}

} // namespace

QVector<ExperimentExport::Output> ExperimentExport::read(Connection& db) {
    Transaction snapshot(db);
    const QVector<Output> out = makeSet(db, Selection(), false, nullptr);
    snapshot.commit();
    return out;
}

QVector<ExperimentExport::Output> ExperimentExport::readWithEdition(Connection& db) {
    Transaction snapshot(db);
    const QVector<Output> out = makeSet(db, Selection(), true, nullptr);
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
    const QVector<Output> out = makeSet(db, only, false, nullptr);
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

namespace {

// Writes a set into 'folder' as writeFolder() says, its files made in the folder of the write by
// 'fill', which gives their names. What 'fill' throws, other than WriteFailed, is thrown on once
// the folder of the write is removed.
QString writeSet(const QString& folder, bool replace,
                 const std::function<QStringList(const QDir& writing)>& fill) {
    const QDir dir(folder);
    if (!dir.exists() && !QDir().mkpath(folder))
        return QStringLiteral("impossible de créer le dossier %1").arg(folder);
    finishStoppedRuns(dir);
    const QString refused = ExperimentExport::refusedEntry(folder);
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
    try {
        names = fill(writing);
    } catch (const WriteFailed& failed) {
        return cannotWrite(dir.filePath(failed.name), failed.why);
    } catch (...) {
        cleanUp();
        throw;
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

} // namespace

QString ExperimentExport::writeFolder(const QVector<Output>& outputs, const QString& folder,
                                      bool replace) {
    return writeSet(folder, replace, [&](const QDir& writing) {
        QStringList names;
        for (const Output& f : outputs) {
            QFile out(writing.filePath(f.name));
            errno = 0;
            if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
                out.write(f.bytes) != f.bytes.size() || !out.flush())
                throw WriteFailed{f.name, fileErrorInWords(out.error(), errno)};
            out.close();
            if (!durable::syncFile(out.fileName()))
                throw WriteFailed{f.name,
                                  QStringLiteral("le fichier n'a pas pu être écrit sur le disque")};
            names << f.name;
        }
        return names;
    });
}

QString ExperimentExport::exportFolder(Connection& db, const QString& folder, bool replace,
                                       QVector<Output>* written) {
    Transaction snapshot(db);
    QVector<Output> outputs;
    const QString failure = writeSet(folder, replace, [&](const QDir& writing) {
        outputs = makeSet(db, Selection(), true, &writing);
        QStringList names;
        for (const Output& f : outputs)
            names << f.name;
        return names;
    });
    snapshot.commit();
    if (written)
        *written = outputs;
    return failure;
}

} // namespace grelavo
