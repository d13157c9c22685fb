#include "frmAPropos.h"

#include "PressImage.h"
#include "ProgramVersion.h"
#include "gui/shared/DialogService.h"
#include "render/Twips.h"

#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>

namespace grelavo {

namespace {

const QString kCredit = QStringLiteral("L'efficacité des doses réduites d'herbicides dans le maïs, "
                                       "d'après des essais au champ");

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

QString frmAPropos::builtContact() {
    return QString::fromUtf8(ProgramContact);
}

QUrl frmAPropos::mailUrl(const QString& contact) {
    return QUrl(QStringLiteral("mailto:") + contact + QStringLiteral("?Subject=Grelavo"));
}

QString frmAPropos::editionText(const DatabaseEdition& edition) {
    QStringList lines;
    if (!edition.known) {
        lines << QStringLiteral(
            "Base de données\u00a0: édition inconnue (le fichier ne dit pas d'où "
            "viennent ses données).");
    } else {
        lines << QStringLiteral(
                     "Base de données\u00a0: «\u00a0%1\u00a0», édition du %2, source\u00a0: %3.")
                     .arg(edition.name, edition.date, edition.source);
        lines << (edition.synthetic
                      ? QStringLiteral("Ses essais sont des données de démonstration "
                                       "synthétiques, et non des résultats d'essais au champ.")
                      : QStringLiteral("Ses essais ne sont pas marqués comme synthétiques."));
    }
    const QString imports = edition.importsInWords();
    lines << (imports.isEmpty() ? QStringLiteral("Aucun essai importé.")
                                : QStringLiteral("Essais importés\u00a0: %1.").arg(imports));
    return lines.join(QLatin1Char('\n'));
}

frmAPropos::frmAPropos(DialogService& dialogs, const Facts& facts, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_contact(facts.contact) {
    setObjectName(QStringLiteral("frmAPropos"));
    setWindowTitle(QStringLiteral("À propos de Grelavo"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(Twips::toPixels(6000), Twips::toPixels(6700));
    const int w = 6000 - 240;
    label(this, "lblTitre", QStringLiteral("Grelavo"), QRect(120, 240, w, 600), 22, true);
    label(this, "lblVersion", QStringLiteral("Version %1").arg(QLatin1String(ProgramVersion)),
          QRect(120, 860, w, 300), 10);
    label(this, "lblCredit", kCredit + QStringLiteral("\npar"), QRect(120, 1250, w, 700), 9);
    label(this, "lblAuteur", QStringLiteral("l'équipe de développement de Grelavo"),
          QRect(120, 1950, w, 300), 9, true);
    label(this, "lblLicence", QStringLiteral("Licence\u00a0: propriétaire, tous droits réservés"),
          QRect(120, 2400, w, 300), 8);
    label(this, "lblSource", QStringLiteral("Code source\u00a0: non publié"),
          QRect(120, 2700, w, 300), 8);
    label(this, "lblAide",
          facts.helpFile.isEmpty() ? QStringLiteral("Aide\u00a0: le fichier d'aide est introuvable")
                                   : QStringLiteral("Aide\u00a0: touche F1 ou menu Aide (%1)")
                                         .arg(QDir::toNativeSeparators(facts.helpFile)),
          QRect(120, 3000, w, 500), 8);
    if (m_contact.isEmpty()) {
        m_email = label(this, "lblEmail", QStringLiteral("Pas encore d'adresse pour nous écrire."),
                        QRect(120, 3650, w, 300), 9);
    } else {
        label(this, "lblContact", QStringLiteral("Pour nous écrire\u00a0:"),
              QRect(120, 3550, w, 300), 9);
        // The address once, with a shadow: the label behind, one pixel down and right.
        QLabel* shadow = label(this, "lblEmail2", m_contact, QRect(135, 3865, w, 300), 9);
        shadow->setStyleSheet(QStringLiteral("color: #b0bec5;"));
        m_email = label(this, "lblEmail", m_contact, QRect(120, 3850, w, 300), 9);
        m_email->setStyleSheet(QStringLiteral("color: #0645ad; text-decoration: underline;"));
        m_email->setCursor(Qt::PointingHandCursor);
        m_email->setAttribute(Qt::WA_TranslucentBackground);
        m_email->installEventFilter(this);
    }
    label(this, "lblEdition", editionText(facts.edition), QRect(240, 4350, w - 240, 1500), 8);

    m_close = new PressImage(QPoint(240, 6000), QPoint(265, 6025), this);
    m_close->setObjectName(QStringLiteral("imaFermer"));
    m_close->setPixmap(PressImage::buttonFace(QStringLiteral("Fermer"), QSize(1400, 420),
                                              QColor(0x45, 0x5a, 0x64), QColor(0x26, 0x32, 0x38),
                                              9));
    m_close->resize(m_close->pixmap().size());
    connect(m_close, &PressImage::clicked, this, &QDialog::accept);
}

bool frmAPropos::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_email && event->type() == QEvent::MouseButtonRelease) {
        m_dialogs.openUrl(mailUrl(m_contact)); // whatever the system does with it
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace grelavo
