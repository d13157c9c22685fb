#include "JetDialect.h"

#include <QVector>

namespace grelavo {

namespace {

enum class Kind { Space, Word, Quoted, String, Number, Symbol };

struct Token {
    Kind kind;
    QString text;
};

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Splits a statement into tokens whose texts, joined, give the statement back unchanged.
QVector<Token> tokenize(const QString& s) {
    QVector<Token> tokens;
    int i = 0;
    const int n = s.size();
    auto closingAt = [&](int from, QChar close, bool doubling) {
        int j = from + 1;
        while (j < n) {
            if (s[j] == close) {
                if (doubling && j + 1 < n && s[j + 1] == close) {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    };
    while (i < n) {
        const QChar c = s[i];
        int end = i + 1;
        Kind kind = Kind::Symbol;
        if (c.isSpace()) {
            while (end < n && s[end].isSpace())
                ++end;
            kind = Kind::Space;
        } else if (c == QLatin1Char('[')) {
            end = closingAt(i, QLatin1Char(']'), false);
            kind = Kind::Quoted;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('`')) {
            end = closingAt(i, c, true);
            kind = Kind::Quoted;
        } else if (c == QLatin1Char('\'')) {
            end = closingAt(i, c, true);
            kind = Kind::String;
        } else if (c.isDigit()) {
            while (end < n && (s[end].isDigit() || s[end] == QLatin1Char('.')))
                ++end;
            kind = Kind::Number;
        } else if (isWordChar(c)) {
            while (end < n && isWordChar(s[end]))
                ++end;
            kind = Kind::Word;
        }
        tokens.push_back({kind, s.mid(i, end - i)});
        i = end;
    }
    return tokens;
}

bool isName(const Token& t) {
    return t.kind == Kind::Word || t.kind == Kind::Quoted;
}

bool isKeyword(const Token& t, const char* keyword) {
    return t.kind == Kind::Word && t.text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

bool isSymbol(const Token& t, char symbol) {
    return t.kind == Kind::Symbol && t.text.size() == 1 && t.text[0] == QLatin1Char(symbol);
}

// A name without its brackets or quotes, for comparing names.
QString bareName(const Token& t) {
    if (t.kind == Kind::Quoted && t.text.size() >= 2)
        return t.text.mid(1, t.text.size() - 2);
    return t.text;
}

QString join(const QVector<Token>& tokens, int from, int to) {
    QString text;
    for (int i = from; i < to; ++i)
        text += tokens[i].text;
    return text.trimmed();
}

// [a]![b] becomes [a].[b]; the bang only ever sits between two names.
void replaceBangs(QVector<Token>& tokens) {
    for (int i = 1; i + 1 < tokens.size(); ++i) {
        if (isSymbol(tokens[i], '!') && isName(tokens[i - 1]) && isName(tokens[i + 1]))
            tokens[i].text = QStringLiteral(".");
    }
}

void dropClosingSemicolons(QVector<Token>& tokens) {
    while (!tokens.isEmpty() && (tokens.last().kind == Kind::Space || isSymbol(tokens.last(), ';')))
        tokens.removeLast();
}

QVector<Token> significant(const QVector<Token>& tokens) {
    QVector<Token> out;
    for (const Token& t : tokens)
        if (t.kind != Kind::Space)
            out.push_back(t);
    return out;
}

// Index of the first token at parenthesis depth 0, from 'from', that is the keyword; -1 if none.
int findTopLevel(const QVector<Token>& tokens, int from, const char* keyword) {
    int depth = 0;
    for (int i = from; i < tokens.size(); ++i) {
        if (isSymbol(tokens[i], '('))
            ++depth;
        else if (isSymbol(tokens[i], ')'))
            --depth;
        else if (depth == 0 && isKeyword(tokens[i], keyword))
            return i;
    }
    return -1;
}

int findTopLevelSymbol(const QVector<Token>& tokens, int from, int to, char symbol) {
    int depth = 0;
    for (int i = from; i < to; ++i) {
        if (isSymbol(tokens[i], '('))
            ++depth;
        else if (isSymbol(tokens[i], ')'))
            --depth;
        else if (depth == 0 && isSymbol(tokens[i], symbol))
            return i;
    }
    return -1;
}

// The original engine names an unaliased result column t.c after c alone; SQLite names it
// "t.c" or "c:1" when t sits inside parenthesised joins. Every top-level result column written
// t.c gets the alias c, so views, created tables and recordsets carry the engine's names.
void nameQualifiedResultColumns(QVector<Token>& tokens) {
    const int into = findTopLevel(tokens, 0, "INTO");
    const int from = findTopLevel(tokens, 0, "FROM");
    int end = tokens.size();
    for (int bound : {into, from})
        if (bound >= 0 && bound < end)
            end = bound;
    QVector<int> itemEnds;
    int start = 1;
    while (start < end) {
        const int comma = findTopLevelSymbol(tokens, start, end, ',');
        const int itemEnd = comma < 0 ? end : comma;
        int last = itemEnd - 1;
        while (last > start && tokens[last].kind == Kind::Space)
            --last;
        QVector<int> parts;
        for (int i = start; i <= last; ++i)
            if (tokens[i].kind != Kind::Space)
                parts.push_back(i);
        const int n = parts.size();
        const bool qualified = n >= 3 && isName(tokens[parts[n - 1]]) &&
                               isSymbol(tokens[parts[n - 2]], '.') &&
                               isName(tokens[parts[n - 3]]) &&
                               (n == 3 || (n == 4 && isKeyword(tokens[parts[0]], "DISTINCT")));
        if (qualified)
            itemEnds.push_back(last);
        start = itemEnd + 1;
    }
    for (int k = itemEnds.size() - 1; k >= 0; --k) {
        const int last = itemEnds[k];
        tokens.insert(last + 1, {Kind::Word, QStringLiteral(" AS ") + tokens[last].text});
    }
}

QString translateSelectInto(const QVector<Token>& tokens) {
    const int into = findTopLevel(tokens, 0, "INTO");
    const int from = findTopLevel(tokens, 0, "FROM");
    int name = into + 1;
    while (into >= 0 && name < tokens.size() && tokens[name].kind == Kind::Space)
        ++name;
    if (into < 0 || (from >= 0 && from < into) || name >= tokens.size() || !isName(tokens[name]))
        return join(tokens, 0, tokens.size());
    return QStringLiteral("CREATE TABLE ") + tokens[name].text + QStringLiteral(" AS ") +
           join(tokens, 0, into) + QLatin1Char(' ') + join(tokens, name + 1, tokens.size());
}

struct Assignment {
    QString qualifier;
    QString column; // as written, brackets kept
    QString value;
};

QVector<Assignment> assignments(const QVector<Token>& tokens, int from, int to) {
    QVector<Assignment> result;
    int start = from;
    while (start < to) {
        int comma = findTopLevelSymbol(tokens, start, to, ',');
        const int end = comma < 0 ? to : comma;
        const int equals = findTopLevelSymbol(tokens, start, end, '=');
        if (equals < 0)
            return {};
        Assignment a;
        const QVector<Token> target = significant(tokens.mid(start, equals - start));
        if (target.size() == 3 && isName(target[0]) &&
            (isSymbol(target[1], '.') || isSymbol(target[1], '!')) && isName(target[2])) {
            a.qualifier = bareName(target[0]);
            a.column = target[2].text;
        } else if (target.size() == 1 && isName(target[0])) {
            a.column = target[0].text;
        } else {
            return {};
        }
        a.value = join(tokens, equals + 1, end);
        result.push_back(a);
        start = end + 1;
    }
    return result;
}

QString translateUpdate(const QVector<Token>& tokens) {
    const QString unchanged = join(tokens, 0, tokens.size());
    const int set = findTopLevel(tokens, 0, "SET");
    if (set < 0)
        return unchanged;
    const int where = findTopLevel(tokens, set, "WHERE");
    const int setEnd = where < 0 ? tokens.size() : where;
    const QVector<Assignment> list = assignments(tokens, set + 1, setEnd);
    if (list.isEmpty())
        return unchanged;
    const QString condition = where < 0 ? QString() : join(tokens, where + 1, tokens.size());

    const QVector<Token> head = significant(tokens.mid(1, set - 1));
    // UPDATE t SET ...: only the qualifiers of the targets go.
    if (head.size() == 1 && isName(head[0])) {
        QStringList parts;
        for (const Assignment& a : list)
            parts << a.column + QStringLiteral(" = ") + a.value;
        QString sql = QStringLiteral("UPDATE ") + head[0].text + QStringLiteral(" SET ") +
                      parts.join(QStringLiteral(", "));
        if (!condition.isEmpty())
            sql += QStringLiteral(" WHERE ") + condition;
        return sql;
    }
    // UPDATE a INNER JOIN b ON cond SET ...: the target is the table the SET list qualifies.
    if (head.size() < 6 || !isName(head[0]) || !isKeyword(head[1], "INNER") ||
        !isKeyword(head[2], "JOIN") || !isName(head[3]) || !isKeyword(head[4], "ON"))
        return unchanged;
    const QString left = bareName(head[0]);
    const QString right = bareName(head[3]);
    const QString target = list.first().qualifier;
    for (const Assignment& a : list)
        if (a.qualifier.compare(target, Qt::CaseInsensitive) != 0)
            return unchanged;
    QString source;
    QString targetText;
    if (target.compare(right, Qt::CaseInsensitive) == 0) {
        targetText = head[3].text;
        source = head[0].text;
    } else if (target.compare(left, Qt::CaseInsensitive) == 0) {
        targetText = head[0].text;
        source = head[3].text;
    } else {
        return unchanged;
    }
    const int on = findTopLevel(tokens, 1, "ON");
    QString joinCondition = QLatin1Char('(') + join(tokens, on + 1, set) + QLatin1Char(')');
    if (!condition.isEmpty())
        joinCondition += QStringLiteral(" AND (") + condition + QLatin1Char(')');
    const QString match =
        QStringLiteral(" FROM ") + source + QStringLiteral(" WHERE ") + joinCondition;
    QStringList parts;
    for (const Assignment& a : list)
        parts << a.column + QStringLiteral(" = (SELECT ") + a.value + match +
                     QStringLiteral(" LIMIT 1)");
    return QStringLiteral("UPDATE ") + targetText + QStringLiteral(" SET ") +
           parts.join(QStringLiteral(", ")) + QStringLiteral(" WHERE EXISTS (SELECT 1") + match +
           QLatin1Char(')');
}

} // namespace

QString JetDialect::translate(const QString& statement) {
    QVector<Token> tokens = tokenize(statement);
    dropClosingSemicolons(tokens);
    replaceBangs(tokens);
    int first = 0;
    while (first < tokens.size() && tokens[first].kind == Kind::Space)
        ++first;
    tokens.remove(0, first);
    if (tokens.isEmpty())
        return QString();
    if (isKeyword(tokens[0], "SELECT")) {
        nameQualifiedResultColumns(tokens);
        return translateSelectInto(tokens);
    }
    if (isKeyword(tokens[0], "UPDATE"))
        return translateUpdate(tokens);
    return join(tokens, 0, tokens.size());
}

} // namespace grelavo
