#pragma once

#include <QWidget>
#include <array>

class QComboBox;
class QRadioButton;
class QTabWidget;

namespace grelavo {

struct AppState;
class DE;
class DialogService;

// The parameter form: four pages, one tab control each, holding the parameter set.
class frmParam : public QWidget {
    Q_OBJECT

public:
    static constexpr int Pages = 4;

    frmParam(AppState& state, DE& de, DialogService& dialogs, QWidget* parent = nullptr);

    QTabWidget* sstParam(int i) const { return m_pages.at(i); }

    // Fill the lists of a page from the database (each is called once, the first time its page
    // is shown).
    void Fill_cbbApp();
    void Fill_Culture();
    void Fill_Site();
    void Fill_MauvHerb();
    // Clears the mandatory page ("Obligatoire") or every optional page ("Optionnel").
    void EmptyControls(const QString& which);

private:
    QWidget* buildMandatoryPage();
    QWidget* buildCropPage(int tab);
    QWidget* buildSitePage();
    QWidget* buildWeedPage();
    QComboBox* combo(const QString& name, bool editable = true);

    AppState& m_state;
    DE& m_de;
    DialogService& m_dialogs;
    std::array<QTabWidget*, Pages> m_pages{};
};

} // namespace grelavo
