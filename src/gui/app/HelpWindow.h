#pragma once

#include "helpfile/HelpFile.h"

#include <QString>
#include <QUrl>
#include <QWidget>

class QTextBrowser;
class QToolButton;

namespace grelavo {

// The program's own help window: a top-level window that shows the topics of Aide.chm in a
// browser whose pages, style sheets and pictures all come out of the file, under URLs of the
// scheme "chm" ("chm:/general.html"); nothing is fetched elsewhere and no other program is
// started. Précédent, Suivant and Sommaire move through the pages. The caller checks beforehand
// that the file exists.
class HelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit HelpWindow(const QString& helpFilePath, QWidget* parent = nullptr);
    ~HelpWindow() override;

    // Shows the page of a numeric topic, opening the file on first use, and brings the window
    // to the front. False, and nothing shown, when the file cannot be read or the id is unknown.
    bool showTopic(int contextId);

    const QString& helpFilePath() const { return m_helpFilePath; }
    QTextBrowser* browser() const;

    static QUrl urlOf(const QString& objectPath);

public slots:
    // The page the file opens on (its default topic).
    void goHome();

private:
    class Browser;

    bool ensureFileOpen();
    void followLink(const QUrl& url);
    void updateCaption();

    QString m_helpFilePath;
    HelpFile m_file;
    Browser* m_browser = nullptr;
    QToolButton* m_back = nullptr;
    QToolButton* m_forward = nullptr;
    QToolButton* m_home = nullptr;
};

} // namespace grelavo
