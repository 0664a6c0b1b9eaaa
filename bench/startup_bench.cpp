// Start-up, memory and exit of the program against a bare QWidget window started the same way, and its
// start-up against the floor program (bench/startup_floor: what any program of this kind must do before
// its first frame, and nothing else).
//
// Every program runs on a private Xvfb display without a window manager, each run with a fresh
// private home (HOME and the XDG folders) and a private D-Bus session bus. An X client of this
// program watches the root window's children (SubstructureNotify) and takes:
//
// start    exec to the first MapNotify of a top-level window
// stall    the longest GUI-thread stall in the 2 s after that map: the bench pings the mapped window
//          (_NET_WM_PING, answered by the program's GUI thread) one ping after the other and takes
//          the longest wait for an answer
// memory   resident memory (VmRSS) 3 s after that map
// exit     WM_DELETE_WINDOW sent to the mapped windows to the process's end
//
// Against the floor: the first start in a new home against the floor's first start, and the second
// start and the start on 10,000 stored posts against the floor's own second start. Each case prints
// the median of the per-round ratios as "program / floor = ratio (goal)", beside the ratio to the bare
// window. Where valgrind is installed, the instructions up to the first map are counted once per case
// for the program and the floor (callgrind, dumping at the first call of xcb_map_window, which is
// where the first window is mapped; the counts do not depend on the machine's load).
//
// Cases: the program on an empty storage (its first start in a new home, and a start after one
// earlier start there: the storage, lock and settings files then exist), and on a storage of 10,000 Facebook
// posts with the account linked, made once per bench run through the provider's update cycle against the
// stand-in service (20 answers of 500 posts, dated 53 minutes apart back from now: about 27 a day). The
// update cycle keeps the posts of the last answer in the sync list, so 9,500 of the 10,000 expire when the
// program closes. Each run's copy of that storage is opened and closed once before the program starts, so
// it is left as a clean exit of the program leaves it. Runs are interleaved (bare, floor, program, program
// on the full storage, program's second start, floor's second start) and the medians of --pairs rounds
// (default 15) are printed as "measured / anchor = ratio (goal)". The services point at a closed local
// port, so the program's first update fails at once. --no-callgrind leaves the instruction counts out,
// --only-callgrind takes them alone.
// --make-storage DIR only makes the storage of 10,000 posts (to profile the program by hand).
#include "facebookanswers.h"
#include "facebookapi.h"
#include "facebookeventmanager.h"
#include "facebookobjects.h"
#include "facebooksync.h"
#include "fakefacebookrest.h"
#include "localhttpserver.h"
#include "mediadatabase.h"
#include "meskhttptaskpool.h"
#include "meskrecords.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

extern char** environ;

