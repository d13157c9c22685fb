// The weed list and the drop-down of the five extra-weed boxes, on the fixture's five weeds,
// driven by real clicks and keys on the parameter form.

#include "FixtureDatabase.h"
#include "RecordingDialogs.h"
#include "app/AppState.h"
#include "app/Twips.h"
#include "db/DE.h"
#include "params/frmParam.h"
#include "results/WeedDropDown.h"
#include "results/frmListView.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHeaderView>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

using namespace grelavo;

namespace {

QImage imageOf(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage();
}

} // namespace

class TestWeedList : public QObject {
    Q_OBJECT

private:
    // The parameter form on the fixture, its weed page shown and filled.
    struct Form {
        FixtureDatabase fixture;
        AppState state;
        DE de{fixture.folder()};
        RecordingDialogs dialogs;
        frmParam form{state, de, dialogs};

        Form() {
            form.resize(800, 600);
            form.sstParam(3)->setVisible(true);
            form.show();
            QApplication::setActiveWindow(&form);
            form.Fill_MauvHerb();
        }
        QComboBox* box(int i) const {
            return form.findChild<QComboBox*>(QStringLiteral("cbbMauvHerb(%1)").arg(i));
        }
        frmListView* window() const {
            return form.findChild<frmListView*>(QStringLiteral("frmListView"));
        }
        QTreeWidget* list() const { return window()->ListViewMH(); }
        // A press and release on the drop-down button, at the right end of the box.
        void pressButton(int i) const {
            QComboBox* b = box(i);
            QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->width() - 4, b->height() / 2));
        }
        void choose(int i, const QString& weed) const {
            box(i)->setCurrentIndex(box(i)->findText(weed));
        }
        void clickHeading(int column) const {
            QHeaderView* header = list()->header();
            QTest::mouseClick(
                header->viewport(), Qt::LeftButton, {},
                QPoint(header->sectionViewportPosition(column) + 20, header->height() / 2));
        }
        QStringList column(int c) const {
            QStringList texts;
            for (int i = 0; i < list()->topLevelItemCount(); ++i)
                texts << list()->topLevelItem(i)->text(c);
            return texts;
        }
        QString selectedId() const {
            const auto selected = list()->selectedItems();
            return selected.isEmpty() ? QString() : selected.first()->text(frmListView::Id);
        }
        // Which heading carries which mark: "+" ascending, "-" descending, "." none.
        QString marks() const {
            QString text;
            for (int c = 0; c < frmListView::ColumnCount; ++c) {
                const QIcon icon = list()->headerItem()->icon(c);
                text += icon.isNull()                                             ? '.'
                        : imageOf(icon) == imageOf(frmListView::ascendingMark())  ? '+'
                        : imageOf(icon) == imageOf(frmListView::descendingMark()) ? '-'
                                                                                  : '?';
            }
            return text;
        }
    };

