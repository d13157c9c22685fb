#include "frmResults.h"

#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace grelavo {

frmResults::frmResults(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmResults"));
    m_picture2 = new QLabel;
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    m_picture2->setBackgroundRole(QPalette::Base);
    m_scroll = new QScrollArea;
    m_scroll->setWidget(m_picture2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);
}

void frmResults::clearPicture() {
    m_picture2->clear();
}

bool frmResults::hasPicture() const {
    return !m_picture2->pixmap().isNull();
}

} // namespace grelavo
