#pragma once

#include <QString>

namespace pelvane {

// A message with an OK button and no icon, under the program's own title.
void showMessageBox(const QString& text);

} // namespace pelvane
