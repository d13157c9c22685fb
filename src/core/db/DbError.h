#pragma once

#include <QString>
#include <stdexcept>

namespace grelavo {

// An error of the database engine, carrying its number. Opening a database without its key,
// or with another key, gives WrongPassword, the number the compaction program relies on; every
// other failure keeps SQLite's (extended) result code.
class DbError : public std::runtime_error {
public:
    static constexpr int WrongPassword = 3031;

    DbError(int number, const QString& message)
        : std::runtime_error(message.toStdString()), m_number(number), m_message(message) {}

    int number() const { return m_number; }
    const QString& message() const { return m_message; }

private:
    int m_number;
    QString m_message;
};

} // namespace grelavo
