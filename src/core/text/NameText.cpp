#include "NameText.h"

#include <QDir>
#include <QMap>
#include <QVector>
#include <algorithm>

namespace grelavo::NameText {

QString plainMarks(QString name) {
    for (QChar& c : name) {
        const char16_t u = c.unicode();
        if (u == 0x2019 || u == 0x2018 || u == 0x02BC)
            c = QLatin1Char('\'');
        else if (u == 0x2010 || u == 0x2011 || u == 0x2013 || u == 0x2014)
            c = QLatin1Char('-');
    }
    return name;
}

QString folded(const QString& name) {
    return plainMarks(name.trimmed()).toCaseFolded();
}

QString plain(const QString& name) {
    const QString decomposed = folded(name).normalized(QString::NormalizationForm_D);
    QString out;
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            out += c;
    }
    return out;
}

QString loose(const QString& name) {
    QString out;
    for (const QChar c : plain(name)) {
        if (!c.isSpace() && c != QLatin1Char('\'') && c != QLatin1Char('-'))
            out += c;
    }
    return out;
}

bool looksMisEncoded(const QString& name) {
    const int at = int(name.indexOf(QChar(0x00C3)));
    return (at >= 0 && at + 1 < name.size()) || name.contains(QChar(0x00C2)) ||
           name.contains(QStringLiteral("â€"));
}

int editDistance(const QString& a, const QString& b) {
    QVector<int> row(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int up = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

QStringList closest(const QString& name, const QStringList& candidates, int most) {
    const QString target = plain(name);
    const int limit = std::max(2, int(target.size()) / 3);
    QMap<int, QStringList> byDistance;
    for (const QString& candidate : candidates) {
        const int d = editDistance(target, plain(candidate));
        if (d <= limit || plain(candidate).contains(target) ||
            (candidate.size() > 3 && target.contains(plain(candidate))))
            byDistance[d] << candidate;
    }
    QStringList out;
    for (QStringList& names : byDistance) {
        std::sort(names.begin(), names.end());
        for (const QString& n : names) {
            if (out.size() < most)
                out << n;
        }
    }
    return out;
}

QString notInList(const QString& name, const QString& list, const QStringList& near) {
    QString message = QStringLiteral("%1 n'est pas dans la liste des %2").arg(quoted(name), list);
    if (near.isEmpty())
        return message + QStringLiteral(" (aucun nom proche)");
    QStringList shown;
    for (const QString& n : near)
        shown << quoted(n);
    return message +
           QStringLiteral("\u00a0; noms proches\u00a0: %1").arg(shown.join(QStringLiteral(", ")));
}

QString ofName(const QString& name) {
    const QString first = plain(name.left(1));
    const bool elided = !first.isEmpty() && QStringLiteral("aeiouyh").contains(first.at(0));
    return (elided ? QStringLiteral("d'") : QStringLiteral("de ")) + name;
}

QString quotedPath(const QString& path) {
    return QStringLiteral("«\u00a0%1\u00a0»").arg(QDir::toNativeSeparators(path));
}

QString oneLine(const QString& text) {
    QString out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\n')
            out += QLatin1String("\\n");
        else if (u == '\r')
            out += QLatin1String("\\r");
        else if (u == '\t')
            out += QLatin1String("\\t");
        else if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString quoted(const QString& text, int longest) {
    QString shown = oneLine(text);
    if (shown.size() > longest)
        shown = shown.left(longest - 1) + QChar(0x2026);
    return QStringLiteral("«\u00a0%1\u00a0»").arg(shown);
}

} // namespace grelavo::NameText
