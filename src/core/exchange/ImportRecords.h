#pragma once

// Parts of the check of exchange files before an import (ImportCheck.cpp): the records read,
// their problems, and the keys the files define and refer to.

#include "ImportPlan.h"
#include "core/text/NameText.h"
#include "core/text/NumberReading.h"

#include "ImportNameLists.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace grelavo {
namespace importcheck {

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
        const bool isNumber = plainInteger(t, &v) || readNumber(t, &v);
        if (!isNumber || (aboveLow ? v <= low : v < low) || v > high ||
            (integer && v != std::floor(v))) {
            problem(column, QStringLiteral("%1 n'est pas %2").arg(quoted(t), expected));
            return QVariant();
        }
        if (integer)
            return qlonglong(v);
        return v;
    }
    // A whole number of at most 15 digits, written plainly (most numbers of the files): its value
    // as readNumber() reads it, without the copies readNumber() makes.
    static bool plainInteger(const QString& t, double* value) {
        if (t.isEmpty() || t.size() > 15)
            return false;
        qint64 n = 0;
        for (const QChar c : t) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
            n = n * 10 + (c.unicode() - '0');
        }
        *value = double(n);
        return true;
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
        // One look-up: the key's entry, made here unless the key was defined before.
        const qsizetype before = m_keys.size();
        Defined& defined = m_keys[key];
        if (m_keys.size() == before) {
            r.problem(column, QStringLiteral("clé %1 en double\u00a0: déjà définie à la ligne %2")
                                  .arg(quoted(key))
                                  .arg(defined.line));
            return false;
        }
        defined.line = r.line();
        const bool imported = m_present.imported.contains(key);
        if (imported || m_present.exported(key)) {
            m_presentKeys.insert(key, imported);
            m_tally->add(r.file(), r.line(), imported);
            r.leaveOut();
            return false;
        }
        if (!r.ok()) // a row with a problem is not added: nothing may refer to it
            return false;
        defined.index = index;
        return true;
    }
    const QString& file() const { return m_file; }
    // A key on a line that could not be read at all (its problem is reported).
    void unreadable(const QString& key, int line) {
        if (!m_keys.contains(key))
            m_keys.insert(key, {line, -1});
    }
    // The file defining the keys could not be read (its problem is reported).
    void setUnread() { m_unread = true; }

    // The index of the row 'key' names; -1 (and a problem) when the files do not define it.
    int find(Record& r, const QString& column, const QString& key) {
        // Rows come in the order of their references (the ratings of a treatment together): the
        // key found last is compared first.
        if (m_lastIndex >= 0 && key == m_lastKey)
            return m_lastIndex;
        const auto it = m_keys.constFind(key);
        if (it != m_keys.constEnd() && it->index >= 0) {
            m_lastKey = key;
            m_lastIndex = it->index;
            return it->index;
        }
        const auto present = m_presentKeys.constFind(key);
        if (present != m_presentKeys.constEnd()) { // a row already in the database
            m_tally->add(r.file(), r.line(), *present);
            r.leaveOut();
        } else if (m_unread || it != m_keys.constEnd()) { // defined where a problem is reported
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
    // Each key defined: its line, and its index in the plan (-1 for a row not added).
    struct Defined {
        int line = 0;
        int index = -1;
    };
    QHash<QString, Defined> m_keys;
    QString m_lastKey; // the key find() found last, and its index (-1 before the first)
    int m_lastIndex = -1;
};

} // namespace importcheck
} // namespace grelavo
