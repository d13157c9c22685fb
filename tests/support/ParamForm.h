#pragma once

#include "FixtureDatabase.h"
#include "RecordingDialogs.h"
#include "core/db/DE.h"
#include "gui/params/frmParam.h"
#include "gui/shared/AppState.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QtTest>

// The parameter form alone on the fixture database, shown and active, with the lookups and
// entries its tests share.
struct ParamForm {
    FixtureDatabase fixture;
    grelavo::AppState state;
    grelavo::DE de{fixture.folder()};
    RecordingDialogs dialogs;
    grelavo::frmParam form{state, de, dialogs};

    ParamForm() {
        form.resize(1400, 1000); // room for a whole page, as in the main window
        form.show();
        QApplication::setActiveWindow(&form);
    }
    template <typename T = QComboBox> T* get(const QString& name) const {
        return form.findChild<T*>(name);
    }
    void choose(const QString& name, const QString& text) const {
        QComboBox* b = get(name);
        const int index = b->findText(text);
        QVERIFY2(index >= 0, qPrintable(name + ": " + text));
        b->setCurrentIndex(index);
    }
    // A rate or range box gets its text; a combo box its edit text.
    void type(const QString& name, const QString& text) const {
        if (auto* edit = get<QLineEdit>(name))
            edit->setText(text);
        else
            get(name)->setEditText(text);
    }
    static QStringList items(const QComboBox* b) {
        QStringList out;
        for (int i = 0; i < b->count(); ++i)
            out << b->itemText(i);
        return out;
    }
};
