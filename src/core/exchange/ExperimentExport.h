#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <stdexcept>

namespace grelavo {

class Connection;

// One file of the exchange format: its name and its column headings (docs/exchange-format.md).
struct ExchangeFile {
    QString name;
    QStringList headings;
};

// A refusal of the exchange, said in one French sentence.
class ExchangeError : public std::runtime_error {
public:
    explicit ExchangeError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// The experiments of a database written as the CSV files of the exchange format: every list
// reference by its name, sites, treatments and applications by keys made from their rows
// (S1, T0042, A0007: a letter and the row number, padded so that text order is number order),
// rows in key order, numbers in their shortest form that reads back as the same value.
class ExperimentExport {
public:
    // The files, in the order a reader needs them (a file refers only to files before it).
    static const QVector<ExchangeFile>& files();
    // The file that carries the edition of the database a set comes from (tblÉdition): one row
    // "nom,date,synthetique" (synthetique 1 or 0), none when the edition is unknown. Written by
    // readWithEdition() after the files; an import of a set it says synthetic marks the database
    // so.
    static const ExchangeFile& editionFile();

    struct Output {
        QString name;
        QByteArray bytes;
        int rows = 0;
    };

    // Reads the whole set in one read transaction. Throws DbError for a
    // failure of the file and ExchangeError for a row that cannot be written by names (a reference
    // to a missing row).
    static QVector<Output> read(Connection& db);
    // The same followed by the edition file (what grelavo-export writes).
    static QVector<Output> readWithEdition(Connection& db);
    // The same for the experiments imported into the file only (the rows tblClésImportées
    // names), under the keys they were imported with: what a user carries to another file.
    static QVector<Output> readImported(Connection& db);

    // The exchange files already in 'folder', known by their name with case ignored, as paths
    // (none when the folder does not exist), once what a write stopped midway left there is
    // settled (see writeFolder).
    static QStringList existingFiles(const QString& folder);
    // Why nothing may be written into 'folder': an entry named like a file of the set that is a
    // symbolic link (never followed) or not a file; empty when there is none.
    static QString refusedEntry(const QString& folder);
    // Whether 'folder' holds what a write still running or stopped midway works in: its set may
    // then be a mix of two exports until the next write into the folder settles it.
    static bool isInterrupted(const QString& folder);
    // Writes the files into 'folder', made when missing, as a set: written and synced in a
    // folder of their own inside it, then moved into place, the set they replace moved aside
    // first and removed last; a failure leaves the old set (or none), never a mix. Writes
    // nothing when refusedEntry() refuses the folder, or when an exchange file is already there
    // and 'replace' is false.
    // What a write stopped midway (killed, a power cut) left is settled first: the set it had
    // begun to put in place finished, or else the old set it had moved aside put back.
    // Empty when the files are written, otherwise the cause in French, without a capital or a
    // full stop ("impossible d'écrire …").
    static QString writeFolder(const QVector<Output>& outputs, const QString& folder, bool replace);
    // read() followed by writeFolder(), with the edition file, in a memory that does not grow
    // with the files: each file written as it is read (a block of about 1 MB kept at a time),
    // besides the row numbers of the sites, treatments and applications (about 40 bytes each).
    // Throws DbError and ExchangeError as read() does, leaving the folder as it was; otherwise
    // as writeFolder(). 'written', when given, receives each file's name and rows (no bytes).
    static QString exportFolder(Connection& db, const QString& folder, bool replace,
                                QVector<Output>* written = nullptr);

    // A number as the files write it: integers as such, reals in their shortest round-trip
    // form without exponent, decimal point; empty for null.
    static QString number(double value);
};

} // namespace grelavo
