// Checking exchange files before an import: every value read, every name looked up, every key
// resolved, and every problem said with its file, line and column.

#include "ExchangeFolder.h"
#include "ExchangeLists.h"
#include "ExperimentExport.h"
#include "ImportPlan.h"
#include "db/Connection.h"
#include "db/Lists.h"
#include "db/Statement.h"
#include "text/NameText.h"
#include "text/NumberReading.h"

#include <QMap>
#include <QSet>
#include <QtDebug>
#include <algorithm>
#include <cmath>
#include <optional>

namespace grelavo {

namespace {

using NameText::editDistance;
using NameText::folded;
using NameText::loose;
using NameText::ofName;
using NameText::plain;
using NameText::quoted;

class Problems {
public:
    explicit Problems(QVector<ImportProblem>* out) : m_out(out) {}
    void add(const QString& file, int line, const QString& column, const QString& message) {
        ++m_count;
        if (m_count <= ImportPlan::kMaxProblems)
            m_out->append({file, line, column, message});
    }
    int count() const { return m_count; }
    void finish() {
        const int more = m_count - ImportPlan::kMaxProblems;
        if (more > 0)
            m_out->append(
                {QString(), 0, QString(),
                 (more == 1 ? QStringLiteral("et 1 autre problème, non détaillé")
                            : QStringLiteral("et %1 autres problèmes, non détaillés").arg(more)) +
                     QStringLiteral("\u00a0: %1 problèmes en tout").arg(m_count)});
    }

private:
    QVector<ImportProblem>* m_out;
    int m_count = 0;
};

// A lookup list of the database: its names (and for weeds their Latin names) by row number.
class NameList {
public:
    // 'fixed': a list that an import never adds to.
    NameList(Connection& db, const ExchangeList& list, bool fixed,
             const QString& otherNameColumn = QString())
        : m_list(list), m_fixed(fixed) {
        QString sql = QStringLiteral("SELECT %1, %2")
                          .arg(Connection::quoteIdentifier(list.idName()),
                               Connection::quoteIdentifier(list.nameName()));
        if (!otherNameColumn.isEmpty())
            sql += QStringLiteral(", ") + Connection::quoteIdentifier(otherNameColumn);
        Statement rows(db, sql + QStringLiteral(" FROM ") +
                               Connection::quoteIdentifier(list.tableName()));
        while (rows.step()) {
            const qlonglong id = rows.value(0).toLongLong();
            m_largest = std::max(m_largest, id);
            for (int c = 1; c < rows.columnCount(); ++c) {
                const QString name = rows.value(c).toString();
                if (name.trimmed().isEmpty())
                    continue;
                m_ids.insert(folded(name), id);
                if (c == 1) {
                    m_names << name;
                    m_byId.insert(id, name);
                }
            }
        }
    }

    QString list() const { return QString::fromUtf8(m_list.many); }
    bool fixed() const { return m_fixed; }
    QString nameOf(qlonglong id) const { return m_byId.value(id); }
    // The name of the list that 'name' writes another way (case, accents, apostrophes, hyphens,
    // blanks), or empty.
    QString lookalike(const QString& name) const {
        const QString target = loose(name);
        for (const QString& n : m_names) {
            if (loose(n) == target)
                return n;
        }
        return QString();
    }
    std::optional<qlonglong> find(const QString& name) const {
        // The same few names come back on most rows: each text is folded once.
        const auto seen = m_seen.constFind(name);
        if (seen != m_seen.constEnd())
            return *seen;
        const auto it = m_ids.constFind(folded(name));
        if (it == m_ids.constEnd())
            return std::nullopt;
        m_seen.insert(name, *it);
        return *it;
    }
    // Up to three names of the list nearest to 'name', the nearest first.
    QStringList closest(const QString& name) const { return NameText::closest(name, m_names); }
    // A name to add: it gets the next row number and is found from now on.
    ImportPlan::Name add(const QString& name, const QVariant& crop = QVariant()) {
        const qlonglong id = ++m_largest;
        m_ids.insert(folded(name), id);
        m_names << name.trimmed();
        m_byId.insert(id, name.trimmed());
        return {list(), m_list.tableName(), m_list.idName(), m_list.nameName(), id, name.trimmed(),
                crop};
    }

private:
    const ExchangeList& m_list;
    bool m_fixed;
    QHash<QString, qlonglong> m_ids;
    mutable QHash<QString, qlonglong> m_seen; // texts found, as written
    QHash<qlonglong, QString> m_byId;
    QStringList m_names;
    qlonglong m_largest = 0;
};

// The varieties, each of its crop: a name is looked up among those of the row's crop.
class VarietyList {
public:
    explicit VarietyList(Connection& db) {
        Statement rows(db, QStringLiteral("SELECT %1, %2, \"CultureId\" FROM %3")
                               .arg(Connection::quoteIdentifier(lists::varieties.idName()),
                                    Connection::quoteIdentifier(lists::varieties.nameName()),
                                    Connection::quoteIdentifier(lists::varieties.tableName())));
        while (rows.step()) {
            const qlonglong id = rows.value(0).toLongLong();
            m_largest = std::max(m_largest, id);
            append({id, rows.value(1).toString(), rows.value(2)});
        }
    }

