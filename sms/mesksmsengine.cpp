#include "mesksmsengine.h"

#include "imediaitemstorage.h"
#include "mediastoragebatch.h"
#include "meskclock.h"
#include "mesknetworkmanager.h"
#include "meskzone.h"
#include "smspdu.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <algorithm>

namespace {

void log(const QString& text)
{
    qDebug().noquote() << text;
}

} // namespace

// The worker thread: creates the SMS manager, runs its event loop until
// stop(), then releases the manager on the same thread.
class CMeskSmsEngine::Worker : public QThread
{
public:
    Worker(CMeskSmsEngine* engine, IMeskModemBackend* backend) : m_engine(engine), m_backend(backend) {}

protected:
    void run() override
    {
        std::unique_ptr<CMeskMbnSmsManager> manager = m_engine->initMbn(m_backend);
        exec();
        m_engine->releaseMbn();
        // Its release stops the watchdog and waits for running event handlers.
        manager.reset();
    }

private:
    CMeskSmsEngine* m_engine;
    IMeskModemBackend* m_backend;
};

CMeskSmsEngine::CMeskSmsEngine(QObject* parent) : IMeskSmsEngine(parent)
{
    // Messages cross threads in queued signals.
    qRegisterMetaType<SSmsMessage>("SSmsMessage");
}

CMeskSmsEngine::~CMeskSmsEngine()
{
    stop();
}

void CMeskSmsEngine::start(IMediaItemStorage* storage, CMeskNetworkManager* network)
{
    stop();
    m_storage = storage;
    m_network = network;
    loadOnModem();
    if (m_network) {
        m_stateConnection = connect(m_network, &CMeskNetworkManager::cellularStateChanged, this,
                                    &CMeskSmsEngine::_onCellularStateChanged);
        m_signalConnection = connect(m_network, &CMeskNetworkManager::cellularSignalChanged, this,
                                     &CMeskSmsEngine::_onCellularSignalChanged);
    }
    updateState();

    // The network manager owns the modem backend and outlives the run.
    m_worker = new Worker(this, m_network ? m_network->modemBackend() : nullptr);
    m_initDone.store(false, std::memory_order_release);
    m_workerContext = new QObject;
    m_workerContext->moveToThread(m_worker);
    m_worker->start();
}

void CMeskSmsEngine::stop()
{
    if (m_worker) {
        // The worker never blocks, so its loop ends promptly; it is never killed.
        m_worker->quit();
        m_worker->wait();
        // Work still queued to the worker is dropped with its context.
        delete m_workerContext;
        m_workerContext = nullptr;
        delete m_worker;
        m_worker = nullptr;
    }
    // Reports of the ended run that still wait for the GUI thread are dropped (messages not yet
    // stored are read again at the next start); its requests can no longer be confirmed.
    ++m_run;
    m_incoming.clear();
    writeQueued();
    m_queuedWrites.clear();
    forgetRemoved();
    m_removed.clear();
    {
        QMutexLocker lock(&m_mutex);
        m_pending.clear();
        m_failedSends.clear();
    }
    disconnect(m_stateConnection);
    disconnect(m_signalConnection);
    m_network = nullptr;
    m_storage = nullptr;
    // Back to "not yet derived"; this is never reported.
    m_state = TMeskSmsState(0);
    m_condition.clear();
    m_onModem.clear();
    m_reads.clear();
    m_reloads.clear();
    m_renewal = 0;
    m_entryOfIndex.clear();
    m_refusalLogged = false;
    m_readWanted = false;
    m_readOwed = false;
    m_notesRead = false;
    m_holdLogged = false;
    m_setNamesSeen.clear();
}

std::unique_ptr<CMeskMbnSmsManager> CMeskSmsEngine::initMbn(IMeskModemBackend* backend)
{
    if (!backend || !backend->open()) {
        log(QStringLiteral("CMeskSmsEngine: Mbn Api is not supported"));
        m_initDone.store(true, std::memory_order_release);
        postInitStep([this] {
            m_readWanted = false;
            emit initFailed();
        });
        return nullptr;
    }
    auto manager = std::make_unique<CMeskMbnSmsManager>();
    const bool initialised = manager->init(backend, this);
    // A manager that failed to initialise stays until the thread ends.
    m_manager.store(manager.get(), std::memory_order_release);
    if (initialised)
        m_mbnReady.store(true, std::memory_order_release);
    else
        log(QStringLiteral("CMeskSmsEngine: failed to init Mbn SMS manager"));
    // Done before the GUI thread's step is posted: a read asked from then on is made at once, and
    // one asked before is made by the step.
    m_initDone.store(true, std::memory_order_release);
    if (initialised) {
        postInitStep([this] {
            if (std::exchange(m_readWanted, false))
                readSimMessages();
        });
    } else {
        postInitStep([this] {
            m_readWanted = false;
            emit initFailed();
        });
    }
    return manager;
}

void CMeskSmsEngine::postInitStep(std::function<void()> step)
{
    toGuiThread(std::move(step));
    // A test may hold the worker here: from this moment the GUI thread may run the step while the
    // worker has not gone on.
    runInitHook();
}

void CMeskSmsEngine::setInitHook(std::function<void()> hook)
{
    initHook() = std::move(hook);
}

std::function<void()>& CMeskSmsEngine::initHook()
{
    static std::function<void()> hook;
    return hook;
}

void CMeskSmsEngine::runInitHook()
{
    // A copy: the test may set another once this one runs.
    if (const std::function<void()> hook = initHook())
        hook();
}

void CMeskSmsEngine::releaseMbn()
{
    m_mbnReady.store(false, std::memory_order_release);
    m_manager.store(nullptr, std::memory_order_release);
}

