#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace pelvane {

void showMessageBox(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

} // namespace pelvane
