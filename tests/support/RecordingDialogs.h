#pragma once

#include "gui/shared/DialogService.h"

#include <QDialog>
#include <QPrinter>
#include <QStringList>
#include <QVector>

// Records what the program would show and answers its questions as a test says.
class RecordingDialogs : public grelavo::DialogService {
public:
    struct Shown {
        QString text;
        QString title;
        Icon icon;
        Buttons buttons;
    };

    Answer message(QWidget*, const QString& text, const QString& title, Icon icon,
                   Buttons buttons) override {
        messages.push_back({text, title, icon, buttons});
        return buttons == Buttons::YesNo ? nextAnswer : Answer::Ok;
    }
    bool openHelpTopic(const QString& file, int contextId) override {
        helpTopics.push_back(contextId);
        helpFile = file;
        return true;
    }
    void openUrl(const QUrl& url) override { urls.push_back(url); }
    // No dialog: prints into the PDF file printFile, or answers as a cancelled dialog when
    // printFile is empty.
    bool print(QWidget*, const QString& documentName,
               const std::function<void(QPrinter&)>& paint) override {
        ++printDialogs;
        printJobName = documentName;
        if (printFile.isEmpty())
            return false;
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(documentName);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printFile);
        paint(printer);
        return true;
    }
    // Answers with saveAnswer (empty: cancelled).
    QString saveFileName(QWidget*, const QString& title, const QString& suggestedName,
                         const QString& filter) override {
        saveQuestions.push_back({title, suggestedName, filter});
        return saveAnswer;
    }

    // Answers with folderAnswer and openAnswer (empty: cancelled).
    QString folderName(QWidget*, const QString& title) override {
        folderQuestions.push_back(title);
        return folderAnswer;
    }
    QStringList openFileNames(QWidget*, const QString& title, const QString& filter) override {
        openQuestions.push_back({title, filter});
        return openAnswer;
    }
    // No event loop: the dialog is shown, handed to onDialog (to look at it, press its buttons),
    // then closed.
    void showDialog(QDialog& dialog) override {
        dialogsShown.push_back(dialog.objectName());
        dialog.show();
        if (onDialog)
            onDialog(dialog);
        dialog.close();
    }

    Answer nextAnswer = Answer::Yes;
    QVector<Shown> messages;
    QVector<int> helpTopics;
    QString helpFile;
    QVector<QUrl> urls;
    QString printFile;
    QString printJobName;
    int printDialogs = 0;
    QString saveAnswer;
    QVector<QStringList> saveQuestions; // title, suggested name, filter
    QString folderAnswer;
    QStringList folderQuestions;
    QStringList openAnswer;
    QVector<QStringList> openQuestions; // title, filter
    QStringList dialogsShown;           // object names
    std::function<void(QDialog&)> onDialog;
};
