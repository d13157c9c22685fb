#pragma once

#include <QLabel>
#include <QPoint>

namespace grelavo {

// An image acting as a button: pressing moves it by a few twips, as a pressed button looks;
// releasing moves it back, and a release over it is a click.
class PressImage : public QLabel {
    Q_OBJECT

public:
    // rest and pressed are the image's top-left corner in twips.
    PressImage(const QPoint& rest, const QPoint& pressed, QWidget* parent = nullptr);

    // A rounded button face with its caption, of a size in twips.
    static QPixmap buttonFace(const QString& caption, const QSize& twips, const QColor& fill,
                              const QColor& border, double points);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPoint m_rest;
    QPoint m_pressed;
};

} // namespace grelavo
