// The weed list and the drop-down of the five extra-weed boxes, on the fixture's five weeds,
// driven by real clicks and keys on the parameter form.

#include "ParamForm.h"
#include "gui/params/WeedDropDown.h"
#include "gui/params/frmListView.h"

#include <QHeaderView>
#include <QScreen>
#include <QTreeWidget>

using namespace grelavo;

namespace {

QImage imageOf(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage();
}

// The parameter form on the fixture, its weed page shown and filled.
struct Form : ParamForm {
    Form() {
        form.resize(800, 600);
        form.sstParam(3)->setVisible(true);
        form.Fill_MauvHerb();
    }
    QComboBox* box(int i) const { return get(QStringLiteral("cbbMauvHerb(%1)").arg(i)); }
    frmListView* window() const { return get<frmListView>(QStringLiteral("frmListView")); }
    QTreeWidget* list() const { return window()->ListViewMH(); }
    // A press and release on the drop-down button, at the right end of the box.
    void pressButton(int i) const {
        QComboBox* b = box(i);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->width() - 4, b->height() / 2));
    }
    void clickWeed(const QString& id) const {
        QTreeWidgetItem* item = list()->findItems(id, Qt::MatchExactly).at(0);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                          list()->visualItemRect(item).center());
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
    // Moves the form so that box i's top left corner is at the given point of the screen.
    void putBoxAt(int i, const QPoint& screenPoint) {
        form.move(form.pos() + screenPoint - box(i)->mapToGlobal(QPoint(0, 0)));
        QTRY_COMPARE(box(i)->mapToGlobal(QPoint(0, 0)), screenPoint);
    }
};

} // namespace

