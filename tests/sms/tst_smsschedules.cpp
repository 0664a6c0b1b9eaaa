// Seeded schedules of starts of the program's SMS side (the SMS engine through the real ModemManager
// layer) against the stand-in ModemManager on a private bus. Each seed plans 2-4 starts and, between
// and during them, messages that arrive, deletes by the user and by another client, deletes that are
// refused or fail, slow or failing reads, ModemManager restarts, the modem switched off and on, and
// closes and kills at stand-in events. After every start each message the modem ever held is stored
// at most once (beyond the second rows designed for a message without a time, below), and after
// every start that ran to its end once more, none is missing (copies alike in number, text and
// service-centre time that no complete read took together may be one row).
//
// LUMESK_SMS_SEEDS (a list of seeds, "1,5,9" or "1 5 9") or the arguments "--seeds 1,5,9" replace the
// fixed list; a failing seed prints its schedule, and runs alone with its number.
#include "fakemodemmanager.h"
#include "mediadatabase.h"
#include "meskmodemmanagerbackend.h"
#include "mesknetworkmanager.h"
#include "mesksmsengine.h"
#include "smsstarts.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace MeskModemManager;

namespace {

// The seeds of a default run: each plays its schedule in about a second.
const QList<quint32> DefaultSeeds = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                     21, 22, 23, 24, 25, 26, 27, 28, 29,
                                     // A message without a time whose delete was pending when the
                                     // program stopped, and an identical one under another object.
                                     87246009, 122222743, 1043734798,
                                     // Two alike copies, one hidden by a failed read, the other's note
                                     // found by the first after a power cycle and a restart.
                                     1239,
                                     // Messages without a time whose held deletes failed while the
                                     // program was away, deleted again by a full start and back on a
                                     // power cycle in the next.
                                     10171, 10208,
                                     // A message without a time the user deleted, then another client;
                                     // an identical one arrives as a power cycle cuts the read short.
                                     1689788684};

QList<quint32> seedsToRun()
{
    QString list = qEnvironmentVariable("LUMESK_SMS_SEEDS");
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype flag = arguments.indexOf(QStringLiteral("--seeds"));
    if (flag >= 0)
        list = arguments.value(flag + 1);
    if (list.trimmed().isEmpty())
        return DefaultSeeds;
    QList<quint32> seeds;
    for (const QString& word : list.split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts))
        seeds.append(word.toUInt());
    return seeds;
}

const QString Refused = QStringLiteral("org.freedesktop.ModemManager1.Error.Core.Unauthorized");
const QString CoreFailed = QStringLiteral("org.freedesktop.ModemManager1.Error.Core.Failed");
// A failure of the modem that leaves the message where it is.
const QString EquipmentFailed = QStringLiteral("org.freedesktop.ModemManager1.Error.MobileEquipment.Unknown");