template <typename Work> void CMeskSmsEngine::toGuiThread(Work work)
{
    const quint64 run = m_run.load(std::memory_order_acquire);
    QMetaObject::invokeMethod(
        this,
        [this, run, work = std::move(work)]() mutable {
            if (run == m_run.load(std::memory_order_acquire))
                work();
        },
        Qt::QueuedConnection);
}

bool CMeskSmsEngine::isSmsReady() const
{
    return m_mbnReady.load(std::memory_order_acquire) && m_state == SmsStateReady &&
           m_manager.load(std::memory_order_acquire);
}

bool CMeskSmsEngine::readSimMessages()
{
    if (m_worker && !m_initDone.load(std::memory_order_acquire)) {
        // The worker has not made the manager yet: the read is made once it has (when the SMS
        // state is ready then; otherwise the state's change to ready asks again).
        m_readWanted = true;
        return true;
    }
    if (!isSmsReady())
        return false;
    // Without the notes every message the modem holds would be taken for a new one.
    if (!m_notesRead) {
        if (!loadOnModem()) {
            log(QStringLiteral("CMeskSmsEngine: the notes of the messages on the modem cannot be read, the "
                               "modem is not read"));
            return false;
        }
        // The messages reported while they could not be read.
        storeIncoming();
    }
    const quint32 read = m_manager.load(std::memory_order_acquire)->readAllMessages();
    if (read == 0)
        return false;
    // Its reports reach this thread after this returns.
    m_reads.insert(read, Read{m_serial, ++m_readsAsked, {}, {}, false});
    m_readOwed = false;
    toGuiThread([this] { noteCondition({}); });
    return true;
}

bool CMeskSmsEngine::sendMessage(const QString& phone, const QString& text)
{
    if (!isSmsReady())
        return false;
    // Held until the message is pending. Reports reach the pending table only
    // on the GUI thread, after this returns.
    QMutexLocker lock(&m_mutex);
    SSmsMessage message;
    message.phone = phone;
    // Kept and shown as it goes out (look-alikes for what the alphabet lacks): what the recipient gets.
    message.message = smsPduSendableText(text);
    message.created = MeskClock::now();
    message.type = SSmsMessage::BeingSent;

    quint32 requestId = 0;
    if (!m_manager.load(std::memory_order_acquire)->send(phone, text, &requestId)) {
        log(QStringLiteral("CMeskSmsEngine: failed to send sms message"));
        return false;
    }
    if (!m_storage || !m_storage->addSmsMessage(message))
        log(QStringLiteral("CMeskSmsEngine: failed to add new message to storage"));
    m_pending.insert(requestId, message);
    emit messageSent(message);
    return true;
}

void CMeskSmsEngine::smsTextLength(const QString& text, int* used, int* left, int* parts)
{
    if (CMeskMbnSmsManager* manager = m_manager.load(std::memory_order_acquire))
        manager->textLength(text, used, left, parts);
}

// ---------------------------------------------------------------------------------------------
// The manager's reports: handed to the GUI thread as they are.

void CMeskSmsEngine::onMeskMbnSmsManagerNotification() {}

void CMeskSmsEngine::onMeskMbnSmsManagerMessageReceived(quint32 status, const QString& number,
                                                        const QString& text, quint32 timeStamp,
                                                        const QList<quint32>& indices,
                                                        const SMeskSmsOrigin& origin, quint32 readId,
                                                        bool reloaded, quint32 renewal, const QString& sim)
{
    toGuiThread([this, status, number, text, timeStamp, indices, origin, readId, reloaded, renewal, sim] {
        noteCondition({});
        // Taken in together with the messages already waiting for this thread: one transaction for
        // all of them.
        m_incoming.append(
            Incoming{status, number, text, timeStamp, indices, origin, readId, reloaded, renewal, sim});
        // Messages held while the notes cannot be read are tried again with each new one.
        if (m_incoming.size() == 1 || !m_notesRead)
            toGuiThread([this] { storeIncoming(); });
    });
}

void CMeskSmsEngine::onMeskMbnSmsManagerReadListed(quint32 readId, const QList<SMeskSmsOrigin>& listed,
                                                   const QString& objectSet, const QString& sim)
{
    // Comes before the read's messages, which queue behind it, and before a renewal after the list.
    toGuiThread([this, readId, listed, objectSet, sim] {
        // What was reported before the list first: a message read before its object went is known.
        storeIncoming();
        const auto read = m_reads.find(readId);
        if (read == m_reads.end())
            return;
        read->listed = QSet<SMeskSmsOrigin>(listed.cbegin(), listed.cend());
        read->listKnown = true;
        carryOverSetName(objectSet);
        forgetUnlisted(*read, objectSet, sim);
    });
}

void CMeskSmsEngine::forgetUnlisted(const Read& read, const QString& objectSet, const QString& sim)
{
    // A message without a time whose object is gone from the set it was last seen in was deleted
    // (by another client, say): no object of this set is taken for it any more, and once the modem
    // made its messages anew its note would take a new identical message for it. It is forgotten
    // now, as the read's end would forget it, should the read not end (the modem switched off and
    // on during it). Not one whose delete the modem failed (the SIM may keep it), one the program
    // made, one of another SIM, nor while a read asked before may yet report it.
    if (objectSet.isEmpty() || std::any_of(m_reads.cbegin(), m_reads.cend(),
                                           [&](const Read& other) { return other.order < read.order; }))
        return;
    removeOnModem([&](const OnModem& entry) {
        const SSmsOnModem& noted = entry.noted;
        return entry.serial <= read.before && noted.timeStamp == 0 && !noted.anyTime && !noted.own &&
               !noted.deleteFailed && noted.deletedIn.isEmpty() &&
               (noted.sim.isEmpty() || noted.sim == sim) && entry.origin().objectSet == objectSet &&
               !read.listed.contains(entry.origin());
    });
}

