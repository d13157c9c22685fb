#include "ReportExport.h"

#include "ReportPage.h"
#include "core/report/DoseAnalysis.h"
#include "core/text/CsvWriter.h"

namespace grelavo::ReportExport {

namespace {

QString cellText(const QString& text) {
    return text.trimmed() == QLatin1String("-") ? QStringLiteral("-") : text.simplified();
}

// A table row: its label, then its cells; a heading row has no cells, a blank row no label.
QStringList rowCells(const ReportList::Item& item, int columns) {
    QStringList cells{item.text.trimmed().isEmpty() ? QString() : item.text};
    for (int c = 1; c < columns; ++c)
        cells << cellText(item.subItems.value(c - 1));
    return cells;
}

QStringList evidenceHeadings(const QString& dose) {
    QStringList out{dose + QStringLiteral(" essais")};
    for (int threshold : {DoseAnalysis::Threshold, DoseAnalysis::SecondThreshold})
        for (const char* what : {"", " borne inférieure", " borne supérieure"})
            out << QStringLiteral("%1 part ≥ %2 %%3")
                       .arg(dose)
                       .arg(threshold)
                       .arg(QString::fromUtf8(what));
    return out;
}

// A cell's trials and control shares; empty fields for a cell without ratings.
QStringList evidenceFields(const CellDetail* cell, const CsvWriter& w) {
    if (!cell)
        return QList<QString>(7);
    const CellEvidence e = DoseAnalysis::evidenceOf(*cell);
    QStringList out{QString::number(e.trials)};
    for (const ProportionEstimate& p : {e.control80, e.control90})
        for (double v : {p.share, p.lower, p.upper})
            out << w.number(100 * v, 1);
    return out;
}

} // namespace

QString plainText(const ReportPage& page) {
    QStringList lines;
    if (page.about().synthetic())
        lines << ReportAbout::syntheticWarning() << QString();
    lines << page.headingLines();
    lines << QString() << QStringLiteral("Paramètres de recherche");
    for (const QString& line : page.parameterLines())
        lines << QStringLiteral("- ") + line.trimmed();
    lines << QStringLiteral("- ") + page.about().toleranceLine() << QString();
    const ReportList& list = page.list();
    QStringList head;
    for (const ReportList::Column& column : list.columns)
        head << column.text.trimmed();
    lines << head.join(QLatin1Char('\t'));
    for (const ReportList::Item& item : list.items)
        lines << rowCells(item, list.columns.size()).join(QLatin1Char('\t'));
    lines << QString() << page.about().colophonLines();
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString html(const ReportPage& page) {
    const QStringList heading = page.headingLines();
    QString out = QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body>\n");
    if (page.about().synthetic())
        out += QStringLiteral("<p style=\"color:#c00000\"><b>%1</b></p>\n")
                   .arg(ReportAbout::syntheticWarning().toHtmlEscaped());
    out += QStringLiteral("<h1>%1 %2</h1>\n<p>%3</p>\n")
               .arg(heading[0].toHtmlEscaped(), heading[1].toHtmlEscaped(),
                    heading[2].toHtmlEscaped());
    out += QStringLiteral("<p><b>Paramètres de recherche</b></p>\n<ul>\n");
    for (const QString& line : page.parameterLines())
        out += QStringLiteral("<li>%1</li>\n").arg(line.trimmed().toHtmlEscaped());
    out += QStringLiteral("<li>%1</li>\n").arg(page.about().toleranceLine().toHtmlEscaped());
    out += QStringLiteral("</ul>\n<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n<tr>");
    const ReportList& list = page.list();
    for (const ReportList::Column& column : list.columns)
        out += QStringLiteral("<th>%1</th>").arg(column.text.trimmed().toHtmlEscaped());
    out += QStringLiteral("</tr>\n");
    for (const ReportList::Item& item : list.items) {
        const QStringList cells = rowCells(item, list.columns.size());
        const bool category = !item.text.startsWith(QLatin1Char(' '));
        out += QStringLiteral("<tr>");
        for (int c = 0; c < cells.size(); ++c) {
            // A weed's label keeps its indent under its category.
            const QString text = c == 0 && !category ? QStringLiteral("&nbsp;&nbsp;&nbsp;") +
                                                           cells[c].trimmed().toHtmlEscaped()
                                                     : cells[c].toHtmlEscaped();
            out += c == 0 && category && !text.isEmpty()
                       ? QStringLiteral("<td><b>%1</b></td>").arg(text)
                       : QStringLiteral("<td%1>%2</td>")
                             .arg(c == 0 ? QString() : QStringLiteral(" align=\"center\""), text);
        }
        out += QStringLiteral("</tr>\n");
    }
    out += QStringLiteral("</table>\n");
    for (const QString& line : page.about().colophonLines())
        out += QStringLiteral("<p><small>%1</small></p>\n").arg(line.toHtmlEscaped());
    return out + QStringLiteral("</body></html>\n");
}

QByteArray csv(const ReportPage& page, const ReportDetails* details, const QLocale& locale) {
    CsvWriter w = CsvWriter::forPeople(locale);
    w.addAbout(page.about().lines());
    const ReportList& list = page.list();
    QStringList head{QStringLiteral("Catégorie"), QStringLiteral("Mauvaise herbe")};
    for (int c = 1; c < list.columns.size(); ++c) {
        const QString dose = list.columns[c].text.trimmed();
        head << dose + QStringLiteral(" moyenne") << dose + QStringLiteral(" nombre");
        if (details)
            head << evidenceHeadings(dose);
    }
    w.addRow(head);
    QString category;
    for (const ReportList::Item& item : list.items) {
        if (item.text.trimmed().isEmpty())
            continue; // a blank row between groups
        const bool weed = item.text.startsWith(QLatin1Char(' '));
        if (!weed)
            category = item.text.trimmed();
        if (item.values.isEmpty())
            continue; // a heading without figures
        QStringList fields{category, weed ? item.text.trimmed() : QString()};
        for (int v = 0; v < item.values.size(); ++v) {
            fields << w.figure(item.values[v]);
            if (details && v % 2 == 1)
                fields << evidenceFields(details->cell(item.noId, v / 2), w);
        }
        w.addRow(fields);
    }
    return w.bytes();
}

} // namespace grelavo::ReportExport
