#pragma once

#include "core/report/DoseAnalysis.h"
#include "core/report/ReportAbout.h"
#include "render/FittedCurvePlot.h"

#include <QDialog>

class QTableWidget;
class QTreeWidget;

namespace grelavo {

class DialogService;

// The dose-response analysis of a report: one line per weed and category with ratings (its
// ratings and trials, the model of its curve, the doses of 50, 80 and 90 % destruction with
// their intervals, as fractions of the entered rates and in kg a.i./ha), and for the line
// chosen, the picture of its ratings and curve with, under it, what each cell of the report
// rests on. The picture can be copied, printed and saved as a PDF, the whole analysis as CSV.
// Every figure is the analysis' own: the window only writes them, in French (decimal commas).
// Escape closes it.
class frmAnalyse : public QDialog {
    Q_OBJECT

public:
    // 'shows': what the report shows (parameters, date, edition), written under the picture
    // and at the head of the CSV file.
    frmAnalyse(DialogService& dialogs, DoseAnalysis analysis, ReportAbout shows,
               QWidget* parent = nullptr);

    const DoseAnalysis& analysis() const { return m_analysis; }
    // The row of the line chosen; none when the analysis has no row.
    const AnalysisRow* chosen() const;
    // The picture as the window shows it now, at the size of its view.
    const FittedCurvePlot& shown() const { return m_shown; }
    // The picture copied, printed and saved: the chosen row at the picture's own size.
    FittedCurvePlot picture() const;
    // "Grelavo - analyse dose-réponse 2027-02-03": the print job's name, the file proposed.
    QString documentTitle() const;
    // What the report shows, as the lines at the head of the CSV file and the clipboard's text.
    QStringList about() const { return m_shows.lines(); }

    void CopyToClipboard();
    void Set_Print();
    // Asks where, then writes the picture as a PDF or the analysis as CSV as the name's ending
    // says (any other name gets ".pdf"); a file that cannot be written is said and left as it
    // was.
    void saveAs();
    bool writeFile(const QString& path) const;

private:
    void fillTable();
    void showChosen();
    QString describe(const AnalysisRow& row) const;

    DialogService& m_dialogs;
    DoseAnalysis m_analysis;
    ReportAbout m_shows;
    FittedCurvePlot m_shown;

    QTableWidget* m_table = nullptr;
    QWidget* m_view = nullptr;
    QTreeWidget* m_evidence = nullptr;
};

} // namespace grelavo
