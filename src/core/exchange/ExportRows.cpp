// The export's rows: each file of the set made from the database's rows, every reference by its
// name or key, written a block at a time.

#include "DurableFile.h"
#include "ExchangeLists.h"
#include "ExportSet.h"
#include "core/db/Connection.h"
#include "core/db/DatabaseEdition.h"
#include "core/db/Statement.h"
#include "core/db/SystemError.h"
#include "core/text/CsvWriter.h"

#include <QFile>
#include <QMetaType>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <optional>

namespace grelavo {
namespace exportset {

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
        if (integerId(id, &n) && m_last && m_last->first == n)
            return m_last->second;
        if (integerId(id, &n) && m_ids.contains(n)) {
            // The files are written in the order of their references: the same key comes back
            // on the rows that follow.
            m_last.emplace(n, key(n));
            return m_last->second;
        }
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
    mutable std::optional<std::pair<qlonglong, QString>> m_last; // the last reference and its key
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
            if (!addPlain(fields[i]))
                m_bytes += CsvWriter::field(fields[i], CsvWriter::Cells::Formulas).toUtf8();
        }
        m_bytes += "\r\n";
        if (m_out && m_bytes.size() >= kFlushBytes)
            flush();
    }
    // Adds a field that CsvWriter::field() leaves as it is and that is ASCII (keys, numbers, most
    // names) straight as its bytes; false, adding nothing, for any other.
    bool addPlain(const QString& field) {
        if (!field.isEmpty() && QStringView(u"=+-@").contains(field.front()))
            return false;
        for (const QChar c : field) {
            if (c.unicode() <= u' ' || c.unicode() > u'~' || c == u',' || c == u'"')
                return false;
        }
        const qsizetype at = m_bytes.size();
        m_bytes.resize(at + field.size());
        char* out = m_bytes.data() + at;
        for (const QChar c : field)
            *out++ = char(c.unicode());
        return true;
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

} // namespace exportset
} // namespace grelavo
