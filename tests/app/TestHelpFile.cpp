#include "app/HelpFile.h"
#include "app/HelpWindow.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QtTest>

using namespace grelavo;

namespace {

const QString HelpFilePath = QStringLiteral(GRELAVO_HELP_FILE);
const QString HelpSourceDir = QStringLiteral(GRELAVO_HELP_SOURCE_DIR);

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool opens(const QString& path) {
    HelpFile file;
    return file.open(path);
}

} // namespace

class TestHelpFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString writeFile(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) < 0)
            return {};
        return path;
    }

    // Clicks the first link of the page shown that points at 'href'.
    static bool clickLink(QTextBrowser* browser, const QString& href) {
        for (QTextBlock block = browser->document()->begin(); block.isValid();
             block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (fragment.charFormat().anchorHref() != href)
                    continue;
                QTextCursor cursor(browser->document());
                cursor.setPosition(fragment.position() + 1);
                browser->setTextCursor(cursor);
                browser->ensureCursorVisible();
                QTest::mouseClick(browser->viewport(), Qt::LeftButton, {},
                                  browser->cursorRect(cursor).center());
                return true;
            }
        }
        return false;
    }

private slots:
    void topicsResolveToTheirPages_data() {
        QTest::addColumn<int>("contextId");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("title");
        QTest::newRow("general") << 1000 << "/general.html"
                                 << "Aide générale de Grelavo";
        QTest::newRow("mandatory") << 2000 << "/obligatoires.html"
                                   << "Paramètres obligatoires";
        QTest::newRow("optional") << 3000 << "/optionnels.html"
                                  << "Paramètres optionnels";
        QTest::newRow("report") << 4000 << "/rapport.html"
                                << "Lire, copier et imprimer le rapport";
    }

    void topicsResolveToTheirPages() {
        QFETCH(int, contextId);
        QFETCH(QString, page);
        QFETCH(QString, title);
        HelpFile file(HelpFilePath);
        QVERIFY(file.isOpen());
        QCOMPARE(file.topicPath(contextId), page);
        const auto html = file.readObject(page);
        QVERIFY(html);
        QTextDocument document;
        document.setHtml(QString::fromUtf8(*html));
        QCOMPARE(document.metaInformation(QTextDocument::DocumentTitle), title);
        QVERIFY(document.toPlainText().contains(title));
        if (contextId == 1000) {
            QVERIFY(document.toPlainText().contains(QStringLiteral("À propos des Grelavo")));
            QVERIFY(document.toPlainText().contains(QStringLiteral("données de démonstration")));
        }
    }

    void fileHoldsExactlyItsFourTopics() {
        HelpFile file(HelpFilePath);
        QCOMPARE(file.topics().keys(), (QList<quint32>{1000, 2000, 3000, 4000}));
        QCOMPARE(file.defaultTopic(), QStringLiteral("/general.html"));
        for (int unknown : {0, 999, 1001, 5000, -1})
            QVERIFY(file.topicPath(unknown).isEmpty());
    }

    void objectsAreReadWholeAndLinksStayInsideTheFile() {
        HelpFile file(HelpFilePath);
        // A compressed picture comes out byte for byte as it went in.
        const auto picture = file.readObject(QStringLiteral("/fractions.png"));
        QVERIFY(picture);
        QCOMPARE(*picture, fileBytes(HelpSourceDir + QStringLiteral("/fractions.png")));
        QVERIFY(!file.readObject(QStringLiteral("/absent.html")));
        QVERIFY(!file.contains(QStringLiteral("/absent.html")));

        // Every link and picture of every page names an object of the file, and every
        // fragment an anchor of its page.
        const QRegularExpression reference(QStringLiteral("(?:href|src)=\"([^\"]+)\""));
        for (const QString& page : file.topics()) {
            const QString html = QString::fromUtf8(*file.readObject(page));
            for (const auto& match : reference.globalMatch(html)) {
                const QUrl target = QUrl(QStringLiteral("chm:") + page).resolved(match.captured(1));
                QVERIFY2(target.scheme() == QStringLiteral("chm"), qPrintable(match.captured(1)));
                const auto object = file.readObject(target.path());
                QVERIFY2(object, qPrintable(page + QStringLiteral(" -> ") + target.toString()));
                if (target.hasFragment())
                    QVERIFY2(object->contains("name=\"" + target.fragment().toUtf8() + '"'),
                             qPrintable(page + QStringLiteral(" -> ") + target.toString()));
            }
        }
    }

    void unreadableFilesFailCleanly() {
        QVERIFY(opens(HelpFilePath));
        QVERIFY(!opens(m_dir.filePath(QStringLiteral("absent.chm"))));
        QVERIFY(!opens(m_dir.path()));
        QVERIFY(!opens(writeFile(QStringLiteral("empty.chm"), {})));
        QVERIFY(!opens(writeFile(QStringLiteral("text.chm"), "<html>Aide</html>\n")));
        const QByteArray original = fileBytes(HelpFilePath);
        for (qsizetype length :
             {qsizetype(64), qsizetype(512), original.size() / 2, original.size() - 1})
            QVERIFY2(!opens(writeFile(QStringLiteral("cut.chm"), original.left(length))),
                     qPrintable(QString::number(length)));
        // A 4 MiB window, which LZX cannot use, with a reset interval chmlib accepts: chmlib
        // would go on to decompress with a null state.
        QByteArray badWindow = original;
        const qsizetype control = badWindow.indexOf("LZXC");
        QVERIFY(control > 0);
        qToLittleEndian<quint32>(128, badWindow.data() + control + 8);  // x 32 KiB
        qToLittleEndian<quint32>(128, badWindow.data() + control + 12); // x 32 KiB
        QVERIFY(!opens(writeFile(QStringLiteral("window.chm"), badWindow)));

        HelpFile file(HelpFilePath);
        file.close();
        QVERIFY(!file.isOpen());
        QVERIFY(file.topics().isEmpty());
        QVERIFY(!file.readObject(QStringLiteral("/general.html")));
    }

    void contextMapIsReadDefensively() {
        QByteArray ivb;
        const auto pair = [&ivb](quint32 id, quint32 offset) {
            char bytes[8];
            qToLittleEndian(id, bytes);
            qToLittleEndian(offset, bytes + 4);
            ivb.append(bytes, 8);
        };
        ivb.append(4, '\0');
        pair(1000, 1);                               // a path
        pair(2000, 40);                              // past the end of the strings
        pair(3000, 17);                              // a string without its terminating NUL
        pair(1000, 9);                               // a second entry for 1000
        pair(4000, 0);                               // an empty string
        qToLittleEndian<quint32>(8 * 6, ivb.data()); // claims one pair more than it holds
        const QByteArray strings("\0/tmp/x/a.html\0/b.html", 22);
        const auto map = HelpFile::parseContextMap(ivb, strings);
        QCOMPARE(map.keys(), (QList<quint32>{1000}));
        QCOMPARE(map.value(1000), QByteArray("/tmp/x/a.html"));
        QVERIFY(HelpFile::parseContextMap(QByteArray(3, '\0'), strings).isEmpty());
    }

    void topicTargetResolvesByItsLongestTrailingPart() {
        const QSet<QByteArray> objects{"/a.html", "/x/a.html", "/b.html"};
        const auto exists = [&objects](const QByteArray& name) { return objects.contains(name); };
        const auto resolve = [&exists](const char* target) {
            return HelpFile::resolveObjectPath(target, exists);
        };
        QCOMPARE(resolve("/tmp/build/help/b.html"), QByteArray("/b.html"));
        QCOMPARE(resolve("/tmp/x/a.html"), QByteArray("/x/a.html"));
        QCOMPARE(resolve("C:\\aide\\b.html"), QByteArray("/b.html"));
        QCOMPARE(resolve("a.html#section"), QByteArray("/a.html"));
        QCOMPARE(resolve("/tmp/xa.html"), QByteArray()); // cut only at separators
        QCOMPARE(resolve("/tmp/c.html"), QByteArray());
        QCOMPARE(resolve("/tmp/"), QByteArray());
    }

    void windowShowsTheTopicWithItsStyleAndPictures() {
        HelpWindow window(HelpFilePath);
        QCOMPARE(window.objectName(), QStringLiteral("HelpWindow"));
        QVERIFY(window.isWindow());
        QVERIFY(window.showTopic(2000));
        QVERIFY(window.isVisible());
        auto* browser = window.findChild<QTextBrowser*>(QStringLiteral("helpBrowser"));
        QVERIFY(browser);
        QCOMPARE(browser->source().path(), QStringLiteral("/obligatoires.html"));
        QVERIFY(browser->toPlainText().contains(QStringLiteral("Le sélecteur de taux")));
        QVERIFY(window.windowTitle().startsWith(QStringLiteral("Aide de Grelavo")));
        // The heading takes its colour from the style sheet inside the file.
        QTextBlock heading = browser->document()->begin();
        while (heading.isValid() && heading.blockFormat().headingLevel() != 1)
            heading = heading.next();
        QVERIFY(heading.isValid());
        QCOMPARE(heading.begin().fragment().charFormat().foreground().color(),
                 QColor(0x2f, 0x5d, 0x1e));
        // Pictures come from the file; nothing is fetched from anywhere else.
        const QImage picture =
            browser->loadResource(QTextDocument::ImageResource, QUrl("fractions.png"))
                .value<QImage>();
        QCOMPARE(picture.size(), QSize(600, 150));
        QVERIFY(browser
                    ->loadResource(QTextDocument::ImageResource,
                                   QUrl("https://example.org/fractions.png"))
                    .isNull());
        QVERIFY(browser->loadResource(QTextDocument::HtmlResource, QUrl("chm:/absent.html"))
                    .toString()
                    .contains(QStringLiteral("Page introuvable")));
    }

    void windowFollowsLinksThroughItsHistory() {
        HelpWindow window(HelpFilePath);
        QVERIFY(window.showTopic(1000));
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTextBrowser* browser = window.browser();
        auto* back = window.findChild<QToolButton*>(QStringLiteral("backButton"));
        auto* forward = window.findChild<QToolButton*>(QStringLiteral("forwardButton"));
        auto* home = window.findChild<QToolButton*>(QStringLiteral("homeButton"));
        QVERIFY(back && forward && home);
        QVERIFY(!back->isEnabled());

        QVERIFY(clickLink(browser, QStringLiteral("optionnels.html")));
        QTRY_COMPARE(browser->source().path(), QStringLiteral("/optionnels.html"));
        QVERIFY(browser->toPlainText().contains(QStringLiteral("Page Mauvaises herbes")));
        QVERIFY(back->isEnabled());
        back->click();
        QCOMPARE(browser->source().path(), QStringLiteral("/general.html"));
        QVERIFY(forward->isEnabled());
        forward->click();
        QCOMPARE(browser->source().path(), QStringLiteral("/optionnels.html"));
        home->click();
        QCOMPARE(browser->source().path(), QStringLiteral("/general.html"));

        // A second request reuses the window that is already open.
        QVERIFY(window.showTopic(4000));
        QCOMPARE(browser->source().path(), QStringLiteral("/rapport.html"));
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.cbegin(), windows.cend(),
                               [](const QWidget* w) {
                                   return w->objectName() == QStringLiteral("HelpWindow");
                               }),
                 1);
    }

    void windowRefusesUnknownTopicsAndUnreadableFiles() {
        HelpWindow missing(m_dir.filePath(QStringLiteral("absent.chm")));
        QVERIFY(!missing.showTopic(1000));
        QVERIFY(!missing.isVisible());
        HelpWindow broken(writeFile(QStringLiteral("broken.chm"), "ITSF"));
        QVERIFY(!broken.showTopic(1000));
        HelpWindow window(HelpFilePath);
        QVERIFY(!window.showTopic(1234));
        QVERIFY(!window.isVisible());
        QVERIFY(window.showTopic(3000));
    }
};

QTEST_MAIN(TestHelpFile)
#include "TestHelpFile.moc"
