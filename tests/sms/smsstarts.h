#pragma once

// Shared by the SMS tests that start the program's SMS side against the stand-in ModemManager:
// one start of the engine through the real ModemManager layer, the interpreter of scripted starts
// and the child process a start is killed in.
#include "fakemodemmanager.h"
#include "faultvfs.h"
#include "mediadatabase.h"
#include "tempstorage.h"

#include <QStringList>

#include <functional>
#include <memory>

class CMeskSmsEngine;
class CMeskNetworkManager;
class IMediaItemStorage;

namespace SmsStarts {

// The body of one start, run once the engine is ready (or at once when the start does not wait).
using EngineBody = std::function<void(CMeskSmsEngine&, CMeskNetworkManager&)>;

// One start of the program's SMS side on the bus at address: the network manager with a
// ModemManager layer of its own and the SMS engine on storage. With ready, it waits for the modem
// and for the engine to be ready before body. Returns the messages announced, in order: a message
// found on the modem as "phone text", one that arrived as "new phone text", one marked sent as
// "done text".
QStringList runEngine(const QString& address, IMediaItemStorage* storage, const EngineBody& body,
                      bool ready = true);
// The same, reading the modem once and waiting until done().
QStringList runEngine(const QString& address, IMediaItemStorage* storage, const std::function<bool()>& done);

// Reads every message and waits until the engine is idle. After a restart the engine may still be
// ready on the old run's device while the layer has dropped it: a read that cannot start yet is
// asked again.
void readAll(CMeskSmsEngine& engine);

// The child's command line: a start of the program's SMS side on the storage at storagePath, on
// the bus at address, that kills itself as it notes the limit-th message left on the modem, in the
// middle of storing what it read (limit 0: never; it then runs until it is killed).
QStringList childArguments(const QString& address, const QString& storagePath, int limit);
// Whether main's arguments ask for the child (then run it with childMain).
bool isChild(int argc, char** argv);
int childMain(int argc, char** argv);

// Scripted starts of the program on one storage, with one bus and a stand-in ModemManager of their
// own (so that a reboot can give the same unique name again). Each step is a line of words (the
// steps are described where tst_modemmanager lists its rows).
class Script
{
public:
    Script();
    ~Script();
    // Makes the storage, the bus and the stand-in with its modem; failures through QTest.
    void setUp();
    // Runs one step; failures through QTest.
    void run(const QString& step);

    CMediaDataBase& storage() { return *m_storage; }
    FakeModemManagerService& service() { return *m_service; }
    const FakeModemManagerService& service() const { return *m_service; }
    PrivateBus& bus() { return *m_bus; }
    // What the last start announced.
    const QStringList& announced() const { return m_announced; }
    // The program at its start: a message still being sent when it last stopped failed.
    void failUnsent();

private:
    // The store anew through a file layer that sees the syncs of its log; from then on each Delete the
    // stand-in is asked for looks for its message in the store as a power cut right then would leave it.
    void watchPowerCuts();
    // Whether a copy of the store with its log cut to the length last synced holds a message with text.
    bool keptThroughPowerCut(const QString& text);

    TempStorageRoot m_root;
    // Outlives the store, whose connection goes through it.
    std::unique_ptr<FaultVfs> m_vfs;
    std::unique_ptr<CMediaDataBase> m_storage;
    // The log's length at its last sync (0: not synced since the store was opened).
    qint64 m_syncedLog = 0;
    // The texts of the messages the stand-in was asked to delete that a power cut then would have lost.
    QStringList m_lostAtPowerCut;
    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<FakeModemManagerService> m_service;
    QString m_firstName;
    QStringList m_announced;
};

} // namespace SmsStarts
