#pragma once

#include <QString>

namespace grelavo {

class DialogService;

// At start, for a user working on a copy of the shipped database: when a newer edition has been
// installed since, says so and offers to move to it, carrying the trials the user imported.
// Asked again at every start until the user moves. Says how the move went.
void offerNewerEdition(const QString& workingCopy, const QString& shipped, DialogService& dialogs);

} // namespace grelavo
