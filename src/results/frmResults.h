#pragma once

#include <QWidget>

class QLabel;
class QScrollArea;

namespace grelavo {

// The results window: the report page drawn into a picture (Picture2) that scrolls.
class frmResults : public QWidget {
    Q_OBJECT

public:
    explicit frmResults(QWidget* parent = nullptr);

    // Clears the drawing of the page.
    void clearPicture();
    bool hasPicture() const;

private:
    QScrollArea* m_scroll = nullptr;
    QLabel* m_picture2 = nullptr;
};

} // namespace grelavo
