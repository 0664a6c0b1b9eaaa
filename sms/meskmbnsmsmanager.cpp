#include "meskmbnsmsmanager.h"

#include "meskrecords.h"

#include <QWaitCondition>

#include <algorithm>

// Lets event handlers in until release() closes it, and lets release() wait
// for the handlers that are running. Each connection holds it, so it outlives
// the manager.
class CMeskMbnSmsManager::Gate
{
public:
    class Scope
    {
    public:
        explicit Scope(Gate& gate) : m_gate(gate), m_entered(gate.enter()) {}
        ~Scope()
        {
            if (m_entered) {
                m_gate.leave();
            }
        }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        explicit operator bool() const { return m_entered; }

    private:
        Gate& m_gate;
        bool m_entered;
    };

    void close()
    {
        QMutexLocker lock(&m_mutex);
        m_closed = true;
        while (m_running > 0) {
            m_idle.wait(&m_mutex);
        }
    }

private:
    bool enter()
    {
        QMutexLocker lock(&m_mutex);
        if (m_closed) {
            return false;
        }
        ++m_running;
        return true;
    }
    void leave()
    {
        QMutexLocker lock(&m_mutex);
        if (--m_running == 0) {
            m_idle.wakeAll();
        }
    }

    QMutex m_mutex;
    QWaitCondition m_idle;
    int m_running = 0;
    bool m_closed = false;
};

// Observer calls collected under the manager's locks and made after they are
// released, in order.
struct CMeskMbnSmsManager::Reports
{
    enum Kind
    {
        Received,
        Done,
        Failed,
        Error,
        Deleted,
        ReadEnded,
        ReadListed,
        Renewed,
        Created
    };
    struct Item
    {
        Kind kind = Error;
        quint32 value = 0; // request id, error code or message status
        quint32 code = 0;  // the error code of a failed send
        QString number;
        QString text;
        quint32 timeStamp = 0;
        QList<quint32> indices;
        SMeskSmsOrigin origin;
        quint32 read = 0;
        bool reloaded = false;
        quint32 renewal = 0;
        QList<SMeskSmsOrigin> listed;
        QString sim;
    };

    Item& add(Kind kind, quint32 value = 0, quint32 code = 0)
    {
        Item& item = items.emplace_back();
        item.kind = kind;
        item.value = value;
        item.code = code;
        return item;
    }
    void error(quint32 code) { add(Error, code); }
    void done(quint32 requestId) { add(Done, requestId); }
    void failed(quint32 requestId, quint32 code) { add(Failed, requestId, code); }
    void deleted(quint32 index, quint32 code) { add(Deleted, index, code); }
    void received(quint32 status, const SmsPduMessage& message, const QString& text,
                  const QList<quint32>& indices, const SMeskSmsOrigin& origin = {}, quint32 read = 0,
                  bool reloaded = false, quint32 renewal = 0, const QString& sim = {})
    {
        Item& item = add(Received, status);
        item.number = message.number;
        item.text = text;
        item.timeStamp = message.timeStamp;
        item.indices = indices;
        item.origin = origin;
        item.read = read;
        item.reloaded = reloaded;
        item.renewal = renewal;
        item.sim = sim;
    }
    void created(quint32 requestId, const SMeskSmsOrigin& origin, const QString& sim)
    {
        Item& item = add(Created, requestId);
        item.origin = origin;
        item.sim = sim;
    }
    // origin.objectSet: the set of objects the read listed.
    void readEnded(quint32 read, bool complete, const QList<SMeskSmsOrigin>& listed,
                   const QString& objectSet = {}, const QString& sim = {})
    {
        Item& item = add(ReadEnded, read, complete ? 1 : 0);
        item.listed = listed;
        item.origin.objectSet = objectSet;
        item.sim = sim;
    }
    void readListed(quint32 read, const QList<SMeskSmsOrigin>& listed, const QString& objectSet,
                    const QString& sim)
    {
        Item& item = add(ReadListed, read);
        item.listed = listed;
        item.origin.objectSet = objectSet;
        item.sim = sim;
    }
    void renewed(bool announced, quint32 renewal) { add(Renewed, announced ? 1 : 0, renewal); }
    bool hasFailed(quint32 requestId) const
    {
        return std::any_of(items.cbegin(), items.cend(),
                           [&](const Item& item) { return item.kind == Failed && item.value == requestId; });
    }

