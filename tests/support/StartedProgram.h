#pragma once

#include "FixtureDatabase.h"
#include "ModalDriver.h"
#include "RecordingDialogs.h"
#include "UserInput.h"
#include "gui/app/PressImage.h"
#include "gui/app/frmMDI.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

// Grelavo's main window loaded on a program folder (the fixture database unless another folder
// is given), past its start window, with the lookups and key presses its tests share.
struct StartedProgram {
    std::unique_ptr<FixtureDatabase> fixture;
    RecordingDialogs dialogs;
    std::unique_ptr<grelavo::frmMDI> window;
    int ends = 0; // how many times the program would have ended

    // The start window left by a click on its button, or by a key when one is given.
    explicit StartedProgram(const QString& folder = QString(), Qt::Key leaveBy = Qt::Key_unknown) {
        if (folder.isEmpty())
            fixture = std::make_unique<FixtureDatabase>();
        window = std::make_unique<grelavo::frmMDI>(folder.isEmpty() ? fixture->folder() : folder,
                                                   dialogs);
        window->setProgramEnd([this] { ++ends; });
        whenModalShows([leaveBy](QWidget* start) {
            QCOMPARE(start->objectName(), QStringLiteral("frmStart"));
            if (leaveBy != Qt::Key_unknown) {
                QVERIFY(QTest::qWaitForWindowActive(start));
                UserInput::key(leaveBy);
            } else {
                QTest::mouseClick(start->findChild<grelavo::PressImage*>("imaContinuer"),
                                  Qt::LeftButton);
            }
        });
        QVERIFY(window->Form_Load());
        QVERIFY(QTest::qWaitForWindowActive(window.get())); // where the keys go
    }
    template <typename T = QComboBox> T* get(const QString& name) const {
        return window->findChild<T*>(name);
    }
    // Prélevée, one herbicide, atrazine, all corn: every mandatory choice, and the rate when
    // one is given.
    void chooseAtrazineOnAllCorn(const QString& rate = QString()) const {
        for (const auto& [name, text] : {std::pair{"cbbApp", "Prélevée"},
                                         {"cbbNombHerb", "1"},
                                         {"cbbHerbApp(0)", "atrazine"},
                                         {"cbbCult", "Maïs (tous)"}})
            get(name)->setCurrentIndex(get(name)->findText(QString::fromUtf8(text)));
        if (!rate.isEmpty())
            get<QLineEdit>(QStringLiteral("txtTaux(0)"))->setText(rate);
    }
    // The text of a part of the status bar: 0 the group's title, 1 the help line, 2 the date.
    QString status(int i) const {
        return get<QLabel>(QStringLiteral("StatusLabel(%1)").arg(i))->text();
    }
    const RecordingDialogs::Shown& said() const { return dialogs.messages.last(); }
    void click(const QString& button) const {
        QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton);
    }
    // Key presses into a box, replacing what it holds, as a user types them: a click into the
    // box, Ctrl+A, then the characters, accented ones too.
    void typeInto(const QString& name, const QString& keys) const {
        QWidget* box = get<QWidget>(name);
        QVERIFY2(box, qPrintable(name));
        UserInput::typeInto(box, keys);
    }
};