namespace {

constexpr mid_t kFacebook = 2;
constexpr int kPosts = 10000;
constexpr int kPostsPerAnswer = 500;
// About 27 posts a day: the 10,000 posts reach a year back.
constexpr qint64 kPostSpacing = 53 * 60;
constexpr int kTimeoutMs = 60000;
constexpr int kPingTimeoutMs = 10000;

void fail(const char* what)
{
    std::fprintf(stderr, "startup_bench: %s\n", what);
    std::exit(1);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// A child process started with posix_spawn; it inherits every descriptor not marked close-on-exec.
pid_t spawn(const QStringList& args, const QStringList& env)
{
    std::vector<QByteArray> argBytes;
    for (const QString& a : args)
        argBytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> envBytes;
    for (const QString& e : env)
        envBytes.push_back(e.toLocal8Bit());
    std::vector<char*> envp;
    for (QByteArray& e : envBytes)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    // What the children print would only mix with the figures.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

QStringList inheritedEnvironment()
{
    QStringList env;
    for (char** e = environ; *e; ++e) {
        const QString entry = QString::fromLocal8Bit(*e);
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        if (name == QLatin1String("HOME") || name.startsWith(QLatin1String("XDG_")) ||
            name.startsWith(QLatin1String("DBUS_")) || name == QLatin1String("DISPLAY") ||
            name == QLatin1String("WAYLAND_DISPLAY") || name.startsWith(QLatin1String("QT_")) ||
            name.startsWith(QLatin1String("LUMESK_")) || name == QLatin1String("XAUTHORITY") ||
            name == QLatin1String("SESSION_MANAGER"))
            continue;
        env << entry;
    }
    return env;
}

// Reads one line from fd within the time-out.
QByteArray readLine(int fd, int timeoutMs)
{
    QByteArray line;
    QElapsedTimer timer;
    timer.start();
    while (!line.endsWith('\n')) {
        const int left = timeoutMs - int(timer.elapsed());
        if (left <= 0)
            return {};
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0)
            return {};
        char c = 0;
        if (::read(fd, &c, 1) != 1)
            return {};
        line.append(c);
    }
    return line.trimmed();
}

void stop(pid_t pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

// Starts a program that prints one line to the fd it is given and returns it.
std::optional<QByteArray> startWithLine(const QStringList& argsBefore, const QString& fdOption,
                                        const QStringList& env, pid_t* pid)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0 || ::fcntl(fds[1], F_SETFD, 0) != 0)
        return std::nullopt;
    QStringList args = argsBefore;
    args << fdOption.arg(fds[1]);
    *pid = spawn(args, env);
    ::close(fds[1]);
    if (*pid <= 0) {
        ::close(fds[0]);
        return std::nullopt;
    }
    const QByteArray line = readLine(fds[0], 10000);
    ::close(fds[0]);
    if (line.isEmpty())
        return std::nullopt;
    return line;
}

bool copyTree(const QString& from, const QString& to)
{
    if (!QDir().mkpath(to))
        return false;
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + path.mid(from.size());
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(target))
                return false;
        } else if (!QFile::copy(path, target)) {
            return false;
        }
    }
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return true;
}

// The storage of 10,000 posts: the update cycle of the Facebook provider against the stand-in,
// 20 answers of 500 posts, and the linked account's keys.
bool makeFullStorage(const QString& root)
{
    FakeFacebookRest rest;
    LocalHttpServer server;
    if (!server.isListening())
        return false;
    server.mount("/", rest.handler());
    CFacebookApi api;
    api.setRestBaseUrl(server.baseUrl());
    api.setApiKey(FakeFacebookRest::defaultApiKey());
    api.setSession(FakeFacebookRest::defaultSessionKey(), FakeFacebookRest::defaultSessionSecret(),
                   FakeFacebookRest::defaultUid());
    const QList<SFacebookUser> profiles = FacebookAnswers::generateProfiles(200, 5000, server.baseUrl());
    const qint64 newest = QDateTime::currentSecsSinceEpoch() - 60;
    CMediaDataBase db(root);
    if (!db.open())
        return false;
    CFacebookObjectManager objects(&api, kFacebook);
    objects.setStorage(&db);
    CFacebookSync sync(kFacebook);
    sync.load(&db);
    CFacebookEventManager events(&api, &objects, &sync);
    // Oldest answer first, as the posts would have come in over the days.
    for (int first = kPosts - kPostsPerAnswer; first >= 0; first -= kPostsPerAnswer) {
        QList<SFacebookStreamPost> posts =
            FacebookAnswers::generatePosts(kPostsPerAnswer, profiles, 100000 + first, server.baseUrl());
        for (int i = 0; i < posts.size(); ++i)
            posts[i].createdTime = QString::number(newest - kPostSpacing * (first + i));
        rest.clearScripts();
        rest.scriptReply(QStringLiteral("stream.get"), 200, FacebookAnswers::stream(posts, profiles));
        rest.scriptReply(QStringLiteral("notifications.get"), 200, FacebookAnswers::notifications({}));
        rest.scriptReply(QStringLiteral("message.getThreadsInFolder"), 200, FacebookAnswers::threads({}));
        QSignalSpy done(&events, &CFacebookEventManager::updateDone);
        events.update();
        if (!done.wait(600000))
            return false;
        sync.save();
    }
    // The keys the provider keeps for a linked account.
    const bool keys =
        db.setServiceKey(kFacebook, QStringLiteral("session_id"), FakeFacebookRest::defaultSessionKey()) &&
        db.setServiceKey(kFacebook, QStringLiteral("session_secret"),
                         FakeFacebookRest::defaultSessionSecret()) &&
        db.setServiceKey(kFacebook, QStringLiteral("user_id"), FakeFacebookRest::defaultUid()) &&
        db.setServiceKey(kFacebook, QStringLiteral("user_name"), QStringLiteral("Pat Tester"));
    const int stored = int(db.eventItems(kFacebook).size());
    objects.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (stored != kPosts) {
        std::fprintf(stderr, "startup_bench: the storage holds %d posts\n", stored);
        return false;
    }
    return keys;
}