private slots:
    void listHoldsEveryWeedUnderItsHeadings() {
        Form f;
        QVERIFY(f.window());
        QVERIFY(f.window()->isWindow());
        QVERIFY(!f.window()->isVisible());
        QTreeWidget* list = f.list();
        QCOMPARE(list->columnCount(), 4);
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("Id"));
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("     Français"));
        QCOMPARE(list->headerItem()->text(2), QStringLiteral("          Latin"));
        QCOMPARE(list->headerItem()->text(3), QStringLiteral("      Anglais"));
        QVERIFY(list->isColumnHidden(0));
        QCOMPARE(list->columnWidth(1), Twips::toPixels(2300));
        QCOMPARE(list->columnWidth(2), Twips::toPixels(2300));
        QCOMPARE(list->columnWidth(3), Twips::toPixels(2100));
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(list->hasMouseTracking());
        QCOMPARE(f.column(0), QStringList({"15", "16", "201", "34", "200"}));
        QCOMPARE(f.column(3), QStringList({"lamb's-quarters", "barnyardgrass", "field horsetail",
                                           "green foxtail", "yellow nutsedge"}));
    }

    void headingsSortAndMoveTheMark() {
        Form f;
        f.pressButton(0);
        QVERIFY(f.window()->isVisible());
        QCOMPARE(f.column(1), QStringList({"chénopode blanc", "pied-de-coq", "prêle des champs",
                                           "sétaire verte", "souchet comestible"}));
        QCOMPARE(f.marks(), QStringLiteral(".+.."));

        f.clickHeading(frmListView::Latin);
        QCOMPARE(f.column(2),
                 QStringList({"Chenopodium album", "Cyperus esculentus", "Echinochloa crus-galli",
                              "Equisetum arvense", "Setaria viridis"}));
        QCOMPARE(f.marks(), QStringLiteral("..+."));

        f.clickHeading(frmListView::Latin);
        QCOMPARE(f.column(0), QStringList({"34", "201", "16", "200", "15"}));
        QCOMPARE(f.marks(), QStringLiteral("..-."));

        // From a descending column, another column starts ascending.
        f.clickHeading(frmListView::English);
        QCOMPARE(f.column(0), QStringList({"16", "201", "34", "15", "200"}));
        QCOMPARE(f.marks(), QStringLiteral("...+"));

        // The order stays from one opening to the next.
        f.pressButton(0);
        QVERIFY(!f.window()->isVisible());
        f.pressButton(3);
        QVERIFY(f.window()->isVisible());
        QCOMPARE(f.marks(), QStringLiteral("...+"));
    }

    void openingSelectsTheBoxWeedUnlessItIsTheFirstItem() {
        Form f;
        QCOMPARE(f.box(0)->itemData(0).toInt(), 15);
        f.box(0)->setCurrentIndex(0);
        f.pressButton(0);
        QVERIFY(f.window()->isVisible());
        QCOMPARE(f.selectedId(), QString());
        f.pressButton(0);

        f.choose(1, QStringLiteral("souchet comestible"));
        f.pressButton(1);
        QCOMPARE(f.state.HoverWeedIndex, 1);
        QCOMPARE(f.selectedId(), QStringLiteral("200"));
        QTreeWidget* list = f.list();
        QVERIFY(list->viewport()->rect().contains(list->visualItemRect(list->currentItem())));
        f.pressButton(1);

        // A box with nothing chosen leaves the list as it was.
        f.pressButton(2);
        QCOMPARE(f.selectedId(), QStringLiteral("200"));
    }

    void listOpensBelowTheBoxAndASecondPressClosesIt() {
        Form f;
        for (int i = 0; i < WeedDropDown::Boxes; ++i) {
            f.choose(i, QStringLiteral("pied-de-coq"));
            f.pressButton(i);
            QVERIFY(f.window()->isVisible());
            QCOMPARE(f.state.HoverWeedIndex, i);
            const QPoint below = f.box(i)->mapToGlobal(QPoint(0, f.box(i)->height()));
            QCOMPARE(f.window()->geometry(), QRect(below, QSize(463, i == 4 ? 103 : 137)));
            QCOMPARE(f.window()->width(), Twips::toPixels(6950));
            QCOMPARE(f.window()->height(), Twips::toPixels(i == 4 ? 1550 : 2050));
            QVERIFY(!f.box(i)->view()->isVisible());

            f.pressButton(i);
            QVERIFY(!f.window()->isVisible());
            QCOMPARE(f.box(i)->currentText(), QStringLiteral("pied-de-coq"));
            QVERIFY(!f.box(i)->view()->isVisible());
        }
    }

    void choosingAWeedSetsTheBoxAndGivesItTheFocus() {
        Form f;
        f.pressButton(2);
        QTreeWidget* list = f.list();
        QTreeWidgetItem* horsetail = list->findItems(QStringLiteral("201"), Qt::MatchExactly).at(0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(horsetail).center());
        QTRY_VERIFY(!f.window()->isVisible());
        QCOMPARE(f.box(2)->currentData().toInt(), 201);
        QCOMPARE(f.box(2)->currentText(), QStringLiteral("prêle des champs"));
        QCOMPARE(f.box(1)->currentIndex(), -1);
        QCOMPARE(list->selectedItems(), QList<QTreeWidgetItem*>{list->topLevelItem(0)});
        QTRY_VERIFY(f.box(2)->hasFocus());

        // Choosing again from another box reaches that box only.
        f.pressButton(4);
        QTreeWidgetItem* foxtail = list->findItems(QStringLiteral("34"), Qt::MatchExactly).at(0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(foxtail).center());
        QTRY_COMPARE(f.box(4)->currentData().toInt(), 34);
        QCOMPARE(f.box(2)->currentData().toInt(), 201);

        // Of two items of the same weed, the last one is chosen.
        f.box(0)->addItem(QStringLiteral("sétaire (bis)"), 34);
        f.pressButton(0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(foxtail).center());
        QTRY_COMPARE(f.box(0)->currentIndex(), f.box(0)->count() - 1);
    }

    void keysNeverOpenTheBoxOwnList() {
        Form f;
        QComboBox* box = f.box(0);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_F4);
        QTest::keyClick(box, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(!box->view()->isVisible());
        QVERIFY(!f.window()->isVisible());

        f.pressButton(0);
        QVERIFY(f.window()->isVisible());
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(!f.window()->isVisible());
    }

    void listHidesOnLosingTheFocusAndHooksCanBeRemoved() {
        Form f;
        f.pressButton(3);
        QTRY_VERIFY(f.window()->isActiveWindow());
        QApplication::setActiveWindow(&f.form);
        QTRY_VERIFY(!f.window()->isVisible());

        auto* dropDown = f.form.findChild<WeedDropDown*>();
        QVERIFY(dropDown);
        std::array<QComboBox*, WeedDropDown::Boxes> boxes{};
        for (int i = 0; i < WeedDropDown::Boxes; ++i)
            boxes[i] = f.box(i);
        dropDown->SetDropDownHook(false, boxes);
        QTest::qWait(400);
        f.pressButton(3);
        QVERIFY(!f.window()->isVisible());
        QTRY_VERIFY(f.box(3)->view()->isVisible());
        f.box(3)->hidePopup();
    }
};

QTEST_MAIN(TestWeedList)
#include "TestWeedList.moc"
