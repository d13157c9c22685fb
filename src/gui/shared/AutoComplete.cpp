#include "AutoComplete.h"

#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace grelavo {

namespace {

int firstItemStartingWith(const QComboBox* box, const QString& s) {
    for (int i = 0; i < box->count(); ++i)
        if (box->itemText(i).left(s.size()).compare(s, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// The text of the box and a selection from `from` to its end.
void show(QComboBox* box, const QString& text, int from) {
    box->setEditText(text);
    from = qBound(0, from, int(text.size()));
    box->lineEdit()->setSelection(text.size(), from - int(text.size()));
}

} // namespace

AutoComplete::AutoComplete(QComboBox* box) : QObject(box), m_box(box) {}

void AutoComplete::attach(QComboBox* box) {
    if (!box->isEditable())
        return;
    auto* filter = new AutoComplete(box);
    box->installEventFilter(filter);
    connect(box, &QComboBox::editTextChanged, filter,
            [filter](const QString& text) { filter->chooseNamedItem(text); });
}

bool AutoComplete::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::InputMethod) {
        // A character composed by an input method (a dead key, a compose sequence) arrives
        // committed, not as a key press: it completes like a typed one.
        auto* input = static_cast<QInputMethodEvent*>(event);
        if (!input->preeditString().isEmpty() || input->commitString().isEmpty() ||
            input->replacementLength() != 0 || m_box->count() == 0)
            return false;
        for (const QChar c : input->commitString())
            keyPress(m_box, Qt::Key_unknown, QString(c));
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    return keyPress(m_box, key->key(), key->text());
}

int AutoComplete::itemNamed(const QComboBox* box, const QString& text) {
    const int exact = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    return exact >= 0 ? exact : box->findText(text, Qt::MatchFixedString);
}

bool AutoComplete::holdsItemOrNothing(const QComboBox* box) {
    const QString text = box->currentText();
    const int index = box->currentIndex();
    return text.isEmpty() || (index >= 0 && box->itemText(index) == text);
}

// Text put into the box without a key (pasted over the old choice, dropped) that names an item
// chooses it, so the choice and what the box shows never differ.
void AutoComplete::chooseNamedItem(const QString& text) {
    if (text.isEmpty() || holdsItemOrNothing(m_box))
        return;
    const int named = itemNamed(m_box, text);
    if (named < 0)
        return;
    if (named == m_box->currentIndex())
        m_box->setEditText(m_box->itemText(named)); // the item's own letter case
    else
        m_box->setCurrentIndex(named);
}

bool AutoComplete::keyPress(QComboBox* box, int key, const QString& typed) {
    if (!box->isEditable() || box->count() == 0)
        return false;
    const bool backspace = key == Qt::Key_Backspace;
    if (!backspace && (typed.isEmpty() || !typed[0].isPrint()))
        return false; // not a character: the box's own handling
    QLineEdit* edit = box->lineEdit();
    const QString text = edit->text();
    const int length = int(text.size());
    const int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    const int selected = edit->hasSelectedText() ? int(edit->selectedText().size()) : 0;

    QString s;
    if (backspace) {
        if (start == 0 && selected == 0)
            return false;
        if (selected >= length - 1) {
            // The whole text (or all but one character) goes: the box empties itself after the
            // first item has been chosen, as it always has.
            box->setCurrentIndex(0);
            show(box, box->itemText(0), 0);
            return false;
        }
        if (start + selected == length) {
            s = text.left(start - 1);
        } else if (selected == 0) {
            s = text.left(start - 1) + text.mid(start);
            box->setEditText(s);
        } else {
            s = text.left(start) + text.mid(start + selected);
            box->setEditText(s);
        }
    } else if (length > 1 && selected == 0 && start < length) {
        s = text.left(start) + typed + text.mid(start);
    } else {
        s = text.left(start) + typed;
    }

    const int previous = box->currentIndex();
    const int found = firstItemStartingWith(box, s);
    if (found >= 0) {
        box->setCurrentIndex(found);
        show(box, box->itemText(found), int(s.size()));
    } else {
        box->setCurrentIndex(previous);
        const QString kept = previous >= 0 ? box->itemText(previous) : QString();
        show(box, kept, start > 0 ? int(s.size()) - 1 : int(s.size()));
    }
    return true;
}

} // namespace grelavo
