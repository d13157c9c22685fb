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

class DE;
class DialogService;

// "Sélection des doses d'herbicides": the rate combinations that the experiments hold for the
// chosen mixture, one rate box per herbicide and the ± tolerance. It takes the mixture, the four
// rates of the parameter form and the tolerance and, whichever way it closes, gives four rates
// and the tolerance back (rates(), rateInterval()).
class frmChoixTaux : public QDialog {
    Q_OBJECT

public:
    static constexpr int MaxHerbicides = 4;

    using Rates = std::array<QString, MaxHerbicides>;

    // The herbicides chosen on the form, in their order, and the application period they are
    // applied at.
    struct Mixture {
        qint16 applicationType = 0;
        qint16 count = 0;
        std::array<qint16, MaxHerbicides> ids{};
        std::array<QString, MaxHerbicides> names; // the grid's headings
    };

    frmChoixTaux(DE& de, DialogService& dialogs, const Mixture& mixture, const Rates& rates,
                 qint16 rateInterval, QWidget* parent = nullptr);

    // The four rates as the window leaves them, in the user's number format (once closed).
    const Rates& rates() const { return m_rates; }
    // The ± tolerance last chosen, or the one given.
    qint16 rateInterval() const { return m_rateInterval; }

    // Rebuilds the rate list for the current herbicides.
    void GetData();

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    // The parts of the window, built in this order; each frame follows the pointer.
    void buildIntervalFrame();
    void buildRatesFrame();
    void buildListFrame();
    void track(QWidget* w);
    void Form_Load();
    void FillRateGrid(int columns, const QVector<QVector<QVariant>>& combinations);
    void mfgHerbicides_Click(int row, int column);
    void mfgHerbicides_LeaveCell(int row, int column);
    void cbbIntervalle_Click(int index);
    void Form_Unload();
    QWidget* helpArea(QWidget* under) const;
    QString helpText(QObject* area) const;

    DE& m_de;
    DialogService& m_dialogs;
    Mixture m_mixture;
    Rates m_rates;
    qint16 m_rateInterval;
    QGroupBox* m_fraIntervalle = nullptr;
    QGroupBox* m_fraTaux = nullptr;
    QGroupBox* m_fraListTaux = nullptr;
    QComboBox* m_cbbIntervalle = nullptr;
    std::array<QLineEdit*, MaxHerbicides> m_txtTaux{};
    QTableWidget* m_mfgHerbicides = nullptr;
    QLabel* m_lblLabel = nullptr;
};

} // namespace grelavo
