#pragma once

#include "core/report/ReportOutcome.h"
#include "render/ReportPage.h"

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class QFrame;
class QGroupBox;
class QLabel;
class QScrollBar;
class QTreeWidget;

namespace grelavo {

class DE;
class DialogService;
class frmDetails;

// The results window: the report page drawn into a picture (Picture2) larger than the window,
// moved under two scroll bars; the page is what "Copier" puts on the clipboard and what
// "Imprimer" prints. The hidden list view lstView is the table model.
// The help line names the dose cell under the pointer; a double click on a cell that has ratings
// opens its details (frmDetails). From the keyboard, the arrow keys move a frame over the cells
// (shpSelection; the page scrolls to keep it in view) and Enter opens the selected cell.
class frmResults : public QWidget {
    Q_OBJECT

public:
    frmResults(DE& de, DialogService& dialogs, QWidget* parent = nullptr);

    // What moving the pointer over the window writes into the main window's help line.
    void setHelpLine(std::function<void(const QString&)> write) { m_helpLine = std::move(write); }

    // Once per report shown: keeps the report, rebuilds the table model from its rows, redraws
    // the page and gives it the focus.
    void Set_Preview(const ReportOutcome& report);
    // The report shown last (its parameters, rows and the ratings behind its cells).
    const ReportOutcome& report() const { return m_report; }
    // The page on the clipboard: its picture, and its text and table (HTML and tab-separated).
    void CopyToClipboard();
    // The page as printed into a PDF file, the table's figures into a CSV file, where the user
    // says; a file that cannot be written is said and left as it was.
    void saveAsPdf();
    void saveAsCsv();
    // The print dialog, then the page on one sheet; a cancelled dialog prints nothing.
    void Set_Print();
    // Places and sizes the scroll bars for the window's size and the page's.
    void SetScrollBars();
    // Rebuilds the table model (lstView) from the report's rows.
    void AfficheResultats();

    // The details of a cell in their own window; false, and the help line says why, when the
    // cell has no ratings.
    bool openCellDetails(const ReportPage::Cell& cell);
    std::optional<ReportPage::Cell> selectedCell() const { return m_selected; }
    frmDetails* detailsWindow() const;

    // Clears the drawing of the page (the picture keeps its size).
    void clearPicture();
    bool hasPicture() const { return m_drawn; }
    const QImage& pageImage() const { return m_image; }
    const ReportPage& page() const { return m_page; }
    ReportPage& page() { return m_page; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void DrawReport();
    void showImage();
    void placePicture();
    void fillListView();
    void cannotWrite(const QString& path);
    int twipsWidth() const;
    int twipsHeight() const;
    const ReportList::Item* itemOf(qint64 noId) const;
    bool isCell(const ReportPage::Cell& cell) const;
    QString cellText(const ReportPage::Cell& cell, bool byKeyboard) const;
    void writeHelp(const QString& text);
    void select(const std::optional<ReportPage::Cell>& cell);
    void moveSelection(int rows, int fractions);
    void scrollIntoView(const QRectF& twips);
    bool pictureKey(int key);

    DE& m_de;
    DialogService& m_dialogs;
    std::function<void(const QString&)> m_helpLine;

    ReportPage m_page;
    QImage m_image;
    bool m_drawn = false;
    double m_pictureHeight = 0; // twips

    QLabel* m_picture2 = nullptr;
    QTreeWidget* m_lstView = nullptr;
    QScrollBar* m_vscroll = nullptr;
    QScrollBar* m_hscroll = nullptr;
    QGroupBox* m_frame1 = nullptr;

    ReportOutcome m_report;
    std::optional<ReportPage::Cell> m_selected;
    QFrame* m_selection = nullptr;
    QPointer<frmDetails> m_detailsWindow;
};

} // namespace grelavo
