#pragma once

#include "core/report/InputCheck.h"
#include "core/report/ParameterSet.h"

#include <QWidget>
#include <array>
#include <optional>

class QComboBox;
class QResizeEvent;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace grelavo {

struct AppState;
class DE;
class DialogService;
class WeedDropDown;

// Centres obj in frm (never past its top left corner).
void CenterInForm(QWidget* obj, const QWidget* frm);

// The parameter form: four pages, one tab control each, holding the parameter set.
class frmParam : public QWidget {
    Q_OBJECT

public:
    static constexpr int Pages = 4;

    static constexpr int Rows = 4;

    frmParam(AppState& state, DE& de, DialogService& dialogs, QWidget* parent = nullptr);

    // The herbicide section emptied and disabled, the introduction written.
    void Form_Load();
    // The backdrop fills the form; every page and the introduction are centred in it.
    void Form_Resize();
    // Hides the form, closes the database connection and gives the weed boxes their own list
    // back.
    void Form_Unload();

    QTabWidget* sstParam(int i) const { return m_pages.at(i); }
    // The width the widest page's controls need, and the pages' designed height: narrower, the
    // form must scroll.
    QSize minimumSizeHint() const override;

    // The pages as the main window asks for them: all hidden, or page i shown on its first tab.
    void hidePages();
    void showPage(int i);

    // The four rate boxes' texts, and new texts for them (from the rate picker).
    std::array<QString, Rows> rates() const;
    void setRates(const std::array<QString, Rows>& rates);

    // What the checks before a report give: the parameter set when nothing is missing and every
    // number and range reads, otherwise the message of the first problem found.
    struct Needed {
        std::optional<ParameterSet> parameters;
        QString problem;
    };
    // Checks the mandatory parameters, then every number and every range; on the first problem
    // shows its message and brings its page and control forward.
    Needed GoTAllNeeded();
    // The parameter set as the controls hold it, for the report engine.
    ParameterSet readParameters() const;

    // Fill the lists of a page from the database (each is called once, the first time its page
    // is shown).
    void Fill_cbbApp();
    void Fill_Culture();
    void Fill_Site();
    void Fill_MauvHerb();
    // Clears the mandatory page ("Obligatoire") or every optional page ("Optionnel").
    void EmptyControls(const QString& which);
    // After the database changed under the form (an import): the lists of the pages shown so far
    // read again at once (the others the first time their page is shown) and every entry kept.
    // An entry that its list no longer holds is cleared; the cleared entries are returned, each
    // as "Herbicide 2 : mésotrione".
    QStringList ReloadLists();

signals:
    // What the form asks of the main window: the mandatory parameters' group and its page
    // brought forward, the optional parameters' group, the rate picker.
    void mandatoryPageWanted();
    void optionalPagesWanted();
    void ratePickerWanted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // "name(i)", the object name of control i of a control array.
    static QString indexed(const char* name, int i);

    // The herbicide section and its rows.
    void ResetHerbicideSection();
    void DisableHerbicideLabels();
    void EnableHerbicideSection();
    void DisableHerbicideRow(int i);
    void EnableHerbicideRow(int i);
    void ClearHerbicideRows(int first, int last);
    void ClearFollowingRows(int i, int last);
    void setInputColour(QWidget* w, bool enabled);

    // Choices and changes.
    void cbbApp_Click();
    void cbbApp_Change();
    void cbbNombHerb_Click();
    void cbbHerbApp_Click(int r);
    void cbbHerbApp_Change(int r);
    void cbbHerbApp_GotFocus(int r);
    // Why herbicide list r is empty although every box before it holds a herbicide.
    QString emptyListReason(int r) const;
    void cbbFormApp_GotFocus(int r);
    void cbbCult_Click();
    void cbbCult_Change();
    void cbbCultVar_GotFocus();
    void cmdTaux_Click();
    int chosenCount() const; // 1 to 4, or 0 when the count box holds anything else
    void attention(const QString& text);
    void bringForward(int page, QWidget* control);
    // Refuses a box whose text is not the item chosen in its list, naming the box.
    bool CheckListItem(QComboBox* box, int page);
    void txtTaux_Validate(int r, Qt::FocusReason reason);
    void showNumbersInUserFormat(QLineEdit* edit, bool rate);
    QString textOf(QWidget* control) const;
    InputCheck::Entries entries() const;
    QStringList herbicideTexts() const;
    void connectCascade();
    void connectOptions();
    // Leaves or height: only the chosen pair of crop-stage boxes can be used.
    void SwitchCropStage();

    void buildIntroduction();
    std::array<QComboBox*, 5> weedBoxes() const;
    QWidget* buildMandatoryPage();
    QGroupBox* buildHerbicideSection();
    void buildHerbicideRow(QGridLayout* herbLayout, int i);
    QWidget* buildCropPage(int tab);
    QWidget* buildSitePage();
    QWidget* buildWeedPage();
    QComboBox* combo(const QString& name, bool editable = true);

    AppState& m_state;
    DE& m_de;
    DialogService& m_dialogs;
    std::array<QTabWidget*, Pages> m_pages{};
    QSize m_designedPage; // every page's size where there is room

    QLabel* m_imageFormBack = nullptr;
    QLabel* m_imaTextIntro = nullptr;
    QLabel* m_label2 = nullptr;
    QComboBox* m_cbbApp = nullptr;
    QComboBox* m_cbbCult = nullptr;
    QComboBox* m_cbbCultVar = nullptr;
    QComboBox* m_cbbNombHerb = nullptr;
    QGroupBox* m_fraHerbApp = nullptr;
    QPushButton* m_cmdTaux = nullptr;
    std::array<QComboBox*, Rows> m_cbbHerbApp{};
    std::array<QComboBox*, Rows> m_cbbFormApp{};
    std::array<QLineEdit*, Rows> m_txtConcApp{};
    std::array<QLineEdit*, Rows> m_txtTaux{};
    std::array<QLabel*, Rows> m_lblStarHerb{};
    std::array<QLabel*, Rows> m_lblStarTaux{};
    std::array<QLabel*, Rows - 1> m_redArrow{};
    std::array<QLabel*, 6> m_headings{}; // lblHerbApp, lblConcApp, lblFormApp, lblTauxApp,
                                         // lblkghaApp, lblNombHerb
    int m_attentionCount = 0;            // messages shown so far
    // The five weed boxes' list, made once they are filled.
    WeedDropDown* m_weedDropDown = nullptr;
};

} // namespace grelavo