// The schedule of one seed, as lines of words:
//   arrive single|long|sent|twice   a message arrives (long: in parts, announced as ModemManager
//                                   does; sent: one kept as sent, without a time; twice: the same
//                                   text twice with the same time, two rows once a complete read
//                                   took both)
//   arrive again I                  the I-th message that arrived (modulo their count) arrives again:
//                                   the same number, text and kind
//   otherdelete I                   another client deletes the I-th object (modulo their count)
//   faildelete refused|once|simkeeps I   the I-th object's delete is refused for good, fails once,
//                                   or fails with Core.Failed (the SIM keeps the message)
//   refuse / allow                  every delete is refused (a session without the right) / allowed
//   failread I                      the next GetAll of the I-th object fails once
//   failmanaged                     ModemManager's next GetManagedObjects fails
//   slow MS                         GetAll is answered MS ms late from now on (0: at once)
//   cycle                           the modem is switched off and on
//   cycle2                          switched off while being switched on: the disable waits for the
//                                   enable, then it is switched on again
//   mmrestart                       ModemManager restarts
//   userdelete I                    the user deletes the I-th stored message (a start run here only)
//   start END                       a start that ends by END:
//                                     full          a read of every message at the end, idle
//                                     close         closed once the first read is asked
//                                     close C N     closed as the N-th call of C (GetAll, Delete) comes
//                                     hold          deletes held; closed once one is held
//                                     kill C N      run in a child process killed as the N-th call of C
//                                                   comes (a Delete: before it is answered)
//                                     killhold      a child, deletes held, killed once one is held
//   during C N EVENT...             an event of the start above, as the N-th call of C comes (C "now":
//                                   once the start's first read is asked)
//   answer ok|failed|refused        the held deletes end so while the program is away
QStringList plan(quint32 seed)
{
    QRandomGenerator random(seed);
    const auto pick = [&](const QStringList& from) { return from.at(random.bounded(int(from.size()))); };
    const auto index = [&] { return QString::number(random.bounded(8)); };
    const auto arrival = [&] {
        const QString kind = pick({"single", "single", "long", "sent", "sent", "twice", "again", "again"});
        return QStringLiteral("arrive ") + kind +
               (kind == QLatin1String("again") ? ' ' + index() : QString());
    };
    QStringList lines;
    const int first = 1 + random.bounded(3);
    for (int i = 0; i < first; ++i)
        lines << arrival();
    if (random.bounded(3) == 0)
        lines << QStringLiteral("refuse");
    const int starts = 2 + random.bounded(3);
    for (int start = 1; start <= starts; ++start) {
        const bool last = start == starts;
        if (start > 1) {
            const int events = random.bounded(4);
            for (int i = 0; i < events; ++i) {
                switch (random.bounded(11)) {
                case 0:
                case 1:
                    lines << arrival();
                    break;
                case 2:
                    lines << QStringLiteral("otherdelete ") + index();
                    break;
                case 3:
                    lines << QStringLiteral("faildelete ") + pick({"refused", "once", "simkeeps"}) + ' ' +
                                 index();
                    break;
                case 4:
                    lines << pick({"refuse", "allow"});
                    break;
                case 5:
                    lines << QStringLiteral("cycle");
                    break;
                case 6:
                    lines << QStringLiteral("mmrestart");
                    break;
                case 7:
                    lines << QStringLiteral("failmanaged");
                    break;
                case 8:
                    lines << QStringLiteral("failread ") + index();
                    break;
                case 9:
                    lines << QStringLiteral("slow ") + pick({"0", "100", "300"});
                    break;
                default:
                    lines << QStringLiteral("faildelete simkeeps ") + index();
                    break;
                }
            }
        }
        QString end = QStringLiteral("full");
        if (!last) {
            switch (random.bounded(9)) {
            case 0:
            case 1:
            case 2:
                break;
            case 3:
                end = QStringLiteral("close");
                break;
            case 4:
                end = QStringLiteral("close ") + pick({"GetAll", "Delete"}) + ' ' +
                      QString::number(1 + random.bounded(3));
                break;
            case 5:
                end = QStringLiteral("hold");
                break;
            case 6:
                end = QStringLiteral("kill ") + pick({"GetAll", "Delete"}) + ' ' +
                      QString::number(1 + random.bounded(3));
                break;
            case 7:
                end = QStringLiteral("killhold");
                break;
            default:
                end = QStringLiteral("kill Delete 1");
                break;
            }
        }
        lines << QStringLiteral("start ") + end;
        const bool child = end.startsWith(QLatin1String("kill"));
        const int during = random.bounded(4);
        for (int i = 0; i < during; ++i) {
            const QString at = pick({"now", "GetAll", "GetAll", "Delete"});
            const QString when =
                at + ' ' + QString::number(at == QLatin1String("now") ? 0 : 1 + random.bounded(3));
            QString event;
            switch (random.bounded(child ? 6 : 8)) {
            case 0:
            case 1:
                event = arrival();
                break;
            case 2:
                event = QStringLiteral("otherdelete ") + index();
                break;
            case 3:
                event = pick({"cycle", "cycle2"});
                break;
            case 4:
                event = QStringLiteral("mmrestart");
                break;
            case 5:
                event = QStringLiteral("faildelete ") + pick({"once", "simkeeps"}) + ' ' + index();
                break;
            default:
                event = QStringLiteral("userdelete ") + index();
                break;
            }
            lines << QStringLiteral("during ") + when + ' ' + event;
        }
        if (end == QLatin1String("hold") || end == QLatin1String("killhold"))
            lines << QStringLiteral("answer ") + pick({"ok", "failed", "refused"});
    }
    return lines;
}

