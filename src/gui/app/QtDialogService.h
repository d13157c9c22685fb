#pragma once

#include "gui/shared/DialogService.h"

#include <memory>

namespace grelavo {

class HelpWindow;

// The program's dialogs: Qt message boxes, the print dialog, its own help window, the system's URL
// opener.
class QtDialogService : public DialogService {
public:
    QtDialogService();
    ~QtDialogService() override;

    Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                   Buttons buttons) override;
    bool openHelpTopic(const QString& helpFile, int contextId) override;
    void openUrl(const QUrl& url) override;
    bool print(QWidget* parent, const QString& documentName,
               const std::function<void(QPrinter&)>& paint) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& suggestedName,
                         const QString& filter) override;
    QString folderName(QWidget* parent, const QString& title) override;
    QStringList openFileNames(QWidget* parent, const QString& title,
                              const QString& filter) override;
    void showDialog(QDialog& dialog) override;

private:
    std::unique_ptr<HelpWindow> m_help;
    QString m_helpFile;
};

} // namespace grelavo