    // The varieties of 'crop' (of any crop when it is null) called 'name'.
    QVector<qlonglong> find(const QString& name, const QVariant& crop) const {
        QVector<qlonglong> ids;
        auto key = m_folded.constFind(name);
        if (key == m_folded.constEnd())
            key = m_folded.insert(name, folded(name));
        for (const int i : m_byName.value(*key)) {
            if (sameCrop(m_rows.at(i), crop))
                ids << m_rows.at(i).id;
        }
        return ids;
    }
    // The variety of 'crop' (of any crop when null) that 'name' writes another way, or empty.
    QString lookalike(const QString& name, const QVariant& crop) const {
        for (const Entry& e : m_rows) {
            if (loose(e.name) == loose(name) && sameCrop(e, crop))
                return e.name;
        }
        return QString();
    }
    // Up to three varieties nearest to 'name', each with its crop's number.
    QVector<QPair<QString, QVariant>> closest(const QString& name) const {
        const QString target = plain(name);
        const int limit = std::max(2, int(target.size()) / 3);
        QMap<int, QVector<QPair<QString, QVariant>>> byDistance;
        for (const Entry& e : m_rows) {
            const QString candidate = plain(e.name);
            const int d = editDistance(target, candidate);
            if (d <= limit || candidate.contains(target))
                byDistance[d].append({e.name, e.crop});
        }
        QVector<QPair<QString, QVariant>> out;
        for (const auto& entries : byDistance) {
            for (const auto& e : entries) {
                if (out.size() < 3)
                    out << e;
            }
        }
        return out;
    }
    ImportPlan::Name add(const QString& name, const QVariant& crop) {
        append({++m_largest, name.trimmed(), crop});
        const ExchangeList& l = lists::varieties;
        return {QString::fromUtf8(l.many),
                l.tableName(),
                l.idName(),
                l.nameName(),
                m_largest,
                name.trimmed(),
                crop};
    }

private:
    struct Entry {
        qlonglong id;
        QString name;
        QVariant crop;
    };
    static bool sameCrop(const Entry& e, const QVariant& crop) {
        return crop.isNull() || (!e.crop.isNull() && e.crop.toLongLong() == crop.toLongLong());
    }
    void append(const Entry& e) {
        m_byName[folded(e.name)] << int(m_rows.size());
        m_rows.append(e);
    }
    QVector<Entry> m_rows;
    QHash<QString, QVector<int>> m_byName;    // by folded name, the indexes in m_rows
    mutable QHash<QString, QString> m_folded; // the names looked up, folded
    qlonglong m_largest = 0;
};

// One record being read: its values by column, each problem said where it is.
class Record {
public:
    Record(const ImportFile& file, const CsvRecord& record, const QHash<QString, int>& columns,
           Problems& problems)
        : m_file(file), m_record(record), m_columns(columns), m_problems(problems) {}

    int line() const { return m_record.line; }
    const QString& file() const { return m_file.name; }
    bool ok() const { return m_ok; }

