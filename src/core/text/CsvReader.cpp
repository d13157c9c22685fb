#include "CsvReader.h"

#include <QStringDecoder>

namespace grelavo {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80 to 0x9F; the five unused bytes keep their value.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b < 0xA0) ? QChar(kWindows1252High[b - 0x80]) : QChar(b);
    }
    return text;
}

// The separators the first line holds outside quotes.
struct Separators {
    int commas = 0, semicolons = 0, tabs = 0;

    explicit Separators(const QString& text) {
        bool quoted = false;
        for (const QChar c : text) {
            if (c == QLatin1Char('"'))
                quoted = !quoted;
            else if (!quoted && (c == QLatin1Char('\n') || c == QLatin1Char('\r')))
                break;
            else if (!quoted && c == QLatin1Char(','))
                ++commas;
            else if (!quoted && c == QLatin1Char(';'))
                ++semicolons;
            else if (!quoted && c == QLatin1Char('\t'))
                ++tabs;
        }
    }
    // The one of ',' and ';' the line holds more of (a comma when neither).
    QChar separator() const { return semicolons > commas ? QLatin1Char(';') : QLatin1Char(','); }
    // More tabulations than commas and semicolons.
    bool tabSeparated() const { return tabs > commas + semicolons; }
};

// A text field the export guarded against formulas (an apostrophe before = + - @, a tabulation
// or a carriage return), read without that apostrophe.
QString unguarded(const QString& field) {
    if (field.size() >= 2 && field.at(0) == QLatin1Char('\'') &&
        QStringLiteral("=+-@\t\r").contains(field.at(1)))
        return field.mid(1);
    return field;
}

bool blank(const QStringList& fields) {
    for (const QString& f : fields) {
        if (!f.trimmed().isEmpty())
            return false;
    }
    return true;
}

const QString kSaveAs = QStringLiteral("enregistrez-le en CSV UTF-8, séparateur virgule ou "
                                       "point-virgule");

} // namespace

QString CsvReader::decode(const QByteArray& bytes, bool* utf8) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    const bool valid = !decoder.hasError();
    if (utf8)
        *utf8 = valid;
    if (!valid)
        return fromWindows1252(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

QString CsvReader::read(const QByteArray& bytes, Table* table, int* line) {
    table->headings.clear();
    table->rows.clear();
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") ||
        bytes.startsWith(QByteArray("\0\0\xFE\xFF", 4)) || bytes.contains('\0')) {
        *line = 0;
        return QStringLiteral("fichier en UTF-16 ou UTF-32\u00a0: ") + kSaveAs;
    }
    const QString text = decode(bytes, &table->utf8);
    const Separators separators(text);
    if (separators.tabSeparated()) {
        *line = 1;
        return QStringLiteral("champs séparés par des tabulations\u00a0: ") + kSaveAs;
    }
    const QChar sep = separators.separator();
    table->separator = sep;

    int lineNo = 1;
    int recordLine = 1;
    int quoteLine = 0;
    QStringList fields;
    QString field;
    bool quoted = false;       // inside a quoted field
    bool fieldStarted = false; // the field has had a character (a quote opens only at its start)
    auto endRecord = [&] {
        fields << unguarded(field);
        if (table->headings.isEmpty() && recordLine == 1) {
            for (QString& h : fields)
                table->headings << h.trimmed();
        } else if (!blank(fields)) {
            table->rows.append({recordLine, fields});
        }
        fields.clear();
        field.clear();
        fieldStarted = false;
    };
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == QLatin1Char('\n') ||
                    (c == QLatin1Char('\r') && !(i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))))
                    ++lineNo;
                field += c;
            }
        } else if (c == QLatin1Char('"') && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
            quoteLine = lineNo;
        } else if (c == sep) {
            fields << unguarded(field);
            field.clear();
            fieldStarted = false;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            endRecord();
            recordLine = ++lineNo;
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (quoted) {
        *line = quoteLine;
        return QStringLiteral("guillemet ouvert jamais fermé");
    }
    if (!field.isEmpty() || !fields.isEmpty())
        endRecord();
    return QString();
}

} // namespace grelavo