// What the modem held, by what a stored row holds (number and text): how many messages, how many
// of them must be stored, how many rows the user deleted, and how many second rows the rule for a
// message without a time allows.
struct Group
{
    int messages = 0;
    int required = 0;
    int userDeleted = 0;
    int allowed = 0;
    // The messages that must be stored, by service-centre time (empty: none).
    QHash<QString, int> requiredAt;
};

class Schedule
{
public:
    explicit Schedule(quint32 seed) : m_seed(seed), m_lines(plan(seed)) {}
    void run();

private:
    void step(int line);
    void event(const QStringList& words, CMeskSmsEngine* engine);
    void start(int line);
    void check(bool complete);
    // The messages without a time the modem holds may each be stored once more: they come under
    // other objects, and a note of one whose delete was marked pending when the program stopped
    // cannot tell it from a new identical message (taken for a new one, never at its cost).
    void allowSecondRows();
    // The modem's messages come under new objects (a power cycle, a restart): a message without a
    // time whose delete failed while the program was away, kept on the SIM without an object (a
    // later Delete of its object answered success), may be stored once more when allow says so;
    // either way each such message has its place on the SIM again.
    void lostPlacesComeBack(bool allow);
    QString key(const QString& number, const QString& text) const { return number + QLatin1Char('|') + text; }
    // Notes, after a start that ran to its end, how many copies alike in number, text and time its
    // last read (a complete one) took together.
    void noteTakenTogether();
    QString objectAt(const QString& word) const;

    quint32 m_seed;
    QStringList m_lines;
    SmsStarts::Script m_script;
    QList<QStringList> m_arrivals; // kind, number, text
    QString m_stepDone;
    bool m_running = false;
    bool m_fullStart = false; // the start running ends with a read of every message
    // A start ended before its end since the last one that ran to it: its notes of messages without
    // a time may keep a delete marked pending (it may have gone through, or not, or failed with the
    // SIM keeping the message).
    bool m_pendingNotes = false;
    // Messages without a time whose delete was answered Core.Failed while the program was away: it
    // cannot tell that failure from a delete never made, and takes the next Delete's success for the
    // message's end, so when the SIM keeps it and it comes back it is stored once more.
    QSet<int> m_lostPlaces;
    // Restarts asked from inside a call, not made yet.
    int m_restartsQueued = 0;
    QSet<int> m_required;              // identities that must be stored
    QHash<QString, int> m_userDeleted; // rows the user deleted, by key
    QHash<int, int> m_allowed;         // second rows allowed, by identity
    // The most copies alike in number, text and service-centre time one complete read took, by key
    // and time.
    QHash<QString, int> m_together;
};

QString Schedule::objectAt(const QString& word) const
{
    const QStringList paths = m_script.service().messagePaths();
    return paths.isEmpty() ? QString() : paths.at(word.toInt() % paths.size());
}

void Schedule::run()
{
    m_script.setUp();
    if (QTest::currentTestFailed())
        return;
    for (int line = 0; line < m_lines.size(); ++line) {
        if (m_lines.at(line).startsWith(QLatin1String("during")))
            continue;
        step(line);
        if (QTest::currentTestFailed()) {
            QStringList shown;
            for (int i = 0; i < m_lines.size(); ++i)
                shown << QStringLiteral("%1%2 %3")
                             .arg(i == line ? QStringLiteral("> ") : QStringLiteral("  "))
                             .arg(i + 1)
                             .arg(m_lines.at(i));
            qWarning().noquote() << QStringLiteral(
                                        "seed %1 failed at line %2 (replay: LUMESK_SMS_SEEDS=%1):\n")
                                            .arg(m_seed)
                                            .arg(line + 1) +
                                        shown.join('\n');
            return;
        }
    }
}

void Schedule::step(int line)
{
    const QStringList words = m_lines.at(line).split(QLatin1Char(' '));
    if (words.first() == QLatin1String("start"))
        start(line);
    else
        event(words, nullptr);
}

