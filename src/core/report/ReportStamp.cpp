#include "ReportStamp.h"

#include "ProgramVersion.h"

namespace grelavo {

ReportStamp ReportStamp::take(Connection& db, const QDate& today) {
    ReportStamp stamp = withoutEdition(today);
    stamp.edition = DatabaseEdition::read(db);
    return stamp;
}

ReportStamp ReportStamp::withoutEdition(const QDate& today) {
    return ReportStamp{today, QString::fromLatin1(ProgramVersion), DatabaseEdition()};
}

} // namespace grelavo
