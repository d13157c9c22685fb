// The main window on the screen it is given (ctest runs this on several: a small one, one of two
// device pixels to a pixel, one scaled by 150 %; GRELAVO_SCREEN_RATIO says the ratio to expect).

#include "StartedProgram.h"
#include "gui/app/BarLayout.h"
#include "gui/params/frmParam.h"
#include "gui/results/frmResults.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

using namespace grelavo;

namespace {

// The report of atrazine at 1 kg/ha on all corn, shown.
void showReport(StartedProgram& s) {
    s.chooseAtrazineOnAllCorn(QStringLiteral("1"));
    s.window->cmdRapport_Click();
    QVERIFY(s.window->state().ResultsShown);
}

} // namespace

class TestScreens : public QObject {
    Q_OBJECT

private:
    static qreal expectedRatio() {
        return qEnvironmentVariableIsSet("GRELAVO_SCREEN_RATIO")
                   ? qEnvironmentVariable("GRELAVO_SCREEN_RATIO").toDouble()
                   : 1.0;
    }

    // No group button is covered: what lies under every part of it is the button itself.
    static void groupButtonsUncovered(const StartedProgram& s, const QString& where) {
        auto* bar = s.get<QWidget>(QStringLiteral("picListBar"));
        for (const char* name : {"cmdObligatoire", "cmdOptionnel", "cmdRapport"}) {
            auto* button = s.get<QPushButton>(QLatin1String(name));
            const QRect r = button->geometry().adjusted(1, 1, -1, -1);
            for (const QPoint& p :
                 {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight(), r.center()}) {
                const QWidget* under = bar->childAt(p);
                QVERIFY2(under == button || button->isAncestorOf(under),
                         qPrintable(QStringLiteral("%1 under %2 at %3")
                                        .arg(under ? under->objectName() : QString(),
                                             QLatin1String(name), where)));
            }
        }
    }

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::French, QLocale::Canada)); }

    void windowFitsTheRoomOfTheScreenAndCanBeResized() {
        StartedProgram s;
        QCOMPARE(s.window->devicePixelRatioF(), expectedRatio());
        const QRect room = s.window->screen()->availableGeometry();
        QVERIFY2(room.contains(s.window->frameGeometry()),
                 qPrintable(QDebug::toString(s.window->frameGeometry()) + " in " +
                            QDebug::toString(room)));
        QCOMPARE(s.window->size(),
                 QSize(qRound(room.width() * 0.85), qRound(room.height() * 0.77)));
        QVERIFY(s.window->minimumSize().width() <= room.width() &&
                s.window->minimumSize().height() <= room.height());
        QVERIFY(s.window->minimumSize().width() >= qMin(s.window->width(), 600));
        QVERIFY(s.window->maximumSize().width() > room.width()); // not fixed
        s.window->resize(room.size());
        QCOMPARE(s.window->size(), room.size());
    }

    // The page on screen is drawn for the screen's pixels, not a picture of 96 dpi made larger;
    // what is copied stays the page at one pixel for 15 twips.
    void reportPageIsDrawnAtTheScreensPixelRatio() {
        StartedProgram s;
        showReport(s);
        const qreal ratio = s.window->devicePixelRatioF();
        auto* picture = s.get<QLabel>(QStringLiteral("Picture2"));
        const QPixmap shown = picture->pixmap();
        QCOMPARE(shown.devicePixelRatio(), ratio);
        QCOMPARE(shown.size(), picture->size() * ratio);
        QCOMPARE(picture->size(), s.window->results()->pageImage().size());
        QCOMPARE(s.window->results()->pageImage().devicePixelRatio(), 1.0);
        if (ratio > 1) {
            // Not the page image made larger, whichever way: drawn again for the screen.
            const QImage fine = shown.toImage().convertToFormat(QImage::Format_RGB32);
            const QImage page = s.window->results()->pageImage();
            for (Qt::TransformationMode mode : {Qt::FastTransformation, Qt::SmoothTransformation}) {
                const QImage larger = page.scaled(fine.size(), Qt::IgnoreAspectRatio, mode)
                                          .convertToFormat(QImage::Format_RGB32);
                qint64 differing = 0;
                for (int y = 0; y < fine.height(); ++y)
                    for (int x = 0; x < fine.width(); ++x)
                        differing += fine.pixel(x, y) != larger.pixel(x, y);
                QVERIFY2(differing * 100 > qint64(fine.width()) * fine.height(),
                         qPrintable(QString::number(differing)));
            }
        }
    }

    // In the smallest window, every control of the mandatory page is reached by Tab and
    // scrolled into view.
    void everyMandatoryControlIsReachedAndScrolledIntoView() {
        StartedProgram s;
        s.window->resize(s.window->minimumSize());
        s.chooseAtrazineOnAllCorn();
        auto* scroller = s.get<QScrollArea>(QStringLiteral("frmParamScroller"));
        QVERIFY(scroller);
        const QSize page = s.window->param()->sstParam(0)->size();
        QTRY_COMPARE(scroller->horizontalScrollBar()->isVisible(),
                     scroller->viewport()->width() < page.width());
        QTRY_COMPARE(scroller->verticalScrollBar()->isVisible(),
                     scroller->viewport()->height() < page.height());
        QVERIFY(scroller->horizontalScrollBar()->isVisible() ||
                scroller->verticalScrollBar()->isVisible()); // the test means something

        QTabWidget* mandatory = s.window->param()->sstParam(0);
        QStringList controls;
        for (QWidget* w : mandatory->findChildren<QWidget*>())
            if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisible() &&
                !w->objectName().isEmpty() && !qobject_cast<QComboBox*>(w->parentWidget()))
                controls << w->objectName();
        QVERIFY(controls.size() >= 5);
        for (const QString& name : controls) {
            QVERIFY2(UserInput::tabTo(name), qPrintable(name));
            QWidget* w = mandatory->findChild<QWidget*>(name);
            // Whole, or as much of it as the area can show.
            const QRect shown(w->mapTo(scroller->viewport(), QPoint(0, 0)), w->size());
            const QRect room = scroller->viewport()->rect();
            const QRect seen = shown.intersected(room);
            QVERIFY2(seen.height() == qMin(shown.height(), room.height()) &&
                         seen.width() >= qMin(shown.width(), room.width() - 16),
                     qPrintable(name + ' ' + QDebug::toString(shown) + " seen " +
                                QDebug::toString(seen) + " in " + QDebug::toString(room)));
        }
        QVERIFY(s.dialogs.messages.isEmpty());
    }

    // The window maximised on a screen of 1024 × 600 pixels (at 100 or 125 %): each page of the
    // form fits the width of its area (no horizontal scroll bar, every control within it, every
    // button wide enough for its text), and the optional pages open at their left edge, their
    // tab in sight.
    void everyPageFitsTheWidthOfASmallScreen() {
        StartedProgram s;
        const QScreen* screen = s.window->screen();
        if ((QSizeF(screen->geometry().size()) * screen->devicePixelRatio()).toSize() !=
            QSize(1024, 600))
            QSKIP("not a screen of 1024 × 600 pixels");
        s.window->showMaximized();
        const QSize room = screen->availableGeometry().size(); // to a pixel once scaled
        QTRY_VERIFY((s.window->frameGeometry().size() - room).width() <= 1 &&
                    (s.window->frameGeometry().size() - room).height() <= 1);
        auto* scroller = s.get<QScrollArea>(QStringLiteral("frmParamScroller"));
        const auto fits = [&](const QString& where) {
            QTabWidget* page = nullptr;
            for (int i = 0; i < frmParam::Pages; ++i)
                if (s.window->param()->sstParam(i)->isVisible())
                    page = s.window->param()->sstParam(i);
            QVERIFY2(page, qPrintable(where));
            QTRY_VERIFY2(!scroller->horizontalScrollBar()->isVisible(), qPrintable(where));
            QCOMPARE(scroller->horizontalScrollBar()->value(), 0);
            const int room = scroller->viewport()->width();
            QWidgetList shown{page, page->tabBar()};
            for (QWidget* w : page->currentWidget()->findChildren<QWidget*>())
                if (w->isVisible())
                    shown << w;
            for (QWidget* w : shown) {
                const QRect r(w->mapTo(scroller->viewport(), QPoint(0, 0)), w->size());
                QVERIFY2(r.left() >= 0 && r.right() < room,
                         qPrintable(QStringLiteral("%1: %2 at %3 in %4")
                                        .arg(where, w->objectName(), QDebug::toString(r))
                                        .arg(room)));
                if (auto* button = qobject_cast<QPushButton*>(w))
                    QVERIFY2(button->width() >= button->sizeHint().width(),
                             qPrintable(QStringLiteral("%1: %2 is %3 wide for %4")
                                            .arg(where, button->text())
                                            .arg(button->width())
                                            .arg(button->sizeHint().width())));
            }
        };
        s.window->cmdObligatoire_Click();
        s.chooseAtrazineOnAllCorn(QStringLiteral("1")); // the herbicide section shown
        fits(QStringLiteral("mandatory page"));
        s.click(QStringLiteral("cmdOptionnel"));
        fits(QStringLiteral("crop page"));
        QTabWidget* crop = s.window->param()->sstParam(1);
        const QRect tab = crop->tabBar()->tabRect(1);
        QTest::mouseClick(crop->tabBar(), Qt::LeftButton, Qt::NoModifier, tab.center());
        QCOMPARE(crop->currentIndex(), 1);
        fits(QStringLiteral("crop stage page"));
        for (int strip : {4, 5}) {
            s.window->ListBar_ButtonClick(strip);
            fits(QStringLiteral("page of strip button %1").arg(strip));
        }
        // Back to the optional pages: they open at their left edge once more.
        s.click(QStringLiteral("cmdObligatoire"));
        s.click(QStringLiteral("cmdOptionnel"));
        fits(QStringLiteral("crop page again"));
    }

    // However tall the window, the strip of commands shows between the group buttons and never
    // over them, scrolled to its end or not.
    void stripNeverCoversTheGroupButtons() {
        StartedProgram s;
        showReport(s);
        const QRect room = s.window->screen()->availableGeometry();
        const int shortest = s.window->minimumSize().height();
        for (int h = shortest; h <= room.height(); h += qMax(1, (room.height() - shortest) / 6)) {
            s.window->resize(s.window->width(), h);
            for (int g = 0; g < 3; ++g) {
                if (g == 0)
                    s.window->cmdObligatoire_Click();
                else if (g == 1)
                    s.window->cmdOptionnel_Click();
                else
                    s.window->cmdRapport_Click();
                QCOMPARE(s.window->CurrentGroup(), g);
                const QString where = QStringLiteral("group %1, height %2").arg(g).arg(h);
                groupButtonsUncovered(s, where);
                auto* down = s.get<QToolButton>(QStringLiteral("cmdDown"));
                for (int i = 0; i < 20 && down->isVisible(); ++i)
                    QTest::mouseClick(down, Qt::LeftButton);
                groupButtonsUncovered(s, where + QStringLiteral(", scrolled"));
            }
        }
    }
};

QTEST_MAIN(TestScreens)
#include "TestScreens.moc"
