#pragma once

#include "core/report/DetailContext.h"
#include "core/report/ReportAbout.h"
#include "core/report/ReportDetails.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QTableWidget;

namespace grelavo {

class DialogService;

// The ratings behind one cell of the report: a title naming the weed or category, the dose
// fraction and the entered rates; a table of one row per rating with its treatment, site, crop,
// stage, period and each product of the mixture in the order the herbicides were entered (its
// rate, and that rate as a percentage of the rate entered), sorted by a click on any heading; under
// it the count, the mean as the report writes it and unrounded, the standard deviation and the
// extremes. A treatment or site added by an import is shown by the key it was imported with.
// "Enregistrer en CSV…" writes the table as shown; Escape or "Fermer" closes the window.
class frmDetails : public QDialog {
    Q_OBJECT

public:
    // title: the weed or category and the dose fraction; rates: the rates entered; about: what
    // the report shows, written first in the CSV file.
    frmDetails(DialogService& dialogs, const QString& title, const QString& rates,
               const CellDetail& cell, const QVector<DetailRow>& rows, const ReportAbout& about,
               QWidget* parent = nullptr);

    // Where the user says, a file for people (CsvWriter::forPeople in the user's locale): what
    // the report shows and the cell's title as "#" lines, then the table as shown, its headings
    // and its rows in their order. A file that cannot be written is said and left as it was.
    void saveAsCsv();

private:
    void fill(const QVector<DetailRow>& rows);
    QStringList headings() const;
    QByteArray csv() const;

    DialogService& m_dialogs;
    QString m_title;
    ReportAbout m_about;
    QLabel* m_heading = nullptr;
    QTableWidget* m_table = nullptr;
    QLabel* m_summary = nullptr;
};

} // namespace grelavo
