#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

namespace grelavo {

// The problems that stopped an import, one a line in a list the user can read, select and copy
// (Ctrl+C copies the lines selected, "Copier" all of them), to mend the files.
class frmProblemes : public QDialog {
    Q_OBJECT

public:
    // 'count': every problem found; the list may stop short and end with a line counting the
    // rest.
    frmProblemes(const QStringList& problems, int count, QWidget* parent = nullptr);

    QListWidget* lstProblemes() const { return m_list; }
    QPushButton* cmdCopier() const { return m_copy; }

    // Puts the lines given on the clipboard, one a line.
    static void copyLines(const QStringList& lines);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QListWidget* m_list = nullptr;
    QPushButton* m_copy = nullptr;
};

} // namespace grelavo