void CMeskSmsEngine::onMeskMbnSmsManagerReadEnded(quint32 readId, bool complete,
                                                  const QList<SMeskSmsOrigin>& listed,
                                                  const QString& objectSet, const QString& sim)
{
    toGuiThread([this, readId, complete, listed, objectSet, sim] {
        storeIncoming();
        readEnded(readId, complete, listed, objectSet, sim);
    });
}

void CMeskSmsEngine::onMeskMbnSmsManagerMessagesRenewed(bool announced, quint32 renewal)
{
    toGuiThread([this, announced, renewal] {
        storeIncoming();
        // Where the modem had its messages says nothing any more: the messages it announces as it
        // makes them anew, and the next read, find them by what they hold.
        bool changed = false;
        for (OnModem& entry : m_onModem) {
            changed = changed || !entry.origin().isEmpty();
            entry.setOrigin({});
        }
        m_renewal = std::max(m_renewal, renewal);
        m_reloads.insert(renewal, Read{m_serial, 0, {}, {}, false});
        // A message read in a renewal before is rarely reported after the next few.
        constexpr qsizetype RenewalsKept = 8;
        while (m_reloads.size() > RenewalsKept)
            m_reloads.erase(m_reloads.begin());
        // Unless the modem announces each message it makes anew, they are to be read anew once it
        // is ready again: messages that came while its service was away are announced by no one.
        if (!announced)
            m_readOwed = true;
        if (changed && m_storage && !m_storage->clearSmsOnModemOrigins())
            log(QStringLiteral("CMeskSmsEngine: failed to note that the modem made its messages anew"));
    });
}

void CMeskSmsEngine::onMeskMbnSmsManagerSendCreated(quint32 requestId, const SMeskSmsOrigin& origin,
                                                    const QString& sim)
{
    toGuiThread([this, requestId, origin, sim] {
        // Noted before it goes out: should the program stop before the send ends, the next start
        // learns from the object what became of the message.
        QMutexLocker lock(&m_mutex);
        SSmsMessage message;
        if (const auto pending = m_pending.constFind(requestId); pending != m_pending.cend()) {
            message = *pending;
        } else {
            const auto failed = std::find_if(m_failedSends.cbegin(), m_failedSends.cend(),
                                             [&](const auto& entry) { return entry.first == requestId; });
            if (failed == m_failedSends.cend())
                return;
            message = failed->second;
        }
        carryOverSetName(origin.objectSet);
        OnModem entry;
        entry.noted.message = message.id;
        entry.setOrigin(origin);
        entry.noted.phone = message.phone;
        entry.noted.text = message.message;
        entry.noted.type = SSmsMessage::Sent;
        entry.noted.own = true;
        entry.noted.sent = message.created;
        entry.noted.sim = sim;
        entry.serial = ++m_serial;
        entry.live = true;
        if (!m_storage || !m_storage->addSmsOnModem(entry.noted)) {
            log(QStringLiteral("CMeskSmsEngine: failed to note a message left on the modem"));
            entry.noted.id = 0;
        }
        m_onModem.append(entry);
    });
}

void CMeskSmsEngine::onMeskMbnSmsManagerSendDone(quint32 requestId)
{
    toGuiThread([this, requestId] {
        noteCondition({});
        sendEnded(requestId, true);
    });
}

void CMeskSmsEngine::onMeskMbnSmsManagerSendFailed(quint32 requestId, quint32)
{
    toGuiThread([this, requestId] {
        noteCondition({});
        sendEnded(requestId, false);
    });
}

void CMeskSmsEngine::onMeskMbnSmsManagerError(quint32 errorCode)
{
    const QString text = errorText(errorCode);
    if (text.isEmpty())
        return;
    toGuiThread([this, text] { noteCondition(text); });
}

void CMeskSmsEngine::onMeskMbnSmsManagerDeleteDone(quint32 index, quint32 errorCode)
{
    toGuiThread([this, index, errorCode] {
        storeIncoming();
        deleteEnded(index, errorCode);
    });
}

void CMeskSmsEngine::noteCondition(const QString& error)
{
    // A modem without a device or SIM answers every poll with the same error: say when it
    // starts and when it ends, not each time.
    if (error == m_condition)
        return;
    if (!m_condition.isEmpty())
        log(QStringLiteral("CMeskSmsEngine: ended: ") + m_condition);
    m_condition = error;
    if (!error.isEmpty())
        log(QStringLiteral("CMeskSmsEngine::onMeskMbnSmsManagerError: ") + error);
}

QString CMeskSmsEngine::errorText(quint32 errorCode)
{
    static const char* const texts[] = {
        "no error",
        "Internal error",
        "Device not found",
        "API request rejected",
        "argument format error",
        "No SIM inserted",
        "Bad SIM inserted",
        "PIN required",
        "SIM memory error",
        "SIM memory full",
        "Unknown service center number",
        "Not activated",
        "API request parameters error",
        "Time out",
        "SIM not registered",
        "Operation failed",
        "Modem failure",
    };
    if (errorCode >= std::size(texts))
        return {};
    return QString::fromLatin1(texts[errorCode]);
}

// ---------------------------------------------------------------------------------------------
// GUI thread

