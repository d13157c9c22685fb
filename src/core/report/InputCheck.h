#pragma once

#include <QHash>
#include <QLocale>
#include <QString>
#include <optional>

namespace grelavo {

// The checks a report's entries pass before the report is made, in the order the user meets
// them: what is missing, what is no item of its list, what is not a number, which range is
// upside down. The entries are named by their controls' names ("cbbApp", "txtTaux(2)"); a window
// reads its controls into Entries and shows the problem: its message, on its page, with the
// focus in its control.
class InputCheck {
public:
    struct Entry {
        QString text;
        bool enabled = true;
        bool inList = true; // a list box: its text is empty or one of the list's items
    };
    using Entries = QHash<QString, Entry>;

    // Pages: 0 mandatory, 1 crop details, 2 crop at application, 3 site, 4 weeds.
    struct Problem {
        QString message;
        QString control;
        int page = 0;
        bool missing = false; // a mandatory entry is empty
    };

    static std::optional<Problem> firstProblem(const Entries& entries, const QLocale& locale);

    // The problem of a list box whose text is no item of its list.
    static Problem notInList(const QString& control, const QString& text, int page);
    static bool isNumber(const QString& text, bool rate, const QLocale& locale);
    static QString notNumericMessage();
    // A rate a report can look for: above 0 and at most MaxRate kg a.i./ha (beyond, the rate was
    // typed in another unit: no herbicide is applied at such a rate).
    static constexpr double MaxRate = 100;
    static bool isUsableRate(double rate);
    static QString unusableRateMessage();
    // What is wrong with a rate box's text: nothing when it is empty or a usable rate.
    static std::optional<QString> rateProblem(const QString& text, const QLocale& locale);
    // The words that name a list box in a message ("Herbicide 2").
    static QString fieldName(const QString& control);
};

} // namespace grelavo
