#include "frmAPropos.h"

#include "PressImage.h"
#include "ProgramVersion.h"
#include "render/Twips.h"
#include "shared/DialogService.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>

namespace grelavo {

namespace {

// The maker has not given an address yet: this one is a placeholder, reserved for examples.
const QString kContact = QStringLiteral("contact@grelavo.example");
const QString kCredit = QStringLiteral("Réalisé avec l'appui financier de son commanditaire "
                                       "(nom à confirmer)");

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& twips,
              double points, bool bold = false) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    l->setFont(f);
    l->setGeometry(Twips::toPixels(twips));
    l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    l->setWordWrap(true);
    return l;
}

} // namespace

QString frmAPropos::contactAddress() {
    return kContact;
}

QUrl frmAPropos::mailUrl() {
    return QUrl(QStringLiteral("mailto:") + kContact + QStringLiteral("?Subject=Grelavo"));
}

QString frmAPropos::editionText(const DatabaseEdition& edition) {
    QStringList lines;
    if (!edition.known) {
        lines << QStringLiteral("Base de données : édition inconnue (le fichier ne dit pas d'où "
                                "viennent ses données).");
    } else {
        lines << QStringLiteral("Base de données : « %1 », édition du %2, source : %3.")
                     .arg(edition.name, edition.date, edition.source);
        lines << (edition.synthetic
                      ? QStringLiteral("Ses essais sont des données de démonstration "
                                       "synthétiques, et non des résultats d'essais au champ.")
                      : QStringLiteral("Ses essais ne sont pas marqués comme synthétiques."));
    }
    const QString imports = edition.importsInWords();
    lines << (imports.isEmpty() ? QStringLiteral("Aucun essai importé.")
                                : QStringLiteral("Essais importés : %1.").arg(imports));
    return lines.join(QLatin1Char('\n'));
}

frmAPropos::frmAPropos(DialogService& dialogs, const DatabaseEdition& edition, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("frmAPropos"));
    setWindowTitle(QStringLiteral("À propos de Grelavo"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(Twips::toPixels(5400), Twips::toPixels(6300));
    const int w = 5400 - 240;
    label(this, "lblTitre", QStringLiteral("Grelavo"), QRect(120, 240, w, 600), 22, true);
    label(this, "lblVersion", QStringLiteral("Version %1").arg(QLatin1String(ProgramVersion)),
          QRect(120, 900, w, 300), 10);
    label(this, "lblCredit", kCredit + QStringLiteral("\npar"), QRect(120, 1400, w, 700), 9);
    label(this, "lblAuteur", QStringLiteral("l'équipe de développement de Grelavo"),
          QRect(120, 2100, w, 300), 9, true);
    label(this, "lblContact", QStringLiteral("Pour nous joindre :"), QRect(120, 2600, w, 300), 9);
    label(this, "lblEmail2", kContact + QStringLiteral("  (adresse provisoire)"),
          QRect(120, 2900, w, 300), 8);
    m_email = label(this, "lblEmail", kContact, QRect(120, 3300, w, 300), 9);
    m_email->setStyleSheet(QStringLiteral("color: #0645ad; text-decoration: underline;"));
    m_email->setCursor(Qt::PointingHandCursor);
    m_email->installEventFilter(this);
    label(this, "lblEdition", editionText(edition), QRect(240, 3800, w - 240, 1500), 8);

    m_close = new PressImage(QPoint(240, 5640), QPoint(265, 5665), this);
    m_close->setObjectName(QStringLiteral("imaFermer"));
    m_close->setPixmap(PressImage::buttonFace(QStringLiteral("Fermer"), QSize(1400, 420),
                                              QColor(0x45, 0x5a, 0x64), QColor(0x26, 0x32, 0x38),
                                              9));
    m_close->resize(m_close->pixmap().size());
    connect(m_close, &PressImage::clicked, this, &QDialog::accept);
}

bool frmAPropos::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_email && event->type() == QEvent::MouseButtonRelease) {
        m_dialogs.openUrl(mailUrl()); // whatever the system does with it
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace grelavo