class XWatch
{
public:
    explicit XWatch(const QByteArray& display)
    {
        m_conn = xcb_connect(display.constData(), nullptr);
        if (xcb_connection_has_error(m_conn))
            fail("cannot connect to the private display");
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data->root;
        // Structure notifications too: the answers to _NET_WM_PING come to the root with that mask.
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);
        m_protocols = atom("WM_PROTOCOLS");
        m_delete = atom("WM_DELETE_WINDOW");
        m_ping = atom("_NET_WM_PING");
        xcb_flush(m_conn);
    }
    ~XWatch() { xcb_disconnect(m_conn); }

    void drain()
    {
        while (xcb_generic_event_t* e = xcb_poll_for_event(m_conn))
            free(e);
        m_mapped.clear();
    }

    // Waits for the next map of a child of the root; false on time-out.
    bool waitForMap(int timeoutMs, pid_t child)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(m_conn)) {
                const bool map = (e->response_type & 0x7f) == XCB_MAP_NOTIFY;
                if (map) {
                    auto* ev = reinterpret_cast<xcb_map_notify_event_t*>(e);
                    if (ev->event == m_root)
                        m_mapped.push_back(ev->window);
                }
                free(e);
                if (map && !m_mapped.empty())
                    return true;
            }
            if (child > 0 && ::waitpid(child, nullptr, WNOHANG) == child)
                return false;
            pollfd p{xcb_get_file_descriptor(m_conn), POLLIN, 0};
            ::poll(&p, 1, 20);
        }
        return false;
    }

    // Collects the maps that arrive within the time.
    void collect(int ms)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms)
            waitForMap(int(ms - timer.elapsed()), -1);
    }

    // Pings the first mapped window one ping after the other for the time and returns the longest
    // wait for an answer in ms (the program's GUI thread answers); -1 when no answer came at all.
    double longestStall(int ms)
    {
        if (m_mapped.empty())
            return -1;
        const xcb_window_t window = m_mapped.front();
        QElapsedTimer total;
        total.start();
        double longest = -1;
        while (total.elapsed() < ms) {
            const uint32_t serial = ++m_pingSerial;
            QElapsedTimer wait;
            wait.start();
            sendProtocolMessage(window, m_ping, serial, window);
            xcb_flush(m_conn);
            bool answered = false;
            while (!answered && wait.elapsed() < kPingTimeoutMs) {
                while (xcb_generic_event_t* e = xcb_poll_for_event(m_conn)) {
                    const uint8_t type = e->response_type & 0x7f;
                    if (type == XCB_MAP_NOTIFY) {
                        auto* map = reinterpret_cast<xcb_map_notify_event_t*>(e);
                        if (map->event == m_root)
                            m_mapped.push_back(map->window);
                    } else if (type == XCB_CLIENT_MESSAGE) {
                        auto* pong = reinterpret_cast<xcb_client_message_event_t*>(e);
                        if (pong->type == m_protocols && pong->data.data32[0] == m_ping &&
                            pong->data.data32[1] == serial)
                            answered = true;
                    }
                    free(e);
                }
                if (!answered) {
                    pollfd p{xcb_get_file_descriptor(m_conn), POLLIN, 0};
                    ::poll(&p, 1, 1);
                }
            }
            if (!answered)
                return -1;
            longest = std::max(longest, wait.nsecsElapsed() / 1e6);
        }
        return longest;
    }

    // A WM_PROTOCOLS client message (a ping or a close request) to one window; not flushed.
    void sendProtocolMessage(xcb_window_t window, uint32_t protocol, uint32_t data1, uint32_t data2 = 0)
    {
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = window;
        ev.type = m_protocols;
        ev.data.data32[0] = protocol;
        ev.data.data32[1] = data1;
        ev.data.data32[2] = data2;
        xcb_send_event(m_conn, false, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
    }

    void closeWindows()
    {
        for (xcb_window_t w : m_mapped)
            sendProtocolMessage(w, m_delete, XCB_CURRENT_TIME);
        xcb_flush(m_conn);
    }

private:
    xcb_atom_t atom(const char* name)
    {
        xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
            m_conn, xcb_intern_atom(m_conn, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(r);
        return a;
    }

    xcb_connection_t* m_conn = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_protocols = 0;
    xcb_atom_t m_delete = 0;
    xcb_atom_t m_ping = 0;
    uint32_t m_pingSerial = 0;
    std::vector<xcb_window_t> m_mapped;
};

struct SRun
{
    double startMs = 0;
    double stallMs = 0;
    double rssMb = 0;
    double exitMs = 0;
    // Instructions up to the first map (callgrind runs only).
    double instructions = 0;
};

// How one start is taken.
struct SRunMode
{
    // The program has started and closed once in that home first (not timed).
    bool startedBefore = false;
    // Takes the stall after the map and the resident memory 3 s after it.
    bool measureAfterMap = true;
    // Runs the timed start under callgrind and counts its instructions up to the first map instead.
    bool callgrind = false;
};

// The instruction total of a callgrind dump file; 0 when there is none.
double callgrindTotal(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("summary:") || line.startsWith("totals:"))
            return line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toDouble();
    }
    return 0;
}

