// How long one start of the program's SMS side takes to take in the text messages a modem keeps:
// from CMeskSmsEngine::start() (with readSimMessages() as soon as the engine is ready) until the
// engine is idle, every message stored and every delete answered, against the stand-in ModemManager
// on a private bus holding 2,000 received messages.
//
// allowed   ModemManager deletes each message once it is stored
// refused   ModemManager refuses every delete (a session without the right): the messages stay
//
// Each run has a fresh storage, bus and stand-in; the cases take turns. The stand-in answers on a
// thread of its own, as ModemManager is a process of its own, so the GUI thread does the program's
// work alone (--same-thread: on the GUI thread, as the tests run it). What the engine still had
// queued for the GUI thread when it went idle (a write it put off) is counted too.
//
// Prints the build type and, for each case, the median, least and largest time of the runs and the
// lines the engine logged in a run; none of the figures is a limit.
//
// Then two cases of messages announced while the program runs, each measured from the event to
// every message taken in (the engine idle, every delete answered), with the Get and GetAll calls on
// message objects per message, retries included (goal: at most 3 per message):
// reannounced  255 messages kept on the SIM (deletes refused), announced again as the modem is
//              switched off and on (a resume from suspend)
// completing   500 long messages whose last parts come together
//   bench_smsstart [--messages N] [--runs N] [--same-thread]   (defaults 2000, 5)
#include "benchsupport.h"
#include "fakemodemmanager.h"
#include "mediadatabase.h"
#include "meskmodemmanagerbackend.h"
#include "mesknetworkmanager.h"
#include "mesksmsengine.h"
#include "tempstorage.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMutex>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

using BenchSupport::buildType;
using BenchSupport::median;

const QString kUnauthorized = QStringLiteral("org.freedesktop.ModemManager1.Error.Core.Unauthorized");

struct Case
{
    const char* name;
    bool refuse;
};
constexpr Case kCases[] = {{"allowed", false}, {"refused", true}};

void printRow(const char* format, auto... values)
{
    std::printf(format, values...);
    std::fflush(stdout);
}

int argValue(const QStringList& args, const QString& name, int fallback)
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : fallback;
}

// Runs the event loop until done() holds (looked at every millisecond) or timeoutMs passed.
bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return done();
}

// Counts the lines logged, from any thread, while it lives; they still reach the previous handler.
class LogCounter
{
public:
    LogCounter()
    {
        QMutexLocker lock(&s_mutex);
        s_lines = 0;
        s_previous = qInstallMessageHandler(&LogCounter::handle);
    }
    ~LogCounter() { qInstallMessageHandler(s_previous); }
    LogCounter(const LogCounter&) = delete;
    LogCounter& operator=(const LogCounter&) = delete;

    int lines() const
    {
        QMutexLocker lock(&s_mutex);
        return s_lines;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        QtMessageHandler previous = nullptr;
        {
            QMutexLocker lock(&s_mutex);
            ++s_lines;
            previous = s_previous;
        }
        if (previous)
            previous(type, context, message);
    }

    static inline QMutex s_mutex;
    static inline int s_lines = 0;
    static inline QtMessageHandler s_previous = nullptr;
};

// The stand-in ModemManager on a thread of its own (or on this one): it is made, used and
// destroyed on its thread, through call().
class StandIn
{
public:
    explicit StandIn(bool ownThread)
    {
        if (ownThread) {
            m_thread.start();
            m_context.moveToThread(&m_thread);
        }
    }
    ~StandIn()
    {
        call([this] { m_service.reset(); });
        if (m_thread.isRunning()) {
            m_thread.quit();
            m_thread.wait();
        }
    }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    // Runs work on the stand-in's thread and returns when it is done.
    void call(const std::function<void()>& work)
    {
        if (m_thread.isRunning())
            QMetaObject::invokeMethod(&m_context, work, Qt::BlockingQueuedConnection);
        else
            work();
    }
    // On the bus at address: one modem with count received messages; deletes refused or not.
    bool start(const QString& address, int count, bool refuse)
    {
        bool started = false;
        call([&] {
            m_service = std::make_unique<FakeModemManagerService>();
            if (!m_service->start(address))
                return;
            m_service->addModem();
            for (int i = 0; i < count; ++i)
                m_service->addMessage(QStringLiteral("+1555%1").arg(i, 4, 10, QLatin1Char('0')),
                                      QStringLiteral("message %1").arg(i));
            m_service->setDeleteError(refuse ? kUnauthorized : QString());
            started = true;
        });
        return started;
    }
    int messagesLeft()
    {
        int left = 0;
        call([&] { left = int(m_service->messagePaths().size()); });
        return left;
    }
    int calls(const QString& member)
    {
        int count = 0;
        call([&] { count = m_service->callCount(member); });
        return count;
    }
    int messageReads()
    {
        int count = 0;
        call([&] { count = m_service->messagePropertyCalls(); });
        return count;
    }
    FakeModemManagerService& service() { return *m_service; }

private:
    QThread m_thread;
    QObject m_context;
    std::unique_ptr<FakeModemManagerService> m_service;
};

