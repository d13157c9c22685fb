#include "ImportStaging.h"

#include "ImportStagingRows.h"

#include "ExchangeFolder.h"
#include "core/db/Connection.h"
#include "core/db/DbError.h"
#include "core/db/Lists.h"
#include "core/db/Statement.h"
#include "core/db/SystemError.h"
#include "core/text/NameText.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace grelavo {

using namespace importstaging;

namespace {

// How a value is written in the staging file: a byte saying its type, then 8 bytes (an integer
// or a number) or a length on 4 bytes and the UTF-8 text.
enum Tag : unsigned char { Null, Integer, Real, Text };

struct Value {
    Tag tag = Null;
    qint64 integer = 0;
    double real = 0;
    std::string text; // its storage kept from row to row
};

// The system's temporary folder as the user named it (TMPDIR), for messages.
QString temporaryFolder() {
    const QString named = qEnvironmentVariable("TMPDIR");
    return named.isEmpty() ? QDir::tempPath() : named;
}

QString stagingFailed(int error) {
    return QStringLiteral("Le fichier temporaire de l'import n'a pas pu être écrit ou relu dans "
                          "%1\u00a0: %2. Rien n'a été importé.")
        .arg(NameText::quotedPath(temporaryFolder()), systemErrorInWords(error));
}

} // namespace

