#include "frmStart.h"

#include "PressImage.h"
#include "render/Twips.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace grelavo {

namespace {

const QSize kSizeTwips(8000, 6300);

QFont font(double points, bool bold = false, bool italic = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// The picture of the window, drawn once: sky, field rows with young corn, the title, and the
// notice about the bundled data.
QPixmap startPicture(const QSize& size) {
    QPixmap picture(size);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(0xdf, 0xee, 0xf7));
    sky.setColorAt(0.55, QColor(0xf7, 0xf3, 0xe0));
    sky.setColorAt(1, QColor(0xc9, 0xa8, 0x72));
    p.fillRect(picture.rect(), sky);
    const int horizon = size.height() * 62 / 100;
    p.fillRect(QRect(0, horizon, size.width(), size.height() - horizon), QColor(0x8a, 0x62, 0x3a));
    p.setPen(QPen(QColor(0x6e, 0x4a, 0x28), 2));
    for (int x = -size.width(); x < 2 * size.width(); x += 46)
        p.drawLine(size.width() / 2, horizon, x, size.height());
    for (int row = 0; row < 3; ++row) {
        const int y = horizon + 18 + row * 26;
        for (int x = 20 + row * 9; x < size.width(); x += 38) {
            QPainterPath leaf;
            leaf.moveTo(x, y);
            leaf.cubicTo(x - 10, y - 6, x - 12, y - 16, x - 14, y - 22);
            leaf.cubicTo(x - 6, y - 16, x - 2, y - 8, x, y);
            leaf.cubicTo(x + 4, y - 10, x + 10, y - 16, x + 16, y - 20);
            leaf.cubicTo(x + 12, y - 10, x + 6, y - 4, x, y);
            p.fillPath(leaf, QColor(0x4f, 0x9a, 0x2a));
        }
    }
    p.setPen(QColor(0x1f, 0x4e, 0x1a));
    p.setFont(font(30, true));
    p.drawText(QRect(0, 26, size.width(), 60), Qt::AlignCenter, QStringLiteral("Grelavo"));
    p.setFont(font(11));
    p.setPen(QColor(0x33, 0x33, 0x33));
    p.drawText(QRect(20, 88, size.width() - 40, 50), Qt::AlignCenter | Qt::TextWordWrap,
               QStringLiteral("L'efficacité des doses réduites d'herbicides\ndans le maïs"));
    p.setFont(font(8.5, false, true));
    p.drawText(QRect(30, 150, size.width() - 60, 80), Qt::AlignCenter | Qt::TextWordWrap,
               QStringLiteral("Les essais fournis avec cette version sont des données de "
                              "démonstration synthétiques, et non des résultats d'essais au "
                              "champ. Grelavo ne fait aucune recommandation."));
    return picture;
}

} // namespace

frmStart::frmStart(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmStart"));
    setWindowTitle(QStringLiteral("Grelavo"));
    const QSize size(Twips::toPixels(kSizeTwips.width()), Twips::toPixels(kSizeTwips.height()));
    setFixedSize(size);
    auto* background = new QLabel(this);
    background->setObjectName(QStringLiteral("imaFond"));
    background->setPixmap(startPicture(size));
    background->setGeometry(rect());
    m_continue = new PressImage(QPoint(4440, 5280), QPoint(4465, 5305), this);
    m_continue->setObjectName(QStringLiteral("imaContinuer"));
    m_continue->setPixmap(PressImage::buttonFace(QStringLiteral("Continuer  ►"), QSize(1900, 480),
                                                 QColor(0x2e, 0x7d, 0x32), QColor(0x1b, 0x5e, 0x20),
                                                 10));
    m_continue->resize(m_continue->pixmap().size());
    connect(m_continue, &PressImage::clicked, this, &QDialog::accept);
}

void frmStart::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        accept();
        break;
    default:
        QDialog::keyPressEvent(event);
    }
}

} // namespace grelavo