    QList<Item> items;
};

std::atomic<int> CMeskMbnSmsManager::s_watchdogDelay = 60000;

namespace {

constexpr quint32 ErrorInternal = 1;
constexpr quint32 ErrorNoDevice = 2;
constexpr quint32 ErrorRejected = 3;
constexpr quint32 ErrorFormat = 4;

// The cellular class of a modem interface (SMeskModemInterface::cellularClass).
constexpr quint32 ClassGsm = 1;
constexpr quint32 ClassCdma = 2;

// The TP-MTI bits of a TPDU's first octet, and their value for a status report (SMS-STATUS-REPORT)
// as a modem keeps it.
constexpr quint8 TpMtiMask = 0x03;
constexpr quint8 TpMtiStatusReport = 0x02;

// Long messages remembered after their report, to recognise another copy of one of their parts.
constexpr qsizetype ReportedGroupsKept = 256;

} // namespace

CMeskMbnSmsManager::CMeskMbnSmsManager() = default;

CMeskMbnSmsManager::~CMeskMbnSmsManager()
{
    release();
}

void CMeskMbnSmsManager::setWatchdogDelay(int ms)
{
    s_watchdogDelay = std::max(0, ms);
}

int CMeskMbnSmsManager::watchdogDelay()
{
    return s_watchdogDelay;
}

quint32 CMeskMbnSmsManager::errorCode(qint32 result)
{
    using namespace MeskMbnResult;
    switch (result) {
    case SimNotInserted:
        return 5;
    case BadSim:
        return 6;
    case PinRequired:
        return 7;
    case SmsMemoryFailure:
        return 8;
    case SmsMemoryFull:
        return 9;
    case SmsUnknownSmscAddress:
        return 10;
    case ServiceNotActivated:
        return 11;
    case InvalidArgument:
        return 12;
    case SmsNetworkTimeout:
        return 13;
    case NotRegistered:
        return 14;
    case SmsOperationNotAllowed:
        return 15;
    case ModemFailure:
        return ErrorModemFailure;
    default:
        return ErrorInternal;
    }
}

bool CMeskMbnSmsManager::init(IMeskModemBackend* backend, IMeskMbnSmsManagerObserver* observer)
{
    release();
    m_observer = observer;
    if (!backend || !backend->smsWatch()) {
        Reports reports;
        reports.error(ErrorInternal);
        deliver(reports);
        return false;
    }
    m_backend = backend;
    m_gate = std::make_shared<Gate>();
    m_watchdog = std::make_unique<CMeskSmsWatchdog>([gate = m_gate, this](quint64 generation) {
        Gate::Scope scope(*gate);
        if (scope) {
            onTimeout(generation);
        }
    });
    connectBackend();

    // Learn the format once; the outcome is reported, not returned.
    Reports reports;
    QString interfaceId;
    obtainInterface(reports, &interfaceId);
    deliver(reports);
    return true;
}