struct RunResult
{
    double ms = -1; // negative: the run failed
    int logged = 0;
};

// One start of the SMS side on a fresh storage, bus and stand-in with count messages.
RunResult runOnce(int count, bool refuse, bool ownThread)
{
    static int runs = 0;
    RunResult result;
    PrivateBus bus;
    if (!bus.start()) {
        printRow("no private bus: %s\n", qPrintable(bus.error()));
        return result;
    }
    TempStorageRoot root;
    CMediaDataBase storage(root.subPath(QStringLiteral("storage")));
    if (!storage.open()) {
        printRow("the storage does not open\n");
        return result;
    }
    StandIn standIn(ownThread);
    if (!standIn.start(bus.address(), count, refuse)) {
        printRow("the stand-in ModemManager does not start\n");
        return result;
    }

    const QString name = QStringLiteral("bench-engine-%1").arg(++runs);
    useModemManagerAt(bus.address(), name);
    const char* failure = nullptr;
    int announced = 0;
    {
        LogCounter log;
        CMeskNetworkManager network;
        network.start();
        CMeskSmsEngine engine;
        QObject::connect(&engine, &CMeskSmsEngine::simMessageReady, &engine, [&] { ++announced; });
        if (!waitUntil([&] { return network.cellularState() == 5; }, 30000)) {
            failure = "the modem was not seen registered";
        } else {
            QElapsedTimer timer;
            timer.start();
            engine.start(&storage, &network);
            if (!waitUntil([&] { return engine.isSmsReady(); }, 30000)) {
                failure = "the engine did not become ready";
            } else if (!engine.readSimMessages()) {
                failure = "the read was refused";
            } else if (!waitUntil([&] { return engine.isIdle(); }, 600000)) {
                failure = "the engine did not become idle";
            } else {
                QCoreApplication::sendPostedEvents(&engine, QEvent::MetaCall);
                result.ms = timer.nsecsElapsed() / 1e6;
            }
        }
        engine.stop();
        network.stop();
        result.logged = log.lines();
    }
    MeskNetworkBackends::setFactory({});
    QDBusConnection::disconnectFromBus(name);

    if (!failure) {
        const int stored = int(storage.smsMessages().size());
        const int left = standIn.messagesLeft();
        const int deletes = standIn.calls(QStringLiteral("Delete"));
        if (stored != count || announced != count)
            failure = "not every message was stored and announced once";
        else if (left != (refuse ? count : 0) || deletes != count)
            failure = "not every message was deleted, or asked to be, once";
        if (failure)
            printRow("stored %d, announced %d, left on the modem %d, deletes %d\n", stored, announced, left,
                     deletes);
    }
    if (failure) {
        printRow("%s run failed: %s\n", refuse ? "refused" : "allowed", failure);
        result.ms = -1;
    }
    return result;
}

struct PhaseResult
{
    double ms = -1; // negative: the run failed
    double readsPerMessage = 0;
};