void CMeskSmsEngine::sendEnded(quint32 requestId, bool done)
{
    QMutexLocker lock(&m_mutex);
    SSmsMessage message;
    const auto pending = m_pending.constFind(requestId);
    if (pending != m_pending.cend()) {
        message = *pending;
        m_pending.erase(pending);
        if (!done) {
            // The modem may still confirm it (after the watchdog): it is then sent after all.
            constexpr qsizetype Kept = 64;
            m_failedSends.append({requestId, message});
            if (m_failedSends.size() > Kept)
                m_failedSends.removeFirst();
        }
    } else {
        const auto failed = std::find_if(m_failedSends.cbegin(), m_failedSends.cend(),
                                         [&](const auto& entry) { return entry.first == requestId; });
        if (!done || failed == m_failedSends.cend())
            return;
        message = failed->second;
        m_failedSends.erase(failed);
    }
    message.type = done ? SSmsMessage::Sent : SSmsMessage::SendFailed;
    if (!m_storage || !m_storage->updateSmsMessage(message))
        log(QStringLiteral("CMeskSmsEngine: failed to update message to storage"));
    if (done)
        emit messageSendDone(message);
    else
        emit messageSendFailed(message);
}

void CMeskSmsEngine::storeIncoming()
{
    if (m_incoming.isEmpty())
        return;
    // Without the notes a message the modem still holds from an earlier run (announced again as it
    // made its messages anew, say) would be taken for a new one. The messages wait here until the
    // notes can be read: the SMS manager does not report them again in this run.
    if (!m_notesRead && !loadOnModem()) {
        if (!std::exchange(m_holdLogged, true))
            log(QStringLiteral("CMeskSmsEngine: the notes of the messages on the modem cannot be read, new "
                               "messages wait"));
        return;
    }
    const QList<Incoming> incoming = std::exchange(m_incoming, {});
    Outcome outcome;
    const quint64 lastBefore = m_serial;
    bool committed = false;
    if (m_storage) {
        // The modem is asked to delete a message only once its row and its note are on the disk: a
        // commit that a power cut could take back must not cost the SIM's copy.
        CMediaStorageBatch batch(m_storage, IMediaItemStorage::Commit::Durable);
        for (const Incoming& message : incoming)
            receive(message, outcome);
        committed = batch.end();
    } else {
        for (const Incoming& message : incoming)
            receive(message, outcome);
    }
    if (!committed) {
        // Nothing of it was kept: the messages stay on the modem and are read again at the next
        // start.
        log(QStringLiteral("CMeskSmsEngine: failed to add new message to storage"));
        m_onModem.removeIf([lastBefore](const OnModem& entry) { return entry.serial > lastBefore; });
        outcome.settled.clear();
        // Only what was stored is announced: a message without a row is shown once it is read again.
        outcome.announced.clear();
    }
    // The modem lets a message go only once it is stored and noted, durably.
    for (const auto& [serial, indices] : std::as_const(outcome.deletes)) {
        const auto entry = std::find_if(m_onModem.begin(), m_onModem.end(),
                                        [serial = serial](const OnModem& e) { return e.serial == serial; });
        if (entry != m_onModem.end())
            deleteFromModem(*entry, indices);
    }
    for (const SSmsMessage& sent : std::as_const(outcome.settled))
        emit messageSendDone(sent);
    for (const auto& [message, status] : std::as_const(outcome.announced)) {
        if (status == MeskSmsStatus::New)
            emit newMessageReceived(message);
        else
            emit simMessageReady(message);
    }
}

void CMeskSmsEngine::noteSightingAndDeleteAgain(OnModem& entry, const SMeskSmsOrigin& origin,
                                                const Incoming& incoming, Outcome& outcome)
{
    bool changed = false;
    // The same object as when the program stopped with its delete pending: that delete was refused,
    // never made, or failed as the modem's failure after which ModemManager answers the next
    // delete with success while the SIM keeps the message. Which one cannot be told. For a message
    // with a service-centre time it is taken as failed, so its note outlives that success: its time
    // tells its comeback from a new message. A message without a time cannot be told from a new one,
    // so its note goes with the success (should the SIM have kept it, it comes back as a second row,
    // never at the cost of a new message).
    if (std::exchange(entry.pendingBefore, false) && entry.origin() == origin && incoming.timeStamp != 0 &&
        !entry.noted.anyTime && !entry.noted.deleteFailed) {
        entry.noted.deleteFailed = true;
        changed = true;
    }
    // It is where it was read now; an entry of the older form learns the message's time.
    if (entry.origin() != origin || entry.noted.anyTime) {
        // Another object: what the deletes of the one before came to says nothing of it.
        if (entry.origin() != origin) {
            entry.noted.deleteFailed = false;
            entry.noted.deletedIn.clear();
        }
        entry.setOrigin(origin);
        if (entry.noted.anyTime)
            entry.noted.timeStamp = incoming.timeStamp;
        entry.noted.anyTime = false;
        changed = true;
    }
    // Its delete goes out once this transaction is committed.
    if (!incoming.indices.isEmpty() && !entry.noted.deletePending) {
        entry.noted.deletePending = true;
        changed = true;
    }
    if (changed)
        writeOnModem(entry);
    outcome.deletes.append({entry.serial, incoming.indices});
}

