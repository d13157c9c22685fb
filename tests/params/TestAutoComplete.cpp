#include "params/AutoComplete.h"

#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

using namespace grelavo;

class TestAutoComplete : public QObject {
    Q_OBJECT

private:
    // An editable box with type-ahead, shown and focused, as the parameter form builds them.
    struct Box {
        QComboBox box;
        int choices = 0;
        explicit Box(const QStringList& items) {
            box.setEditable(true);
            box.setInsertPolicy(QComboBox::NoInsert);
            box.setCompleter(nullptr);
            box.addItems(items);
            box.setCurrentIndex(-1);
            AutoComplete::attach(&box);
            QObject::connect(&box, &QComboBox::currentIndexChanged, [this](int i) {
                if (i >= 0)
                    ++choices;
            });
            box.show();
            QApplication::setActiveWindow(&box);
            box.setFocus();
        }
        void type(const QString& keys) { QTest::keyClicks(box.lineEdit(), keys); }
        void backspace() { QTest::keyClick(box.lineEdit(), Qt::Key_Backspace); }
        // The text with its selected part in brackets.
        QString shown() const {
            const QLineEdit* e = box.lineEdit();
            if (!e->hasSelectedText())
                return e->text();
            const int s = e->selectionStart();
            return e->text().left(s) + "[" + e->selectedText() + "]";
        }
    };

private slots:
    void completesFromTheListAndRefusesWhatLeadsOutside() {
        Box b({"chénopode blanc", "pied-de-coq", "sétaire verte", "prêle des champs"});
        b.type(QStringLiteral("P"));
        QCOMPARE(b.shown(), QStringLiteral("p[ied-de-coq]")); // the item's case
        QCOMPARE(b.box.currentIndex(), 1);
        QCOMPARE(b.choices, 1);
        b.type(QStringLiteral("r"));
        QCOMPARE(b.shown(), QStringLiteral("pr[êle des champs]"));
        b.type(QStringLiteral("x")); // no item continues "prx"
        QCOMPARE(b.box.lineEdit()->text(), QStringLiteral("prêle des champs"));
        QCOMPARE(b.box.currentIndex(), 3);
        b.backspace(); // the typed part shortens and completes again
        QCOMPARE(b.shown(), QStringLiteral("p[ied-de-coq]"));
        b.box.lineEdit()->selectAll();
        b.backspace(); // everything selected: the box empties, the first item chosen on the way
        QVERIFY(b.box.lineEdit()->text().isEmpty());
        QCOMPARE(b.box.itemText(0), QStringLiteral("chénopode blanc"));
    }

    void anEmptyBoxStaysEmptyForACharacterNoItemBegins() {
        Box b({"atrazine", "dicamba"});
        b.type(QStringLiteral("z"));
        QVERIFY(b.box.lineEdit()->text().isEmpty());
        QCOMPARE(b.box.currentIndex(), -1);
        b.backspace(); // at position 0 with nothing selected: the box's own handling
        QVERIFY(b.box.lineEdit()->text().isEmpty());
    }

    void numberBoxesCompleteToo() {
        QStringList organicMatter;
        for (int i = 0; i <= 85; ++i)
            organicMatter << QString::number(i);
        Box b(organicMatter);
        b.type(QStringLiteral("2"));
        QCOMPARE(b.box.currentText(), QStringLiteral("2"));
        b.type(QStringLiteral("0"));
        QCOMPARE(b.box.currentText(), QStringLiteral("20"));
        QCOMPARE(b.box.currentIndex(), 20);
        b.type(QStringLiteral("9")); // "209" begins no item
        QCOMPARE(b.box.currentText(), QStringLiteral("20"));
    }

    void anEmptyListKeepsTheBoxsOwnBehaviour() {
        Box b({});
        b.type(QStringLiteral("ab"));
        QCOMPARE(b.box.lineEdit()->text(), QStringLiteral("ab"));
    }
};

QTEST_MAIN(TestAutoComplete)
#include "TestAutoComplete.moc"