long residentKb(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// One run of the program with a fresh home; storage, when given, is copied in first. With
// startedBefore the program has started and closed once in that home first (not timed): the start of
// a user whose storage is still empty, without the first start's new files (storage, locks, settings).
SRun runOnce(const QString& program, const QString& storage, const QByteArray& display, XWatch& x,
             const SRunMode& mode = {})
{
    QTemporaryDir home;
    if (!home.isValid())
        fail("no temporary folder");
    const QString h = home.path();
    for (const char* sub : {"config", "data", "cache", "runtime", "state"}) {
        QDir(h).mkpath(QLatin1String(sub));
        QFile::setPermissions(h + QLatin1Char('/') + QLatin1String(sub),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QString storageRoot = h + QStringLiteral("/data/Velto/Velto Lumesk/mstorage");
    if (!storage.isEmpty()) {
        if (!copyTree(storage, storageRoot))
            fail("cannot copy the storage");
        // The copy is a new file: opened and closed once, it is what the program's own last exit
        // left, as on a user's next start (not timed).
        CMediaDataBase copied(storageRoot);
        if (!copied.open())
            fail("cannot open the copied storage");
    }
    QStringList env = inheritedEnvironment();
    env << QStringLiteral("HOME=") + h << QStringLiteral("XDG_CONFIG_HOME=") + h + QStringLiteral("/config")
        << QStringLiteral("XDG_DATA_HOME=") + h + QStringLiteral("/data")
        << QStringLiteral("XDG_CACHE_HOME=") + h + QStringLiteral("/cache")
        << QStringLiteral("XDG_STATE_HOME=") + h + QStringLiteral("/state")
        << QStringLiteral("XDG_RUNTIME_DIR=") + h + QStringLiteral("/runtime");
    pid_t bus = -1;
    const std::optional<QByteArray> address = startWithLine(
        {QStringLiteral("dbus-daemon"), QStringLiteral("--session"), QStringLiteral("--nofork")},
        QStringLiteral("--print-address=%1"), env, &bus);
    if (!address)
        fail("no private D-Bus session bus");
    env << QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + QString::fromLocal8Bit(*address)
        << QStringLiteral("DISPLAY=") + QString::fromLocal8Bit(display)
        << QStringLiteral("QT_QPA_PLATFORM=xcb") << QStringLiteral("LUMESK_FACEBOOK_URL=http://127.0.0.1:9/")
        << QStringLiteral("LUMESK_TWITTER_URL=http://127.0.0.1:9/")
        << QStringLiteral("LUMESK_TWITTER_WEB_HOST=127.0.0.1:9")
        << QStringLiteral("LUMESK_FLICKR_URL=http://127.0.0.1:9/")
        << QStringLiteral("LUMESK_MODEMMANAGER_BUS=unix:path=/nonexistent/lumesk-no-modem-bus");

    const auto startAndClose = [&](bool measureMemory) {
        SRun run;
        x.drain();
        QElapsedTimer timer;
        timer.start();
        const pid_t pid = spawn({program}, env);
        if (pid <= 0)
            fail("cannot start the program");
        if (!x.waitForMap(kTimeoutMs, pid))
            fail("no window was mapped");
        run.startMs = timer.nsecsElapsed() / 1e6;
        if (measureMemory) {
            run.stallMs = x.longestStall(2000);
            x.collect(int(std::max<qint64>(0, 3000 - (timer.elapsed() - qint64(run.startMs)))));
            run.rssMb = residentKb(pid) / 1024.0;
        }
        x.closeWindows();
        timer.restart();
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (timer.elapsed() > kTimeoutMs) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                fail("the program did not end after its window closed");
            }
            ::usleep(500);
        }
        run.exitMs = timer.nsecsElapsed() / 1e6;
        return run;
    };
    if (mode.startedBefore)
        startAndClose(false);
    if (mode.callgrind) {
        // Callgrind dumps its counts at the first call of xcb_map_window (the ".1" file): the start
        // up to the first map. The process is killed once that map is seen, so valgrind's gdb
        // server is off: its pipes in the temporary folder would stay behind.
        const QString out = h + QStringLiteral("/callgrind.out");
        x.drain();
        const pid_t pid = spawn({QStringLiteral("valgrind"), QStringLiteral("--tool=callgrind"),
                                 QStringLiteral("--vgdb=no"), QStringLiteral("--dump-before=xcb_map_window"),
                                 QStringLiteral("--callgrind-out-file=") + out, program},
                                env);
        if (pid <= 0)
            fail("cannot start valgrind");
        if (!x.waitForMap(20 * kTimeoutMs, pid))
            fail("no window was mapped under callgrind");
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        SRun run;
        run.instructions = callgrindTotal(out + QStringLiteral(".1"));
        stop(bus);
        return run;
    }
    const SRun run = startAndClose(mode.measureAfterMap);
    stop(bus);
    return run;
}

void printRatio(const char* what, double measured, double anchor, const char* unit, const char* goal)
{
    std::printf("%-52s %9.1f %s / %9.1f %s = %5.2f (goal %s)\n", what, measured, unit, anchor, unit,
                anchor > 0 ? measured / anchor : 0.0, goal);
}

std::vector<double> ratios(const std::vector<double>& measured, const std::vector<double>& anchor)
{
    std::vector<double> result;
    for (size_t i = 0; i < measured.size() && i < anchor.size(); ++i)
        result.push_back(anchor[i] > 0 ? measured[i] / anchor[i] : 0.0);
    return result;
}

// One case against the floor: medians of the times, the median of the per-round ratios to the floor and
// to the bare window.
void printFloorRatio(const char* what, const std::vector<double>& program, const std::vector<double>& floor,
                     const std::vector<double>& bare, const char* goal)
{
    std::printf("%-40s program %7.1f ms / floor %7.1f ms = %5.2f (goal %s); / bare %7.1f ms = %5.2f\n", what,
                median(program), median(floor), median(ratios(program, floor)), goal, median(bare),
                median(ratios(program, bare)));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    auto option = [&args](const QString& name, const QString& fallback) {
        const qsizetype i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : fallback;
    };
    // --make-storage DIR only makes the storage of 10,000 posts in DIR (for profiling by hand).
    const QString makeOnly = option(QStringLiteral("--make-storage"), {});
    const QString program = option(QStringLiteral("--program"), {});
    const QString bare = option(QStringLiteral("--bare"), {});
    const QString floorProgram = option(QStringLiteral("--floor"), {});
    const int pairs = option(QStringLiteral("--pairs"), QStringLiteral("15")).toInt();
    // --only-callgrind takes the instruction counts alone (no timed rounds).
    const bool onlyCallgrind = args.contains(QStringLiteral("--only-callgrind"));
    const bool callgrind = !args.contains(QStringLiteral("--no-callgrind")) &&
                           !QStandardPaths::findExecutable(QStringLiteral("valgrind")).isEmpty();
    if ((program.isEmpty() || bare.isEmpty() || floorProgram.isEmpty() || pairs < 1) && makeOnly.isEmpty())
        fail("usage: startup_bench --program PATH --bare PATH --floor PATH [--pairs N] [--no-callgrind] | "
             "--make-storage DIR");

    registerMeskMetaTypes();
    registerFacebookMetaTypes();
    CMeskHttpTaskPool::init(&app);
    if (!makeOnly.isEmpty()) {
        const bool made = makeFullStorage(makeOnly);
        CMeskHttpTaskPool::shutdown();
        return made ? 0 : 1;
    }
    QTemporaryDir work;
    const QString full = work.filePath(QStringLiteral("full"));
    QElapsedTimer made;
    made.start();
    if (!makeFullStorage(full))
        fail("cannot make the storage of 10,000 posts");
    CMeskHttpTaskPool::shutdown();
    std::printf("storage of %d posts made in %.1f s\n", kPosts, made.elapsed() / 1000.0);

    pid_t xvfb = -1;
    const std::optional<QByteArray> number =
        startWithLine({QStringLiteral("Xvfb"), QStringLiteral("-screen"), QStringLiteral("0"),
                       QStringLiteral("1920x1200x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                       QStringLiteral("-displayfd")},
                      QStringLiteral("%1"), inheritedEnvironment(), &xvfb);
    if (!number)
        fail("cannot start Xvfb");
    const QByteArray display = ':' + *number;
    int result = 0;
    {
        XWatch x(display);
        std::vector<double> bareStart, bareRss, emptyStart, emptyRss, fullStart, fullExit, emptyExit,
            againStart, floorStart, floorAgainStart, emptyStall, againStall, fullStall;
        SRunMode floorMode;
        floorMode.measureAfterMap = false;
        SRunMode floorAgainMode = floorMode;
        floorAgainMode.startedBefore = true;
        SRunMode againMode;
        againMode.startedBefore = true;
        for (int i = 0; i < (onlyCallgrind ? 0 : pairs); ++i) {
            const SRun b = runOnce(bare, {}, display, x);
            const SRun fl = runOnce(floorProgram, {}, display, x, floorMode);
            const SRun e = runOnce(program, {}, display, x);
            const SRun f = runOnce(program, full, display, x);
            const SRun a = runOnce(program, {}, display, x, againMode);
            const SRun fa = runOnce(floorProgram, {}, display, x, floorAgainMode);
            std::printf(
                "run %d: bare %.1f ms %.1f MB, floor %.1f ms, floor again %.1f ms, empty %.1f ms %.1f MB "
                "exit %.1f ms stall %.1f ms, 10,000 %.1f ms exit %.1f ms stall %.1f ms, empty again "
                "%.1f ms stall %.1f ms\n",
                i + 1, b.startMs, b.rssMb, fl.startMs, fa.startMs, e.startMs, e.rssMb, e.exitMs, e.stallMs,
                f.startMs, f.exitMs, f.stallMs, a.startMs, a.stallMs);
            std::fflush(stdout);
            bareStart.push_back(b.startMs);
            bareRss.push_back(b.rssMb);
            floorStart.push_back(fl.startMs);
            floorAgainStart.push_back(fa.startMs);
            emptyStart.push_back(e.startMs);
            emptyRss.push_back(e.rssMb);
            emptyExit.push_back(e.exitMs);
            emptyStall.push_back(e.stallMs);
            fullStart.push_back(f.startMs);
            fullExit.push_back(f.exitMs);
            fullStall.push_back(f.stallMs);
            againStart.push_back(a.startMs);
            againStall.push_back(a.stallMs);
        }
#ifdef QT_NO_DEBUG
        const char* build = "release";
#else
        const char* build = "debug";
#endif
        if (!onlyCallgrind) {
            std::printf(
                "\nStart-up against a bare QWidget window (%s build), medians of %d interleaved runs\n",
                build, pairs);
            printRatio("start to first mapped window, empty storage", median(emptyStart), median(bareStart),
                       "ms", "<= 2");
            printRatio("  the same, not the first start (files in place)", median(againStart),
                       median(bareStart), "ms", "<= 2");
            printRatio("start to first mapped window, 10,000 stored posts", median(fullStart),
                       median(bareStart), "ms", "<= 3");
            printRatio("resident memory 3 s after the map, empty storage", median(emptyRss), median(bareRss),
                       "MB", "<= 2");
            std::printf("%-52s %9.1f ms (goal <= 500 ms)\n", "close to exit, 10,000 stored, 9,500 expire",
                        median(fullExit));
            std::printf("%-52s %9.1f ms\n", "close to exit, empty storage", median(emptyExit));

            std::printf("\nStart-up against the floor program, medians of %d per-round ratios\n", pairs);
            printFloorRatio("fresh home", emptyStart, floorStart, bareStart, "<= 1.15");
            printFloorRatio("second start (floor: its second start)", againStart, floorAgainStart, bareStart,
                            "<= 1.08");
            printFloorRatio("10,000 stored, 500 in the sync list", fullStart, floorAgainStart, bareStart,
                            "<= 1.40");
            const auto longest = [](const std::vector<double>& stalls) {
                return stalls.empty() ? 0.0 : *std::max_element(stalls.begin(), stalls.end());
            };
            std::printf(
                "%-52s %6.1f / %6.1f / %6.1f ms (median; longest of any run %.1f ms; goal <= 16 ms)\n",
                "GUI stall in 2 s after the map: fresh / again / 10,000", median(emptyStall),
                median(againStall), median(fullStall),
                std::max({longest(emptyStall), longest(againStall), longest(fullStall)}));
        }

        if (callgrind) {
            SRunMode counted;
            counted.callgrind = true;
            SRunMode countedAgain = counted;
            countedAgain.startedBefore = true;
            const double floorFresh = runOnce(floorProgram, {}, display, x, counted).instructions;
            const double floorAgain = runOnce(floorProgram, {}, display, x, countedAgain).instructions;
            const double fresh = runOnce(program, {}, display, x, counted).instructions;
            const double again = runOnce(program, {}, display, x, countedAgain).instructions;
            const double stored = runOnce(program, full, display, x, counted).instructions;
            std::printf("\nInstructions up to the first map (callgrind, millions)\n");
            std::printf("%-40s program %8.1f M / floor %8.1f M = %5.2f\n", "fresh home", fresh / 1e6,
                        floorFresh / 1e6, floorFresh > 0 ? fresh / floorFresh : 0.0);
            std::printf("%-40s program %8.1f M / floor %8.1f M = %5.2f\n", "second start", again / 1e6,
                        floorAgain / 1e6, floorAgain > 0 ? again / floorAgain : 0.0);
            std::printf("%-40s program %8.1f M / floor %8.1f M = %5.2f\n", "10,000 stored", stored / 1e6,
                        floorAgain / 1e6, floorAgain > 0 ? stored / floorAgain : 0.0);
        }
    }
    stop(xvfb);
    return result;
}
