#pragma once

#include "fakemodem.h"
#include "fakenetworkbackend.h"
#include "fakeprovider.h"
#include "fakesmsengine.h"
#include "meskengine.h"
#include "meskrecords.h"
#include "tempstorage.h"
#include "testclock.h"

#include <QDateTime>
#include <QList>

#include <functional>
#include <memory>

// The real CMeskEngine built on fakes only, for the view tests: temporary storage (seeded
// before init), fake providers, network, modem, SMS engine and contacts, a test clock at
// 2024-06-14 12:00 and the en_US locale. See tests/support/README.md.
//
//   TestEngine env;
//   env.addProvider(2, "Facebook");                 // activated, FakeItemWidget per item
//   env.seedItems({TestEngine::event(2, 1, env.day(0))});
//   env.sms = true; env.contacts = {...};           // FakeSmsEngine and FakeContactsReader
//   QVERIFY(env.init());
//   env.provider(2)->emitMediaItemAdded(item);  env.smsEngine()->setState(...);
//
// The engine is deleted before the storage root; every factory is reset on destruction.
class TestEngine
{
public:
    TestEngine();
    ~TestEngine();
    TestEngine(const TestEngine&) = delete;
    TestEngine& operator=(const TestEngine&) = delete;

    // Before init(): a provider registered with the engine (activated unless told otherwise),
    // its item widgets made by FakeItemWidget::factory(nullIds).
    void addProvider(mid_t id, const QString& name, bool activated = true, const QSet<mid_t>& nullIds = {});
    // Before init(): a provider the factory makes (a real one, for a benchmark).
    void addProviderFactory(std::function<IMediaItemProvider*(QObject*)> factory)
    {
        m_factories.append(factory);
    }
    // Before init(): stored rows. Items need an event type (1-4 or 10); the ids are set.
    // Authors named in items should be seeded as service users too.
    bool seedItems(QList<SMediaItem>& items);
    bool seedMessages(QList<SSmsMessage>& messages);
    bool seedUsers(QList<SServiceUser>& users);

    // Settings read by init().
    bool sms = false;              // a FakeSmsEngine; without it SMS is not supported
    QList<SPhoneContact> contacts; // a FakeContactsReader with these (only with contactsReader)
    bool contactsReader = true;
    bool online = true;
    int modemReadyState = -1; // -1: no device
    // The network backend held (FakeNetworkBackend::hold): the engine answers the defaults until
    // the test calls network()->release().
    bool holdNetwork = false;

    // Builds and initialises the engine, then waits until the engine reads the network backend's
    // state (unless held) and, with a device, for the engine's cellular state.
    bool init();

    CMeskEngine* engine() const { return m_engine.get(); }
    FakeProvider* provider(mid_t id) const { return m_providers.value(id); }
    FakeSmsEngine* smsEngine() const { return m_sms; }
    FakeContactsReader* contactsReaderFake() const { return m_contacts; }
    FakeNetworkBackend* network() const { return m_network; }
    FakeModem* modem() const { return m_modem; }
    TestClock& clock() { return *m_clock; }
    QString storageRoot() const;

    static QDateTime now() { return QDateTime(QDate(2024, 6, 14), QTime(12, 0)); }
    // Noon of the day that many days before the clock's day.
    static QDateTime day(int daysBack) { return now().addDays(-daysBack); }
    // A stored feed event of the provider (type 1) created at that time.
    static SMediaItem event(mid_t provider, const QDateTime& created, const QString& content = {});
    static SSmsMessage message(int type, const QString& phone, const QString& text, const QDateTime& created);

private:
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<TempStorageRoot> m_root;
    std::unique_ptr<CMeskEngine> m_engine;
    QList<std::function<IMediaItemProvider*(QObject*)>> m_factories;
    QHash<mid_t, FakeProvider*> m_providers;
    FakeSmsEngine* m_sms = nullptr;
    FakeContactsReader* m_contacts = nullptr;
    FakeNetworkBackend* m_network = nullptr;
    FakeModem* m_modem = nullptr;
};
