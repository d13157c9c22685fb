#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace grelavo {

// chmlib trusts every size, offset and parameter written in the file: a damaged file can make it
// read or write out of bounds, divide by zero or loop for ever. Before chmlib is given the file,
// what it will rely on is checked here against the file itself: the headers, every chunk of the
// directory and the parameters of the compressed section.
class LayoutCheck {
public:
    // The length of the file's compressed section once decompressed (0 when it has none), or
    // nothing when the file is not sound.
    static std::optional<quint64> run(const QString& path);
};

} // namespace grelavo
