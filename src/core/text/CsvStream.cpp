#include "CsvStream.h"

#include <QStringDecoder>
#include <algorithm>
#include <utility>

namespace grelavo {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80 to 0x9F; the five unused bytes keep their value.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Which separator the first line uses: the one of ',' and ';' it holds more of outside quotes
// (a comma when neither), and whether it holds more tabulations than both.
void firstLineSeparators(QStringView text, QChar* separator, bool* tabs) {
    int commas = 0, semicolons = 0, tabulations = 0;
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
            ++tabulations;
    }
    *separator = semicolons > commas ? QLatin1Char(';') : QLatin1Char(',');
    *tabs = tabulations > commas + semicolons;
}

// A text field the export guarded against formulas, read without its apostrophe.
void unguard(QString& field) {
    if (field.size() >= 2 && field.at(0) == QLatin1Char('\'') &&
        QStringLiteral("=+-@\t\r").contains(field.at(1)))
        field.remove(0, 1);
}

bool blank(const QStringList& fields, qsizetype count) {
    for (qsizetype i = 0; i < count; ++i) {
        for (const QChar c : fields.at(i)) {
            if (!c.isSpace())
                return false;
        }
    }
    return true;
}

// Where a block of UTF-8 may be cut without cutting a character: after its last ASCII byte, or
// else before the last byte that begins a character.
qsizetype characterBoundary(const QByteArray& bytes) {
    for (qsizetype i = bytes.size() - 1; i >= 0; --i) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80)
            return i + 1;
    }
    for (qsizetype i = bytes.size() - 1; i >= 0; --i) {
        if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80)
            return i;
    }
    return bytes.size();
}

const QString kSaveAs = QStringLiteral("enregistrez-le en CSV UTF-8, séparateur virgule ou "
                                       "point-virgule");

} // namespace

QString CsvStream::examine(QIODevice* device, Format* format, int* line) {
    *line = 0;
    if (!device->seek(0)) {
        m_readFailed = true;
        return QString();
    }
    const QByteArray head = device->peek(4);
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF") ||
        head.startsWith(QByteArray("\0\0\xFE\xFF", 4)))
        return QStringLiteral("fichier en UTF-16 ou UTF-32\u00a0: ") + kSaveAs;
    for (const bool utf8 : {true, false}) {
        Format tried;
        tried.utf8 = utf8;
        start(device, tried);
        m_examining = true;
        while (!m_nul && !m_decodeError && readBlock()) {
            while (parse()) {
            }
            if (m_lastBlock) {
                finish();
                break;
            }
        }
        if (m_readFailed)
            return QString();
        if (m_nul)
            return QStringLiteral("fichier en UTF-16 ou UTF-32\u00a0: ") + kSaveAs;
        if (!m_decodeError)
            break;
    }
    if (m_tabs) {
        *line = 1;
        return QStringLiteral("champs séparés par des tabulations\u00a0: ") + kSaveAs;
    }
    if (m_quoted) {
        *line = m_quoteLine;
        return QStringLiteral("guillemet ouvert jamais fermé");
    }
    *format = m_format;
    return QString();
}

void CsvStream::start(QIODevice* device, const Format& format) {
    m_device = device;
    m_format = format;
    m_detect = format.headings.isEmpty();
    m_atStart = true;
    m_atEnd = false;
    m_readFailed = !device->seek(0);
    m_decodeError = false;
    m_nul = false;
    m_tabs = false;
    m_carry.clear();
    m_text.clear();
    m_pos = 0;
    m_lastBlock = m_ready = false;
    startRecord();
    m_quoted = m_quoteSeen = m_crInQuotes = m_skipLf = m_fieldStarted = m_headingsRead = false;
    m_lineNo = m_recordLine = 1;
    m_quoteLine = 0;
    m_examining = false;
    m_keep = true;
}

bool CsvStream::next(CsvRecord* record) {
    for (;;) {
        if (parse()) {
            handOver(record);
            return true;
        }
        if (m_atEnd || m_readFailed)
            return false;
        if (m_lastBlock) {
            if (finish()) {
                handOver(record);
                return true;
            }
            return false;
        }
        if (!readBlock())
            return false;
    }
}

void CsvStream::handOver(CsvRecord* record) {
    m_ready = false;
    record->line = m_readyLine;
    m_fields.resize(m_count);
    std::swap(record->fields, m_fields);
    startRecord();
}

bool CsvStream::readBlock() {
    if (m_atEnd || m_readFailed)
        return false;
    // The buffers are kept from block to block: no large allocation per block.
    const qsizetype carried = m_carry.size();
    m_bytes.resize(carried + m_blockBytes);
    std::copy(m_carry.cbegin(), m_carry.cend(), m_bytes.begin());
    m_carry.clear();
    const qint64 got = m_device->read(m_bytes.data() + carried, m_blockBytes);
    const bool end = got == 0;
    if (got < 0 || (end && !m_device->atEnd())) {
        m_readFailed = true;
        return false;
    }
    m_bytes.resize(carried + got);
    if (std::find(m_bytes.cbegin() + carried, m_bytes.cend(), '\0') != m_bytes.cend()) {
        m_nul = true;
        return false;
    }
    qsizetype cut = m_bytes.size();
    if (m_format.utf8 && !end) {
        cut = characterBoundary(m_bytes);
        m_carry = m_bytes.mid(cut);
    }
    decode(QByteArrayView(m_bytes.constData(), cut));
    m_pos = 0;
    if (m_atStart) {
        if (m_format.utf8 && m_text.startsWith(QChar(0xFEFF)))
            m_pos = 1;
        if (m_detect)
            firstLineSeparators(QStringView(m_text).mid(m_pos), &m_format.separator, &m_tabs);
        m_atStart = false;
    }
    m_lastBlock = end;
    return true;
}

