#include "faultvfs.h"

#include <cstring>

// The file as SQLite holds it: this layer's part first, the plain layer's file after it.
struct FaultVfs::SFile
{
    sqlite3_file base;
    FaultVfs* owner;
    sqlite3_file* real;
    // SQLite keeps the name it opened the file by until the file is closed.
    const char* name;
};

namespace {
constexpr int alignedSize(int size)
{
    return (size + 7) & ~7;
}
} // namespace

sqlite3_file* FaultVfs::real(sqlite3_file* file)
{
    return reinterpret_cast<SFile*>(file)->real;
}

// Version 2: no memory-mapped reads, so every page is read through read().
const sqlite3_io_methods FaultVfs::s_methods = {
    2,
    &FaultVfs::close,
    &FaultVfs::read,
    &FaultVfs::write,
    &FaultVfs::truncate,
    &FaultVfs::sync,
    &FaultVfs::fileSize,
    &FaultVfs::lock,
    &FaultVfs::unlock,
    &FaultVfs::checkReservedLock,
    &FaultVfs::fileControl,
    &FaultVfs::sectorSize,
    &FaultVfs::deviceCharacteristics,
    &FaultVfs::shmMap,
    &FaultVfs::shmLock,
    &FaultVfs::shmBarrier,
    &FaultVfs::shmUnmap,
    nullptr,
    nullptr,
};

FaultVfs::FaultVfs()
{
    m_base = sqlite3_vfs_find(nullptr);
    m_vfs = *m_base;
    m_vfs.iVersion = m_base->iVersion;
    m_vfs.szOsFile = alignedSize(int(sizeof(SFile))) + m_base->szOsFile;
    m_vfs.zName = "lumesk-fault";
    m_vfs.pAppData = this;
    m_vfs.xOpen = &FaultVfs::open;
    sqlite3_vfs_register(&m_vfs, 1);
}

FaultVfs::~FaultVfs()
{
    sqlite3_vfs_register(m_base, 1);
    sqlite3_vfs_unregister(&m_vfs);
}

void FaultVfs::failAt(int n, int operations, Fault fault, bool persistent)
{
    m_failAt = n;
    m_operations = operations;
    m_fault = fault;
    m_persistent = persistent;
    m_count = 0;
    m_failed = 0;
}

int FaultVfs::fault(Operation operation)
{
    if (!(m_operations & operation))
        return SQLITE_OK;
    ++m_count;
    if (m_failAt <= 0 || m_count < m_failAt || (m_count > m_failAt && !m_persistent))
        return SQLITE_OK;
    ++m_failed;
    if (m_fault == Fault::DiskFull && (operation == Write || operation == Truncate))
        return SQLITE_FULL;
    switch (operation) {
    case Read:
        return SQLITE_IOERR_READ;
    case Write:
        return SQLITE_IOERR_WRITE;
    case Sync:
        return SQLITE_IOERR_FSYNC;
    case Truncate:
        return SQLITE_IOERR_TRUNCATE;
    default:
        return SQLITE_IOERR;
    }
}

int FaultVfs::open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    auto* self = static_cast<FaultVfs*>(vfs->pAppData);
    auto* own = reinterpret_cast<SFile*>(file);
    std::memset(own, 0, sizeof(SFile));
    own->owner = self;
    own->name = name;
    own->real =
        reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + alignedSize(int(sizeof(SFile))));
    const int rc = self->m_base->xOpen(self->m_base, name, own->real, flags, outFlags);
    // A file the plain layer did not open has nothing to close.
    own->base.pMethods = own->real->pMethods ? &s_methods : nullptr;
    return rc;
}

int FaultVfs::close(sqlite3_file* file)
{
    sqlite3_file* r = real(file);
    return r->pMethods ? r->pMethods->xClose(r) : SQLITE_OK;
}

int FaultVfs::read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset)
{
    auto* own = reinterpret_cast<SFile*>(file);
    if (const int rc = own->owner->fault(Read); rc != SQLITE_OK)
        return rc;
    return own->real->pMethods->xRead(own->real, buffer, amount, offset);
}

int FaultVfs::write(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset)
{
    auto* own = reinterpret_cast<SFile*>(file);
    if (const int rc = own->owner->fault(Write); rc != SQLITE_OK)
        return rc;
    return own->real->pMethods->xWrite(own->real, buffer, amount, offset);
}

int FaultVfs::truncate(sqlite3_file* file, sqlite3_int64 size)
{
    auto* own = reinterpret_cast<SFile*>(file);
    if (const int rc = own->owner->fault(Truncate); rc != SQLITE_OK)
        return rc;
    return own->real->pMethods->xTruncate(own->real, size);
}

int FaultVfs::sync(sqlite3_file* file, int flags)
{
    auto* own = reinterpret_cast<SFile*>(file);
    if (const int rc = own->owner->fault(Sync); rc != SQLITE_OK)
        return rc;
    // A test needs no durability: the sync is counted, and reaches the disk only when asked for.
    const int rc = own->owner->m_realSyncs ? own->real->pMethods->xSync(own->real, flags) : SQLITE_OK;
    if (rc == SQLITE_OK && own->owner->m_syncObserver) {
        sqlite3_int64 size = -1;
        if (own->real->pMethods->xFileSize(own->real, &size) != SQLITE_OK)
            size = -1;
        own->owner->m_syncObserver(own->name ? std::string(own->name) : std::string(), size);
    }
    return rc;
}

int FaultVfs::fileSize(sqlite3_file* file, sqlite3_int64* size)
{
    return real(file)->pMethods->xFileSize(real(file), size);
}

int FaultVfs::lock(sqlite3_file* file, int level)
{
    return real(file)->pMethods->xLock(real(file), level);
}

int FaultVfs::unlock(sqlite3_file* file, int level)
{
    return real(file)->pMethods->xUnlock(real(file), level);
}

int FaultVfs::checkReservedLock(sqlite3_file* file, int* out)
{
    return real(file)->pMethods->xCheckReservedLock(real(file), out);
}

int FaultVfs::fileControl(sqlite3_file* file, int op, void* arg)
{
    return real(file)->pMethods->xFileControl(real(file), op, arg);
}

int FaultVfs::sectorSize(sqlite3_file* file)
{
    return real(file)->pMethods->xSectorSize(real(file));
}

int FaultVfs::deviceCharacteristics(sqlite3_file* file)
{
    return real(file)->pMethods->xDeviceCharacteristics(real(file));
}

int FaultVfs::shmMap(sqlite3_file* file, int page, int size, int extend, void volatile** out)
{
    sqlite3_file* r = real(file);
    return r->pMethods->iVersion >= 2 ? r->pMethods->xShmMap(r, page, size, extend, out) : SQLITE_IOERR;
}

int FaultVfs::shmLock(sqlite3_file* file, int offset, int n, int flags)
{
    sqlite3_file* r = real(file);
    return r->pMethods->iVersion >= 2 ? r->pMethods->xShmLock(r, offset, n, flags) : SQLITE_IOERR;
}

void FaultVfs::shmBarrier(sqlite3_file* file)
{
    sqlite3_file* r = real(file);
    if (r->pMethods->iVersion >= 2)
        r->pMethods->xShmBarrier(r);
}

int FaultVfs::shmUnmap(sqlite3_file* file, int deleteFlag)
{
    sqlite3_file* r = real(file);
    return r->pMethods->iVersion >= 2 ? r->pMethods->xShmUnmap(r, deleteFlag) : SQLITE_OK;
}
