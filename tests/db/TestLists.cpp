// The lookup lists: their items as the database holds them, and an item found by number or by
// name however it is written.

#include "FixtureDatabase.h"
#include "db/Lists.h"
#include "report/ParameterSet.h"

using namespace grelavo;

namespace {

// "id" when found, otherwise the refusal.
QString found(const QVector<ListItem>& items, const QString& text) {
    const ListChoice c = lookUp(items, lists::weeds, text);
    return c.id ? QString::number(*c.id) : c.refusal;
}

} // namespace

class TestLists : public QObject {
    Q_OBJECT

private slots:
    void itemsAreReadInIdOrder() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        QCOMPARE(items(db, lists::periods), (QVector<ListItem>{{1, QStringLiteral("Prélevée")},
                                                               {2, QStringLiteral("Postlevée")}}));
        // The crop standing for all corn is offered only as "Maïs (tous)".
        const QVector<ListItem> crops = reportCrops(db);
        QCOMPARE(crops.first(),
                 (ListItem{ParameterSet::AllCornItemData, ParameterSet::AllCornName}));
        QCOMPARE(crops.size(), items(db, lists::crops).size());
        for (const ListItem& crop : crops)
            QVERIFY(crop.id != lists::kAllCornCrop);
        QCOMPARE(*lookUp(db, lists::herbicides, QStringLiteral("ETHALFLURALINE")).id, 14);
    }

    void namesAndNumbersFindTheirItem() {
        const QVector<ListItem> weeds{{16, QStringLiteral("pied-de-coq")},
                                      {34, QStringLiteral("sétaire verte")},
                                      {35, QStringLiteral("Sétaire verte")},
                                      {36, QStringLiteral("setaire verte")},
                                      {40, QStringLiteral("prêle l’herbe")}};
        QCOMPARE(found(weeds, QStringLiteral("16")), QStringLiteral("16"));
        QCOMPARE(found(weeds, QStringLiteral(" PIED‑DE‑COQ ")), QStringLiteral("16"));
        QCOMPARE(found(weeds, QStringLiteral("PRELE L'HERBE")), QStringLiteral("40"));
        // Accents count first: the name without them is one item, with them, in any case, two.
        QCOMPARE(found(weeds, QStringLiteral("setaire verte")), QStringLiteral("36"));
        QCOMPARE(found(weeds, QStringLiteral("SÉTAIRE VERTE")),
                 QStringLiteral("«\u00a0SÉTAIRE VERTE\u00a0» désigne plusieurs mauvaises herbes "
                                "de la liste\u00a0: 34 «\u00a0sétaire verte\u00a0», 35 "
                                "«\u00a0Sétaire verte\u00a0»\u00a0; donnez le numéro"));
        QCOMPARE(found(weeds, QStringLiteral("pied de coc")),
                 QStringLiteral("«\u00a0pied de coc\u00a0» n'est pas dans la liste des mauvaises "
                                "herbes\u00a0; noms proches\u00a0: «\u00a0pied-de-coq\u00a0»"));
        QCOMPARE(found(weeds, QStringLiteral("chiendent")),
                 QStringLiteral("«\u00a0chiendent\u00a0» n'est pas dans la liste des mauvaises "
                                "herbes (aucun nom proche)"));
        QCOMPARE(found(weeds, QStringLiteral(" ")),
                 QStringLiteral("aucun nom donné dans la liste des mauvaises herbes"));
        QCOMPARE(found(weeds, QStringLiteral("17")),
                 QStringLiteral("l'identifiant 17 n'est pas dans la liste des mauvaises herbes"));
    }
};

QTEST_GUILESS_MAIN(TestLists)
#include "TestLists.moc"