void CMeskMbnSmsManager::connectBackend()
{
    using B = IMeskModemBackend;
    auto* self = this;
    const std::shared_ptr<Gate> gate = m_gate;
    const auto direct = Qt::DirectConnection;
    m_connections = {
        QObject::connect(
            m_backend, &B::setSmsConfigurationComplete, m_backend,
            [gate, self](quint32 requestId, qint32 status) {
                Gate::Scope scope(*gate);
                if (scope) {
                    self->onSetSmsConfigurationComplete(requestId, status);
                }
            },
            direct),
        QObject::connect(
            m_backend, &B::smsConfigurationChange, m_backend,
            [gate, self] {
                Gate::Scope scope(*gate);
                if (scope) {
                    self->onSmsConfigurationChange();
                }
            },
            direct),
        QObject::connect(
            m_backend, &B::smsDeleteComplete, m_backend,
            [gate, self](quint32 requestId, qint32 status) {
                Gate::Scope scope(*gate);
                if (scope) {
                    self->onSmsDeleteComplete(requestId, status);
                }
            },
            direct),
        QObject::connect(
            m_backend, &B::smsNewClass0Message, m_backend,
            [gate, self](quint32 format, const QList<SMeskSmsReadPdu>& messages) {
                Gate::Scope scope(*gate);
                if (scope) {
                    self->onSmsNewClass0Message(format, messages);
                }
            },
            direct),
        QObject::connect(
            m_backend, &B::smsReadComplete, m_backend,
            [gate, self](quint32 format, const QList<SMeskSmsReadPdu>& messages, bool more, quint32 requestId,
                         qint32 status, const QString& objectSet, const QList<SMeskSmsOrigin>& listed,
                         const QString& sim) {
                Gate::Scope scope(*gate);
                if (scope) {
                    self->onSmsReadComplete(format, messages, more, requestId, status, objectSet, listed,
                                            sim);
                }
            },
            direct),
        QObject::connect(
            m_backend, &B::smsReadListed, m_backend,
            [gate, self](quint32 requestId, const QString& objectSet, const QList<SMeskSmsOrigin>& listed,
                         const QString& sim) {
                Gate::Scope scope(*gate);
                if (scope) {
                    self->onSmsReadListed(requestId, objectSet, listed, sim);
                }
            },
            direct),
        QObject::connect(
            m_backend, &B::smsSendCreated, m_backend,
            [gate, self](quint32 requestId, const SMeskSmsOrigin& origin, const QString& sim) {
                Gate::Scope scope(*gate);
                if (scope) {
                    self->onSmsSendCreated(requestId, origin, sim);
                }
            },
            direct),
        QObject::connect(
            m_backend, &B::smsSendComplete, m_backend,
            [gate, self](quint32 requestId, qint32 status) {
                Gate::Scope scope(*gate);
                if (scope) {
                    self->onSmsSendComplete(requestId, status);
                }
            },
            direct),
        QObject::connect(
            m_backend, &B::smsStatusChange, m_backend,
            [gate, self] {
                Gate::Scope scope(*gate);
                if (scope) {
                    self->onSmsStatusChange();
                }
            },
            direct),
        QObject::connect(
            m_backend, &B::smsMessagesRenewed, m_backend,
            [gate, self](bool announced, quint32 renewal) {
                Gate::Scope scope(*gate);
                if (scope) {
                    self->onSmsMessagesRenewed(announced, renewal);
                }
            },
            direct),
    };
}

void CMeskMbnSmsManager::release()
{
    for (const QMetaObject::Connection& connection : std::as_const(m_connections)) {
        QObject::disconnect(connection);
    }
    m_connections.clear();
    // A handler that already passed the disconnection may still be running or
    // about to start: close the gate and wait for the running ones.
    if (m_gate) {
        m_gate->close();
    }
    if (m_watchdog) {
        m_watchdog->stop();
    }
    m_watchdog.reset();
    if (m_backend) {
        m_backend->smsCancel();
    }
    m_gate.reset();
    {
        QMutexLocker lock(&m_mutex);
        m_requests.clear();
        m_onAir = false;
        m_busyRequestId = 0;
        m_watchdogGeneration = 0;
        m_timedOut.clear();
    }
    {
        QMutexLocker lock(&m_readMutex);
        m_partGroups.clear();
        m_reportedGroups.clear();
        m_claimed.clear();
        m_deleting.clear();
        m_fullReads.clear();
    }
    m_backend = nullptr;
    m_observer = nullptr;
    m_format = 0;
    m_textLevel = false;
}

