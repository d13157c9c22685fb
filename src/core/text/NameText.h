#pragma once

#include <QString>
#include <QStringList>

namespace grelavo {

// How names typed by people are compared, and how values are shown in messages. Names come from
// files, spreadsheets and keyboards that write apostrophes, hyphens, case and accents each their
// own way; a list compares them with these forms.
namespace NameText {

// Typographic apostrophes (’ ‘ ʼ) and hyphens (‐ ‑ – —) written as the plain ones.
QString plainMarks(QString name);
// A name as lists compare it: surrounding blanks, case and the style of apostrophes and hyphens
// ignored.
QString folded(const QString& name);
// For closeness: accents dropped too ("Sétaire" and "setaire").
QString plain(const QString& name);
// The name written any other way: blanks, apostrophes and hyphens dropped too.
QString loose(const QString& name);
// Whether the name looks like UTF-8 read as Windows-1252: "Ã" before another character, "Â",
// "â€".
bool looksMisEncoded(const QString& name);
// The number of one-character insertions, deletions and replacements from a to b.
int editDistance(const QString& a, const QString& b);
// Up to 'most' of the candidates nearest to 'name' (few edits apart, or one holding the other),
// the nearest first, ties in alphabetical order; accents and case do not count.
QStringList closest(const QString& name, const QStringList& candidates, int most = 3);
// "« atrazin » n'est pas dans la liste des herbicides ; noms proches : « atrazine »", or
// "(aucun nom proche)" when 'near' is empty; 'list' is the list's plural name.
QString notInList(const QString& name, const QString& list, const QStringList& near);
// "de dicamba", "d'atrazine": "de" before the name, elided before a vowel or a mute h.
QString ofName(const QString& name);
// The text on one line: line breaks, tabs and other control characters written as escapes
// (\n, \t, \x1b).
QString oneLine(const QString& text);
// A value as messages show it, on one line and in French quotation marks, cut with "…" past
// 'longest' characters: « … ».
QString quoted(const QString& text, int longest = 80);
// A file's path as messages show it: with the system's separators, in French quotation marks.
QString quotedPath(const QString& path);

} // namespace NameText

} // namespace grelavo