// A start that takes in what the modem holds (count messages, deletes refused or not), then event
// on the stand-in's thread, measured until done() holds and the engine is idle again.
PhaseResult runPhase(int count, bool refuse, bool ownThread,
                     const std::function<void(FakeModemManagerService&)>& event,
                     const std::function<bool(StandIn&, CMediaDataBase&)>& done, int perMessage)
{
    static int runs = 0;
    PhaseResult result;
    PrivateBus bus;
    TempStorageRoot root;
    CMediaDataBase storage(root.subPath(QStringLiteral("storage")));
    StandIn standIn(ownThread);
    if (!bus.start() || !storage.open() || !standIn.start(bus.address(), count, refuse)) {
        printRow("the bus, the storage or the stand-in does not start\n");
        return result;
    }
    const QString name = QStringLiteral("bench-phase-%1").arg(++runs);
    useModemManagerAt(bus.address(), name);
    const char* failure = nullptr;
    {
        CMeskNetworkManager network;
        network.start();
        CMeskSmsEngine engine;
        if (!waitUntil([&] { return network.cellularState() == 5; }, 30000)) {
            failure = "the modem was not seen registered";
        } else {
            engine.start(&storage, &network);
            if (!waitUntil([&] { return engine.isSmsReady(); }, 30000) || !engine.readSimMessages() ||
                !waitUntil([&] { return engine.isIdle() && storage.smsMessages().size() == count; },
                           600000)) {
                failure = "the start did not take the messages in";
            } else {
                const int readsBefore = standIn.messageReads();
                QElapsedTimer timer;
                timer.start();
                standIn.call([&] { event(standIn.service()); });
                if (!waitUntil([&] { return done(standIn, storage) && engine.isIdle(); }, 600000)) {
                    failure = "the messages were not taken in";
                } else {
                    result.ms = timer.nsecsElapsed() / 1e6;
                    result.readsPerMessage = double(standIn.messageReads() - readsBefore) / perMessage;
                }
            }
        }
        engine.stop();
        network.stop();
    }
    MeskNetworkBackends::setFactory({});
    QDBusConnection::disconnectFromBus(name);
    if (failure) {
        printRow("run failed: %s\n", failure);
        result.ms = -1;
    }
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    registerMeskMetaTypes();
    const QStringList args = QCoreApplication::arguments();
    const int count = std::max(1, argValue(args, QStringLiteral("--messages"), 2000));
    const int runs = std::max(1, argValue(args, QStringLiteral("--runs"), 5));
    const bool ownThread = !args.contains(QStringLiteral("--same-thread"));
    if (!PrivateBus::isDaemonInstalled()) {
        printRow("dbus-daemon is not installed: nothing to measure\n");
        return 0;
    }

    // A short start first, so that no measured run pays for loading the SQL driver and the like.
    if (runOnce(10, false, ownThread).ms < 0)
        return 1;
    QList<double> times[std::size(kCases)];
    QList<int> logged[std::size(kCases)];
    for (int run = 0; run < runs; ++run) {
        for (size_t c = 0; c < std::size(kCases); ++c) {
            const RunResult result = runOnce(count, kCases[c].refuse, ownThread);
            if (result.ms < 0)
                return 1;
            times[c] << result.ms;
            logged[c] << result.logged;
        }
    }

    printRow("\nSMS start (%s build): %d received messages on the stand-in ModemManager (%s), %d runs\n",
             buildType(), count, ownThread ? "own thread" : "GUI thread", runs);
    printRow("%-10s %-9s %10s %10s %10s %8s\n", "build", "case", "median ms", "min ms", "max ms", "logged");
    for (size_t c = 0; c < std::size(kCases); ++c) {
        const auto [least, most] = std::minmax_element(times[c].cbegin(), times[c].cend());
        const auto [fewest, mostLines] = std::minmax_element(logged[c].cbegin(), logged[c].cend());
        const QByteArray lines = *fewest == *mostLines
                                     ? QByteArray::number(*fewest)
                                     : QByteArray::number(*fewest) + '-' + QByteArray::number(*mostLines);
        printRow("%-10s %-9s %10.1f %10.1f %10.1f %8s\n", buildType(), kCases[c].name, median(times[c]),
                 *least, *most, lines.constData());
    }

    // Messages announced while the program runs: each is read once, not once per announcement.
    constexpr int Kept = 255;
    constexpr int Completing = 500;
    const auto reannounce = [](FakeModemManagerService& service) {
        service.disableModem();
        service.enableModem();
    };
    // Every kept message's delete asked again (and refused) once the modem is back.
    int deletesBefore = 0;
    const auto reannounced = [&](StandIn& standIn, CMediaDataBase& storage) {
        return standIn.calls(QStringLiteral("Delete")) >= deletesBefore + Kept &&
               storage.smsMessages().size() == Kept;
    };
    QStringList arriving;
    const auto complete = [&](FakeModemManagerService& service) {
        for (int i = 0; i < Completing; ++i)
            arriving.append(service.addMessage(QStringLiteral("+1556%1").arg(i, 4, 10, QLatin1Char('0')),
                                               QString(), 2, 1, true));
        for (int i = 0; i < Completing; ++i) {
            service.setMessageProperty(arriving.at(i), QStringLiteral("Text"),
                                       QStringLiteral("long %1").arg(i));
            service.setMessageState(arriving.at(i), 3);
        }
    };
    const auto completed = [&](StandIn& standIn, CMediaDataBase& storage) {
        return storage.smsMessages().size() == Completing && standIn.messagesLeft() == 0;
    };
    struct Phase
    {
        const char* name;
        int messages;
        QList<double> ms;
        QList<double> reads;
    };
    Phase phases[] = {{"reannounced", Kept, {}, {}}, {"completing", Completing, {}, {}}};
    for (int run = 0; run < runs; ++run) {
        deletesBefore = Kept;
        PhaseResult kept = runPhase(Kept, true, ownThread, reannounce, reannounced, Kept);
        arriving.clear();
        PhaseResult arrived = runPhase(0, false, ownThread, complete, completed, Completing);
        if (kept.ms < 0 || arrived.ms < 0)
            return 1;
        phases[0].ms << kept.ms;
        phases[0].reads << kept.readsPerMessage;
        phases[1].ms << arrived.ms;
        phases[1].reads << arrived.readsPerMessage;
    }
    printRow("\nMessages announced while the program runs (%s build), %d runs; goal: at most 3 reads per "
             "message\n",
             buildType(), runs);
    printRow("%-10s %-12s %9s %10s %10s %10s %16s\n", "build", "case", "messages", "median ms", "min ms",
             "max ms", "reads/message");
    for (const Phase& phase : phases) {
        const auto [least, most] = std::minmax_element(phase.ms.cbegin(), phase.ms.cend());
        const double reads = *std::max_element(phase.reads.cbegin(), phase.reads.cend());
        printRow("%-10s %-12s %9d %10.1f %10.1f %10.1f %12.2f %s\n", buildType(), phase.name, phase.messages,
                 median(phase.ms), *least, *most, reads, reads <= 3 ? "ok" : "OVER");
    }
    return 0;
}