void CMeskSmsEngine::receive(const Incoming& incoming, Outcome& outcome)
{
    SSmsMessage message;
    message.phone = incoming.number;
    message.message = incoming.text;
    // The service centre's time, so messages read from the SIM later keep
    // their order; 0 means the message had none that could be read.
    message.created = incoming.timeStamp != 0 ? MeskZone::localInstant(incoming.timeStamp) : MeskClock::now();
    message.type = incoming.status == MeskSmsStatus::Sent ? SSmsMessage::Sent : SSmsMessage::Received;
    // Read before the latest renewal of the modem's messages: its object and index name nothing
    // now. It is still taken in (a message the modem did not keep is announced by no one again),
    // matched only among the messages of its own renewal; an entry it makes has no origin, so the
    // newer renewal's announcement finds it by what it holds.
    m_renewal = std::max(m_renewal, incoming.renewal);
    const bool stale = incoming.renewal != 0 && incoming.renewal < m_renewal;
    const SMeskSmsOrigin origin = stale ? SMeskSmsOrigin() : incoming.origin;
    carryOverSetName(origin.objectSet);

    // A message the modem kept although it was stored before (its delete was refused or never
    // confirmed), or that the user deleted since, is not stored again; its delete is tried again.
    const auto found = m_reads.find(incoming.readId);
    Read* read = found != m_reads.end() ? &*found
                 : incoming.reloaded    ? &m_reloads[incoming.renewal]
                                        : nullptr;
    // A message kept unsent is acted on only when the program made it.
    if (incoming.status == MeskSmsStatus::Unsent) {
        const auto own = std::find_if(m_onModem.begin(), m_onModem.end(), [&](const OnModem& entry) {
            return entry.noted.own && !origin.isEmpty() && entry.origin() == origin;
        });
        if (own != m_onModem.end()) {
            if (read)
                read->found.insert(own->serial);
            finishOwnSend(*own, incoming.status, incoming.indices, outcome);
        }
        return;
    }
    if (OnModem* entry = findOnModem(message, incoming.timeStamp, origin, incoming.sim, read)) {
        if (read)
            read->found.insert(entry->serial);
        // It was seen with this SIM now (a note of no SIM, an older version's, takes it).
        if (!incoming.sim.isEmpty() && entry->noted.sim != incoming.sim) {
            entry->noted.sim = incoming.sim;
            writeOnModem(*entry);
        }
        // A stale report's object and index name nothing now: the newer renewal's sighting deletes it.
        if (entry->noted.own) {
            // Found by what it holds once its objects were made anew: it is known by its object again.
            if (!stale && entry->origin() != origin) {
                entry->setOrigin(origin);
                writeOnModem(*entry);
            }
            finishOwnSend(*entry, incoming.status, stale ? QList<quint32>() : incoming.indices, outcome);
            return;
        }
        if (stale)
            return;
        noteSightingAndDeleteAgain(*entry, origin, incoming, outcome);
        return;
    }
    // Only what is stored is announced: a message that is not stays on the modem and is read again.
    if (!m_storage || !m_storage->addSmsMessage(message))
        return;
    // The message and the note that the modem still holds it are kept in one transaction: a stop
    // at any moment leaves no stored message that a later read would store again.
    if (!incoming.indices.isEmpty()) {
        OnModem& entry = m_onModem.emplace_back();
        // Its delete goes out once this transaction is committed; a read before the latest renewal
        // names nothing to delete.
        entry.noted.message = message.id;
        entry.setOrigin(origin);
        entry.noted.phone = incoming.number;
        entry.noted.text = incoming.text;
        entry.noted.type = message.type;
        entry.noted.timeStamp = incoming.timeStamp;
        entry.noted.deletePending = !stale;
        entry.noted.sim = incoming.sim;
        entry.serial = ++m_serial;
        m_storage->addSmsOnModem(entry.noted);
        if (read)
            read->found.insert(entry.serial);
        if (!stale)
            outcome.deletes.append({entry.serial, incoming.indices});
    }
    outcome.announced.append({message, incoming.status});
}

CMeskSmsEngine::OnModem* CMeskSmsEngine::findOnModem(const SSmsMessage& message, quint32 timeStamp,
                                                     const SMeskSmsOrigin& origin, const QString& sim,
                                                     const Read* read)
{
    // The same object of the same set is the same message, whatever it holds.
    if (!origin.isEmpty()) {
        for (OnModem& entry : m_onModem) {
            if (entry.origin() == origin)
                return &entry;
        }
    }
    // A message that arrived is new, unless it is the same object.
    if (!read)
        return nullptr;
    // The oldest entry alike not found yet by this read: the same phone, type and text, and the same
    // service-centre time when the message has one.
    for (OnModem& entry : m_onModem) {
        const SSmsOnModem& noted = entry.noted;
        // What it holds first: it tells most entries apart at once.
        if (noted.phone != message.phone || noted.type != message.type || noted.text != message.message ||
            (timeStamp != 0 && !noted.anyTime && noted.timeStamp != timeStamp))
            continue;
        if (read->found.contains(entry.serial))
            continue;
        // Without a time, a message read with another SIM is another message: the modem's memory
        // keeps its messages when the SIM is swapped, so an identical one may be read with either.
        // Read while the modem did not name its SIM (its answer had not come), it may be the same.
        if (timeStamp == 0 && !sim.isEmpty() && !noted.sim.isEmpty() && noted.sim != sim)
            continue;
        // A note whose delete was pending when the program stopped, of a message without a time: the
        // delete may have gone through, and what is read may be a new identical message under another
        // object (announced by no one, or arrived while the program was away). Only its own object
        // tells (above): taken for a new one, a second row rather than a lost message.
        if (timeStamp == 0 && entry.pendingBefore && !noted.own)
            continue;
        // Its set of objects is gone (or not known): what it holds is all that tells.
        if (noted.objectSet.isEmpty() || origin.isEmpty() || noted.objectSet != origin.objectSet)
            return &entry;
        // The same set: another object is another message (a message the program made is known
        // only by its object), unless the message has the note's service-centre time and the note's
        // object is gone while the SIM may keep the message: the service dropped it (deletedIn), or
        // the read's list does not name it. Such a message comes back under another object when the
        // service loads the SIM again, in a set that may have the same name (the modem was switched
        // off and on while the program was closed). Without a time a comeback cannot be told from a
        // new message: it is taken for a new one, a second row rather than a lost message.
        const bool objectGone =
            !noted.deletedIn.isEmpty() || (read->listKnown && !read->listed.contains(entry.origin()));
        if (timeStamp != 0 && !noted.anyTime && !noted.own && objectGone)
            return &entry;
    }
    return nullptr;
}

