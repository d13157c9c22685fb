#pragma once

#include <QString>
#include <QStringList>

namespace pelvane {

// The file operations of a compaction run, in the program folder. Failures throw CompactError;
// tests derive from this class to make one of them fail.
class FileOperations {
public:
    virtual ~FileOperations() = default;

    // The files of 'folder' whose name is 'name' without regard to case, the exact spelling
    // first, then in name order.
    virtual QStringList find(const QString& folder, const QString& name) const;
    virtual void remove(const QString& path);
    virtual void rename(const QString& from, const QString& to);
};

} // namespace pelvane
