#include "QtDialogService.h"

#include "HelpWindow.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>

namespace grelavo {

QtDialogService::QtDialogService() = default;
QtDialogService::~QtDialogService() = default;

DialogService::Answer QtDialogService::message(QWidget* parent, const QString& text,
                                               const QString& title, Icon icon, Buttons buttons) {
    static const QMessageBox::Icon icons[] = {QMessageBox::Critical, QMessageBox::Warning,
                                              QMessageBox::Question, QMessageBox::Information};
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n')); // the lines of a message
    QMessageBox box(
        icons[static_cast<int>(icon)], title, shown,
        buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    const int answer = box.exec();
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return answer == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

bool QtDialogService::openHelpTopic(const QString& helpFile, int contextId) {
    // The help window is separate from the main window and lives until the program ends.
    if (!m_help || m_helpFile != helpFile) {
        m_help = std::make_unique<HelpWindow>(helpFile);
        m_helpFile = helpFile;
    }
    return m_help->showTopic(contextId);
}

void QtDialogService::openUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

bool QtDialogService::print(QWidget* parent, const QString& documentName,
                            const std::function<void(QPrinter&)>& paint) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentName);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    paint(printer);
    return true;
}

QString QtDialogService::saveFileName(QWidget* parent, const QString& title,
                                      const QString& suggestedName, const QString& filter) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileDialog::getSaveFileName(parent, title, QDir(folder).filePath(suggestedName),
                                        filter);
}

QString QtDialogService::folderName(QWidget* parent, const QString& title) {
    return QFileDialog::getExistingDirectory(
        parent, title, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

QStringList QtDialogService::openFileNames(QWidget* parent, const QString& title,
                                           const QString& filter) {
    return QFileDialog::getOpenFileNames(
        parent, title, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), filter);
}

void QtDialogService::showDialog(QDialog& dialog) {
    dialog.exec();
}

} // namespace grelavo