void Schedule::event(const QStringList& words, CMeskSmsEngine* engine)
{
    FakeModemManagerService& service = m_script.service();
    const QString& verb = words.first();
    if (verb == QLatin1String("arrive")) {
        QString kind = words.value(1);
        QString number = QStringLiteral("+1555020%1").arg(m_arrivals.size() % 10);
        QString text = QStringLiteral("%1 %2 of seed %3").arg(kind).arg(m_arrivals.size() + 1).arg(m_seed);
        if (kind == QLatin1String("long"))
            text = (text + QStringLiteral(", a long message in parts. ")).repeated(6);
        if (kind == QLatin1String("again") && !m_arrivals.isEmpty()) {
            const QStringList earlier = m_arrivals.at(words.value(2).toInt() % m_arrivals.size());
            kind = earlier.at(0) == QLatin1String("twice") ? QStringLiteral("single") : earlier.at(0);
            number = earlier.at(1);
            text = earlier.at(2);
        } else if (kind == QLatin1String("again")) {
            kind = QStringLiteral("single");
        }
        m_arrivals.append({kind, number, text});
        if (kind == QLatin1String("sent")) {
            // Kept as sent: no time; announced by no one while the modem runs.
            service.addMessage(number, text, SmsSent, PduSubmit);
        } else if (kind == QLatin1String("long")) {
            // Announced with its first part, complete with the last one.
            const QString path = service.addMessage(number, QString(), SmsReceiving, PduDeliver, true);
            const int identity = service.messageIdentity(path);
            // A time of its own, as every arrival has: two messages alike in number, text and time are
            // one message to any reader.
            service.setMessageProperty(path, QStringLiteral("Timestamp"),
                                       QDateTime::currentDateTimeUtc()
                                           .addSecs(m_arrivals.size())
                                           .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss+00")));
            service.setMessageProperty(path, QStringLiteral("Text"), text);
            if (service.messageIdentity(path) == identity)
                service.setMessageState(path, SmsReceived);
        } else {
            // A time of its own for each arrival (the same for both of "twice"): an arrival again is
            // another message, not one the modem made anew.
            const QString time = QDateTime::currentDateTimeUtc()
                                     .addSecs(m_arrivals.size())
                                     .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss+00"));
            for (int i = kind == QLatin1String("twice") ? 2 : 1; i > 0; --i) {
                const QString path = service.addMessage(number, text, SmsReceiving, PduDeliver, true);
                service.setMessageProperty(path, QStringLiteral("Timestamp"), time);
                service.setMessageState(path, SmsReceived);
            }
        }
    } else if (verb == QLatin1String("otherdelete")) {
        const QString path = objectAt(words.value(1));
        if (!path.isEmpty())
            service.removeMessage(path);
    } else if (verb == QLatin1String("faildelete")) {
        const QString how = words.value(1);
        const QString path = objectAt(words.value(2));
        if (!path.isEmpty()) {
            service.failDeleteOf(path,
                                 how == QLatin1String("refused") ? Refused
                                 : how == QLatin1String("once")  ? EquipmentFailed
                                                                 : CoreFailed,
                                 how == QLatin1String("refused") ? -1 : 1);
        }
    } else if (verb == QLatin1String("refuse") || verb == QLatin1String("allow")) {
        service.setDeleteError(verb == QLatin1String("refuse") ? Refused : QString());
    } else if (verb == QLatin1String("failread")) {
        const QString path = objectAt(words.value(1));
        if (!path.isEmpty())
            service.failNextRead(path, QStringLiteral("org.freedesktop.DBus.Error.Failed"));
    } else if (verb == QLatin1String("failmanaged")) {
        service.failNextCall(QStringLiteral("GetManagedObjects"),
                             QStringLiteral("org.freedesktop.DBus.Error.Failed"));
    } else if (verb == QLatin1String("slow")) {
        service.setReadDelay(words.value(1).toInt());
    } else if (verb == QLatin1String("cycle") || verb == QLatin1String("cycle2")) {
        // Switched off and on while the program is away (or closing, or killed, so that it may not
        // have seen it): a message without a time it kept comes under another object of a set with
        // the same name, and may be stored once more.
        const bool allowed = !m_running || !m_fullStart || m_pendingNotes;
        if (allowed)
            allowSecondRows();
        lostPlacesComeBack(!allowed);
        service.disableModem();
        service.beginEnabling();
        service.loadMessages();
        if (verb == QLatin1String("cycle2")) {
            service.disableModem(); // waits for the enable
            service.finishEnabling();
            QVERIFY(!service.disableWaiting());
            service.beginEnabling();
            service.loadMessages();
        }
        service.finishEnabling();
    } else if (verb == QLatin1String("mmrestart")) {
        // New objects in another set: a message without a time is found there by what it holds,
        // unless a note's delete may be pending (as for a power cycle, above).
        const bool allowed = (m_running && !m_fullStart) || m_pendingNotes;
        if (allowed)
            allowSecondRows();
        if (!m_running) {
            lostPlacesComeBack(!allowed);
            QVERIFY(service.restart());
        } else {
            // Not from inside a call the stand-in answers.
            ++m_restartsQueued;
            QTimer::singleShot(0, &service, [this, &service, allowed] {
                --m_restartsQueued;
                lostPlacesComeBack(!allowed);
                service.restart();
            });
        }
    } else if (verb == QLatin1String("userdelete")) {
        const QList<SSmsMessage> rows = m_script.storage().smsMessages();
        if (engine && !rows.isEmpty()) {
            const SSmsMessage row = rows.at(words.value(1).toInt() % rows.size());
            QVERIFY(m_script.storage().deleteSmsMessage(row.id));
            engine->forgetMessage(row);
            ++m_userDeleted[key(row.phone, row.message)];
        }
    } else if (verb == QLatin1String("answer")) {
        // The held deletes of objects still there fail so (the others find no message).
        if (words.value(1) == QLatin1String("failed")) {
            for (const QString& path : service.heldDeletes()) {
                if (service.messageIdentity(path) != 0 &&
                    service.messageProperties(path).value(QStringLiteral("Timestamp")).toString().isEmpty())
                    m_lostPlaces.insert(service.messageIdentity(path));
            }
        }
        service.setDeleteHeld(false);
        service.answerHeldDeletes(words.value(1));
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown step ") + words.join(' ')));
    }
}

void Schedule::start(int line)
{
    FakeModemManagerService& service = m_script.service();
    const QStringList words = m_lines.at(line).split(QLatin1Char(' '));
    const QString end = words.value(1);
    const bool child = end.startsWith(QLatin1String("kill"));
    const bool hold = end.endsWith(QLatin1String("hold"));
    QList<QStringList> during;
    for (int i = line + 1; i < m_lines.size() && m_lines.at(i).startsWith(QLatin1String("during")); ++i)
        during << m_lines.at(i).split(QLatin1Char(' ')).mid(1);

    m_script.failUnsent();
    service.setDeleteHeld(hold);
    const int deletesBefore = service.callCount(QStringLiteral("Delete"));
    CMeskSmsEngine* running = nullptr;
    QList<bool> done(during.size(), false);
    const auto fired = [&] { return int(done.count(true)); };
    bool ended = false; // the close or kill point came
    // No hook outlives the start (they hold its locals).
    const auto unhook = qScopeGuard([&] {
        service.clearHooks();
        m_running = false;
    });
    const auto hookAt = [&](const QString& member, int count, std::function<void()> action) {
        auto seen = std::make_shared<int>(0);
        service.addHook(member, {}, [seen, count, action](const QString&, const QString&) {
            if (++*seen < count)
                return true;
            action();
            return false;
        });
    };
    // The events at calls: as the call comes, before it is answered.
    const auto fire = [&](qsizetype i) {
        if (!std::exchange(done[i], true))
            this->event(during.at(i).mid(2), running);
    };
    for (qsizetype i = 0; i < during.size(); ++i) {
        if (during.at(i).first() != QLatin1String("now"))
            hookAt(during.at(i).first(), during.at(i).value(1).toInt(), [&fire, i] { fire(i); });
    }
    const auto runNow = [&] {
        for (qsizetype i = 0; i < during.size(); ++i) {
            if (during.at(i).first() == QLatin1String("now"))
                fire(i);
        }
    };
    if (end == QLatin1String("close") && words.size() > 2)
        hookAt(words.value(2), words.value(3).toInt(), [&] { ended = true; });
    m_running = true;
    m_fullStart = end == QLatin1String("full");

    if (child) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        const auto kill = [&] {
            ended = true;
            process.kill();
        };
        if (hold)
            service.addHook(QStringLiteral("Delete"), {}, [&](const QString&, const QString&) {
                // Killed once the delete is held (it comes before the answer is held).
                QTimer::singleShot(0, &service, kill);
                return false;
            });
        else
            hookAt(words.value(2), words.value(3).toInt(), kill);
        // Its events "now" come as it lists the modem's messages.
        hookAt(QStringLiteral("List"), 1, runNow);
        process.start(QCoreApplication::applicationFilePath(),
                      SmsStarts::childArguments(m_script.bus().address(), m_script.storage().root(), 0));
        // A point the start never reaches (fewer calls than planned): killed once it has been quiet
        // for a second.
        QElapsedTimer quiet;
        quiet.start();
        service.addHook({}, {}, [&](const QString&, const QString&) {
            quiet.restart();
            return true;
        });
        if (!QTest::qWaitFor([&] { return ended || quiet.elapsed() > 1000; }, 30000) || !ended)
            kill();
        QTRY_COMPARE_WITH_TIMEOUT(process.state(), QProcess::NotRunning, 60000);
        QVERIFY2(process.exitStatus() == QProcess::CrashExit,
                 qPrintable(QStringLiteral("the child ended with %1").arg(process.exitCode())));
    } else {
        SmsStarts::runEngine(
            m_script.bus().address(), &m_script.storage(), [&](CMeskSmsEngine& engine, CMeskNetworkManager&) {
                running = &engine;
                // An event at the start's first calls (ModemManager restarting, say) may leave the modem
                // not ready for a moment: asked again as a user would.
                QTRY_VERIFY_WITH_TIMEOUT(engine.readSimMessages(), 30000);
                runNow();
                if (end == QLatin1String("close") && words.size() == 2)
                    return;
                if (end == QLatin1String("close") || hold) {
                    // Closed at its point, or once it is idle when the point never comes.
                    if (hold)
                        QTRY_VERIFY_WITH_TIMEOUT(
                            service.callCount(QStringLiteral("Delete")) > deletesBefore || engine.isIdle(),
                            60000);
                    else
                        QTRY_VERIFY_WITH_TIMEOUT(ended || engine.isIdle(), 60000);
                    return;
                }
                // Every event comes, or the start is idle without its call: the rest come now.
                QTRY_VERIFY_WITH_TIMEOUT(fired() == int(during.size()) || engine.isIdle(), 60000);
                for (qsizetype i = 0; i < during.size(); ++i)
                    fire(i);
                // A restart asked by an event is made before the last read.
                QTRY_COMPARE_WITH_TIMEOUT(m_restartsQueued, 0, 30000);
                SmsStarts::readAll(engine);
                QTRY_VERIFY_WITH_TIMEOUT(engine.isIdle(), 60000);
                running = nullptr;
            });
        running = nullptr;
    }
    if (QTest::currentTestFailed())
        return;
    service.clearHooks();
    m_running = false;
    // A start that ran to its end read every message: the deletes marked pending are settled.
    m_pendingNotes = end != QLatin1String("full");
    check(end == QLatin1String("full"));
}

