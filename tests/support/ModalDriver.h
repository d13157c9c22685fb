#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>

// Runs an action on the next modal window to appear (a modal window blocks the test until it
// closes, so the test arranges beforehand what to do with it).
inline void whenModalShows(const std::function<void(QWidget*)>& action) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            action(modal);
        }
    });
    poll->start(10);
}
