// A user at the keyboard of the real Grelavo program, for the test that starts it: loaded into
// the program by Qt as a generic plugin (QT_QPA_GENERIC_PLUGINS=grelavodriver), it clicks past
// the start window, types a report's parameters into the boxes, clicks "Rapports", answers any
// message, then quits and answers the quit question. What it sees goes, one line at a time, to
// the file named by GRELAVO_DRIVER_LOG. Keys and clicks go through the window system's entry.

#include "UserInput.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QGenericPlugin>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <iterator>

namespace {

class Driver : public QObject {
public:
    Driver() {
        m_log.setFileName(qEnvironmentVariable("GRELAVO_DRIVER_LOG"));
        m_log.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
        connect(&m_tick, &QTimer::timeout, this, [this] { step(); });
        m_tick.start(50);
        // A program that never gets there is stopped.
        QTimer::singleShot(90000, this, [this] {
            say(QStringLiteral("délai dépassé à l'étape %1").arg(int(m_state)));
            QCoreApplication::exit(3);
        });
    }

private:
    enum class State { Start, Typing, Report, Outcome, Quit, Question, Done };

    void say(const QString& line) {
        m_log.write(line.toUtf8() + '\n');
        m_log.flush();
    }

    static QWidget* named(const QString& name) {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (QWidget* w = top->objectName() == name ? top : top->findChild<QWidget*>(name))
                return w;
        return nullptr;
    }

    // The parameters typed: each box, its keys, and what it shows then.
    void typeNext() {
        static const char* const entries[][2] = {{"cbbApp", "pré"},
                                                 {"cbbNombHerb", "1"},
                                                 {"cbbHerbApp(0)", "atr"},
                                                 {"txtTaux(0)", "1"},
                                                 {"cbbCult", "maïs ("}};
        if (m_typed == int(std::size(entries))) {
            m_state = State::Report;
            return;
        }
        const auto& [name, keys] = entries[m_typed++];
        QWidget* box = named(QString::fromUtf8(name));
        UserInput::typeInto(box, QString::fromUtf8(keys));
        auto* combo = qobject_cast<QComboBox*>(box);
        say(QStringLiteral("%1 = %2").arg(QString::fromUtf8(name),
                                          combo ? combo->currentText()
                                                : static_cast<QLineEdit*>(box)->text()));
    }

    // A message box, once shown: its text is told and it is answered (Yes to a question, else
    // OK).
    bool answerMessage(const QString& prefix) {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->windowHandle() || !box->windowHandle()->isExposed())
            return false;
        QStringList buttons;
        for (QAbstractButton* b : box->buttons())
            buttons << b->text();
        buttons.sort();
        say(prefix + box->text() + QStringLiteral(" [") + buttons.join(QStringLiteral(", ")) +
            QLatin1Char(']'));
        QAbstractButton* button = box->button(QMessageBox::Yes);
        if (!button)
            button = box->button(QMessageBox::Ok);
        UserInput::clickInto(button);
        return true;
    }

    // An action that runs a loop of its own (the report, a question): started apart from the
    // tick, which a timer never runs again while it is still running.
    void later(std::function<void()> action) { QTimer::singleShot(0, this, std::move(action)); }

    void step() {
        switch (m_state) {
        case State::Start:
            if (QWidget* start = QApplication::activeModalWidget();
                start && start->objectName() == QLatin1String("frmStart")) {
                m_state = State::Typing;
                UserInput::clickInto(start->findChild<QLabel*>(QStringLiteral("imaContinuer")));
            }
            break;
        case State::Typing:
            if (QWidget* app = named(QStringLiteral("cbbApp")); app && app->isVisible())
                typeNext();
            break;
        case State::Report:
            m_state = State::Outcome;
            later([] { UserInput::clickInto(named(QStringLiteral("cmdRapport"))); });
            break;
        case State::Outcome:
            if (QWidget* results = named(QStringLiteral("frmResults"));
                results && results->isVisible()) {
                say(QStringLiteral("rapport affiché\u00a0: ") +
                    static_cast<QLabel*>(named(QStringLiteral("StatusLabel(0)")))->text());
                m_state = State::Quit;
            } else if (answerMessage(QStringLiteral("message\u00a0: "))) {
                m_state = State::Quit;
            }
            break;
        case State::Quit:
            m_state = State::Question;
            later([] { named(QStringLiteral("frmMDI"))->close(); });
            break;
        case State::Question:
            if (answerMessage(QStringLiteral("question\u00a0: ")))
                m_state = State::Done;
            break;
        case State::Done:
            break;
        }
    }

    QFile m_log;
    QTimer m_tick;
    State m_state = State::Start;
    int m_typed = 0;
};

class DriverPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "driver.json")

public:
    QObject* create(const QString&, const QString&) override { return new Driver; }
};

} // namespace

#include "GrelavoDriver.moc"
