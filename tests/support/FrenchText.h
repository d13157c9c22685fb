#pragma once

// Whether a text shown to the user reads as French: the English words system and engine texts
// are made of ("No such file or directory", "statement failed", "cannot open") never appear.

#include <QRegularExpression>
#include <QString>
#include <QStringList>

// The English words found in 'text', in order; empty when there are none.
inline QStringList englishWords(const QString& text) {
    static const QRegularExpression words(
        QStringLiteral("\\b(the|such|no|not|cannot|could|failed|failure|error|file|folder|"
                       "directory|statement|disk|denied|read|write|open|unable|"
                       "invalid|database|is|of|or|and|to|too|many|space|left|device|busy)\\b"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    QStringList found;
    auto it = words.globalMatch(text);
    while (it.hasNext())
        found << it.next().captured(1);
    return found;
}
