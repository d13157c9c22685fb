#pragma once

#include <QObject>
#include <QPoint>
#include <optional>

namespace grelavo {

// Where the pointer is while it is over one of the program's windows, learnt from the pointer
// events the windows receive anyway. The hover timer reads it 100 times a second; asking the
// display server instead would cost a round trip on each tick.
class PointerTracker : public QObject {
    Q_OBJECT

public:
    // Watches every window of the application until destroyed.
    explicit PointerTracker(QObject* parent = nullptr);

    // The pointer's global position, or nothing once it has left the program's windows.
    std::optional<QPoint> pos() const { return m_pos; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<QPoint> m_pos;
};

} // namespace grelavo
