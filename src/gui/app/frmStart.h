#pragma once

#include <QDialog>

namespace grelavo {

class PressImage;

// The start window: a designed picture with its "continue" image. Closing it in any way lets
// the program go on to the main window; Enter and Space continue as the image does.
class frmStart : public QDialog {
    Q_OBJECT

public:
    explicit frmStart(QWidget* parent = nullptr);
    PressImage* imaContinuer() const { return m_continue; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    PressImage* m_continue = nullptr;
};

} // namespace grelavo