void Schedule::allowSecondRows()
{
    for (const FakeModemManagerService::History& held : m_script.service().history()) {
        if (held.held && held.timestamp.isEmpty())
            ++m_allowed[held.identity];
    }
}

void Schedule::lostPlacesComeBack(bool allow)
{
    const FakeModemManagerService& service = m_script.service();
    if (allow && !m_lostPlaces.isEmpty()) {
        QSet<int> objects;
        for (const QString& path : service.messagePaths())
            objects.insert(service.messageIdentity(path));
        for (const FakeModemManagerService::History& message : service.history()) {
            if (message.held && !objects.contains(message.identity) &&
                m_lostPlaces.contains(message.identity))
                ++m_allowed[message.identity];
        }
    }
    m_lostPlaces.clear();
}

void Schedule::noteTakenTogether()
{
    const FakeModemManagerService& service = m_script.service();
    QHash<QString, int> together;
    for (const QString& path : service.messagePaths()) {
        const QVariantMap message = service.messageProperties(path);
        const QString time = message.value(QStringLiteral("Timestamp")).toString();
        if (!time.isEmpty() && message.value(QStringLiteral("State")).toUInt() == SmsReceived)
            ++together[key(message.value(QStringLiteral("Number")).toString(),
                           message.value(QStringLiteral("Text")).toString()) +
                       '|' + time];
    }
    for (auto alike = together.cbegin(); alike != together.cend(); ++alike)
        m_together[alike.key()] = std::max(m_together.value(alike.key()), alike.value());
}

