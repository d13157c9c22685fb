#pragma once

#include "db/DatabaseEdition.h"

#include <QDialog>
#include <QUrl>

class QLabel;

namespace grelavo {

class DialogService;
class PressImage;

// The About box: title, version, credit line, the maker's contact address (a click writes to
// the maker), the edition of the open database and its imports, and the close image.
class frmAPropos : public QDialog {
    Q_OBJECT

public:
    static QString contactAddress();
    static QUrl mailUrl(); // mailto: the contact address, subject "Grelavo"

    explicit frmAPropos(DialogService& dialogs, const DatabaseEdition& edition = DatabaseEdition(),
                        QWidget* parent = nullptr);

    // What the box says of a database: its edition, whether its data are synthetic, its
    // imports.
    static QString editionText(const DatabaseEdition& edition);

    PressImage* imaFermer() const { return m_close; }
    QLabel* lblEmail() const { return m_email; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DialogService& m_dialogs;
    PressImage* m_close = nullptr;
    QLabel* m_email = nullptr;
};

} // namespace grelavo
