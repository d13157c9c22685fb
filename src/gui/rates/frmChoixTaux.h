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
// chosen mixture (read from the application state), one rate box per herbicide and the ±
// tolerance. It takes the four rates of the parameter form and, whichever way it closes, gives
// four rates back (rates()); a tolerance chosen is the application state's at once.
class frmChoixTaux : public QDialog {
    Q_OBJECT

public:
    static constexpr int MaxHerbicides = 4;

    using Rates = std::array<QString, MaxHerbicides>;

    frmChoixTaux(AppState& state, DE& de, DialogService& dialogs, const Rates& rates,
                 QWidget* parent = nullptr);

    // The four rates as the window leaves them, in the user's number format (once closed).
    const Rates& rates() const { return m_rates; }

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
    QWidget* helpArea(QWidget* under) const;
    QString helpText(QObject* area) const;

    AppState& m_state;
    DE& m_de;
    DialogService& m_dialogs;
    Rates m_rates;
    QGroupBox* m_fraIntervalle = nullptr;
    QGroupBox* m_fraTaux = nullptr;
    QGroupBox* m_fraListTaux = nullptr;
    QComboBox* m_cbbIntervalle = nullptr;
    std::array<QLineEdit*, MaxHerbicides> m_txtTaux{};
    QTableWidget* m_mfgHerbicides = nullptr;
    QLabel* m_lblLabel = nullptr;
};

} // namespace grelavo
