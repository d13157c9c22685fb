#include "JetFunctions.h"

#include "DbError.h"

#include <QByteArray>
#include <QVariant>
#include <cmath>
#include <limits>
#include <sqlite3.h>

namespace grelavo {

namespace {

void fix(sqlite3_context* context, int, sqlite3_value** args) {
    sqlite3_value* value = args[0];
    switch (sqlite3_value_numeric_type(value)) {
    case SQLITE_NULL:
        sqlite3_result_null(context);
        return;
    case SQLITE_INTEGER:
        sqlite3_result_int64(context, sqlite3_value_int64(value));
        return;
    case SQLITE_FLOAT: {
        const double truncated = std::trunc(sqlite3_value_double(value));
        if (std::fabs(truncated) < 9.2e18)
            sqlite3_result_int64(context, static_cast<sqlite3_int64>(truncated));
        else
            sqlite3_result_double(context, truncated);
        return;
    }
    default:
        sqlite3_result_error(context, "Fix: the argument is not a number", -1);
        return;
    }
}

// The aggregate keeps a heap copy of the first value it sees; SQLite 3.15 has no
// sqlite3_value_dup, so the value is copied by type.
struct FirstState {
    QVariant* value;
};

QVariant copyOf(sqlite3_value* value) {
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_value_int64(value)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_value_double(value));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                                          sqlite3_value_bytes(value)));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_value_blob(value)),
                                   sqlite3_value_bytes(value)));
    default:
        return QVariant();
    }
}

void firstStep(sqlite3_context* context, int, sqlite3_value** args) {
    auto* state = static_cast<FirstState*>(sqlite3_aggregate_context(context, sizeof(FirstState)));
    if (state && !state->value)
        state->value = new QVariant(copyOf(args[0]));
}

void firstFinal(sqlite3_context* context) {
    auto* state = static_cast<FirstState*>(sqlite3_aggregate_context(context, 0));
    if (!state || !state->value) {
        sqlite3_result_null(context);
        return;
    }
    const QVariant& v = *state->value;
    switch (v.typeId()) {
    case QMetaType::LongLong:
        sqlite3_result_int64(context, v.toLongLong());
        break;
    case QMetaType::Double:
        sqlite3_result_double(context, v.toDouble());
        break;
    case QMetaType::QString: {
        const QByteArray utf8 = v.toString().toUtf8();
        sqlite3_result_text(context, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = v.toByteArray();
        sqlite3_result_blob(context, bytes.constData(), bytes.size(), SQLITE_TRANSIENT);
        break;
    }
    default:
        sqlite3_result_null(context);
    }
    delete state->value;
    state->value = nullptr;
}

} // namespace

void JetFunctions::install(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    int rc = sqlite3_create_function(db, "Fix", 1, flags, nullptr, &fix, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "First", 1, SQLITE_UTF8, nullptr, nullptr, &firstStep,
                                     &firstFinal);
    if (rc != SQLITE_OK)
        throw DbError(rc, QStringLiteral("cannot register the dialect's functions"));
}

} // namespace grelavo