    QString text(const QString& column) const {
        const int i = m_columns.value(column, -1);
        return i >= 0 && i < m_record.fields.size() ? m_record.fields.at(i).trimmed() : QString();
    }
    // A record shorter than the headings lacks values that cannot be told apart from empty
    // ones. A record longer than the headings has a field too many (a decimal comma in a file of
    // commas, not quoted): its values cannot be told apart.
    // "1 champ pour 3 colonnes", "6 champs pour 5 colonnes".
    QString fieldsFor(int headings) const {
        const auto counted = [](int n, const char* one, const char* many) {
            return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? one : many));
        };
        return counted(int(m_record.fields.size()), "champ", "champs") + QStringLiteral(" pour ") +
               counted(headings, "colonne", "colonnes");
    }
    bool fieldCountFits(int headings) {
        if (m_record.fields.size() < headings) {
            problem(QString(),
                    fieldsFor(headings) +
                        QStringLiteral("\u00a0: il manque des champs à la fin de la ligne"));
            return false;
        }
        for (int i = headings; i < m_record.fields.size(); ++i) {
            if (!m_record.fields.at(i).trimmed().isEmpty()) {
                problem(QString(), fieldsFor(headings) +
                                       QStringLiteral("\u00a0: une virgule de trop (décimale sans "
                                                      "guillemets\u00a0?)"));
                return false;
            }
        }
        return true;
    }
    // The record will not be added, for a problem reported elsewhere.
    void leaveOut() { m_ok = false; }
    void problem(const QString& column, const QString& message) {
        m_ok = false;
        m_problems.add(m_file.name, m_record.line, column, message);
    }
    // The key or reference in 'column', which may not be empty.
    QString required(const QString& column, const QString& what) {
        const QString value = text(column);
        if (value.isEmpty())
            problem(column, QStringLiteral("valeur obligatoire manquante (%1)").arg(what));
        return value;
    }
    // A number between 'low' and 'high' ('low' itself excluded when 'aboveLow'), an integer
    // when 'integer'; null when the field is empty.
    QVariant number(const QString& column, double low, double high, bool aboveLow, bool integer,
                    const QString& expected) {
        const QString t = text(column);
        if (t.isEmpty())
            return QVariant();
        double v = 0;
        const bool isNumber = readNumber(t, &v);
        if (!isNumber || (aboveLow ? v <= low : v < low) || v > high ||
            (integer && v != std::floor(v))) {
            problem(column, QStringLiteral("%1 n'est pas %2").arg(quoted(t), expected));
            return QVariant();
        }
        if (integer)
            return qlonglong(v);
        return v;
    }
    // The row number of the name in 'column' in 'names' (added there if 'add'); null when the
    // field is empty and 'mayBeEmpty'.
    QVariant name(const QString& column, NameList& names, bool add,
                  QVector<ImportPlan::Name>* added, bool mayBeEmpty = true) {
        const QString t = text(column);
        if (t.isEmpty()) {
            if (!mayBeEmpty)
                required(column, QStringLiteral("un nom de la liste des %1").arg(names.list()));
            return QVariant();
        }
        if (const auto id = names.find(t))
            return *id;
        if (add && names.fixed()) {
            problem(column,
                    notInList(t, names.list(), names.closest(t)) +
                        QStringLiteral("\u00a0; cette liste ne reçoit pas de nouveaux noms"));
            return QVariant();
        }
        if (add && !refusedAsNew(column, t, names.lookalike(t), names.list())) {
            added->append(names.add(t));
            return added->last().id;
        }
        if (!add)
            problem(column, notInList(t, names.list(), names.closest(t)));
        return QVariant();
    }

    // A name to add that looks mis-encoded, or writes 'lookalike' of 'list' another way, is
    // refused (true).
    bool refusedAsNew(const QString& column, const QString& name, const QString& lookalike,
                      const QString& list) {
        if (NameText::looksMisEncoded(name)) {
            problem(column,
                    QStringLiteral("%1 n'est pas ajouté à la liste des %2\u00a0: il semble mal "
                                   "encodé (UTF-8 lu comme Windows-1252)\u00a0; enregistrez "
                                   "le fichier en CSV UTF-8")
                        .arg(quoted(name), list));
            return true;
        }
        if (!lookalike.isEmpty()) {
            problem(column, QStringLiteral("%1 n'est pas ajouté à la liste des %2\u00a0: c'est %3, "
                                           "déjà dans la liste, écrit autrement (majuscules, "
                                           "accents, apostrophes, traits d'union ou espaces)")
                                .arg(quoted(name), list, quoted(lookalike)));
            return true;
        }
        return false;
    }

    static QString notInList(const QString& name, const QString& list, const QStringList& near) {
        return NameText::notInList(name, list, near);
    }

private:
    const ImportFile& m_file;
    const CsvRecord& m_record;
    const QHash<QString, int>& m_columns;
    Problems& m_problems;
    bool m_ok = true;
};

// The rows of one kind already in the database, as files name them: by the key an earlier
// import recorded, or by the key grelavo-export gives them (a letter and the row number, padded
// with zeros to the width of the largest row number at the time of that export, so of any width).
struct PresentRows {
    QSet<QString> imported;
    QChar letter;
    QSet<qlonglong> ids;

    bool exported(const QString& key) const {
        if (key.size() < 2 || key.size() > 19 || key.at(0) != letter)
            return false;
        for (int i = 1; i < key.size(); ++i) {
            if (key.at(i) < QLatin1Char('0') || key.at(i) > QLatin1Char('9'))
                return false;
        }
        return ids.contains(QStringView(key).mid(1).toLongLong());
    }
};

