#include "testengine.h"

#include "fakeitemwidget.h"
#include "mediadatabase.h"
#include "mesknetworkbackends.h"
#include "meskprovidermanager.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTest>

TestEngine::TestEngine()
    : m_clock(std::make_unique<TestClock>(now())), m_root(std::make_unique<TempStorageRoot>())
{
    QCoreApplication::setOrganizationName(QStringLiteral("Velto"));
    QCoreApplication::setApplicationName(QStringLiteral("Velto Lumesk"));
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    registerMeskMetaTypes();
}

TestEngine::~TestEngine()
{
    m_engine.reset();
    m_root.reset();
    MeskNetworkBackends::setFactory({});
    CMeskProviderManager::setProviderFactories({});
    MeskSmsFactories::setSmsEngineFactory({});
    MeskSmsFactories::setContactsReaderFactory({});
}

QString TestEngine::storageRoot() const
{
    return m_root->dataHome() + QStringLiteral("/Velto/Velto Lumesk/mstorage");
}

void TestEngine::addProvider(mid_t id, const QString& name, bool activated, const QSet<mid_t>& nullIds)
{
    m_factories.append([this, id, name, activated, nullIds](QObject* parent) -> IMediaItemProvider* {
        auto* provider = new FakeProvider(id, name, parent);
        provider->setActivated(activated);
        provider->setItemWidgetFactory(FakeItemWidget::factory(nullIds));
        m_providers.insert(id, provider);
        return provider;
    });
}

bool TestEngine::seedItems(QList<SMediaItem>& items)
{
    CMediaDataBase db(storageRoot());
    if (!db.open())
        return false;
    for (SMediaItem& item : items) {
        if (!db.addMediaItem(item))
            return false;
    }
    return true;
}

bool TestEngine::seedMessages(QList<SSmsMessage>& messages)
{
    CMediaDataBase db(storageRoot());
    if (!db.open())
        return false;
    for (SSmsMessage& message : messages) {
        if (!db.addSmsMessage(message))
            return false;
    }
    return true;
}

bool TestEngine::seedUsers(QList<SServiceUser>& users)
{
    CMediaDataBase db(storageRoot());
    if (!db.open())
        return false;
    for (SServiceUser& user : users) {
        if (!db.addServiceUser(user))
            return false;
    }
    return true;
}

bool TestEngine::init()
{
    MeskNetworkBackends::setFactory([this] {
        SMeskNetworkBackends backends;
        auto network = std::make_unique<FakeNetworkBackend>();
        network->setOnline(online);
        if (holdNetwork)
            network->hold();
        m_network = network.get();
        backends.network = std::move(network);
        auto modem = std::make_unique<FakeModem>();
        if (modemReadyState >= 0) {
            modem->setDevicePresent(true);
            modem->setReadyState(modemReadyState);
        }
        m_modem = modem.get();
        backends.modem = std::move(modem);
        return backends;
    });
    CMeskProviderManager::setProviderFactories(m_factories);
    if (sms) {
        MeskSmsFactories::setSmsEngineFactory(
            [this](QObject* parent) -> IMeskSmsEngine* { return m_sms = new FakeSmsEngine(parent); });
    } else {
        MeskSmsFactories::setSmsEngineFactory({});
    }
    if (contactsReader) {
        MeskSmsFactories::setContactsReaderFactory([this]() -> IMeskContactsReader* {
            m_contacts = new FakeContactsReader;
            m_contacts->list = contacts;
            return m_contacts;
        });
    } else {
        MeskSmsFactories::setContactsReaderFactory({});
    }

    m_engine = std::make_unique<CMeskEngine>();
    if (!m_engine->init())
        return false;
    // The manager publishes the network state once both values are read.
    const auto networkRead = [this] {
        return m_network && m_network->connectivityQueries() > 0 && m_engine->isInternetConnected() == online;
    };
    if (!holdNetwork && !QTest::qWaitFor(networkRead, 30000))
        return false;
    if (modemReadyState >= 0)
        return QTest::qWaitFor([this] { return m_engine->cellularState() > 0; }, 30000);
    return true;
}

SMediaItem TestEngine::event(mid_t provider, const QDateTime& created, const QString& content)
{
    static int counter = 0;
    SMediaItem item;
    item.provider = provider;
    item.type = 1;
    item.created = created;
    item.content = content.isEmpty() ? QStringLiteral("event %1").arg(++counter) : content;
    return item;
}

SSmsMessage TestEngine::message(int type, const QString& phone, const QString& text, const QDateTime& created)
{
    SSmsMessage m;
    m.type = type;
    m.phone = phone;
    m.message = text;
    m.created = created;
    return m;
}
