#include "Form1.h"

#include <QFont>
#include <QLabel>
#include <QVBoxLayout>

namespace pelvane {

Form1::Form1(QWidget* parent) : QWidget(parent), m_label(new QLabel(this)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Compactage de la base de donnée en cours…"));
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setText(QStringLiteral("Compactage en cours…"));
    QFont font(QStringLiteral("DejaVu Sans")); // standing in for Verdana
    font.setPointSizeF(9.75);
    m_label->setFont(font);
    m_label->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addWidget(m_label);
    setFixedSize(360, 100);
}

} // namespace pelvane
