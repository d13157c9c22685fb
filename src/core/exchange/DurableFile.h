#pragma once

#include <QString>

namespace grelavo {

// What keeps files whole across a crash or a power cut: their bytes and the folder entries that
// name them forced to the disk, new files made with the mode and owner of the file they stand
// beside.
namespace durable {

// Forces the file's bytes to the disk; false when it cannot be opened or synced.
bool syncFile(const QString& path);
// Forces the folder's entries (files made, renamed or removed in it) to the disk.
bool syncFolder(const QString& path);
// Renames 'from' to 'to' in one step, on the same file system, never copying; false when the
// system refuses it. An existing 'to' is replaced.
bool rename(const QString& from, const QString& to);
// Makes 'path', which must not exist, as an empty file with the permission bits of 'model' and,
// when the process may give it, its owner and group. Empty on success, otherwise the cause.
QString createLike(const QString& path, const QString& model);

} // namespace durable

} // namespace grelavo
