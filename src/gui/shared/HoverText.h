#pragma once

#include <QString>

class QWidget;

namespace grelavo {

// What the help line of the status bar says of a control. Each window describes its own controls
// where it builds them; the shell's help line (app/HoverHelp) reads the descriptions and never
// looks a control up by name.
namespace HoverText {

// The text of the background: what to do next.
QString generalPrompt();

// Shown as soon as the pointer moves over w (an empty text clears the line).
void describe(QWidget* w, const QString& text);

// Shown while the pointer rests over w on the page shown. A combo box hands the pointer's moves
// to its own parts, so the shell's timer compares the pointer with these boxes instead. weed is
// the extra-weed box w is (0 to 4), or -1.
void describePolled(QWidget* w, const QString& text, int weed = -1);

bool isDescribed(const QWidget* w);
bool isPolled(const QWidget* w);
QString of(const QWidget* w);
int weedIndex(const QWidget* w);

} // namespace HoverText

} // namespace grelavo
