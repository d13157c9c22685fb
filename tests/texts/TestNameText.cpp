// The forms in which names typed by people are compared, and values shown in messages.

#include "core/text/NameText.h"

#include <QtTest>

using namespace grelavo;

class TestNameText : public QObject {
    Q_OBJECT

private slots:
    // The same name as a spreadsheet, a keyboard or another file writes it compares equal at
    // the level meant, and a different name does not.
    void namesWrittenOtherWaysMeetAtTheirLevel() {
        // Apostrophes and hyphens of every style, case and blanks: the list's own comparison.
        QCOMPARE(NameText::folded(QStringLiteral("  Sud de l’Est ")),
                 NameText::folded(QStringLiteral("sud de l'est")));
        QCOMPARE(NameText::folded(QStringLiteral("S‑métolachlore")),
                 NameText::folded(QStringLiteral("S-métolachlore")));
        QCOMPARE(NameText::folded(QStringLiteral("mésotrione—X")),
                 NameText::folded(QStringLiteral("MÉSOTRIONE-x")));
        // Accents count for the list, not for closeness.
        QVERIFY(NameText::folded(QStringLiteral("sétaire")) !=
                NameText::folded(QStringLiteral("setaire")));
        QCOMPARE(NameText::plain(QStringLiteral("Sétaire VERTE")), QStringLiteral("setaire verte"));
        QCOMPARE(NameText::plain(QStringLiteral("Maïs grain")), QStringLiteral("mais grain"));
        // Blanks, apostrophes and hyphens dropped: the same name written another way.
        QCOMPARE(NameText::loose(QStringLiteral("pied-de-coq")),
                 NameText::loose(QStringLiteral("Pied de coq")));
        QCOMPARE(NameText::loose(QStringLiteral("l’Est")), NameText::loose(QStringLiteral("lest")));
        QVERIFY(NameText::loose(QStringLiteral("sétaire verte")) !=
                NameText::loose(QStringLiteral("sétaire glauque")));
    }

    void misEncodedNamesAreSeen() {
        // UTF-8 bytes read as Windows-1252, as a file saved in one and opened as the other.
        for (const char* name : {"PrÃ©levÃ©e", "MaÃ¯s grain", "lâ€™Est", "Â°C"})
            QVERIFY2(NameText::looksMisEncoded(QString::fromUtf8(name)), name);
        for (const char* name : {"Prélevée", "Maïs grain", "l’Est", "Ã", "ÉTÉ"})
            QVERIFY2(!NameText::looksMisEncoded(QString::fromUtf8(name)), name);
    }

    void editDistanceCountsSteps() {
        QCOMPARE(NameText::editDistance(QStringLiteral("kitten"), QStringLiteral("sitting")), 3);
        QCOMPARE(NameText::editDistance(QString(), QStringLiteral("abc")), 3);
        QCOMPARE(
            NameText::editDistance(QStringLiteral("sétaire vert"), QStringLiteral("sétaire verte")),
            1);
        QCOMPARE(NameText::editDistance(QStringLiteral("atrazine"), QStringLiteral("atrazine")), 0);
    }

    // Close names: a few edits apart or one holding the other, the nearest first, at most three.
    void closestNamesComeNearestFirst() {
        const QStringList names{"sétaire verte", "sétaire glauque", "Sétaire géante",
                                "souchet comestible", "pied-de-coq"};
        QCOMPARE(NameText::closest(QStringLiteral("setaire vert"), names),
                 (QStringList{"sétaire verte", "Sétaire géante"}));
        QCOMPARE(NameText::closest(QStringLiteral("SÉTAIRE"), names),
                 (QStringList{"sétaire verte", "Sétaire géante", "sétaire glauque"}));
        QCOMPARE(NameText::closest(QStringLiteral("SOUCHET"), names),
                 QStringList{"souchet comestible"});
        QCOMPARE(NameText::closest(QStringLiteral("chiendent"), names), QStringList());
        QCOMPARE(NameText::closest(QStringLiteral("sétaire"), names, 1),
                 QStringList{"sétaire verte"});
    }

    void frenchElision() {
        QCOMPARE(NameText::ofName(QStringLiteral("atrazine")), QStringLiteral("d'atrazine"));
        QCOMPARE(NameText::ofName(QStringLiteral("Éthalfluraline")),
                 QStringLiteral("d'Éthalfluraline"));
        QCOMPARE(NameText::ofName(QStringLiteral("herbicide")), QStringLiteral("d'herbicide"));
        QCOMPARE(NameText::ofName(QStringLiteral("dicamba")), QStringLiteral("de dicamba"));
    }

    // A value in a message is one line a terminal shows as it is: no line break, no escape
    // sequence, and never longer than asked.
    void valuesInMessagesStayOnOneShortLine() {
        QCOMPARE(NameText::quoted(QStringLiteral("deux\nlignes\tet\x1b[31mrouge")),
                 QStringLiteral("«\u00a0deux\\nlignes\\tet\\x1b[31mrouge\u00a0»"));
        QCOMPARE(NameText::oneLine(QString(QChar(0x85))), QStringLiteral("\\x85"));
        const QString huge(10'000'000, QLatin1Char('x'));
        const QString shown = NameText::quoted(huge);
        QCOMPARE(shown.size(), 80 + 4);
        QVERIFY(shown.endsWith(QStringLiteral("x…\u00a0»")));
        QCOMPARE(NameText::quoted(QString(80, QLatin1Char('y'))).size(), 84); // not cut
        QCOMPARE(NameText::quoted(QStringLiteral("court"), 3), QStringLiteral("«\u00a0co…\u00a0»"));
    }
};

QTEST_GUILESS_MAIN(TestNameText)
#include "TestNameText.moc"
