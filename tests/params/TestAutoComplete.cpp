#include "UserInput.h"
#include "gui/shared/AutoComplete.h"

#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

using namespace grelavo;

class TestAutoComplete : public QObject {
    Q_OBJECT

private slots:
    void typeAhead_data() {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("keys"); // "\b" Backspace, "\1" Ctrl+A
        // After each key: the text, its selected part in brackets, then the current item.
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<int>("choices"); // how many times an item was chosen
        const QStringList weeds{"chénopode blanc", "pied-de-coq", "sétaire verte",
                                "prêle des champs"};
        // The item's case; "prx" begins no item; Backspace shortens the typed part and
        // completes again; everything selected, it empties the box, the first item chosen on
        // the way.
        QTest::newRow("from the list")
            << weeds << "Prx\b\1\b"
            << QStringList{"p[ied-de-coq] 1", "pr[êle des champs] 3", "pr[êle des champs] 3",
                           "p[ied-de-coq] 1", "[pied-de-coq] 1",      " 0"}
            << 4;
        // Backspace at position 0 with nothing selected: the box's own handling.
        QTest::newRow("no item begins")
            << QStringList{"atrazine", "dicamba"} << "z\b" << QStringList{" -1", " -1"} << 0;
        QStringList organicMatter;
        for (int i = 0; i <= 85; ++i)
            organicMatter << QString::number(i);
        QTest::newRow("numbers") << organicMatter << "209" << QStringList{"2 2", "20 20", "20 20"}
                                 << 2;
        QTest::newRow("empty list") << QStringList() << "ab" << QStringList{"a -1", "ab -1"} << 0;
    }

    void typeAhead() {
        QFETCH(QStringList, items);
        QFETCH(QString, keys);
        QFETCH(QStringList, shown);
        QFETCH(int, choices);
        // An editable box with type-ahead, shown and focused, as the parameter form builds them.
        QComboBox box;
        box.setEditable(true);
        box.setInsertPolicy(QComboBox::NoInsert);
        box.setCompleter(nullptr);
        box.addItems(items);
        box.setCurrentIndex(-1);
        AutoComplete::attach(&box);
        int chosen = 0;
        connect(&box, &QComboBox::currentIndexChanged, [&chosen](int i) { chosen += i >= 0; });
        box.show();
        QApplication::setActiveWindow(&box);
        QVERIFY(QTest::qWaitForWindowActive(&box));
        UserInput::clickInto(&box);
        // The keys go where the window system sends them: to the focused box itself, which
        // hands them to its line edit by a direct call (no filter on the line edit sees them).
        QCOMPARE(QApplication::focusWidget(), &box);
        QLineEdit* edit = box.lineEdit();
        QStringList after;
        for (const QChar key : keys) {
            if (key == QLatin1Char('\b'))
                UserInput::key(Qt::Key_Backspace);
            else if (key == QLatin1Char('\1'))
                UserInput::key(Qt::Key_A, Qt::ControlModifier);
            else
                UserInput::type(key);
            const int s = edit->selectionStart();
            after << (s < 0 ? edit->text()
                            : edit->text().left(s) + "[" + edit->selectedText() + "]") +
                         " " + QString::number(box.currentIndex());
        }
        QCOMPARE(after, shown);
        QCOMPARE(chosen, choices);
        QCOMPARE(box.count(), items.size()); // nothing typed is added to the list
    }
};

QTEST_MAIN(TestAutoComplete)
#include "TestAutoComplete.moc"
