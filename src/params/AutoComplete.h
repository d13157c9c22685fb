#pragma once

#include <QObject>

class QComboBox;

namespace grelavo {

// Type-ahead in an editable combo box: each typed character completes the text from the box's
// own list (the untyped rest of the first matching item shown selected), and a character that
// would lead outside the list is refused. Letter case is ignored while matching.
class AutoComplete : public QObject {
    Q_OBJECT

public:
    // Watches the box's key presses for as long as the box lives.
    static void attach(QComboBox* box);

    // The key handling itself: true when the key was taken (the box must not process it).
    static bool keyPress(QComboBox* box, int key, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit AutoComplete(QComboBox* box);
    QComboBox* m_box;
};

} // namespace grelavo