void CMeskSmsEngine::finishOwnSend(OnModem& entry, quint32 status, const QList<quint32>& indices,
                                   Outcome& outcome)
{
    // Its send ends in this run.
    if (entry.live)
        return;
    // The start marked it failed; it went out after all.
    if (status == MeskSmsStatus::Sent && entry.noted.message != 0 && m_storage) {
        bool read = false;
        const QList<SSmsMessage> rows = m_storage->smsMessages(&read);
        if (!read) {
            // The row and the modem's object stay as they are: a later read settles them.
            log(QStringLiteral("CMeskSmsEngine: the stored messages cannot be read, a sent message stays"));
            return;
        }
        const auto row = std::find_if(rows.cbegin(), rows.cend(),
                                      [&](const SSmsMessage& m) { return m.id == entry.noted.message; });
        if (row != rows.cend() && row->type != SSmsMessage::Sent) {
            SSmsMessage sent = *row;
            sent.type = SSmsMessage::Sent;
            if (entry.noted.sent.isValid())
                sent.created = entry.noted.sent;
            if (m_storage->updateSmsMessage(sent))
                outcome.settled.append(sent);
        }
    }
    outcome.deletes.append({entry.serial, indices});
}

void CMeskSmsEngine::readEnded(quint32 readId, bool complete, const QList<SMeskSmsOrigin>& listed,
                               const QString& objectSet, const QString& sim)
{
    const auto read = m_reads.constFind(readId);
    if (read == m_reads.cend())
        return;
    const Read ended = *read;
    m_reads.erase(read);
    if (!complete)
        return;
    // A complete read found every message the modem holds: an entry made before it began that it
    // did not find is of a message deleted meanwhile by someone else (or, for one the program
    // made, by the program once it was sent). Entries made during it are kept, and so are those
    // whose object the service dropped in the set this read listed: the SIM may still hold the
    // message, and the service shows it again only when it loads the SIM anew.
    const QSet<SMeskSmsOrigin> found(listed.cbegin(), listed.cend());
    carryOverSetName(objectSet);
    // A message whose delete the modem failed once and whose object is gone from this set was
    // dropped by a delete that ModemManager answered with success (another client's, say): the SIM
    // may keep it, as after the program's own later delete. So may a message with a service-centre
    // time whose delete was pending when the program stopped (it may have failed so while the
    // program was away); its time tells its comeback from a new message. Without a time the note
    // goes: kept, it would take a new identical message for the old one.
    for (OnModem& entry : m_onModem) {
        const bool mayBeKept = entry.noted.deleteFailed ||
                               (entry.pendingBefore && entry.noted.timeStamp != 0 && !entry.noted.anyTime);
        if (entry.serial <= ended.before && !ended.found.contains(entry.serial) && mayBeKept &&
            !entry.noted.own && !entry.origin().isEmpty() && entry.origin().objectSet == objectSet &&
            !found.contains(entry.origin()) && entry.noted.deletedIn != objectSet) {
            entry.noted.deletedIn = objectSet;
            queueWrite(entry);
        }
    }
    // A read asked before this one and still running may yet report a message this one did not find
    // (read before the modem made its messages anew, say, and reported as stale): its note alone tells
    // it from a new message. What this read would forget waits for a later complete read.
    if (std::any_of(m_reads.cbegin(), m_reads.cend(),
                    [&](const Read& other) { return other.order < ended.order; }))
        return;
    // A note of another SIM is left alone: that SIM may come back with its messages (a read of a SIM
    // not known leaves every note that names one).
    const auto ofThisSim = [&](const OnModem& entry) {
        return entry.noted.sim.isEmpty() || entry.noted.sim == sim;
    };
    // Among them a message whose delete was pending when the program stopped, and that went
    // through meanwhile.
    removeOnModem([&](const OnModem& entry) {
        return entry.serial <= ended.before && !ended.found.contains(entry.serial) && ofThisSim(entry) &&
               (entry.origin().isEmpty() || !found.contains(entry.origin())) &&
               (entry.noted.deletedIn.isEmpty() || entry.noted.deletedIn != objectSet);
    });
    // What is left of the deletes pending at the start is known by what the messages hold.
    for (OnModem& entry : m_onModem) {
        if (!ofThisSim(entry))
            continue;
        if (std::exchange(entry.pendingBefore, false) && entry.deleting.isEmpty() &&
            std::exchange(entry.noted.deletePending, false))
            queueWrite(entry);
    }
}

void CMeskSmsEngine::carryOverSetName(const QString& current)
{
    // Once per name and loading of the notes: a start with thousands of notes pays it once.
    if (current.isEmpty() || m_setNamesSeen.contains(current))
        return;
    m_setNamesSeen.insert(current);
    const SMeskSmsObjectSet set = SMeskSmsObjectSet::fromName(current);
    if (set.isEmpty() || !set.epoch.isEmpty())
        return;
    for (OnModem& entry : m_onModem) {
        SSmsOnModem& noted = entry.noted;
        bool changed = false;
        for (QString* name : {&noted.objectSet, &noted.deletedIn}) {
            if (!name->isEmpty() && *name != current &&
                SMeskSmsObjectSet::sameSet(SMeskSmsObjectSet::fromName(*name), set)) {
                *name = current;
                changed = true;
            }
        }
        if (changed)
            queueWrite(entry);
    }
}