// The rows of the files already in the database (defining a key of a row there, or referring
// to one), said in one line per file rather than one per row.
class PresentTally {
public:
    void add(const QString& file, int line, bool imported) {
        Lines& l = m_files[file];
        l.lines.insert(line);
        l.imported = l.imported || imported;
    }
    // The line saying how many rows of 'file' are already in the database, or empty.
    QString said(const QString& file) const {
        const auto it = m_files.constFind(file);
        if (it == m_files.constEnd())
            return QString();
        const int n = int(it->lines.size());
        const int first = *std::min_element(it->lines.cbegin(), it->lines.cend());
        const QString which =
            n == 1 ? QStringLiteral("1 ligne de %1 (ligne %2) est déjà").arg(file).arg(first)
                   : QStringLiteral("%1 lignes de %2 (la première à la ligne %3) sont déjà")
                         .arg(n)
                         .arg(file)
                         .arg(first);
        return which + QStringLiteral(" dans la base\u00a0: ") +
               (it->imported ? QStringLiteral("ce jeu a déjà été importé")
                             : QStringLiteral("ce sont des essais exportés de cette base")) +
               QStringLiteral(
                   "\u00a0; rien n'est remplacé (donnez d'autres clés à de nouveaux essais)");
    }

private:
    struct Lines {
        QSet<int> lines;
        bool imported = false;
    };
    QHash<QString, Lines> m_files;
};

// How messages name one row a file keys: "le site", "l'application" (feminine: "définie").
struct KeyKind {
    QString the;
    bool feminine = false;
};

// The keys a file defines (sites, treatments, applications): their index in the plan.
class Keys {
public:
    Keys(KeyKind kind, QString fileName, PresentRows present, PresentTally* tally)
        : m_kind(std::move(kind)), m_file(std::move(fileName)), m_present(std::move(present)),
          m_tally(tally) {}

    // Records a key defined on the record's line (after the record's other values were read);
    // true when the row can be added.
    bool define(Record& r, const QString& column, const QString& key, int index) {
        if (key.isEmpty())
            return false;
        if (m_lines.contains(key)) {
            r.problem(column, QStringLiteral("clé %1 en double\u00a0: déjà définie à la ligne %2")
                                  .arg(quoted(key))
                                  .arg(m_lines.value(key)));
            return false;
        }
        m_lines.insert(key, r.line());
        const bool imported = m_present.imported.contains(key);
        if (imported || m_present.exported(key)) {
            m_presentKeys.insert(key, imported);
            m_tally->add(r.file(), r.line(), imported);
            r.leaveOut();
            return false;
        }
        if (!r.ok()) // a row with a problem is not added: nothing may refer to it
            return false;
        m_index.insert(key, index);
        return true;
    }
    const QString& file() const { return m_file; }
    // A key on a line that could not be read at all (its problem is reported).
    void unreadable(const QString& key, int line) {
        if (!m_lines.contains(key))
            m_lines.insert(key, line);
    }
    // The file defining the keys could not be read (its problem is reported).
    void setUnread() { m_unread = true; }

    // The index of the row 'key' names; -1 (and a problem) when the files do not define it.
    int find(Record& r, const QString& column, const QString& key) {
        const auto it = m_index.constFind(key);
        if (it != m_index.constEnd())
            return *it;
        const auto present = m_presentKeys.constFind(key);
        if (present != m_presentKeys.constEnd()) { // a row already in the database
            m_tally->add(r.file(), r.line(), *present);
            r.leaveOut();
        } else if (m_unread || m_lines.contains(key)) { // defined where a problem is reported
            r.leaveOut();
        } else {
            r.problem(column, QStringLiteral("%1 %2 n'est %3 dans aucune ligne de %4")
                                  .arg(m_kind.the, quoted(key),
                                       m_kind.feminine ? QStringLiteral("définie")
                                                       : QStringLiteral("défini"),
                                       m_file));
        }
        return -1;
    }

private:
    KeyKind m_kind;
    QString m_file;
    PresentRows m_present;
    PresentTally* m_tally;
    QHash<QString, bool> m_presentKeys; // keys defined here of rows in the database: imported?
    bool m_unread = false;
    QHash<QString, int> m_lines;
    QHash<QString, int> m_index;
};

} // namespace

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

class Checker {
public:
    Checker(Connection& db, const ImportOptions& options, QVector<ImportProblem>* problems,
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
        using Reader = void (Checker::*)(Record&);
        static const Reader readers[] = {
            &Checker::site,  &Checker::treatment, &Checker::crop,  &Checker::application,
            &Checker::stage, &Checker::product,   &Checker::rating};
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
    return Checker(db, options, problems, rows).run(files);
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