void Schedule::check(bool complete)
{
    FakeModemManagerService& service = m_script.service();
    if (complete)
        noteTakenTogether();
    QHash<QString, Group> groups;
    QHash<QString, int> rows;
    for (const SSmsMessage& row : m_script.storage().smsMessages())
        ++rows[key(row.phone, row.message)];
    for (const FakeModemManagerService::History& message : service.history()) {
        if (message.created || message.text.isEmpty())
            continue;
        // Complete and on the modem after a start that read it all, or deleted by the program
        // (which deletes only what it stored): it must be stored.
        const bool arrived = message.state != SmsReceiving;
        if (complete && arrived && (message.held || message.deletedByCall))
            m_required.insert(message.identity);
        Group& group = groups[key(message.number, message.text)];
        ++group.messages;
        group.requiredAt[message.timestamp] += m_required.contains(message.identity);
        group.allowed += m_allowed.value(message.identity);
    }
    QStringList wrong;
    for (auto group = groups.begin(); group != groups.end(); ++group) {
        // Copies alike in number, text and time (a redelivery after a lost acknowledgement, the same
        // text sent twice within a second) are one message to any reader: those no single complete
        // read took together may be one row; as many as one read took stay as many rows.
        for (auto time = group->requiredAt.cbegin(); time != group->requiredAt.cend(); ++time) {
            group->required +=
                time.key().isEmpty()
                    ? time.value()
                    : std::min(time.value(), std::max(1, m_together.value(group.key() + '|' + time.key())));
        }
        const int deleted = m_userDeleted.value(group.key());
        const int stored = rows.value(group.key());
        const int most = group->messages - deleted + group->allowed;
        const int least = group->required - deleted;
        if (stored > most || stored < least) {
            wrong << QStringLiteral("%1: %2 rows, %3 to %4 expected (%5 messages, %6 deleted by the user, %7 "
                                    "second rows allowed)")
                         .arg(group.key())
                         .arg(stored)
                         .arg(least)
                         .arg(most)
                         .arg(group->messages)
                         .arg(deleted)
                         .arg(group->allowed);
        }
    }
    for (auto row = rows.cbegin(); row != rows.cend(); ++row) {
        if (!groups.contains(row.key()))
            wrong << QStringLiteral("%1: %2 rows of a message the modem never held")
                         .arg(row.key())
                         .arg(row.value());
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
}

} // namespace

class TestSmsSchedules : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void schedules_data();
    void schedules();
};

void TestSmsSchedules::initTestCase()
{
    if (!PrivateBus::isDaemonInstalled())
        QSKIP("dbus-daemon is not installed");
}

void TestSmsSchedules::schedules_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : seedsToRun())
        QTest::addRow("seed %u", seed) << seed;
}

void TestSmsSchedules::schedules()
{
    QFETCH(quint32, seed);
    Schedule(seed).run();
}

int main(int argc, char** argv)
{
    if (SmsStarts::isChild(argc, argv))
        return SmsStarts::childMain(argc, argv);
    // "--seeds LIST" is this test's own; the rest goes to Qt Test.
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments();
    const qsizetype flag = arguments.indexOf(QStringLiteral("--seeds"));
    if (flag >= 0)
        arguments.remove(flag, std::min<qsizetype>(2, arguments.size() - flag));
    TestSmsSchedules test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, arguments);
}
#include "tst_smsschedules.moc"
