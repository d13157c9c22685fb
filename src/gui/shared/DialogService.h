#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class QDialog;
class QPrinter;
class QWidget;

namespace grelavo {

// Every message box, the print and file dialogs, the program's own modal dialogs, the help window
// and the mail opener go through this one service, so that tests can record what would be shown and
// answer the questions.
class DialogService {
public:
    enum class Icon { Critical, Warning, Question, Information };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    virtual ~DialogService() = default;

    // Lines of a message are joined by a carriage return, as the program writes them.
    virtual Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                           Buttons buttons = Buttons::Ok) = 0;
    // Opens the help file of the program folder at a topic; false when it cannot.
    virtual bool openHelpTopic(const QString& helpFile, int contextId) = 0;
    // Asks the system to open a URL (a new mail message for a mailto: address).
    virtual void openUrl(const QUrl& url) = 0;
    // Shows the print dialog for a job named documentName (also the title of a PDF and the
    // name the dialog proposes for a file), then lets paint draw on the chosen printer and ends
    // the document. False, with nothing printed, when the dialog is cancelled.
    virtual bool print(QWidget* parent, const QString& documentName,
                       const std::function<void(QPrinter&)>& paint) = 0;
    // Asks where to save a file, proposing suggestedName in the user's documents; filter as
    // "Fichiers PDF (*.pdf)". Empty when the user cancels.
    virtual QString saveFileName(QWidget* parent, const QString& title,
                                 const QString& suggestedName, const QString& filter) = 0;
    // Asks for a folder, starting in the user's documents; empty when the user cancels.
    virtual QString folderName(QWidget* parent, const QString& title) = 0;
    // Asks for one or more existing files to read, filter as "Fichiers d'échange (*.csv)";
    // none when the user cancels.
    virtual QStringList openFileNames(QWidget* parent, const QString& title,
                                      const QString& filter) = 0;
    // Shows one of the program's own dialogs (a list of problems) until the user closes it.
    virtual void showDialog(QDialog& dialog) = 0;

    // The message of a file the user chose that could not be written.
    void fileNotWritten(QWidget* parent, const QString& path);
};

} // namespace grelavo