void CsvStream::decode(QByteArrayView bytes) {
    m_text.resize(bytes.size());
    if (!m_format.utf8) {
        QChar* out = m_text.data();
        for (const char c : bytes) {
            const auto b = static_cast<unsigned char>(c);
            *out++ = (b >= 0x80 && b < 0xA0) ? QChar(kWindows1252High[b - 0x80]) : QChar(b);
        }
        return;
    }
    // UTF-8 never takes more characters than bytes.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QChar* end = decoder.appendToBuffer(m_text.data(), bytes);
    m_text.resize(end - m_text.constData());
    if (decoder.hasError())
        m_decodeError = true;
}

QString& CsvStream::field() {
    if (m_count == m_fields.size())
        m_fields.append(QString());
    return m_fields[m_count];
}

// Parses m_text from m_pos; true when it stops after a record that is not blank (in m_fields),
// false when the text is used up.
bool CsvStream::parse() {
    const QStringView text = m_text;
    const QChar sep = m_format.separator;
    const qsizetype n = text.size();
    for (qsizetype i = m_pos; i < n; ++i) {
        const QChar c = text[i];
        if (m_skipLf) {
            m_skipLf = false;
            if (c == QLatin1Char('\n'))
                continue;
        }
        if (m_quoted) {
            if (m_crInQuotes) {
                m_crInQuotes = false;
                if (c != QLatin1Char('\n'))
                    ++m_lineNo;
            }
            if (!m_quoteSeen) {
                if (c == QLatin1Char('"'))
                    m_quoteSeen = true;
                else if (c == QLatin1Char('\n'))
                    ++m_lineNo;
                else if (c == QLatin1Char('\r'))
                    m_crInQuotes = true;
                if (!m_quoteSeen && m_keep)
                    field() += c;
                continue;
            }
            m_quoteSeen = false;
            if (c == QLatin1Char('"')) { // a doubled quote
                if (m_keep)
                    field() += c;
                continue;
            }
            m_quoted = false; // the closing quote: 'c' is read outside quotes
        }
        if (c == QLatin1Char('"') && !m_fieldStarted) {
            m_quoted = true;
            m_fieldStarted = true;
            m_quoteLine = m_lineNo;
        } else if (c == sep) {
            endField();
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            m_skipLf = c == QLatin1Char('\r');
            endRecord();
            m_recordLine = ++m_lineNo;
            if (m_ready) {
                m_pos = i + 1;
                return true;
            }
        } else {
            // The run of ordinary characters that begins here, at once.
            qsizetype j = i + 1;
            while (j < n) {
                const QChar d = text[j];
                if (d == sep || d == QLatin1Char('"') || d == QLatin1Char('\r') ||
                    d == QLatin1Char('\n'))
                    break;
                ++j;
            }
            if (m_keep)
                field() += text.mid(i, j - i);
            m_fieldStarted = true;
            i = j - 1;
        }
    }
    m_pos = n;
    return false;
}

// A new record: its first field starts empty (the strings kept keep their room).
void CsvStream::startRecord() {
    m_count = 0;
    if (!m_fields.isEmpty())
        m_fields[0].resize(0);
}

void CsvStream::endField() {
    unguard(field());
    ++m_count;
    if (m_count < m_fields.size())
        m_fields[m_count].resize(0);
    m_fieldStarted = false;
}

// Ends the record; a record to give (not the headings, not blank) is left in m_fields.
void CsvStream::endRecord() {
    endField();
    if (!m_headingsRead) {
        m_headingsRead = true;
        m_keep = !m_examining; // examine() needs the headings only
        if (m_detect) {
            for (qsizetype i = 0; i < m_count; ++i)
                m_format.headings << m_fields.at(i).trimmed();
        }
    } else {
        ++m_format.records;
        if (!m_examining && !blank(m_fields, m_count)) {
            m_ready = true;
            m_readyLine = m_recordLine;
            return;
        }
    }
    startRecord();
}

// The end of the file: a record it ends without a line break is read; true when it is one to
// give.
bool CsvStream::finish() {
    m_atEnd = true;
    if (m_crInQuotes) {
        m_crInQuotes = false;
        ++m_lineNo;
    }
    if (m_quoteSeen) {
        m_quoteSeen = false;
        m_quoted = false;
    }
    if (!m_quoted && (m_count > 0 || !field().isEmpty()))
        endRecord();
    return m_ready;
}

} // namespace grelavo
