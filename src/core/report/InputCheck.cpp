#include "InputCheck.h"

#include "NumberText.h"

#include <tuple>
#include <utility>

namespace grelavo {

namespace {

QString indexed(const char* name, int i) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

// One pass over the entries, in order; the first problem found ends it.
class Checker {
public:
    Checker(const InputCheck::Entries& entries, const QLocale& locale)
        : m_entries(entries), m_locale(locale) {}

    std::optional<InputCheck::Problem> run() {
        if (text("cbbApp").isEmpty())
            return missing(QStringLiteral("Pour lancer la requête, certaines informations sont "
                                          "nécessaires\rVeuillez entrer la période "
                                          "d'application."),
                           QStringLiteral("cbbApp"));
        // A box's text that is not an item of its list would be shown on the page while the
        // report used the item chosen before (or nothing): it is named instead.
        for (const char* name : {"cbbApp", "cbbNombHerb"})
            if (auto p = listItem(QLatin1String(name), 0))
                return p;
        if (auto p = mixture())
            return p;
        if (text("cbbCult").isEmpty())
            return missing(QStringLiteral("Vous devez d'abord choisir une culture."),
                           QStringLiteral("cbbCult"));
        if (auto p = listItem(QStringLiteral("cbbCult"), 0))
            return p;
        const std::pair<const char*, int> lists[] = {{"cbbCultVar", 1},
                                                     {"cbbCultEcart", 1},
                                                     {"cbbCultAnte", 1},
                                                     {"cbbSiteProv", 3},
                                                     {"cbbSiteClaTex", 3}};
        for (const auto& [name, page] : lists)
            if (auto p = listItem(QLatin1String(name), page))
                return p;
        for (int i = 0; i < 5; ++i)
            if (auto p = listItem(indexed("cbbMauvHerb", i), 4))
                return p;
        return numbers();
    }

private:
    QString text(const QString& control) const { return m_entries.value(control).text; }

    static InputCheck::Problem missing(const QString& message, const QString& control) {
        return {message, control, 0, true};
    }

    std::optional<InputCheck::Problem> listItem(const QString& control, int page) const {
        const InputCheck::Entry entry = m_entries.value(control);
        if (entry.inList)
            return std::nullopt;
        return InputCheck::notInList(control, entry.text, page);
    }

    // The herbicides and their rates: the first row first, then every row in use from the last.
    std::optional<InputCheck::Problem> mixture() const {
        const QString herbicideMissing = QStringLiteral("Vous devez d'abord entrer un herbicide.");
        const QString rateMissing =
            QStringLiteral("Vous devez d'abord entrer un taux d'application.");
        if (text(indexed("cbbHerbApp", 0)).isEmpty())
            return missing(herbicideMissing, indexed("cbbHerbApp", 0));
        if (text(indexed("txtTaux", 0)).isEmpty())
            return missing(rateMissing, indexed("txtTaux", 0));
        for (int i = 3; i >= 0; --i) {
            const InputCheck::Entry herbicide = m_entries.value(indexed("cbbHerbApp", i));
            if (herbicide.enabled && herbicide.text.isEmpty())
                return missing(herbicideMissing, indexed("cbbHerbApp", i));
            const InputCheck::Entry rate = m_entries.value(indexed("txtTaux", i));
            if (rate.enabled && rate.text.isEmpty())
                return missing(rateMissing, indexed("txtTaux", i));
        }
        for (int i = 0; i < 4; ++i)
            for (const char* name : {"cbbHerbApp", "cbbFormApp"})
                if (auto p = listItem(indexed(name, i), 0))
                    return p;
        return std::nullopt;
    }

