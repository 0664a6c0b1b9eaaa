#pragma once

#include "imediaitemstorage.h"

// Groups the storage operations of one call into one transaction:
//
//     CMediaStorageBatch batch(storage);
//     storage->addMediaItem(item, fields); ...
//     if (!batch.end()) { drop what was made for these rows; }
//
// end() reports whether the batch was committed (with Commit::Durable: and is on the disk); without it the
// destructor ends the batch (and the result is lost). Lives on the stack of one call on the GUI thread: a
// batch never spans a return to the event loop.
class CMediaStorageBatch
{
public:
    explicit CMediaStorageBatch(IMediaItemStorage* storage,
                                IMediaItemStorage::Commit commit = IMediaItemStorage::Commit::Normal)
        : m_storage(storage)
    {
        if (m_storage)
            m_storage->beginBatch(commit);
    }
    ~CMediaStorageBatch()
    {
        if (m_storage)
            m_storage->endBatch();
    }
    CMediaStorageBatch(const CMediaStorageBatch&) = delete;
    CMediaStorageBatch& operator=(const CMediaStorageBatch&) = delete;

    // Ends the batch; true when it was committed (or, when nested, has not failed so far).
    // A second call returns false.
    bool end()
    {
        if (!m_storage)
            return false;
        IMediaItemStorage* storage = m_storage;
        m_storage = nullptr;
        return storage->endBatch();
    }

private:
    IMediaItemStorage* m_storage = nullptr;
};
