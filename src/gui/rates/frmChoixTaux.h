#pragma once

#include <QDialog>
#include <QVariant>
#include <QVector>
#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace grelavo {

struct AppState;
class DE;
class DialogService;

// "Sélection des doses d'herbicides": the rate combinations that the experiments hold for the
// chosen mixture, one rate box per herbicide and the ± tolerance. Whichever way it closes, the
// four rates go back into the parameter form's txtTaux(0..3).
class frmChoixTaux : public QDialog {
    Q_OBJECT

public:
    static constexpr int MaxHerbicides = 4;

    // paramForm is the parameter form whose txtTaux(0..3) the window reads and writes.
    frmChoixTaux(AppState& state, DE& de, DialogService& dialogs, QWidget* paramForm,
                 QWidget* parent = nullptr);

    // Rebuilds the rate list for the current herbicides.
    void GetData();

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    void FillRateGrid(int columns, const QVector<QVector<QVariant>>& combinations);
    void mfgHerbicides_Click(int row, int column);
    void mfgHerbicides_LeaveCell(int row, int column);
    void cbbIntervalle_Click(int index);
    void Form_Unload();
    QLineEdit* paramRate(int i) const;
    QWidget* helpArea(QWidget* under) const;
    QString helpText(QObject* area) const;

    AppState& m_state;
    DE& m_de;
    DialogService& m_dialogs;
    QWidget* m_paramForm;
    QGroupBox* m_fraIntervalle = nullptr;
    QGroupBox* m_fraTaux = nullptr;
    QGroupBox* m_fraListTaux = nullptr;
    QComboBox* m_cbbIntervalle = nullptr;
    std::array<QLineEdit*, MaxHerbicides> m_txtTaux{};
    QTableWidget* m_mfgHerbicides = nullptr;
    QLabel* m_lblLabel = nullptr;
};

} // namespace grelavo
