#include "HelpWindow.h"

#include <QHBoxLayout>
#include <QImage>
#include <QStyle>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

namespace grelavo {

namespace {

const QString Caption = QStringLiteral("Aide de Grelavo");
const QString Scheme = QStringLiteral("chm");

const QString MissingPage =
    QStringLiteral("<html><head><title>Page introuvable</title></head><body>"
                   "<h1>Page introuvable</h1>"
                   "<p>Cette page ne se trouve pas dans le fichier d'aide. Utilisez le bouton "
                   "«&nbsp;Précédent&nbsp;» ou «&nbsp;Sommaire&nbsp;».</p></body></html>");

QToolButton* makeButton(const QString& objectName, const QString& text, QStyle::StandardPixmap icon,
                        const QKeySequence& shortcut, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setText(text);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setShortcut(shortcut);
    return button;
}

} // namespace

// Takes every resource out of the help file; URLs of any other scheme load nothing.
class HelpWindow::Browser : public QTextBrowser {
public:
    Browser(const HelpFile& file, QWidget* parent) : QTextBrowser(parent), m_file(file) {}

    QVariant loadResource(int type, const QUrl& name) override {
        // The document asks with names resolved against the page; other callers may not.
        const QUrl url = name.isRelative() ? source().resolved(name) : name;
        if (url.scheme() != Scheme)
            return {};
        const auto bytes = m_file.readObject(url.path(QUrl::FullyDecoded));
        if (!bytes)
            return type == QTextDocument::HtmlResource ? QVariant(MissingPage) : QVariant();
        switch (type) {
        case QTextDocument::StyleSheetResource:
            return QString::fromUtf8(*bytes);
        case QTextDocument::ImageResource: {
            QImage image;
            if (!image.loadFromData(*bytes))
                return {};
            return image;
        }
        default:
            // Pages are decoded by the browser, which honours their declared character set.
            return *bytes;
        }
    }

private:
    const HelpFile& m_file;
};

HelpWindow::HelpWindow(const QString& helpFilePath, QWidget* parent)
    : QWidget(parent), m_helpFilePath(helpFilePath) {
    setObjectName(QStringLiteral("HelpWindow"));
    // A window of its own even when a parent owns it.
    setWindowFlag(Qt::Window);
    setWindowTitle(Caption);
    resize(820, 640);

    m_browser = new Browser(m_file, this);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    // Links are followed here, so that none leaves the help file.
    m_browser->setOpenLinks(false);
    m_browser->setOpenExternalLinks(false);

    m_back = makeButton(QStringLiteral("backButton"), QStringLiteral("Précédent"),
                        QStyle::SP_ArrowBack, QKeySequence::Back, this);
    m_forward = makeButton(QStringLiteral("forwardButton"), QStringLiteral("Suivant"),
                           QStyle::SP_ArrowForward, QKeySequence::Forward, this);
    m_home = makeButton(QStringLiteral("homeButton"), QStringLiteral("Sommaire"),
                        QStyle::SP_DirHomeIcon, QKeySequence(Qt::ALT | Qt::Key_Home), this);
    m_back->setEnabled(false);
    m_forward->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_back);
    buttons->addWidget(m_forward);
    buttons->addWidget(m_home);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);

    connect(m_back, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_home, &QToolButton::clicked, this, &HelpWindow::goHome);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpWindow::followLink);
    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpWindow::updateCaption);
}

HelpWindow::~HelpWindow() {
    // The browser reads through m_file, which goes before the children do.
    delete m_browser;
}

QTextBrowser* HelpWindow::browser() const {
    return m_browser;
}

QUrl HelpWindow::urlOf(const QString& objectPath) {
    QUrl url;
    url.setScheme(Scheme);
    url.setPath(objectPath, QUrl::DecodedMode);
    return url;
}

bool HelpWindow::showTopic(int contextId) {
    if (!ensureFileOpen())
        return false;
    const QString page = m_file.topicPath(contextId);
    if (page.isEmpty())
        return false;
    m_browser->setSource(urlOf(page));
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
    return true;
}

void HelpWindow::goHome() {
    if (!ensureFileOpen())
        return;
    QString page = m_file.defaultTopic();
    if (page.isEmpty() && !m_file.topics().isEmpty())
        page = m_file.topics().first();
    if (!page.isEmpty())
        m_browser->setSource(urlOf(page));
}

bool HelpWindow::ensureFileOpen() {
    return m_file.isOpen() || m_file.open(m_helpFilePath);
}

void HelpWindow::followLink(const QUrl& url) {
    if (url.scheme() == Scheme)
        m_browser->setSource(url);
}

void HelpWindow::updateCaption() {
    const QString title = m_browser->documentTitle().trimmed();
    setWindowTitle(title.isEmpty() ? Caption : Caption + QStringLiteral(" – ") + title);
}

} // namespace grelavo
