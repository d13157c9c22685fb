#pragma once

#include <QWidget>

class QLabel;

namespace pelvane {

// The window shown while the database is compacted; the user has nothing to act on.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);

private:
    QLabel* m_label;
};

} // namespace pelvane
