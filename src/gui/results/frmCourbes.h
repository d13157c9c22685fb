#pragma once

#include "core/report/ReportAbout.h"
#include "render/DoseResponsePlot.h"

#include <QDialog>
#include <QSize>

class QListWidget;
class QPushButton;

namespace grelavo {

class DialogService;

// The dose-response window of a report: its weeds and categories with ratings in a list of check
// boxes (all of them checked or none in one click), the picture of the rows checked beside it,
// redrawn as the choice changes; the picture can be copied, printed and saved as a PNG or SVG
// image or a PDF document, each carrying what the report shows. Escape closes it.
class frmCourbes : public QDialog {
    Q_OBJECT

public:
    // Rows checked at first: the categories, at most this many.
    static constexpr int FirstChecked = 6;
    // The picture is never drawn smaller than this, in pixels: room for the plot, its counts
    // and the block under it.
    static constexpr QSize SmallestView{560, 420};

    frmCourbes(DialogService& dialogs, ReportDetails details, QVector<ResultsRow> rows,
               ReportAbout shows, QWidget* parent = nullptr);

    // The NoIds of the rows checked, in the list's order.
    QVector<qint64> chosen() const;
    // The picture as the window shows it now, at the size of its view.
    const DoseResponsePlot& shown() const { return m_shown; }
    // The picture copied, printed and saved: the chosen rows at the picture's own size.
    DoseResponsePlot picture() const;
    // "Grelavo - courbes dose-réponse 2027-02-03": the print job's name, the file proposed.
    QString documentTitle() const;

    // Every row checked, or none.
    void checkAll(bool checked);
    // The picture as an image, and as text: its series, then what the report shows.
    void CopyToClipboard();
    void Set_Print();
    // Asks where, then writes the picture as the name's ending says (.png, .svg, .pdf; any other
    // name gets ".png"); a file that cannot be written is said and left as it was.
    void saveAs();
    // The picture into a file of that kind; false, the file left as it was, when it cannot be.
    bool writePicture(const QString& path) const;

private:
    void fillList();
    void redraw();

    DialogService& m_dialogs;
    ReportDetails m_details;
    QVector<ResultsRow> m_rows;
    ReportAbout m_shows;
    DoseResponsePlot m_shown;

    QListWidget* m_list = nullptr;
    QWidget* m_view = nullptr;
};

} // namespace grelavo