    // Every number the report reads, the range boxes too (their text can be pasted), then the
    // ranges' order.
    std::optional<InputCheck::Problem> numbers() const {
        const std::pair<QString, int> numbers[] = {
            {indexed("txtTaux", 0), 0}, {indexed("txtTaux", 1), 0}, {indexed("txtTaux", 2), 0},
            {indexed("txtTaux", 3), 0}, {"txtCultSemisDe", 1},      {"txtCultSemisA", 1},
            {"txtCultFeuilDe", 2},      {"txtCultFeuilA", 2},       {"txtCultHautDe", 2},
            {"txtCultHautA", 2},        {"cbbCultProfDe", 1},       {"cbbCultProfA", 1},
            {"cbbSiteMatOrgDe", 3},     {"cbbSiteMatOrgA", 3},      {"cbbSitepHDe", 3},
            {"cbbSitepHA", 3}};
        for (const auto& [control, page] : numbers) {
            if (control.startsWith(QLatin1String("txtTaux"))) {
                if (const auto problem = InputCheck::rateProblem(text(control), m_locale))
                    return InputCheck::Problem{*problem, control, page};
            } else if (!InputCheck::isNumber(text(control), false, m_locale)) {
                return InputCheck::Problem{InputCheck::notNumericMessage(), control, page};
            }
        }
        const std::tuple<const char*, const char*, int> pairs[] = {
            {"txtCultSemisDe", "txtCultSemisA", 1},   {"cbbCultProfDe", "cbbCultProfA", 1},
            {"txtCultFeuilDe", "txtCultFeuilA", 2},   {"txtCultHautDe", "txtCultHautA", 2},
            {"cbbSiteMatOrgDe", "cbbSiteMatOrgA", 3}, {"cbbSitepHDe", "cbbSitepHA", 3}};
        for (const auto& [first, second, page] : pairs)
            if (auto p = range(QLatin1String(first), QLatin1String(second), page))
                return p;
        return std::nullopt;
    }

    std::optional<InputCheck::Problem> range(const QString& first, const QString& second,
                                             int page) const {
        const QString low = text(first);
        const QString high = text(second);
        if (low.isEmpty() && !high.isEmpty())
            return InputCheck::Problem{
                QStringLiteral("Il manque la première valeur associée à la seconde."), first, page};
        if (!low.isEmpty() && high.isEmpty())
            return InputCheck::Problem{
                QStringLiteral("Il manque la seconde valeur associée à la première."), second,
                page};
        if (!low.isEmpty() &&
            *NumberText::parse(low, m_locale) > *NumberText::parse(high, m_locale))
            return InputCheck::Problem{
                QStringLiteral("La seconde valeur est plus petite que la première."), second, page};
        return std::nullopt;
    }

    const InputCheck::Entries& m_entries;
    const QLocale& m_locale;
};

} // namespace

std::optional<InputCheck::Problem> InputCheck::firstProblem(const Entries& entries,
                                                            const QLocale& locale) {
    return Checker(entries, locale).run();
}

InputCheck::Problem InputCheck::notInList(const QString& control, const QString& text, int page) {
    return {
        QStringLiteral(
            "La valeur «\u00a0%1\u00a0» n'est pas dans la liste «\u00a0%2\u00a0».\rChoisissez un "
            "élément de la liste.")
            .arg(text, fieldName(control)),
        control, page};
}

bool InputCheck::isNumber(const QString& text, bool rate, const QLocale& locale) {
    return text.isEmpty() || (rate ? NumberText::parseRate(text, locale).has_value()
                                   : NumberText::parse(text, locale).has_value());
}

QString InputCheck::notNumericMessage() {
    return QStringLiteral("La valeur entrée n'est pas numérique.");
}

bool InputCheck::isUsableRate(double rate) {
    return rate > 0 && rate <= MaxRate;
}

QString InputCheck::unusableRateMessage() {
    return QStringLiteral("Le taux doit être plus grand que 0 et d'au plus %1 kg de matière "
                          "active par hectare.")
        .arg(MaxRate);
}

std::optional<QString> InputCheck::rateProblem(const QString& text, const QLocale& locale) {
    if (text.isEmpty())
        return std::nullopt;
    const std::optional<double> rate = NumberText::parseRate(text, locale);
    if (!rate)
        return notNumericMessage();
    if (!isUsableRate(*rate))
        return unusableRateMessage();
    return std::nullopt;
}

QString InputCheck::fieldName(const QString& control) {
    static const std::pair<const char*, const char*> names[] = {
        {"cbbApp", "Type d'application"},
        {"cbbNombHerb", "Nombre d'herbicides"},
        {"cbbCult", "Culture"},
        {"cbbCultVar", "Variété"},
        {"cbbCultEcart", "Écart entre les rangs"},
        {"cbbCultAnte", "Antécédent cultural"},
        {"cbbSiteProv", "Province"},
        {"cbbSiteClaTex", "Classe texturale"},
        {"cbbHerbApp", "Herbicide %1"},
        {"cbbFormApp", "Formulation de l'herbicide %1"},
        {"cbbMauvHerb", "Mauvaise herbe %1"}};
    const int open = control.indexOf(QLatin1Char('('));
    const QString base = open < 0 ? control : control.left(open);
    for (const auto& [name, words] : names)
        if (base == QLatin1String(name))
            return open < 0
                       ? QString::fromUtf8(words)
                       : QString::fromUtf8(words).arg(control.mid(open + 1).chopped(1).toInt() + 1);
    return control;
}

} // namespace grelavo
