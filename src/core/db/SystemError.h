#pragma once

#include <QFileDevice>
#include <QString>

namespace grelavo {

// The system's failures said in French words for the user's messages: the system's own texts
// are English ("No such file or directory") and are never shown.

// The cause an errno value stands for ("le disque est plein"); a value without words of its own
// gives "erreur du système n° N".
QString systemErrorInWords(int error);

// Why a QFile operation failed: the errno the failing call left, when it left one (read at once,
// before anything else can change it), else the kind of failure Qt recorded.
QString fileErrorInWords(QFileDevice::FileError kind, int error);

} // namespace grelavo
