#pragma once

#include "core/db/DataAccess.h"
#include "core/db/FrenchCollation.h"

#include <QCollator>
#include <QComboBox>
#include <QSignalBlocker>
#include <algorithm>

namespace grelavo {

// Puts list rows into a combo box: one item per row, the row's key as the item's data.
// Filling chooses nothing: the box ends with no item selected and its text as it was.
inline void fillCombo(QComboBox* combo, const QVector<ListRow>& rows) {
    const QSignalBlocker quiet(combo);
    const QString text = combo->currentText();
    combo->clear();
    for (const ListRow& row : rows)
        combo->addItem(row.text, row.id);
    combo->setCurrentIndex(-1);
    if (combo->isEditable())
        combo->setEditText(text);
}

// A sorted box keeps its items in French order whatever the order of the rows.
inline QVector<ListRow> inFrenchOrder(QVector<ListRow> rows) {
    const QCollator& collator = FrenchCollation::frenchOrder();
    std::stable_sort(rows.begin(), rows.end(), [&](const ListRow& a, const ListRow& b) {
        return collator.compare(a.text, b.text) < 0;
    });
    return rows;
}

} // namespace grelavo