bool CMeskMbnSmsManager::obtainInterface(Reports& reports, QString* id)
{
    if (!m_backend) {
        return false;
    }
    QList<SMeskModemInterface> interfaces;
    qint32 result = m_backend->smsInterfaces(&interfaces);
    if (result < 0) {
        reports.error(errorCode(result));
        return false;
    }
    const auto chosen =
        std::find_if(interfaces.cbegin(), interfaces.cend(),
                     [](const SMeskModemInterface& i) { return i.capabilityResult >= 0 && i.smsCaps != 0; });
    if (chosen == interfaces.cend()) {
        reports.error(ErrorNoDevice);
        return false;
    }
    m_format = chosen->cellularClass == ClassGsm    ? MeskSmsFormat::Pdu
               : chosen->cellularClass == ClassCdma ? MeskSmsFormat::Cdma
                                                    : 0;
    m_textLevel = chosen->textLevel;
    result = m_backend->smsOpen(chosen->id);
    if (result < 0) {
        reports.error(errorCode(result));
        return false;
    }
    *id = chosen->id;
    return true;
}

void CMeskMbnSmsManager::deliver(const Reports& reports)
{
    IMeskMbnSmsManagerObserver* observer = m_observer;
    if (!observer) {
        return;
    }
    for (const Reports::Item& item : reports.items) {
        switch (item.kind) {
        case Reports::Received:
            observer->onMeskMbnSmsManagerMessageReceived(item.value, item.number, item.text, item.timeStamp,
                                                         item.indices, item.origin, item.read, item.reloaded,
                                                         item.renewal, item.sim);
            break;
        case Reports::Done:
            observer->onMeskMbnSmsManagerSendDone(item.value);
            break;
        case Reports::Failed:
            observer->onMeskMbnSmsManagerSendFailed(item.value, item.code);
            break;
        case Reports::Error:
            observer->onMeskMbnSmsManagerError(item.value);
            break;
        case Reports::Deleted:
            observer->onMeskMbnSmsManagerDeleteDone(item.value, item.code);
            break;
        case Reports::ReadEnded:
            observer->onMeskMbnSmsManagerReadEnded(item.value, item.code != 0, item.listed,
                                                   item.origin.objectSet, item.sim);
            break;
        case Reports::ReadListed:
            observer->onMeskMbnSmsManagerReadListed(item.value, item.listed, item.origin.objectSet, item.sim);
            break;
        case Reports::Renewed:
            observer->onMeskMbnSmsManagerMessagesRenewed(item.value != 0, item.code);
            break;
        case Reports::Created:
            observer->onMeskMbnSmsManagerSendCreated(item.value, item.origin, item.sim);
            break;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Sending

bool CMeskMbnSmsManager::send(const QString& phone, const QString& text, quint32* requestId)
{
    Reports reports;
    QString interfaceId;
    if (!obtainInterface(reports, &interfaceId)) {
        deliver(reports);
        return false;
    }
    const quint32 format = m_format;
    if (format != MeskSmsFormat::Pdu) {
        // CDMA sending is not supported: say so rather than pretend to send.
        reports.error(format == MeskSmsFormat::Cdma ? ErrorRejected : ErrorNoDevice);
        deliver(reports);
        return false;
    }

    quint32 id = 0;
    {
        QMutexLocker lock(&m_mutex);
        id = ++m_nextRequestId;
    }
    if (requestId) {
        *requestId = id;
    }

    QList<SmsPdu> parts;
    const bool encoded = smsPduEncodeSubmit(text, phone, parts) && !parts.isEmpty() &&
                         std::all_of(parts.cbegin(), parts.cend(), [](const SmsPdu& part) {
                             return part.length() > 0 && part.length() <= quint32(SmsMaxTpduOctets);
                         });
    if (!encoded) {
        reports.error(ErrorFormat);
        deliver(reports);
        return false;
    }

    {
        QMutexLocker lock(&m_mutex);
        m_requests.append(SmsSendRequest{parts, 0, 0, id, phone, smsPduSendableText(text), false});
        if (!m_onAir) {
            startNextLocked(interfaceId, reports);
        }
    }
    deliver(reports);
    return !reports.hasFailed(id);
}

// Hands the next part to the modem. The mutex is held from the call until the
// part is recorded as on the air and the watchdog is armed, so a completion
// that arrives at once waits for both.
void CMeskMbnSmsManager::startNextLocked(const QString& interfaceId, Reports& reports)
{
    while (!m_requests.isEmpty() && !m_onAir) {
        SmsSendRequest& request = m_requests.first();
        quint32 modemId = 0;
        qint32 result = MeskMbnResult::Failed;
        if (m_textLevel && request.partIndex == 0) {
            request.sentWhole = true;
            result = m_backend->smsSendText(interfaceId, request.phone, request.text, &modemId);
        } else {
            request.sentWhole = false;
            const SmsPdu& part = request.parts.at(request.partIndex);
            const QString hex = QStringLiteral("00") + QString::fromLatin1(part.bytes.toHex().toUpper());
            result = m_backend->smsSendPdu(interfaceId, hex, quint8(part.length()), &modemId);
        }
        if (result >= 0) {
            request.modemRequestId = modemId;
            m_busyRequestId = modemId;
            m_onAir = true;
            m_watchdogGeneration = m_watchdog->arm(s_watchdogDelay);
            return;
        }
        reports.failed(request.requestId, errorCode(result));
        m_requests.removeFirst();
    }
}

void CMeskMbnSmsManager::failAllLocked(quint32 code, Reports& reports)
{
    for (const SmsSendRequest& request : std::as_const(m_requests)) {
        reports.failed(request.requestId, code);
    }
    m_requests.clear();
}

// After the part on the air ended: the next part or message goes out, or,
// when that cannot be, every waiting message fails.
void CMeskMbnSmsManager::afterPartLocked(Reports& reports)
{
    if (m_requests.isEmpty()) {
        return;
    }
    QString interfaceId;
    if (!obtainInterface(reports, &interfaceId)) {
        failAllLocked(ErrorNoDevice, reports);
        return;
    }
    switch (m_format) {
    case MeskSmsFormat::Pdu:
        startNextLocked(interfaceId, reports);
        break;
    case MeskSmsFormat::Cdma:
        failAllLocked(ErrorRejected, reports);
        break;
    default:
        reports.error(ErrorInternal);
        failAllLocked(ErrorInternal, reports);
        break;
    }
}

void CMeskMbnSmsManager::onSmsSendComplete(quint32 requestId, qint32 status)
{
    Reports reports;
    {
        QMutexLocker lock(&m_mutex);
        // A completion for anything but the part on the air changes nothing, but the
        // confirmation of a message's last part that timed out: it was sent after all.
        if (!m_onAir || requestId != m_busyRequestId) {
            const auto late =
                std::find_if(m_timedOut.begin(), m_timedOut.end(),
                             [&](const QPair<quint32, quint32>& t) { return t.first == requestId; });
            if (late == m_timedOut.end()) {
                return;
            }
            const quint32 id = late->second;
            m_timedOut.erase(late);
            if (status < 0) {
                return;
            }
            reports.done(id);
        } else {
            m_watchdog->disarm();
            m_watchdogGeneration = 0;
            m_onAir = false;
            m_busyRequestId = 0;
            const auto request =
                std::find_if(m_requests.begin(), m_requests.end(),
                             [&](const SmsSendRequest& r) { return r.modemRequestId == requestId; });
            if (request != m_requests.end()) {
                if (status < 0) {
                    reports.failed(request->requestId, errorCode(status));
                    m_requests.erase(request);
                } else if (request->sentWhole || ++request->partIndex >= request->parts.size()) {
                    reports.done(request->requestId);
                    m_requests.erase(request);
                } else {
                    request->modemRequestId = 0;
                }
            }
            afterPartLocked(reports);
        }
    }
    deliver(reports);
}

void CMeskMbnSmsManager::onSmsSendCreated(quint32 requestId, const SMeskSmsOrigin& origin, const QString& sim)
{
    Reports reports;
    {
        QMutexLocker lock(&m_mutex);
        const auto request =
            std::find_if(m_requests.cbegin(), m_requests.cend(), [&](const SmsSendRequest& r) {
                return r.modemRequestId == requestId && r.sentWhole;
            });
        if (request == m_requests.cend()) {
            return;
        }
        reports.created(request->requestId, origin, sim);
    }
    deliver(reports);
}

void CMeskMbnSmsManager::onTimeout(quint64 generation)
{
    Reports reports;
    {
        QMutexLocker lock(&m_mutex);
        if (generation == 0 || generation != m_watchdogGeneration || !m_onAir) {
            return;
        }
        const quint32 busy = m_busyRequestId;
        m_watchdogGeneration = 0;
        m_onAir = false;
        m_busyRequestId = 0;
        const auto request = std::find_if(m_requests.begin(), m_requests.end(),
                                          [&](const SmsSendRequest& r) { return r.modemRequestId == busy; });
        if (request != m_requests.end()) {
            reports.failed(request->requestId, errorCode(MeskMbnResult::SmsNetworkTimeout));
            if (request->sentWhole || request->partIndex + 1 >= request->parts.size()) {
                constexpr qsizetype Kept = 64;
                m_timedOut.append({busy, request->requestId});
                if (m_timedOut.size() > Kept) {
                    m_timedOut.removeFirst();
                }
            }
            m_requests.erase(request);
        }
        afterPartLocked(reports);
    }
    deliver(reports);
}

// ---------------------------------------------------------------------------------------------
// Reading and deleting

quint32 CMeskMbnSmsManager::readAllMessages()
{
    Reports reports;
    const quint32 read = readMessages(0, reports);
    deliver(reports);
    return read;
}

quint32 CMeskMbnSmsManager::readMessages(quint32 flag, Reports& reports)
{
    QString interfaceId;
    if (!obtainInterface(reports, &interfaceId)) {
        return 0;
    }
    quint32 requestId = 0;
    const quint32 format = m_format == MeskSmsFormat::Cdma ? MeskSmsFormat::Cdma : MeskSmsFormat::Pdu;
    // Held while the call is made, so that an answer that comes at once finds the read noted.
    QMutexLocker lock(&m_readMutex);
    const qint32 result = m_backend->smsRead(interfaceId, flag, format, &requestId);
    if (result < 0) {
        reports.error(errorCode(result));
        return 0;
    }
    if (flag == 0) {
        m_fullReads.insert(requestId);
    }
    return requestId;
}

void CMeskMbnSmsManager::onSmsMessagesRenewed(bool announced, quint32 renewal)
{
    Reports reports;
    {
        // The owner forgets where the modem had its messages: one whose delete was refused is
        // reported again when a read finds it, so that the owner learns where it is (an object
        // the renewal left, another modem's, keeps its index). Those being deleted or joined stay.
        QMutexLocker lock(&m_readMutex);
        QSet<quint32> held(m_deleting.cbegin(), m_deleting.cend());
        for (const PartGroup& group : std::as_const(m_partGroups)) {
            for (quint32 index : group.indices)
                held.insert(index);
        }
        m_claimed.removeIf([&](quint32 index) { return !held.contains(index); });
    }
    reports.renewed(announced, renewal);
    deliver(reports);
}

void CMeskMbnSmsManager::onSmsStatusChange()
{
    Reports reports;
    QString interfaceId;
    if (obtainInterface(reports, &interfaceId)) {
        quint32 flag = 0;
        quint32 index = 0;
        if (m_backend->smsStatus(interfaceId, &flag, &index) >= 0 && (flag & 2)) {
            readMessages(2, reports);
        }
    }
    deliver(reports);
}

void CMeskMbnSmsManager::onSmsReadComplete(quint32 format, const QList<SMeskSmsReadPdu>& messages,
                                           bool moreMessages, quint32 requestId, qint32 status,
                                           const QString& objectSet, const QList<SMeskSmsOrigin>& listed,
                                           const QString& sim)
{
    if (status < 0 || format != MeskSmsFormat::Pdu) {
        Reports reports;
        if (status < 0) {
            reports.error(errorCode(status));
        }
        QMutexLocker lock(&m_readMutex);
        if (m_fullReads.remove(requestId)) {
            reports.readEnded(requestId, false, {});
        }
        lock.unlock();
        deliver(reports);
        return;
    }
    // Every object its list named was told to the owner as the modem listed them (onSmsReadListed).
    Q_UNUSED(listed);
    processMessages(messages, requestId, moreMessages, objectSet, sim);
}

void CMeskMbnSmsManager::onSmsReadListed(quint32 requestId, const QString& objectSet,
                                         const QList<SMeskSmsOrigin>& listed, const QString& sim)
{
    Reports reports;
    {
        QMutexLocker lock(&m_readMutex);
        if (requestId == 0 || !m_fullReads.contains(requestId))
            return;
        reports.readListed(requestId, listed, objectSet, sim);
    }
    deliver(reports);
}

// A flash message (class 0) is a message like any other: stored, shown, and deleted from the modem
// only once stored, else it would be lost unseen.
void CMeskMbnSmsManager::onSmsNewClass0Message(quint32 format, const QList<SMeskSmsReadPdu>& messages)
{
    if (format == MeskSmsFormat::Pdu) {
        processMessages(messages);
    }
}

void CMeskMbnSmsManager::processMessages(const QList<SMeskSmsReadPdu>& messages, quint32 requestId,
                                         bool moreMessages, const QString& objectSet, const QString& sim)
{
    Reports reports;
    QList<quint32> toDelete;
    {
        QMutexLocker lock(&m_readMutex);
        const bool fullRead = requestId != 0 && m_fullReads.remove(requestId);
        if (m_format != MeskSmsFormat::Pdu) {
            if (fullRead) {
                reports.readEnded(requestId, false, {});
            }
            lock.unlock();
            deliver(reports);
            return;
        }
        const quint32 readId = fullRead ? requestId : 0;
        bool complete = fullRead && !moreMessages;
        QList<SMeskSmsOrigin> listed;
        for (const SMeskSmsReadPdu& read : messages) {
            // What the read found, also a message already in hand.
            if (fullRead) {
                if (read.origin.isEmpty()) {
                    complete = false;
                } else {
                    listed.append(read.origin);
                }
            }
            // Held in a group, reported and not yet deleted, or being deleted:
            // this copy is already in hand.
            if (m_claimed.contains(read.index)) {
                continue;
            }
            // A text-level interface has decoded and joined the message already.
            if (read.pdu.isEmpty() && read.pduType != 0 && read.status == MeskSmsStatus::Unsent) {
                // Not taken: it may still be sent, and then read as sent.
                if (fullRead) {
                    SmsPduMessage message;
                    message.number = read.number.left(SmsMaxNumberLength);
                    message.text = read.text;
                    message.timeStamp = read.timeStamp;
                    reports.received(read.status, message, message.text, {read.index}, read.origin, readId,
                                     false, read.renewal, read.sim);
                }
                continue;
            }
            if (read.pdu.isEmpty() && read.pduType != 0) {
                m_claimed.insert(read.index);
                if (read.pduType == MeskSmsPduType::StatusReport) {
                    toDelete.append(read.index);
                    continue;
                }
                SmsPduMessage message;
                message.number = read.number.left(SmsMaxNumberLength);
                message.text = read.data ? SSmsMessage::dataMessageMarker() : read.text;
                message.timeStamp = read.timeStamp;
                reports.received(read.status, message, message.text, {read.index}, read.origin, readId,
                                 read.reloaded, read.renewal, read.sim);
                continue;
            }
            QByteArray tpdu;
            if (!smsPduFromHex(read.pdu, tpdu) || tpdu.isEmpty()) {
                reports.error(ErrorInternal);
                continue;
            }
            // A status report of a sent message carries no text for anyone.
            if ((quint8(tpdu.at(0)) & TpMtiMask) == TpMtiStatusReport) {
                m_claimed.insert(read.index);
                toDelete.append(read.index);
                continue;
            }
            SmsPduMessage message;
            if (!smsPduDecode(tpdu, message)) {
                reports.error(ErrorInternal);
                continue;
            }
            if (message.partCount < 2) {
                m_claimed.insert(read.index);
                reports.received(read.status, message, message.text, {read.index}, read.origin, readId, false,
                                 read.renewal, read.sim);
                continue;
            }

            const auto sameMessage = [&](const auto& group) {
                return group.number == message.number && group.reference == message.reference &&
                       group.partCount == message.partCount;
            };
            const auto reported =
                std::find_if(m_reportedGroups.cbegin(), m_reportedGroups.cend(), [&](const ReportedGroup& g) {
                    return sameMessage(g) && g.texts.value(message.partNumber) == message.text;
                });
            if (reported != m_reportedGroups.cend()) {
                // Another copy of a part whose message was reported already.
                m_claimed.insert(read.index);
                toDelete.append(read.index);
                continue;
            }
            auto group = std::find_if(m_partGroups.begin(), m_partGroups.end(), sameMessage);
            if (group == m_partGroups.end()) {
                m_partGroups.append(
                    PartGroup{message.number, message.reference, message.partCount, {}, 0, {}});
                group = m_partGroups.end() - 1;
            }
            m_claimed.insert(read.index);
            group->indices.append(read.index);
            if (!group->parts.contains(message.partNumber)) {
                group->parts.insert(message.partNumber, message);
            }
            // Part numbers lie in 1..partCount, so as many numbers as parts
            // means every part is there.
            if (group->parts.size() == group->partCount) {
                QString text;
                ReportedGroup done{group->number, group->reference, group->partCount, {}};
                for (auto part = group->parts.cbegin(); part != group->parts.cend(); ++part) {
                    text += part->text;
                    done.texts.insert(part.key(), part->text);
                }
                reports.received(read.status, message, text, group->indices, {}, readId, false, 0, read.sim);
                m_reportedGroups.append(done);
                if (m_reportedGroups.size() > ReportedGroupsKept) {
                    m_reportedGroups.removeFirst();
                }
                m_partGroups.erase(group);
            }
        }
        if (fullRead) {
            reports.readEnded(requestId, complete, listed, objectSet, sim);
        }
    }
    deliver(reports);
    if (!toDelete.isEmpty()) {
        Reports deleted;
        deleteIndices(toDelete, deleted);
        deliver(deleted);
    }
}

void CMeskMbnSmsManager::deleteMessages(const QList<quint32>& indices)
{
    Reports reports;
    deleteIndices(indices, reports);
    deliver(reports);
}

void CMeskMbnSmsManager::deleteIndices(const QList<quint32>& indices, Reports& reports)
{
    if (indices.isEmpty()) {
        return;
    }
    QString interfaceId;
    if (!obtainInterface(reports, &interfaceId)) {
        // Each is answered: its owner tries again later.
        for (quint32 index : indices) {
            reports.deleted(index, ErrorNoDevice);
        }
        return;
    }
    QMutexLocker lock(&m_readMutex);
    for (quint32 index : indices) {
        quint32 requestId = 0;
        const qint32 result = m_backend->smsDelete(interfaceId, index, &requestId);
        if (result < 0) {
            reports.deleted(index, errorCode(result));
            continue;
        }
        // The index stays taken until the modem confirms the deletion, so a
        // read in between does not report the message again.
        m_claimed.insert(index);
        m_deleting.insert(requestId, index);
    }
}

void CMeskMbnSmsManager::onSmsDeleteComplete(quint32 requestId, qint32 status)
{
    Reports reports;
    {
        QMutexLocker lock(&m_readMutex);
        const auto deleting = m_deleting.constFind(requestId);
        if (deleting != m_deleting.cend()) {
            // A refused message stays claimed: it is not reported again in this run.
            if (status >= 0) {
                m_claimed.remove(*deleting);
            }
            reports.deleted(*deleting, status < 0 ? errorCode(status) : 0);
            m_deleting.erase(deleting);
        } else if (status < 0) {
            reports.error(errorCode(status));
        }
    }
    deliver(reports);
}

void CMeskMbnSmsManager::textLength(const QString& text, int* used, int* left, int* parts)
{
    if (m_format == 0) {
        Reports reports;
        QString interfaceId;
        obtainInterface(reports, &interfaceId);
        deliver(reports);
    }
    if (m_format == 2) {
        return;
    }
    unsigned usedCodes = 0;
    unsigned leftCodes = 0;
    const unsigned count = smsPduTextLength(text, &usedCodes, &leftCodes);
    if (used) {
        *used = int(usedCodes);
    }
    if (left) {
        *left = int(leftCodes);
    }
    if (parts) {
        *parts = int(count);
    }
}
