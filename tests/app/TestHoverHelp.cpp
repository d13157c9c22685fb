#include "StartedProgram.h"
#include "gui/app/HoverHelp.h"
#include "gui/params/frmParam.h"
#include "gui/results/frmResults.h"
#include "gui/shared/HoverText.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTabBar>
#include <QTimer>
#include <QWindow>

using namespace grelavo;

class TestHoverHelp : public QObject {
    Q_OBJECT

private:
    struct Started : StartedProgram {
        QString line() const { return status(1); }
        // One tick of the timer with the pointer over a control of the form (its middle unless
        // told).
        void pointAt(const char* name, QPoint at = QPoint(-1, -1)) {
            QWidget* w = window->param()->findChild<QWidget*>(QLatin1String(name));
            QVERIFY2(w, name);
            window->findChild<HoverHelp*>()->tick(
                window->CurrentPage(), w->mapToGlobal(at.x() < 0 ? w->rect().center() : at));
        }
        void moveOver(QWidget* w) {
            QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)),
                             Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(w, &move);
        }
    };

private slots:
    void stripTextFollowsThePointersHeight() {
        QCOMPARE(HoverHelp::stripText(1, 59, 60),
                 QStringLiteral("Appuyez ici pour entrer les Informations relatives à la culture "
                                "et aux antécédents culturaux"));
        QVERIFY(HoverHelp::stripText(1, 60, 60).startsWith(
            QStringLiteral("Appuyez ici pour entrer les Informations relatives au site"))); // lower
        QVERIFY(HoverHelp::stripText(1, 300, 60).isEmpty()); // below the last button
        QCOMPARE(HoverHelp::stripText(2, 10, 60),
                 QStringLiteral("Appuyez ici pour copier le rapport"));
    }

    // A check that brings the weed page forward brings its help with it.
    void thePageACheckBringsForwardIsTheOneDescribed() {
        Started s;
        s.chooseAtrazineOnAllCorn(QStringLiteral("1"));
        s.window->cmdOptionnel_Click();
        s.window->ListBar_ButtonClick(5); // the weed page, its lists filled
        auto* weed = s.get(QStringLiteral("cbbMauvHerb(1)"));
        weed->setEditText(QStringLiteral("zz")); // pasted: no item
        s.window->cmdObligatoire_Click();
        s.window->cmdRapport_Click();
        QVERIFY(s.dialogs.messages.last().text.contains(QStringLiteral("Mauvaise herbe 2")));
        QVERIFY(s.window->param()->sstParam(3)->isVisible());
        QCOMPARE(s.window->CurrentPage(), 4);
        s.pointAt("cbbMauvHerb(1)");
        QVERIFY2(s.line().startsWith(QStringLiteral("Entrez au clavier ou sélectionnez une m.h.")),
                 qPrintable(s.line()));
    }

    void theTimerDescribesTheComboBoxUnderThePointer() {
        Started s;
        QVERIFY(s.window->Timer1()->isActive());
        QCOMPARE(s.window->Timer1()->interval(), 10);
        s.pointAt("cbbCult");
        const QStringList lines = s.line().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[1].startsWith(QStringLiteral("Le choix 'Maïs (tous)'")));
        s.pointAt("cbbHerbApp(2)");
        QVERIFY(
            s.line().startsWith(QStringLiteral("Entrez au clavier ou sélectionnez l'herbicide")));

        s.window->cmdOptionnel_Click();
        s.pointAt("cbbCultEcart");
        QVERIFY(s.line().endsWith(QStringLiteral("l'écart (en cm) entre les rangs de maïs semés")));
        s.window->ListBar_ButtonClick(4);
        s.pointAt("cbbSiteMatOrgDe");
        const QString organicMatter = s.line();
        s.pointAt("cbbSiteProv");
        s.pointAt("cbbSiteMatOrgA");
        QCOMPARE(s.line(), organicMatter);
        QVERIFY(organicMatter.endsWith(QStringLiteral("le pourcentage de matière organique")));

        s.window->ListBar_ButtonClick(5);
        s.pointAt("cbbMauvHerb(3)");
        QCOMPARE(s.window->state().HoverWeedIndex, qint16(3));
        s.pointAt("fraMauvHerb", QPoint(2, 2)); // not a box: the index stays
        QCOMPARE(s.window->state().HoverWeedIndex, qint16(3));
        // A window in front of a box: the box is not under the pointer.
        QWidget* box = s.window->param()->findChild<QWidget*>("cbbMauvHerb(1)");
        QWidget front;
        front.setGeometry(QRect(box->mapToGlobal(QPoint(0, 0)), box->size()));
        front.show();
        s.pointAt("cbbMauvHerb(1)");
        QCOMPARE(s.window->state().HoverWeedIndex, qint16(3));
    }

    void theTimerFollowsThePointerUntilItLeavesTheWindow() {
        Started s;
        const auto tick = [&] { QMetaObject::invokeMethod(s.window->Timer1(), "timeout"); };
        QWindow* window = s.window->windowHandle();
        const QPoint overApp = s.get<QWidget>("cbbApp")->mapToGlobal(QPoint(4, 4));
        QMouseEvent move(QEvent::MouseMove, window->mapFromGlobal(overApp), overApp, Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(window, &move);
        tick();
        QVERIFY(s.line().startsWith(QStringLiteral("Entrez au clavier ou sélectionnez dans "
                                                   "la liste le type d'application")));
        // Once the pointer has left the window, the place it left from is not described again.
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(window, &leave);
        s.get<QLabel>("StatusLabel(1)")->clear();
        tick();
        QVERIFY(s.line().isEmpty());
    }

    // Every box, rate and button a user can reach on the four pages says what it is for, but the
    // formulation and concentration boxes (they follow from the herbicide).
    void everyControlOfTheFormIsDescribed() {
        Started s;
        const std::function<void()> show[4] = {
            [&] { s.window->cmdObligatoire_Click(); }, [&] { s.window->cmdOptionnel_Click(); },
            [&] { s.window->ListBar_ButtonClick(4); }, [&] { s.window->ListBar_ButtonClick(5); }};
        int described = 0;
        QStringList silent;
        for (int page = 0; page < 4; ++page) {
            show[page]();
            for (QWidget* w : s.window->param()->sstParam(page)->findChildren<QWidget*>()) {
                auto* edit = qobject_cast<QLineEdit*>(w);
                const bool reached = qobject_cast<QAbstractButton*>(w) ||
                                     qobject_cast<QComboBox*>(w) ||
                                     (edit && !edit->isReadOnly() &&
                                      !qobject_cast<QComboBox*>(edit->parentWidget()));
                if (!reached || qobject_cast<QTabBar*>(w->parentWidget()))
                    continue;
                s.get<QLabel>("StatusLabel(1)")->clear();
                if (qobject_cast<QComboBox*>(w) || w->objectName() == QLatin1String("cmdTaux"))
                    s.pointAt(qPrintable(w->objectName()));
                else
                    s.moveOver(w);
                if (s.line().isEmpty() || s.line() == HoverText::generalPrompt())
                    silent << w->objectName();
                else
                    ++described;
            }
        }
        QStringList formulations;
        for (int i = 0; i < 4; ++i)
            formulations << QStringLiteral("cbbFormApp(%1)").arg(i)
                         << QStringLiteral("txtConcApp(%1)").arg(i);
        QCOMPARE(silent, formulations);
        QCOMPARE(described, 38);
    }

    void mouseMovesWriteTheirTexts() {
        Started s;
        s.moveOver(s.window->findChild<QPushButton*>("cmdRapport"));
        QCOMPARE(s.line(), QStringLiteral("Appuyez ici pour produire les rapports"));
        s.moveOver(s.window->param()->findChild<QWidget*>("txtTaux(0)"));
        QVERIFY(s.line().startsWith(QStringLiteral("Entrez ici le taux d'application")));
        s.moveOver(s.window->param());
        QCOMPARE(s.line(), HoverText::generalPrompt());
        s.moveOver(s.window->results());
        QVERIFY(s.line().isEmpty());
        // Over the report shown, nothing either.
        s.chooseAtrazineOnAllCorn(QStringLiteral("1"));
        s.window->cmdRapport_Click();
        QVERIFY(s.window->state().ResultsShown);
        s.get<QLabel>("StatusLabel(1)")->setText(QStringLiteral("texte"));
        s.moveOver(s.get<QLabel>("Picture2"));
        QVERIFY(s.line().isEmpty());
    }
};

QTEST_MAIN(TestHoverHelp)
#include "TestHoverHelp.moc"
