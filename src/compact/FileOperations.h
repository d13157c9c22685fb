#pragma once

#include <QString>
#include <QStringList>

namespace pelvane {

// The file operations of a compaction run, in the database's folder. Failures throw
// CompactError; tests derive from this class to make one of them fail.
class FileOperations {
public:
    virtual ~FileOperations() = default;

    // The files of 'folder' whose name is 'name' without regard to case, the exact spelling
    // first, then in name order. Links are listed, dangling or not.
    virtual QStringList find(const QString& folder, const QString& name) const;
    virtual void remove(const QString& path);
    // Gives 'from' the name 'to' in one step, replacing a file already named 'to'.
    virtual void rename(const QString& from, const QString& to);
    // Makes 'to' a second name of the file 'from' (a hard link), or a copy of it where the file
    // system has no hard links.
    virtual void backup(const QString& from, const QString& to);
    // Writes a file's or a folder's data through to the disk.
    virtual void sync(const QString& path);
    // Gives 'path' the permissions, owner and group of 'model'.
    virtual void keepAttributes(const QString& model, const QString& path);
    // Whether a file this process creates can be given the owner and group of 'path'.
    virtual bool canKeepOwner(const QString& path) const;
};

} // namespace pelvane
