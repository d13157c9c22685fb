#pragma once

#include <sqlite3.h>

#include <cstring>

// A file system layer for the database engine that fails one chosen call: the n-th read, write,
// truncation or sync after it is armed answers with an I/O error (or "disk full" for a write),
// as a failing disk would. Installed as the default layer while it lives, so every connection
// opened meanwhile goes through it.
class FaultyVfs {
public:
    FaultyVfs() {
        s_real = sqlite3_vfs_find(nullptr);
        std::memcpy(&m_vfs, s_real, sizeof(sqlite3_vfs));
        m_vfs.zName = "grelavo-faulty";
        m_vfs.szOsFile = int(sizeof(File)) + s_real->szOsFile;
        m_vfs.xOpen = &open;
        m_vfs.pNext = nullptr;
        sqlite3_vfs_register(&m_vfs, 1);
    }
    ~FaultyVfs() {
        sqlite3_vfs_unregister(&m_vfs);
        sqlite3_vfs_register(s_real, 1);
    }
    FaultyVfs(const FaultyVfs&) = delete;
    FaultyVfs& operator=(const FaultyVfs&) = delete;

    // The n-th call from now (1 for the next) fails; 0 disarms. diskFull: writes fail with
    // SQLITE_FULL rather than an I/O error.
    static void failCall(int n, bool diskFull = false) {
        s_countdown = n;
        s_calls = 0;
        s_syncs = 0;
        s_diskFull = diskFull;
    }
    // Reads, writes, truncations and syncs seen since the last failCall.
    static int calls() { return s_calls; }
    // Of them, the syncs: what a committed transaction costs on a disk.
    static int syncs() { return s_syncs; }
    static bool failed() { return s_failed; }
    static void clearFailed() { s_failed = false; }

private:
    struct File {
        sqlite3_file base;
        sqlite3_file* real;
    };

    static sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }

    // Whether this call is the one to fail.
    static bool strikes() {
        ++s_calls;
        if (s_countdown <= 0 || --s_countdown > 0)
            return false;
        s_failed = true;
        return true;
    }

    static int open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
        auto* file = reinterpret_cast<File*>(f);
        file->real = reinterpret_cast<sqlite3_file*>(file + 1);
        const int rc = s_real->xOpen(s_real, name, file->real, flags, outFlags);
        file->base.pMethods = file->real->pMethods ? &s_methods : nullptr;
        return rc;
    }
    static int close(sqlite3_file* f) { return real(f)->pMethods->xClose(real(f)); }
    static int read(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
        if (strikes())
            return SQLITE_IOERR_READ;
        return real(f)->pMethods->xRead(real(f), buffer, amount, offset);
    }
    static int write(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
        if (strikes())
            return s_diskFull ? SQLITE_FULL : SQLITE_IOERR_WRITE;
        return real(f)->pMethods->xWrite(real(f), buffer, amount, offset);
    }
    static int truncate(sqlite3_file* f, sqlite3_int64 size) {
        if (strikes())
            return SQLITE_IOERR_TRUNCATE;
        return real(f)->pMethods->xTruncate(real(f), size);
    }
    static int sync(sqlite3_file* f, int flags) {
        ++s_syncs;
        if (strikes())
            return SQLITE_IOERR_FSYNC;
        return real(f)->pMethods->xSync(real(f), flags);
    }
    static int fileSize(sqlite3_file* f, sqlite3_int64* size) {
        return real(f)->pMethods->xFileSize(real(f), size);
    }
    static int lock(sqlite3_file* f, int level) { return real(f)->pMethods->xLock(real(f), level); }
    static int unlock(sqlite3_file* f, int level) {
        return real(f)->pMethods->xUnlock(real(f), level);
    }
    static int checkReservedLock(sqlite3_file* f, int* out) {
        return real(f)->pMethods->xCheckReservedLock(real(f), out);
    }
    static int fileControl(sqlite3_file* f, int op, void* arg) {
        return real(f)->pMethods->xFileControl(real(f), op, arg);
    }
    static int sectorSize(sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); }
    static int deviceCharacteristics(sqlite3_file* f) {
        return real(f)->pMethods->xDeviceCharacteristics(real(f));
    }

    static inline sqlite3_vfs* s_real = nullptr;
    static inline int s_countdown = 0;
    static inline int s_calls = 0;
    static inline int s_syncs = 0;
    static inline bool s_diskFull = false;
    static inline bool s_failed = false;
    // Version 1: no shared memory or memory mapping, which rollback journals do not use.
    static inline const sqlite3_io_methods s_methods = {1,
                                                        &close,
                                                        &read,
                                                        &write,
                                                        &truncate,
                                                        &sync,
                                                        &fileSize,
                                                        &lock,
                                                        &unlock,
                                                        &checkReservedLock,
                                                        &fileControl,
                                                        &sectorSize,
                                                        &deviceCharacteristics,
                                                        nullptr,
                                                        nullptr,
                                                        nullptr,
                                                        nullptr,
                                                        nullptr,
                                                        nullptr};

    sqlite3_vfs m_vfs{};
};
