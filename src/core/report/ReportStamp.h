#pragma once

#include "core/db/DatabaseEdition.h"

#include <QDate>
#include <QString>

namespace grelavo {

class Connection;

// What a report says of itself beside its figures: the day it was made, the version of the
// program that made it and the edition of the database it was made from.
struct ReportStamp {
    QDate reportDate;
    QString programVersion;
    DatabaseEdition edition;

    // A report of this program made on 'today' from the connection's file. Throws DbError when
    // the file cannot be read.
    static ReportStamp take(Connection& db, const QDate& today = QDate::currentDate());
    // The same when the file says nothing: edition unknown.
    static ReportStamp withoutEdition(const QDate& today = QDate::currentDate());
};

} // namespace grelavo
