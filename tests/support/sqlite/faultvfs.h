#pragma once

#include <sqlite3.h>

#include <functional>
#include <string>

// While it lives, every file that SQLite opens for a new connection (the main database, its
// write-ahead log, a rollback journal, temporary files) goes through this object, which counts the
// reads, writes, syncs and truncations of the kinds chosen and fails the Nth of them, once or from
// the Nth on, as SQLite's unix layer reports a failure of the device: an I/O error of that
// operation's kind, or a full disk.
// Connections opened before it came keep the plain layer; those opened while it lives must be
// closed before it goes. One at a time, on the thread that uses the connections.
class FaultVfs
{
public:
    enum Operation
    {
        Read = 1,
        Write = 2,
        Sync = 4,
        Truncate = 8,
        AnyWrite = Write | Sync | Truncate,
        Any = Read | AnyWrite
    };
    enum class Fault
    {
        IoError, // SQLITE_IOERR_READ, _WRITE, _FSYNC or _TRUNCATE
        DiskFull // SQLITE_FULL (a write or a truncation; a read or a sync still fails as an I/O error)
    };

    FaultVfs();
    ~FaultVfs();
    FaultVfs(const FaultVfs&) = delete;
    FaultVfs& operator=(const FaultVfs&) = delete;

    // From now on counts the operations of the kinds given (a mask of Operation) from 1, and fails the
    // nth of them (0: none), and with persistent every later one too.
    void failAt(int n, int operations, Fault fault = Fault::IoError, bool persistent = false);
    // Whether a sync that does not fail reaches the disk (not by default: the tests need no durability,
    // and a run of many scripts is quicker without).
    void setRealSyncs(bool real) { m_realSyncs = real; }
    // Told of every sync that goes ahead (counted or not, real or not), before it returns: the file's name
    // as SQLite opened it (empty for a temporary file) and its size then, which is what a power cut right
    // after it would leave of a file that only grows. Empty: none.
    using SyncObserver = std::function<void(const std::string& file, sqlite3_int64 size)>;
    void setSyncObserver(SyncObserver observer) { m_syncObserver = std::move(observer); }
    // The operations of the chosen kinds since the last failAt().
    int count() const { return m_count; }
    // How many operations failed since the last failAt().
    int failed() const { return m_failed; }

private:
    struct SFile;
    // The plain layer's file behind one of this layer.
    static sqlite3_file* real(sqlite3_file* file);
    static int open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags);
    static int close(sqlite3_file* file);
    static int read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset);
    static int write(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset);
    static int truncate(sqlite3_file* file, sqlite3_int64 size);
    static int sync(sqlite3_file* file, int flags);
    static int fileSize(sqlite3_file* file, sqlite3_int64* size);
    static int lock(sqlite3_file* file, int level);
    static int unlock(sqlite3_file* file, int level);
    static int checkReservedLock(sqlite3_file* file, int* out);
    static int fileControl(sqlite3_file* file, int op, void* arg);
    static int sectorSize(sqlite3_file* file);
    static int deviceCharacteristics(sqlite3_file* file);
    static int shmMap(sqlite3_file* file, int page, int size, int extend, void volatile** out);
    static int shmLock(sqlite3_file* file, int offset, int n, int flags);
    static void shmBarrier(sqlite3_file* file);
    static int shmUnmap(sqlite3_file* file, int deleteFlag);

    // SQLITE_OK when the operation goes ahead, else the code it fails with.
    int fault(Operation operation);

    static const sqlite3_io_methods s_methods;

    sqlite3_vfs* m_base = nullptr;
    sqlite3_vfs m_vfs{};
    int m_operations = 0;
    int m_failAt = 0;
    Fault m_fault = Fault::IoError;
    bool m_persistent = false;
    bool m_realSyncs = false;
    SyncObserver m_syncObserver;
    int m_count = 0;
    int m_failed = 0;
};
