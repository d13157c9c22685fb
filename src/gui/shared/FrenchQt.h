#pragma once

class QCoreApplication;

namespace grelavo {

// Loads Qt's own French texts (standard buttons, the print and file dialogs) whatever the
// system's language, since the whole program speaks French; numbers keep the user's format.
// False when Qt's French translations are not installed (Qt then speaks English).
bool installFrenchQtTexts(QCoreApplication& app);

} // namespace grelavo