class TestWeedList : public QObject {
    Q_OBJECT

private slots:
    void listHoldsTheWeedsUnderItsHeadings() {
        Form f;
        QVERIFY(f.window()->isWindow());
        QVERIFY(!f.window()->isVisible());
        QTreeWidget* list = f.list();
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("Id"));
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("     Français"));
        QCOMPARE(list->headerItem()->text(2), QStringLiteral("          Latin"));
        QCOMPARE(list->headerItem()->text(3), QStringLiteral("      Anglais"));
        QVERIFY(list->isColumnHidden(0));
        QCOMPARE(f.column(3), QStringList({"lamb's-quarters", "barnyardgrass", "field horsetail",
                                           "green foxtail", "yellow nutsedge"}));
    }

    void headingsSortTheListAndMoveTheMark() {
        Form f;
        QVERIFY(imageOf(frmListView::ascendingMark()) != imageOf(frmListView::descendingMark()));
        f.pressButton(0);
        QCOMPARE(f.column(1), QStringList({"chénopode blanc", "pied-de-coq", "prêle des champs",
                                           "sétaire verte", "souchet comestible"}));
        QCOMPARE(f.marks(), QStringLiteral(".+.."));

        f.clickHeading(frmListView::Latin);
        QCOMPARE(f.column(0), QStringList({"15", "200", "16", "201", "34"}));
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
        f.pressButton(3);
        QVERIFY(f.window()->isVisible());
        QCOMPARE(f.marks(), QStringLiteral("...+"));
    }

    void openingSelectsTheBoxWeedTheFirstItemToo() {
        Form f;
        QCOMPARE(f.box(0)->itemData(0).toInt(), 15);
        f.box(0)->setCurrentIndex(0);
        f.pressButton(0);
        QVERIFY(f.window()->isVisible());
        QCOMPARE(f.selectedId(), QStringLiteral("15"));
        f.pressButton(0);

        f.choose(QStringLiteral("cbbMauvHerb(1)"), QStringLiteral("souchet comestible"));
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

    void listOpensBelowTheBoxAndAPressOnTheButtonClosesIt() {
        Form f;
        const QRect screen = f.form.screen()->availableGeometry();
        f.putBoxAt(0, screen.topLeft() + QPoint(10, 10));
        for (int i = 0; i < WeedDropDown::Boxes; ++i) {
            f.choose(QStringLiteral("cbbMauvHerb(%1)").arg(i), QStringLiteral("pied-de-coq"));
            f.pressButton(i);
            QVERIFY(f.window()->isVisible());
            const QPoint below = f.box(i)->mapToGlobal(QPoint(0, f.box(i)->height()));
            QCOMPARE(f.window()->geometry(), QRect(below, QSize(463, i == 4 ? 103 : 137)));

            f.pressButton(i);
            QVERIFY(!f.window()->isVisible());
            QCOMPARE(f.box(i)->currentText(), QStringLiteral("pied-de-coq"));
        }
    }

    // Near the screen's bottom right corner the list opens above the box, on the screen.
    void nearTheScreenBottomTheListOpensAboveTheBox() {
        Form f;
        const QRect screen = f.form.screen()->availableGeometry();
        f.putBoxAt(4, screen.bottomRight() - QPoint(f.box(4)->width(), 40));
        f.pressButton(4);
        const QRect place = f.window()->geometry();
        QVERIFY(screen.contains(place));
        QCOMPARE(place.bottom() + 1, f.box(4)->mapToGlobal(QPoint(0, 0)).y());
        f.pressButton(4);
    }

    // The second press of a double click closes the list again, as a second click does.
    void theSecondPressOfADoubleClickClosesTheList() {
        Form f;
        QTest::mouseDClick(f.box(2), Qt::LeftButton, {},
                           QPoint(f.box(2)->width() - 4, f.box(2)->height() / 2));
        QVERIFY(!f.window()->isVisible());
        for (int i = 0; i < WeedDropDown::Boxes; ++i)
            QVERIFY(!f.box(i)->view()->isVisible());
    }

    void choosingAWeedSetsTheBoxItOpenedFromAndGivesItTheFocus() {
        Form f;
        f.pressButton(2);
        // The pointer crossing another box on the way into the list does not move the choice.
        f.state.HoverWeedIndex = 3;
        f.clickWeed(QStringLiteral("201"));
        QTRY_VERIFY(!f.window()->isVisible());
        QCOMPARE(f.box(2)->currentData().toInt(), 201);
        QCOMPARE(f.box(2)->currentText(), QStringLiteral("prêle des champs"));
        QCOMPARE(f.box(3)->currentIndex(), -1);
        QCOMPARE(f.list()->selectedItems(), QList<QTreeWidgetItem*>{f.list()->topLevelItem(0)});
        QTRY_VERIFY(f.box(2)->hasFocus());

        // A click below the rows chooses nothing, not the row selected since the last choice.
        f.pressButton(4);
        QTest::mouseClick(f.list()->viewport(), Qt::LeftButton, {},
                          QPoint(20, f.list()->viewport()->height() - 3));
        QTRY_VERIFY(!f.window()->isVisible());
        QCOMPARE(f.box(4)->currentIndex(), -1);

        // Of two items of the same weed, the last one is chosen.
        f.box(0)->addItem(QStringLiteral("sétaire (bis)"), 34);
        f.pressButton(0);
        f.clickWeed(QStringLiteral("34"));
        QTRY_COMPARE(f.box(0)->currentIndex(), f.box(0)->count() - 1);
    }

    void keysChooseOrLeaveButNeverOpenTheBoxOwnList() {
        Form f;
        QComboBox* box = f.box(0);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_F4);
        QTest::keyClick(box, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(!box->view()->isVisible());
        QVERIFY(!f.window()->isVisible());
        f.pressButton(0);
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(!f.window()->isVisible());

        // In the list, after a weed was chosen once: the arrows move the selection, Enter takes
        // it, Escape leaves the box as it is.
        f.pressButton(0);
        f.clickWeed(QStringLiteral("16"));
        QTRY_COMPARE(box->currentData().toInt(), 16);
        f.pressButton(0);
        QCOMPARE(f.selectedId(), QStringLiteral("16"));
        QTest::keyClick(f.list(), Qt::Key_Down);
        QCOMPARE(f.selectedId(), QStringLiteral("201"));
        QTest::keyClick(f.list(), Qt::Key_Return);
        QVERIFY(!f.window()->isVisible());
        QCOMPARE(box->currentData().toInt(), 201);
        f.pressButton(0);
        QTest::keyClick(f.list(), Qt::Key_Up);
        QTest::keyClick(f.list(), Qt::Key_Escape);
        QVERIFY(!f.window()->isVisible());
        QCOMPARE(box->currentData().toInt(), 201);
        QTRY_VERIFY(box->hasFocus());
    }

    void listHidesOnLosingTheFocus() {
        Form f;
        f.pressButton(3);
        QTRY_VERIFY(f.window()->isActiveWindow());
        QApplication::setActiveWindow(&f.form);
        QTRY_VERIFY(!f.window()->isVisible());
    }

    // Unloading the form closes the list and the connection; the boxes are their own again.
    void unloadingClosesTheListAndGivesTheBoxesBack() {
        Form f;
        f.pressButton(1);
        f.form.Form_Unload();
        QVERIFY(!f.window()->isVisible() && !f.form.isVisible());
        QVERIFY(!f.de.isConnected());
        f.form.show();
        f.pressButton(1);
        QVERIFY(!f.window()->isVisible());
        QTRY_VERIFY(f.box(1)->view()->isVisible());
        f.box(1)->hidePopup();
    }
};

QTEST_MAIN(TestWeedList)
#include "TestWeedList.moc"
