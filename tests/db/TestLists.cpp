// The lookup lists: an item found by number or by name however it is written; the crops a
// report is asked for.

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
    // The crop standing for all corn is offered only as "Maïs (tous)".
    void reportCropsOfferAllCornOnce() {
        FixtureDatabase fixture;
        Connection db(fixture.path(), DatabaseFile::password());
        const QVector<ListItem> crops = reportCrops(db);
        QCOMPARE(crops.first(),
                 (ListItem{ParameterSet::AllCornItemData, ParameterSet::AllCornName}));
        QCOMPARE(crops.size(), items(db, lists::crops).size());
        QCOMPARE(*lookUp(db, lists::crops, QStringLiteral("MAIS")).id, lists::kAllCornCrop);
    }

    void namesFindTheirItemOrSayWhyNot() {
        const QVector<ListItem> weeds{{16, QStringLiteral("pied-de-coq")},
                                      {34, QStringLiteral("sétaire verte")},
                                      {35, QStringLiteral("Sétaire verte")},
                                      {36, QStringLiteral("setaire verte")},
                                      {40, QStringLiteral("prêle l’herbe")}};
        QCOMPARE(found(weeds, QStringLiteral(" PIED‑DE‑COQ ")), QStringLiteral("16"));
        QCOMPARE(found(weeds, QStringLiteral("PRELE L'HERBE")), QStringLiteral("40"));
        // Accents count first: the name without them is one item, with them, in any case, two.
        QCOMPARE(found(weeds, QStringLiteral("setaire verte")), QStringLiteral("36"));
        QCOMPARE(found(weeds, QStringLiteral("SÉTAIRE VERTE")),
                 QStringLiteral("«\u00a0SÉTAIRE VERTE\u00a0» désigne plusieurs mauvaises herbes "
                                "de la liste\u00a0: 34 «\u00a0sétaire verte\u00a0», 35 "
                                "«\u00a0Sétaire verte\u00a0»\u00a0; donnez le numéro"));
        QCOMPARE(found(weeds, QStringLiteral(" ")),
                 QStringLiteral("aucun nom donné dans la liste des mauvaises herbes"));
        QCOMPARE(found(weeds, QStringLiteral("17")),
                 QStringLiteral("l'identifiant 17 n'est pas dans la liste des mauvaises herbes"));
    }
};

QTEST_GUILESS_MAIN(TestLists)
#include "TestLists.moc"
