#pragma once

#include "core/db/DatabaseEdition.h"

#include <QDialog>
#include <QUrl>

class QLabel;

namespace grelavo {

class DialogService;
class PressImage;

// The About box: title, version, what the program is and who makes it, its licence, where its
// source and its help are, the contact address (a click writes to it), the edition of the open
// database and its imports, and the close image. It says only what is so: without a contact
// address it says there is none yet.
class frmAPropos : public QDialog {
    Q_OBJECT

public:
    struct Facts {
        QString contact;  // mail address; empty: none yet
        QString helpFile; // the help file found; empty: none found
        DatabaseEdition edition;
    };

    static QString builtContact(); // the address the program was built with, maybe empty
    static QUrl mailUrl(const QString& contact); // mailto: the address, subject "Grelavo"

    explicit frmAPropos(DialogService& dialogs, const Facts& facts, QWidget* parent = nullptr);

    // What the box says of a database: its edition, whether its data are synthetic, its
    // imports.
    static QString editionText(const DatabaseEdition& edition);

    PressImage* imaFermer() const { return m_close; }
    QLabel* lblEmail() const { return m_email; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DialogService& m_dialogs;
    QString m_contact;
    PressImage* m_close = nullptr;
    QLabel* m_email = nullptr;
};

} // namespace grelavo
