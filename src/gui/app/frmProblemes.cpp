#include "frmProblemes.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace grelavo {

frmProblemes::frmProblemes(const QStringList& problems, int count, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmProblemes"));
    setWindowTitle(QStringLiteral("Importation refusée"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        QStringLiteral(
            "Les fichiers n'ont pas été importés\u00a0: rien n'a été écrit dans la base de "
            "données. Corrigez ce qui suit, puis importez-les de nouveau (%1).")
            .arg(count > 1 ? QStringLiteral("%1 problèmes").arg(count)
                           : QStringLiteral("1 problème")),
        this);
    intro->setObjectName(QStringLiteral("lblProblemes"));
    intro->setWordWrap(true);
    layout->addWidget(intro);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstProblemes"));
    m_list->addItems(problems);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setTextElideMode(Qt::ElideNone);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_list->installEventFilter(this);
    intro->setBuddy(m_list);
    layout->addWidget(m_list, 1);

    auto* buttons = new QDialogButtonBox(this);
    m_copy = buttons->addButton(QStringLiteral("&Copier"), QDialogButtonBox::ActionRole);
    m_copy->setObjectName(QStringLiteral("cmdCopier"));
    m_copy->setAutoDefault(false);
    QPushButton* close =
        buttons->addButton(QStringLiteral("&Fermer"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdFermer"));
    close->setDefault(true);
    connect(m_copy, &QPushButton::clicked, this, [problems] { copyLines(problems); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    resize(760, 360);
    m_list->setFocus();
}

void frmProblemes::copyLines(const QStringList& lines) {
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

bool frmProblemes::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        // The selected lines in the list's order, whatever order they were chosen in.
        QStringList lines;
        for (int row = 0; row < m_list->count(); ++row) {
            if (m_list->item(row)->isSelected())
                lines << m_list->item(row)->text();
        }
        if (!lines.isEmpty())
            copyLines(lines);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace grelavo