void CMeskSmsEngine::forgetMessage(const SSmsMessage& message)
{
    // Kept (without its row) until the modem no longer holds it.
    if (message.id == 0)
        return;
    for (OnModem& entry : m_onModem) {
        if (entry.noted.message == message.id) {
            entry.noted.message = 0;
            writeOnModem(entry);
        }
    }
}

void CMeskSmsEngine::deleteFromModem(OnModem& entry, const QList<quint32>& indices)
{
    if (indices.isEmpty() || !m_workerContext)
        return;
    // A new sighting: what earlier ones' deletes answer no longer counts.
    entry.deleting = QSet<quint32>(indices.cbegin(), indices.cend());
    entry.deleteRefused = false;
    for (quint32 index : indices)
        m_entryOfIndex.insert(index, entry.serial);
    QMetaObject::invokeMethod(
        m_workerContext,
        [this, indices] {
            if (CMeskMbnSmsManager* manager = m_manager.load(std::memory_order_acquire))
                manager->deleteMessages(indices);
        },
        Qt::QueuedConnection);
}

void CMeskSmsEngine::deleteEnded(quint32 index, quint32 errorCode)
{
    const auto found = m_entryOfIndex.constFind(index);
    if (found == m_entryOfIndex.cend())
        return;
    const quint64 serial = *found;
    m_entryOfIndex.erase(found);
    const auto entry = std::find_if(m_onModem.begin(), m_onModem.end(),
                                    [serial](const OnModem& e) { return e.serial == serial; });
    if (entry == m_onModem.end() || !entry->deleting.remove(index))
        return;
    // Every part of this sighting answered: its delete is no longer pending.
    const bool answered = entry->deleting.isEmpty() && std::exchange(entry->noted.deletePending, false);
    if (errorCode != 0) {
        // It stays on the modem and stays noted, so the next start does not store it again. Only a
        // modem that failed the delete makes a later "success" leave the message on the SIM: a
        // refusal, a wrong state or a call that never reached the modem leave no mark.
        entry->deleteRefused = true;
        const bool failed = errorCode == CMeskMbnSmsManager::ErrorModemFailure &&
                            !std::exchange(entry->noted.deleteFailed, true);
        if (failed || answered)
            queueWrite(*entry);
        if (!m_refusalLogged) {
            m_refusalLogged = true;
            log(QStringLiteral("CMeskSmsEngine: the modem keeps a stored message, its delete was refused: ") +
                errorText(errorCode));
        }
        return;
    }
    if (!entry->deleting.isEmpty() || entry->deleteRefused) {
        if (answered)
            queueWrite(*entry);
        return;
    }
    // Once a delete of an object failed, ModemManager answers the next one with success while the
    // SIM keeps the message: it comes back when the SIM is loaded again, and is known then.
    if (entry->noted.deleteFailed && !entry->noted.own && !entry->origin().isEmpty()) {
        entry->noted.deletedIn = entry->origin().objectSet;
        queueWrite(*entry);
        return;
    }
    // Gone from the modem once every part of this sighting is.
    removeOnModem([serial](const OnModem& e) { return e.serial == serial; });
}

QString CMeskSmsEngine::onModemKey()
{
    return QStringLiteral("SMS_STORED_ON_MODEM");
}

bool CMeskSmsEngine::loadOnModem()
{
    m_notesRead = !m_storage;
    if (!m_storage)
        return true;
    QString value;
    bool read = false;
    const bool kept = m_storage->serviceKey(MeskProvider::SmsColumn, onModemKey(), value, &read);
    if (!read || (kept && !carryOverOnModem(value)))
        return false;
    const QList<SSmsOnModem> notes = m_storage->smsOnModem(&read);
    if (!read)
        return false;
    // Entries noted in this run, while the notes could not be read, are among them.
    QSet<mid_t> known;
    for (const OnModem& entry : std::as_const(m_onModem)) {
        if (entry.noted.id != 0)
            known.insert(entry.noted.id);
    }
    for (const SSmsOnModem& noted : notes) {
        if (known.contains(noted.id))
            continue;
        OnModem& entry = m_onModem.emplace_back();
        entry.noted = noted;
        entry.serial = ++m_serial;
        entry.pendingBefore = noted.deletePending;
    }
    m_reloads.clear();
    // The notes just read may hold older names of the sets already seen.
    m_setNamesSeen.clear();
    m_notesRead = true;
    return true;
}

