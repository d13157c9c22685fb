#include "FrenchCollation.h"

#include "DbError.h"

#include <cstring>
#include <sqlite3.h>

namespace grelavo {

namespace {

int compareUtf8(void* self, int lengthA, const void* a, int lengthB, const void* b) {
    // Grouping compares a text with copies of itself far more often than with other texts.
    if (lengthA == lengthB && std::memcmp(a, b, static_cast<size_t>(lengthA)) == 0)
        return 0;
    const auto* collation = static_cast<const FrenchCollation*>(self);
    return collation->compare(QString::fromUtf8(static_cast<const char*>(a), lengthA),
                              QString::fromUtf8(static_cast<const char*>(b), lengthB));
}

} // namespace

const QCollator& FrenchCollation::frenchOrder() {
    static const QCollator collator = [] {
        QCollator c(QLocale(QLocale::French, QLocale::Canada));
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

FrenchCollation::FrenchCollation() : m_collator(frenchOrder()) {}

int FrenchCollation::compare(const QString& a, const QString& b) const {
    const int order = m_collator.compare(a, b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

void FrenchCollation::install(sqlite3* db) {
    const int rc = sqlite3_create_collation(db, "NOCASE", SQLITE_UTF8, this, &compareUtf8);
    if (rc != SQLITE_OK)
        throw DbError(rc, QStringLiteral("cannot install the French collation"));
}

} // namespace grelavo