// The staging file: made in the system's temporary folder, readable by its owner only, and
// removed from the folder at once; written through a buffer, then read back by position.
class ImportStaging::File {
public:
    File() {
        // Qt gives no folder for a TMPDIR that does not exist: the file is not made elsewhere.
        const QString folder = QDir::tempPath();
        if (folder.isEmpty())
            throw ImportReadFailed{stagingFailed(ENOENT)};
        QByteArray name = QFile::encodeName(folder + QStringLiteral("/grelavo-import-XXXXXX"));
        m_fd = mkstemp(name.data()); // mode 0600
        if (m_fd < 0)
            throw ImportReadFailed{stagingFailed(errno)};
        ::unlink(name.constData());
        m_buffer.resize(kBuffer);
    }
    ~File() { ::close(m_fd); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    qint64 size() const { return m_written + qint64(m_used); }

    void put(const void* bytes, size_t n) {
        if (m_used + n > m_buffer.size()) {
            flush();
            if (n > m_buffer.size())
                m_buffer.resize(n);
        }
        std::memcpy(m_buffer.data() + m_used, bytes, n);
        m_used += n;
    }
    void flush() {
        size_t done = 0;
        while (done < m_used) {
            const ssize_t n =
                ::pwrite(m_fd, m_buffer.data() + done, m_used - done, m_written + qint64(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw ImportReadFailed{stagingFailed(n < 0 ? errno : ENOSPC)};
            done += size_t(n);
        }
        m_written += qint64(done);
        m_used = 0;
    }
    // Reads up to 'n' bytes at 'offset'; the count read, or -1 with errno.
    ssize_t read(qint64 offset, char* to, size_t n) const {
        ssize_t r;
        do {
            r = ::pread(m_fd, to, n, offset);
        } while (r < 0 && errno == EINTR);
        return r;
    }

    static constexpr size_t kBuffer = 1 << 20;

private:
    int m_fd = -1;
    std::vector<char> m_buffer; // its first m_used bytes not yet written
    size_t m_used = 0;
    qint64 m_written = 0;
};

// Writes each row the check sends to the staging file, the rows of each kind one after the
// other, as the check sends them.
class ImportStaging::Sink : public ImportPlan::Rows {
public:
    explicit Sink(File& file) : m_file(file) {}

    void site(const ImportPlan::Site& s) override {
        begin(Sites);
        text(s.key);
        values({&s.province, &s.texture, &s.organicMatter, &s.pH});
    }
    void treatment(const ImportPlan::Treatment& t) override {
        begin(Treatments);
        text(t.key);
        reference(t.site);
    }
    void crop(const ImportPlan::Crop& c) override {
        begin(Crops);
        reference(c.treatment);
        values({&c.crop, &c.variety, &c.previousCrop, &c.sowingKg, &c.sowingGrains, &c.depth,
                &c.spacing});
    }
    void application(const ImportPlan::Application& a) override {
        begin(Applications);
        text(a.key);
        reference(a.treatment);
        values({&a.period});
    }
    void stage(const ImportPlan::Stage& s) override {
        begin(Stages);
        reference(s.application);
        values({&s.crop, &s.height, &s.leaves});
    }
    void product(const ImportPlan::Product& p) override {
        begin(Products);
        reference(p.application);
        integer(p.herbicide);
        values({&p.formulation, &p.rate});
    }
    void rating(const ImportPlan::Rating& r) override {
        begin(Ratings);
        reference(r.treatment);
        integer(r.weed);
        values({&r.visual});
    }

    // Where the rows of each kind lie in the file, and how many there are.
    qint64 start[KindCount] = {};
    qint64 end[KindCount] = {};
    qint64 count[KindCount] = {};

private:
    // The rows of a kind are contiguous: the check sends the files one kind after the other.
    void begin(Kind kind) {
        if (count[kind] == 0)
            start[kind] = m_file.size();
        else if (end[kind] != m_file.size())
            throw DbError(SQLITE_MISUSE, QStringLiteral("import rows of a kind not together"));
        ++count[kind];
        m_current = kind;
    }
    void finishRow() { end[m_current] = m_file.size(); }

    void tag(Tag t) { m_file.put(&t, 1); }
    void integer(qint64 v) {
        tag(Integer);
        m_file.put(&v, sizeof v);
        finishRow();
    }
    void reference(int index) {
        if (index < 0) {
            tag(Null);
            finishRow();
        } else {
            integer(qint64(index) + 1);
        }
    }
    void text(const QString& t) {
        const QByteArray utf8 = t.toUtf8();
        const quint32 length = quint32(utf8.size());
        tag(Text);
        m_file.put(&length, sizeof length);
        m_file.put(utf8.constData(), length);
        finishRow();
    }
    // Null, an integer or a number, as the check reads values.
    void values(std::initializer_list<const QVariant*> list) {
        for (const QVariant* v : list) {
            if (v->isNull()) {
                tag(Null);
            } else if (v->typeId() == QMetaType::Double) {
                const double d = v->toDouble();
                tag(Real);
                m_file.put(&d, sizeof d);
            } else {
                const qint64 i = v->toLongLong();
                tag(Integer);
                m_file.put(&i, sizeof i);
            }
        }
        finishRow();
    }

    File& m_file;
    Kind m_current = Sites;
};

namespace {

// A read of the staging file that failed: the system's error number.
struct ReadFailed {
    int error;
};

// The rows of one kind read back from the staging file, one at a time.
class Reader {
public:
    Reader(const ImportStaging::File& file, qint64 from, qint64 to, int columns)
        : m_file(file), m_next(from), m_end(to), m_columns(columns) {}

    // The next row's values; false at the end. Throws ReadFailed.
    bool next(Value* values) {
        if (m_position == m_data.size() && m_next >= m_end)
            return false;
        for (int c = 0; c < m_columns; ++c) {
            Value& v = values[c];
            need(1);
            v.tag = Tag(m_data[m_position++]);
            if (v.tag == Integer || v.tag == Real) {
                need(8);
                std::memcpy(v.tag == Integer ? static_cast<void*>(&v.integer) : &v.real,
                            &m_data[m_position], 8);
                m_position += 8;
            } else if (v.tag == Text) {
                quint32 length = 0;
                need(4);
                std::memcpy(&length, &m_data[m_position], 4);
                m_position += 4;
                need(length);
                v.text.assign(&m_data[m_position], length);
                m_position += length;
            }
        }
        return true;
    }

private:
    // At least 'n' bytes from the position in the buffer (the earlier ones may go).
    void need(size_t n) {
        if (m_data.size() - m_position >= n)
            return;
        m_data.erase(m_data.begin(), m_data.begin() + qsizetype(m_position));
        m_position = 0;
        while (m_data.size() < n) {
            const size_t have = m_data.size();
            const size_t want = size_t(
                std::min<qint64>(std::max(n, ImportStaging::File::kBuffer) - have, m_end - m_next));
            if (want == 0)
                throw ReadFailed{EIO}; // the file ends inside a row
            m_data.resize(have + want);
            const ssize_t got = m_file.read(m_next, m_data.data() + have, want);
            if (got <= 0)
                throw ReadFailed{got < 0 ? errno : EIO};
            m_data.resize(have + size_t(got));
            m_next += got;
        }
    }

    const ImportStaging::File& m_file;
    qint64 m_next, m_end; // the next byte of the file to read, and the end of the kind's rows
    int m_columns;
    std::vector<char> m_data;
    size_t m_position = 0;
};

} // namespace

// The staged rows of each kind as a table the copy's statements read (a virtual table of the
// engine's, known on the import's connection only while the copy lasts).
class ImportStaging::Tables {
public:
    Tables(Connection& db, const File& file, const Sink& sink,
           const ExperimentImport::Progress& progress, qint64 total, qint64 done)
        : m_db(db), m_file(file), m_sink(sink), m_progress(progress), m_total(total), m_done(done) {
        for (int k = 0; k < KindCount; ++k) {
            m_kinds[k] = {this, Kind(k)};
            if (sqlite3_create_module_v2(db.handle(), kKinds[k].name, &kModule, &m_kinds[k],
                                         nullptr) != SQLITE_OK)
                db.throwLastError(QStringLiteral("cannot register the staged rows"));
        }
    }
    ~Tables() {
        for (const KindTable& k : kKinds)
            sqlite3_create_module_v2(m_db.handle(), k.name, nullptr, nullptr, nullptr);
    }
    Tables(const Tables&) = delete;
    Tables& operator=(const Tables&) = delete;

    void copy(qlonglong importId) {
        // Rows added one by one would each take the next number after the largest of its table.
        qlonglong base[NoBase] = {};
        for (int b = 0; b < ImportNumber; ++b) {
            Statement largest(
                m_db, QStringLiteral("SELECT coalesce(max(rowid), 0) FROM \"main\".%1")
                          .arg(Connection::quoteIdentifier(QString::fromUtf8(kNumberedTables[b]))));
            largest.step();
            base[b] = largest.integer(0);
        }
        base[ImportNumber] = importId;
        for (const Copy& c : kCopies) {
            Statement copy(m_db, QString::fromUtf8(c.sql));
            for (int p = 0; p < 2 && c.bases[p] != NoBase; ++p)
                copy.bind(p + 1, base[c.bases[p]]);
            m_counting = c.rows;
            copy.step();
        }
        if (m_progress)
            m_progress(std::min(m_done, m_total), m_total);
    }

private:
    struct KindAux {
        Tables* tables = nullptr;
        Kind kind = Sites;
    };
    struct Table {
        sqlite3_vtab base;
        KindAux* aux;
    };
    struct Cursor {
        sqlite3_vtab_cursor base;
        std::unique_ptr<Reader> reader;
        qint64 row = 0;
        bool eof = false;
        Value values[kMostColumns];
    };
    static Table* table(sqlite3_vtab_cursor* c) { return reinterpret_cast<Table*>(c->pVtab); }
    static Cursor* cursor(sqlite3_vtab_cursor* c) { return reinterpret_cast<Cursor*>(c); }

    static int connect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out,
                       char**) {
        auto* kind = static_cast<KindAux*>(aux);
        const QByteArray schema = QByteArray("CREATE TABLE x(") + kKinds[kind->kind].columns + ')';
        const int rc = sqlite3_declare_vtab(db, schema.constData());
        if (rc != SQLITE_OK)
            return rc;
        auto* t = new Table{};
        t->aux = kind;
        *out = &t->base;
        return SQLITE_OK;
    }
    static int disconnect(sqlite3_vtab* t) {
        delete reinterpret_cast<Table*>(t);
        return SQLITE_OK;
    }
    static int bestIndex(sqlite3_vtab* t, sqlite3_index_info* info) {
        const KindAux* aux = reinterpret_cast<Table*>(t)->aux;
        info->estimatedRows = aux->tables->m_sink.count[aux->kind];
        info->estimatedCost = double(info->estimatedRows) + 1;
        return SQLITE_OK;
    }
    static int open(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
        *out = &(new Cursor{})->base;
        return SQLITE_OK;
    }
    static int close(sqlite3_vtab_cursor* c) {
        delete cursor(c);
        return SQLITE_OK;
    }
    static int filter(sqlite3_vtab_cursor* c, int, const char*, int, sqlite3_value**) {
        const KindAux* aux = table(c)->aux;
        const Sink& sink = aux->tables->m_sink;
        cursor(c)->reader = std::make_unique<Reader>(aux->tables->m_file, sink.start[aux->kind],
                                                     sink.end[aux->kind], columnCount(aux->kind));
        cursor(c)->row = 0;
        return next(c);
    }
    static int next(sqlite3_vtab_cursor* c) {
        Cursor* cur = cursor(c);
        try {
            cur->eof = !cur->reader->next(cur->values);
        } catch (const ReadFailed& failed) {
            sqlite3_free(c->pVtab->zErrMsg);
            c->pVtab->zErrMsg = sqlite3_mprintf("%s", std::strerror(failed.error));
            return SQLITE_IOERR_READ;
        }
        if (!cur->eof) {
            ++cur->row;
            table(c)->aux->tables->counted();
        }
        return SQLITE_OK;
    }
    static int eof(sqlite3_vtab_cursor* c) { return cursor(c)->eof ? 1 : 0; }
    static int column(sqlite3_vtab_cursor* c, sqlite3_context* context, int i) {
        const Value& v = cursor(c)->values[i];
        switch (v.tag) {
        case Integer:
            sqlite3_result_int64(context, v.integer);
            break;
        case Real:
            sqlite3_result_double(context, v.real);
            break;
        case Text:
            sqlite3_result_text(context, v.text.data(), int(v.text.size()), SQLITE_TRANSIENT);
            break;
        default:
            sqlite3_result_null(context);
        }
        return SQLITE_OK;
    }
    static int rowid(sqlite3_vtab_cursor* c, sqlite3_int64* out) {
        *out = cursor(c)->row;
        return SQLITE_OK;
    }
    static sqlite3_module module() {
        sqlite3_module m{};
        m.xConnect = &connect; // no xCreate: known by the module's name alone
        m.xBestIndex = &bestIndex;
        m.xDisconnect = &disconnect;
        m.xDestroy = &disconnect;
        m.xOpen = &open;
        m.xClose = &close;
        m.xFilter = &filter;
        m.xNext = &next;
        m.xEof = &eof;
        m.xColumn = &column;
        m.xRowid = &rowid;
        return m;
    }
    static const sqlite3_module kModule;

    // A row of the files read: said every 2000 rows.
    void counted() {
        if (!m_counting)
            return;
        ++m_done;
        if (m_done % 2000 == 0 && m_progress)
            m_progress(std::min(m_done, m_total), m_total);
    }

    Connection& m_db;
    const File& m_file;
    const Sink& m_sink;
    const ExperimentImport::Progress& m_progress;
    qint64 m_total;
    qint64 m_done;
    bool m_counting = false;
    KindAux m_kinds[KindCount];
};

const sqlite3_module ImportStaging::Tables::kModule = ImportStaging::Tables::module();

ImportStaging::ImportStaging(Connection& db)
    : m_db(db), m_file(std::make_unique<File>()), m_sink(std::make_unique<Sink>(*m_file)) {}

ImportStaging::~ImportStaging() = default;

ImportPlan::Rows& ImportStaging::rows() {
    return *m_sink;
}

void ImportStaging::finishRows() {
    m_file->flush();
}

void ImportStaging::copyInto(const QVector<ImportPlan::Name>& names, qlonglong importId,
                             const ExperimentImport::Progress& progress, qint64 total) {
    qint64 done = 0;
    for (const ImportPlan::Name& n : names) {
        const bool variety = n.table == lists::varieties.tableName();
        Statement add(m_db, QStringLiteral("INSERT INTO \"main\".%1 (%2, %3%4) VALUES (?, ?%5)")
                                .arg(Connection::quoteIdentifier(n.table),
                                     Connection::quoteIdentifier(n.idColumn),
                                     Connection::quoteIdentifier(n.nameColumn),
                                     variety ? QStringLiteral(", \"CultureId\"") : QString(),
                                     variety ? QStringLiteral(", ?") : QString()));
        add.bind(1, n.id);
        add.bind(2, n.name);
        if (variety)
            add.bind(3, n.crop);
        add.step();
        ++done;
    }
    Tables(m_db, *m_file, *m_sink, progress, total, done).copy(importId);
}

} // namespace grelavo
