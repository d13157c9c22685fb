#include "gui/app/HelpWindow.h"
#include "helpfile/HelpFile.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QtTest>

using namespace grelavo;

namespace {

const QString HelpFilePath = QStringLiteral(GRELAVO_HELP_FILE);

QByteArray helpFileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Clicks the first link of the page shown that points at 'href'.
bool clickLink(QTextBrowser* browser, const QString& href) {
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().anchorHref() != href)
                continue;
            QTextCursor cursor(browser->document());
            cursor.setPosition(it.fragment().position() + 1);
            browser->setTextCursor(cursor);
            browser->ensureCursorVisible();
            QTest::mouseClick(browser->viewport(), Qt::LeftButton, {},
                              browser->cursorRect(cursor).center());
            return true;
        }
    return false;
}

} // namespace

class TestHelpFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QString& name, const QByteArray& bytes) {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) >= 0 ? file.fileName()
                                                                         : QString();
    }

    static bool opens(const QString& path) { return HelpFile().open(path); }

private slots:
    void shippedFileMapsItsTopics() {
        HelpFile file(HelpFilePath);
        QVERIFY(file.isOpen());
        QCOMPARE(file.topics().keys(), (QList<quint32>{1000, 2000, 3000, 4000, 5000, 6000}));
        QCOMPARE(file.topicPath(2000), QStringLiteral("/obligatoires.html"));
        QCOMPARE(file.topicPath(4000), QStringLiteral("/rapport.html"));
        QCOMPARE(file.topicPath(5000), QStringLiteral("/essais.html"));
        QCOMPARE(file.topicPath(6000), QStringLiteral("/analyse.html"));
        QCOMPARE(file.defaultTopic(), QStringLiteral("/general.html"));
        for (int unknown : {0, 1001, -1})
            QVERIFY(file.topicPath(unknown).isEmpty());
    }

    // A compressed picture comes out byte for byte as it went in.
    void shippedFileGivesItsObjectsBackAsTheyWentIn() {
        HelpFile file(HelpFilePath);
        const auto picture = file.readObject(QStringLiteral("/fractions.png"));
        QVERIFY(picture);
        QCOMPARE(*picture, helpFileBytes(QStringLiteral(GRELAVO_HELP_SOURCE_DIR "/fractions.png")));
        QVERIFY(!file.readObject(QStringLiteral("/absent.html")));
    }

    // Every link and picture of every page names an object of the file, and every fragment an
    // anchor of its page.
    void everyLinkOfTheShippedFileLeadsIntoIt() {
        HelpFile file(HelpFilePath);
        QVERIFY(file.isOpen());
        const QRegularExpression reference(QStringLiteral("(?:href|src)=\"([^\"]+)\""));
        for (const QString& page : file.topics()) {
            const QString html = QString::fromUtf8(*file.readObject(page));
            for (const auto& match : reference.globalMatch(html)) {
                const QUrl target = QUrl(QStringLiteral("chm:") + page).resolved(match.captured(1));
                const QByteArray where =
                    (page + QStringLiteral(" -> ") + target.toString()).toUtf8();
                QVERIFY2(target.scheme() == QStringLiteral("chm"), where);
                const auto object = file.readObject(target.path());
                QVERIFY2(object, where);
                if (target.hasFragment())
                    QVERIFY2(object->contains("name=\"" + target.fragment().toUtf8() + '"'), where);
            }
        }
    }

    // The page on the user's own experiments names the shipped edition as the build made it,
    // from the file the database is made from.
    void shippedEditionIsNamedAsTheDatabaseIsMade() {
        QString name;
        QString date;
        QString mark;
        for (const QString& line :
             QString::fromUtf8(helpFileBytes(GRELAVO_EDITION_TSV)).split('\n')) {
            const QStringList fields = line.split('\t');
            if (!line.startsWith('#') && fields.size() == 4 && fields[0] != "nom") {
                name = fields[0];
                date = fields[1];
                mark = fields[3] == "1" ? "marquée" : "non marquée";
            }
        }
        QVERIFY(!name.isEmpty());
        HelpFile file(HelpFilePath);
        const QString page = QString::fromUtf8(*file.readObject(QStringLiteral("/essais.html")));
        QVERIFY(page.contains(
            QStringLiteral("l'édition «&nbsp;<b>%1</b>&nbsp;» du %2, %3 comme synthétique")
                .arg(name, date, mark)));
        QVERIFY(!page.contains('@'));
    }

    void unreadableFilesFailCleanly() {
        QVERIFY(!opens(m_dir.filePath(QStringLiteral("absent.chm"))));
        QVERIFY(!opens(m_dir.path()));
        QVERIFY(!opens(writeFile(QStringLiteral("text.chm"), "<html>Aide</html>\n")));
        const QByteArray original = helpFileBytes(HelpFilePath);
        for (qsizetype length : {qsizetype(64), original.size() / 2, original.size() - 1})
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
    }

    void contextMapIsReadDefensively() {
        QByteArray ivb(4, '\0');
        const auto pair = [&ivb](quint32 id, quint32 offset) {
            char bytes[8];
            qToLittleEndian(id, bytes);
            qToLittleEndian(offset, bytes + 4);
            ivb.append(bytes, 8);
        };
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

    // A target resolves to the object matching its longest trailing part.
    void topicTargetsResolveToTheirLongestTrailingPart() {
        const QSet<QByteArray> objects{"/a.html", "/x/a.html", "/b.html"};
        const auto resolve = [&objects](const char* target) {
            return HelpFile::resolveObjectPath(
                target, [&objects](const QByteArray& name) { return objects.contains(name); });
        };
        QCOMPARE(resolve("/tmp/x/a.html"), QByteArray("/x/a.html"));
        QCOMPARE(resolve("C:\\aide\\b.html"), QByteArray("/b.html"));
        QCOMPARE(resolve("a.html#section"), QByteArray("/a.html"));
        QCOMPARE(resolve("/tmp/xa.html"), QByteArray()); // cut only at separators
        QCOMPARE(resolve("/tmp/"), QByteArray());
    }

    void windowStaysHiddenForAMissingFileOrTopic() {
        HelpWindow missing(m_dir.filePath(QStringLiteral("absent.chm")));
        QVERIFY(!missing.showTopic(1000));
        QVERIFY(!missing.isVisible());
        HelpWindow window(HelpFilePath);
        QVERIFY(!window.showTopic(1234));
        QVERIFY(!window.isVisible());
    }

    void windowShowsStyledPagesFromTheFileOnly() {
        HelpWindow window(HelpFilePath);
        QVERIFY(window.showTopic(2000));
        QTextBrowser* browser = window.browser();
        QCOMPARE(browser->source().path(), QStringLiteral("/obligatoires.html"));
        // The heading takes its colour from the style sheet inside the file.
        QTextBlock heading = browser->document()->begin();
        while (heading.isValid() && heading.blockFormat().headingLevel() != 1)
            heading = heading.next();
        QVERIFY(heading.isValid());
        QCOMPARE(heading.begin().fragment().charFormat().foreground().color(),
                 QColor(0x2f, 0x5d, 0x1e));
        // Pictures come from the file; nothing is fetched from anywhere else.
        const auto image = [browser](const char* url) {
            return browser->loadResource(QTextDocument::ImageResource, QUrl(url)).value<QImage>();
        };
        QCOMPARE(image("fractions.png").size(), QSize(600, 150));
        QVERIFY(image("https://example.org/fractions.png").isNull());
        QVERIFY(browser->loadResource(QTextDocument::HtmlResource, QUrl("chm:/absent.html"))
                    .toString()
                    .contains(QStringLiteral("Page introuvable")));
    }

    // A second request turns the open window to the new topic; links are followed through the
    // window's history.
    void windowFollowsLinksThroughItsHistory() {
        HelpWindow window(HelpFilePath);
        auto* back = window.findChild<QToolButton*>(QStringLiteral("backButton"));
        auto* forward = window.findChild<QToolButton*>(QStringLiteral("forwardButton"));
        auto* home = window.findChild<QToolButton*>(QStringLiteral("homeButton"));
        QVERIFY(back);
        QVERIFY(forward);
        QVERIFY(home);
        QVERIFY(window.showTopic(2000));
        QVERIFY(!back->isEnabled());
        QTextBrowser* browser = window.browser();
        QVERIFY(window.showTopic(1000));
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(browser->source().path(), QStringLiteral("/general.html"));
        QVERIFY(clickLink(browser, QStringLiteral("optionnels.html")));
        QTRY_COMPARE(browser->source().path(), QStringLiteral("/optionnels.html"));
        back->click();
        QCOMPARE(browser->source().path(), QStringLiteral("/general.html"));
        forward->click();
        QCOMPARE(browser->source().path(), QStringLiteral("/optionnels.html"));
        home->click();
        QCOMPARE(browser->source().path(), QStringLiteral("/general.html"));
        QVERIFY(window.showTopic(4000));
        QCOMPARE(browser->source().path(), QStringLiteral("/rapport.html"));
    }
};

QTEST_MAIN(TestHelpFile)
#include "TestHelpFile.moc"
