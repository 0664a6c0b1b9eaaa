#include "mesksmsengine.h"

#include "imediaitemstorage.h"
#include "meskclock.h"
#include "mesknetworkmanager.h"

#include <QDebug>
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
    // Reports of the ended run that still wait for the GUI thread are dropped;
    // its requests can no longer be confirmed.
    ++m_run;
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
    m_matched.clear();
    m_refused.clear();
    m_rowOfIndex.clear();
    m_refusalLogged = false;
    m_readWanted = false;
}

std::unique_ptr<CMeskMbnSmsManager> CMeskSmsEngine::initMbn(IMeskModemBackend* backend)
{
    if (!backend || !backend->open()) {
        log(QStringLiteral("CMeskSmsEngine: Mbn Api is not supported"));
        m_initDone.store(true, std::memory_order_release);
        toGuiThread([this] {
            m_readWanted = false;
            emit initFailed();
        });
        return nullptr;
    }
    auto manager = std::make_unique<CMeskMbnSmsManager>();
    const bool initialised = manager->init(backend, this);
    // A manager that failed to initialise stays until the thread ends.
    m_manager.store(manager.get(), std::memory_order_release);
    if (initialised) {
        m_mbnReady.store(true, std::memory_order_release);
        // A read asked for before the manager existed happens now.
        toGuiThread([this] {
            if (std::exchange(m_readWanted, false))
                readSimMessages();
        });
    } else {
        log(QStringLiteral("CMeskSmsEngine: failed to init Mbn SMS manager"));
        toGuiThread([this] {
            m_readWanted = false;
            emit initFailed();
        });
    }
    m_initDone.store(true, std::memory_order_release);
    return manager;
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
    const bool read = m_manager.load(std::memory_order_acquire)->readAllMessages();
    if (read)
        toGuiThread([this] { noteCondition({}); });
    return read;
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
    message.message = text;
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
                                                        const QList<quint32>& indices)
{
    toGuiThread([this, status, number, text, timeStamp, indices] {
        noteCondition({});
        messageReceived(status, number, text, timeStamp, indices);
    });
}

void CMeskSmsEngine::onMeskMbnSmsManagerClass0MessageReceived(quint32, const QString&, const QString&,
                                                              quint32)
{
    // Flash messages are neither stored nor shown.
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
    toGuiThread([this, index, errorCode] { deleteEnded(index, errorCode); });
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

void CMeskSmsEngine::messageReceived(quint32 status, const QString& number, const QString& text,
                                     quint32 timeStamp, const QList<quint32>& indices)
{
    SSmsMessage message;
    message.phone = number;
    message.message = text;
    // The service centre's time, so messages read from the SIM later keep
    // their order; 0 means the message had none that could be read.
    message.created = timeStamp != 0 ? QDateTime::fromSecsSinceEpoch(timeStamp) : MeskClock::now();
    message.type = status == 3 ? SSmsMessage::Sent : SSmsMessage::Received;

    // A message the modem kept although it was stored before (its delete was refused or never
    // confirmed) is the same phone, text and type, and the same service-centre time when it
    // has one, among the rows listed as still on the modem and not yet matched in this run.
    if (m_storage && !m_onModem.isEmpty()) {
        const QList<mid_t> same = m_storage->sameSmsMessages(message, timeStamp != 0);
        for (mid_t row : same) {
            if (m_onModem.contains(row) && !m_matched.contains(row)) {
                m_matched.insert(row);
                deleteFromModem(row, indices);
                return;
            }
        }
    }

    const bool stored = m_storage && m_storage->addSmsMessage(message);
    if (!stored)
        log(QStringLiteral("CMeskSmsEngine: failed to add new message to storage"));
    // Only a stored message leaves the SIM; one that failed is read again at
    // the next start.
    if (stored && !indices.isEmpty()) {
        m_onModem.append(message.id);
        m_matched.insert(message.id);
        saveOnModem();
        deleteFromModem(message.id, indices);
    }
    if (status == 0)
        emit newMessageReceived(message);
    else
        emit simMessageReady(message);
}

void CMeskSmsEngine::deleteFromModem(mid_t row, const QList<quint32>& indices)
{
    if (indices.isEmpty() || !m_workerContext)
        return;
    for (quint32 index : indices)
        m_rowOfIndex.insert(index, row);
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
    const auto found = m_rowOfIndex.constFind(index);
    if (found == m_rowOfIndex.cend())
        return;
    const mid_t row = *found;
    m_rowOfIndex.erase(found);
    if (errorCode != 0) {
        // It stays on the modem and stays listed, so the next start does not store it again.
        m_refused.insert(row);
        if (!m_refusalLogged) {
            m_refusalLogged = true;
            log(QStringLiteral("CMeskSmsEngine: the modem keeps a stored message, its delete was refused: ") +
                errorText(errorCode));
        }
        return;
    }
    // Gone from the modem once every part is.
    if (m_refused.contains(row) ||
        std::find(m_rowOfIndex.cbegin(), m_rowOfIndex.cend(), row) != m_rowOfIndex.cend())
        return;
    if (m_onModem.removeOne(row))
        saveOnModem();
}

QString CMeskSmsEngine::onModemKey()
{
    return QStringLiteral("SMS_STORED_ON_MODEM");
}

void CMeskSmsEngine::loadOnModem()
{
    m_onModem.clear();
    QString value;
    if (!m_storage || !m_storage->serviceKey(MeskProvider::SmsColumn, onModemKey(), value))
        return;
    for (const QString& id : value.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const mid_t row = id.toULongLong(&ok);
        if (ok)
            m_onModem.append(row);
    }
}

void CMeskSmsEngine::saveOnModem()
{
    // A modem holds a few hundred messages at most; the oldest entries of a longer list name
    // messages deleted while the program was not there to hear it.
    constexpr qsizetype Kept = 4096;
    if (m_onModem.size() > Kept)
        m_onModem.remove(0, m_onModem.size() - Kept);
    QStringList ids;
    ids.reserve(m_onModem.size());
    for (mid_t row : std::as_const(m_onModem))
        ids.append(QString::number(row));
    if (m_storage &&
        !m_storage->setServiceKey(MeskProvider::SmsColumn, onModemKey(), ids.join(QLatin1Char(' '))))
        log(QStringLiteral("CMeskSmsEngine: failed to note a message left on the modem"));
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
}

void CMeskSmsEngine::setState(TMeskSmsState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}
