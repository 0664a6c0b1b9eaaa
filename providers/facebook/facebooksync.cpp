#include "facebooksync.h"

#include "facebookcalls.h"
#include "facebookitems.h"
#include "facebookobjects.h"
#include "imediaitemstorage.h"
#include "meskclock.h"

#include <utility>

namespace {

constexpr int kMaxPeriodHours = 336;
constexpr int kKeepDays = 14;

} // namespace

// ---- CFacebookSync ------------------------------------------------------------------------

CFacebookSync::CFacebookSync(mid_t providerId, QObject* parent) : QObject(parent), m_providerId(providerId) {}

void CFacebookSync::load(IMediaItemStorage* storage)
{
    m_storage = storage;
    m_state = {};
    m_loaded = !m_storage;
}

bool CFacebookSync::ensureLoaded() const
{
    if (m_loaded)
        return true;
    bool read = false;
    const QList<SMediaItem> records = m_storage->syncRecords(m_providerId, &read);
    if (!read)
        return false;
    m_loaded = true;
    for (const SMediaItem& record : records) {
        if (record.extra1 == FacebookEventKind::friendRequest()) {
            m_state.friendRequests.insert(record.id, record);
        } else if (record.extra1 == FacebookEventKind::message()) {
            m_state.messages.insert(record.id, record);
        } else if (!m_state.streamEventIds.contains(record.id)) {
            m_state.streamEventIds.insert(record.id);
            m_state.streamEvents.append(record.id);
        }
    }
    return true;
}

bool CFacebookSync::save()
{
    if (!m_storage || !ensureLoaded())
        return false;
    const QDate today = MeskClock::now().toLocalTime().date();
    const auto expire = [&today](QHash<mid_t, SMediaItem>& records) {
        for (auto it = records.begin(); it != records.end();) {
            if (it->added.toLocalTime().date().daysTo(today) > kKeepDays)
                it = records.erase(it);
            else
                ++it;
        }
    };
    expire(m_state.messages);
    expire(m_state.friendRequests);
    QList<mid_t> ids = m_state.streamEvents;
    ids += m_state.messages.keys();
    ids += m_state.friendRequests.keys();
    return m_storage->setSyncRecords(m_providerId, ids, kMaxPeriodHours);
}

void CFacebookSync::reset()
{
    if (!m_storage)
        return;
    m_state = {};
    m_loaded = true;
    m_storage->setSyncRecords(m_providerId, {}, 0);
}

void CFacebookSync::beginStream()
{
    ensureLoaded();
    m_state.nextStream.clear();
    m_state.nextStreamIds.clear();
    m_state.streaming = true;
}

void CFacebookSync::endStream(bool replace)
{
    if (m_state.streaming && replace) {
        m_state.streamEvents = std::exchange(m_state.nextStream, {});
        m_state.streamEventIds = std::exchange(m_state.nextStreamIds, {});
    }
    m_state.nextStream.clear();
    m_state.nextStreamIds.clear();
    m_state.streaming = false;
}

void CFacebookSync::addRecord(mid_t id)
{
    // A record that cannot be written fails the caller's batch: nothing of it is kept then.
    if (m_storage)
        m_storage->addSyncRecords(m_providerId, {id}, kMaxPeriodHours);
}

void CFacebookSync::addStreamEvent(mid_t id)
{
    ensureLoaded();
    if (!m_state.streamEventIds.contains(id)) {
        m_state.streamEventIds.insert(id);
        m_state.streamEvents.append(id);
        addRecord(id);
    }
    if (m_state.streaming && !m_state.nextStreamIds.contains(id)) {
        m_state.nextStreamIds.insert(id);
        m_state.nextStream.append(id);
    }
}

void CFacebookSync::addMessage(const SMediaItem& item)
{
    ensureLoaded();
    if (!m_state.messages.contains(item.id)) {
        m_state.messages.insert(item.id, item);
        addRecord(item.id);
    }
}

void CFacebookSync::addFriendRequest(const SMediaItem& item)
{
    ensureLoaded();
    if (!m_state.friendRequests.contains(item.id)) {
        m_state.friendRequests.insert(item.id, item);
        addRecord(item.id);
    }
}

// ---- CFacebookCommentSync -----------------------------------------------------------------

CFacebookCommentSync::CFacebookCommentSync(CFacebookApi* api, CFacebookObjectManager* objects,
                                           QObject* parent)
    : QObject(parent), m_api(api), m_objects(objects), m_commentsCall(new CFacebookEventComments(api, this))
{
    connect(m_commentsCall, &CFacebookEventComments::eventComments, this,
            &CFacebookCommentSync::_onEventComments);
    connect(m_commentsCall, &CMeskHttpMethod::networkError, this, &CFacebookCommentSync::_onSyncFailed);
    connect(m_commentsCall, qOverload<>(&CMeskHttpMethod::protocolError), this,
            &CFacebookCommentSync::_onSyncFailed);
}

CFacebookCommentSync::~CFacebookCommentSync()
{
    m_commentsCall->cancel();
}

void CFacebookCommentSync::schedule(CFacebookEvent* event)
{
    if (!event)
        return;
    m_queue.append(event);
    syncNext();
}

void CFacebookCommentSync::reset()
{
    m_commentsCall->cancel();
    m_queue.clear();
    m_current = nullptr;
}

void CFacebookCommentSync::syncNext()
{
    while (!m_current && m_commentsCall->isReady() && !m_queue.isEmpty()) {
        QPointer<CFacebookEvent> next = m_queue.takeFirst();
        if (!next)
            continue;
        m_current = next;
        // A request that cannot start reports its refusal once this returns; the failure
        // slot then moves on to the next post.
        m_commentsCall->request(next->mediaItem().mediaId);
        return;
    }
}

void CFacebookCommentSync::_onEventComments(const QList<SFacebookComment>& comments)
{
    const QPointer<CFacebookEvent> current = std::exchange(m_current, nullptr);
    if (current)
        m_objects->syncComments(current, comments);
    syncNext();
}

void CFacebookCommentSync::_onSyncFailed()
{
    m_current = nullptr;
    syncNext();
}