bool CMeskSmsEngine::carryOverOnModem(const QString& value)
{
    QList<SSmsOnModem> entries;
    if (value.startsWith(QLatin1Char('['))) {
        const QJsonArray list = QJsonDocument::fromJson(value.toUtf8()).array();
        for (const QJsonValue& item : list) {
            const QJsonObject object = item.toObject();
            SSmsOnModem noted;
            noted.message = mid_t(object.value(QLatin1String("row")).toInteger());
            noted.objectSet = object.value(QLatin1String("store")).toString();
            noted.object = object.value(QLatin1String("object")).toString();
            noted.phone = object.value(QLatin1String("phone")).toString();
            noted.text = object.value(QLatin1String("text")).toString();
            noted.type = object.value(QLatin1String("type")).toInt();
            noted.timeStamp = quint32(object.value(QLatin1String("time")).toInteger());
            noted.anyTime = object.value(QLatin1String("anyTime")).toBool();
            entries.append(noted);
        }
    } else {
        // The older form: the rows' ids. The rows say what the messages hold, but not their
        // service-centre times.
        QSet<mid_t> rows;
        for (const QString& id : value.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            bool ok = false;
            const mid_t row = id.toULongLong(&ok);
            if (ok)
                rows.insert(row);
        }
        if (!rows.isEmpty()) {
            bool read = false;
            const QList<SSmsMessage> messages = m_storage->smsMessages(&read);
            if (!read)
                return false;
            for (const SSmsMessage& message : messages) {
                if (!rows.contains(message.id))
                    continue;
                SSmsOnModem& noted = entries.emplace_back();
                noted.message = message.id;
                noted.phone = message.phone;
                noted.text = message.message;
                noted.type = message.type;
                noted.anyTime = true;
            }
        }
    }
    // The list and the key go in one transaction: no copy of the list is left to bring entries back.
    // A key next to the table was written by an older version that ran since: the key holds
    // what it knew last, and replaces the table.
    bool read = false;
    const QList<SSmsOnModem> table = m_storage->smsOnModem(&read);
    if (!read)
        return false;
    CMediaStorageBatch batch(m_storage);
    for (const SSmsOnModem& noted : table)
        m_storage->deleteSmsOnModem(noted.id);
    for (SSmsOnModem& noted : entries)
        m_storage->addSmsOnModem(noted);
    m_storage->deleteServiceKey(MeskProvider::SmsColumn, onModemKey());
    if (batch.end())
        return true;
    // Kept for this run only; the next start tries again.
    log(QStringLiteral("CMeskSmsEngine: failed to carry over the list of messages left on the modem"));
    for (SSmsOnModem& noted : entries) {
        noted.id = 0;
        OnModem& entry = m_onModem.emplace_back();
        entry.noted = noted;
        entry.serial = ++m_serial;
    }
    return true;
}

void CMeskSmsEngine::writeOnModem(const OnModem& entry)
{
    // Written whole now: a copy still queued is older.
    m_queuedWrites.remove(entry.noted.id);
    if (entry.noted.id != 0 && m_storage && !m_storage->updateSmsOnModem(entry.noted))
        log(QStringLiteral("CMeskSmsEngine: failed to note a message left on the modem"));
}

void CMeskSmsEngine::queueWrite(const OnModem& entry)
{
    if (entry.noted.id == 0 || !m_storage)
        return;
    if (m_queuedWrites.isEmpty())
        toGuiThread([this] { writeQueued(); });
    m_queuedWrites.insert(entry.noted.id);
}

void CMeskSmsEngine::writeQueued()
{
    if (m_queuedWrites.isEmpty() || !m_storage)
        return;
    const QSet<mid_t> ids = std::exchange(m_queuedWrites, {});
    // Each note as it stands now: what came since the queueing (a renewal that cleared the origins)
    // is kept, and a note removed meanwhile is not written back.
    CMediaStorageBatch batch(m_storage);
    for (const OnModem& entry : std::as_const(m_onModem)) {
        if (ids.contains(entry.noted.id))
            m_storage->updateSmsOnModem(entry.noted);
    }
    if (!batch.end())
        log(QStringLiteral("CMeskSmsEngine: failed to note a message left on the modem"));
}

template <typename Predicate> qsizetype CMeskSmsEngine::removeOnModem(Predicate predicate)
{
    QList<mid_t> ids;
    for (const OnModem& entry : std::as_const(m_onModem)) {
        if (predicate(entry) && entry.noted.id != 0)
            ids.append(entry.noted.id);
    }
    const qsizetype removed = m_onModem.removeIf(predicate);
    // Written together with the others the reports waiting for this thread remove (a note left
    // by a stop in between is dropped by the next complete read).
    if (!ids.isEmpty()) {
        if (m_removed.isEmpty())
            toGuiThread([this] { forgetRemoved(); });
        m_removed += ids;
    }
    return removed;
}

void CMeskSmsEngine::forgetRemoved()
{
    if (m_removed.isEmpty() || !m_storage)
        return;
    const QList<mid_t> ids = std::exchange(m_removed, {});
    CMediaStorageBatch batch(m_storage);
    for (mid_t id : ids)
        m_storage->deleteSmsOnModem(id);
    if (!batch.end())
        log(QStringLiteral("CMeskSmsEngine: failed to forget a message no longer on the modem"));
}

// ---------------------------------------------------------------------------------------------
// State

TMeskSmsState CMeskSmsEngine::stateForCellular(int cellularState, TMeskSmsState current)
{
    switch (cellularState) {
    case 0:
        return SmsStateNoCellular;
    case 1:
        return SmsStatePoweredOff;
    case 2:
    case 3:
        return SmsStateSimUnusable;
    case 4:
        return SmsStatePinLocked;
    case 5:
        return SmsStateReady;
    default:
        return current;
    }
}

void CMeskSmsEngine::_onCellularStateChanged()
{
    updateState();
}

void CMeskSmsEngine::_onCellularSignalChanged() {}

void CMeskSmsEngine::updateState()
{
    if (!isSmsSupported()) {
        setState(SmsStateNotSupported);
        return;
    }
    if (!m_network)
        return;
    setState(stateForCellular(m_network->cellularState(), m_state));
    // At every report, also one that leaves the state as it was (the modem went and came back
    // between two reports): a read owed since the modem made its messages anew is made once the
    // engine is ready, unless one told of the change to ready has just read.
    if (m_readOwed && isSmsReady())
        readSimMessages();
}

void CMeskSmsEngine::setState(TMeskSmsState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}
