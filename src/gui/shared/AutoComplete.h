#pragma once

#include <QObject>

class QComboBox;

namespace grelavo {

// Type-ahead in an editable combo box: each typed character completes the text from the box's
// own list (the untyped rest of the first matching item shown selected), and a character that
// would lead outside the list is refused. Letter case is ignored while matching.
//
// The keys are taken where the window system delivers them: to the focused combo box itself
// (it passes them on to its line edit by a direct call that no filter of the line edit sees).
// Text that reaches the box another way (pasted, dropped) and names an item chooses that item.
class AutoComplete : public QObject {
    Q_OBJECT

public:
    // Watches the box's key presses and text for as long as the box lives.
    static void attach(QComboBox* box);

    // The key handling itself: true when the key was taken (the box must not process it).
    static bool keyPress(QComboBox* box, int key, const QString& text);

    // The item whose text is `text` (letter case ignored, an exact match first), or -1.
    static int itemNamed(const QComboBox* box, const QString& text);
    // Whether the box holds nothing or the text of its chosen item: what the box shows is
    // then what is used.
    static bool holdsItemOrNothing(const QComboBox* box);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit AutoComplete(QComboBox* box);
    void chooseNamedItem(const QString& text);

    QComboBox* m_box;
};

} // namespace grelavo
