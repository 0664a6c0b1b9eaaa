#include "fakeprovider.h"
#include "imediaitemstorage.h"
#include "meskprovidermanager.h"

#include <QPointer>
#include <QTest>

namespace {
// Fakes registered as the application registers its providers: Twitter, Flickr, Facebook.
QList<CMeskProviderManager::ProviderFactory> threeFakes(QStringList* log, QList<QPointer<FakeProvider>>* made)
{
    auto factory = [log, made](mid_t id, const char* name, bool textCapable) {
        return [=](QObject* parent) -> IMediaItemProvider* {
            auto* provider = new FakeProvider(id, QLatin1String(name), parent, log);
            if (textCapable)
                provider->enableTextPoster();
            made->append(provider);
            return provider;
        };
    };
    return {factory(1, "Twitter", true), factory(3, "Flickr", false), factory(2, "Facebook", true)};
}

QList<mid_t> idsOf(const QList<IMediaItemProvider*>& providers)
{
    QList<mid_t> ids;
    for (auto* p : providers)
        ids.append(p->providerId());
    return ids;
}

IMediaItemStorage* const kStorage = reinterpret_cast<IMediaItemStorage*>(quintptr(0x1000));
} // namespace

class TestProviderManager : public QObject
{
    Q_OBJECT
private:
    QStringList m_log;
    QList<QPointer<FakeProvider>> m_made;

private slots:
    void init()
    {
        m_log.clear();
        m_made.clear();
        CMeskProviderManager::setProviderFactories(threeFakes(&m_log, &m_made));
    }
    void cleanup() { CMeskProviderManager::setProviderFactories({}); }

    void emptyBeforeLoading()
    {
        CMeskProviderManager manager;
        QVERIFY(manager.providers().isEmpty());
        QVERIFY(manager.activeProviders().isEmpty());
        QVERIFY(manager.textProviders().isEmpty());
        QCOMPARE(manager.providerCount(), 0);
        QCOMPARE(manager.activeProviderCount(), 0);
        QCOMPARE(manager.provider(1), nullptr);
        QVERIFY(m_log.isEmpty());
    }

    void loadsInFactoryOrderAndListsById()
    {
        CMeskProviderManager manager;
        QVERIFY(manager.loadProviders(kStorage));
        QCOMPARE(idsOf(manager.providers()), (QList<mid_t>{1, 2, 3}));
        QCOMPARE(manager.providerCount(), 3);
        // Each provider has its storage before the next one is created.
        QCOMPARE(m_log, (QStringList{"create Twitter", "setStorage Twitter", "create Flickr",
                                     "setStorage Flickr", "create Facebook", "setStorage Facebook"}));
        for (const auto& fake : m_made) {
            QCOMPARE(fake->setStorageCalls, 1);
            QCOMPARE(fake->storage, kStorage);
            QCOMPARE(fake->parent(), &manager);
            QCOMPARE(manager.provider(fake->providerId()), fake.data());
        }
        QCOMPARE(manager.provider(0), nullptr);
        QCOMPARE(manager.provider(7), nullptr);
    }

    void activeProvidersFollowTheProvidersLive()
    {
        CMeskProviderManager manager;
        manager.loadProviders(kStorage);
        QCOMPARE(manager.activeProviderCount(), 0);
        m_made[2]->setActivated(true); // Facebook
        QCOMPARE(idsOf(manager.activeProviders()), QList<mid_t>{2});
        m_made[0]->setActivated(true); // Twitter
        QCOMPARE(idsOf(manager.activeProviders()), (QList<mid_t>{1, 2}));
        QCOMPARE(manager.activeProviderCount(), 2);
        m_made[2]->setActivated(false);
        QCOMPARE(idsOf(manager.activeProviders()), QList<mid_t>{1});
    }

    void textProvidersLeaveOutProvidersThatCannotPost()
    {
        CMeskProviderManager manager;
        manager.loadProviders(kStorage);
        QCOMPARE(idsOf(manager.textProviders()), (QList<mid_t>{1, 2}));
        m_made[0]->setSupportsService(MeskService::TextPoster, false);
        QCOMPARE(idsOf(manager.textProviders()), QList<mid_t>{2});
    }

    void reloadingReplacesEveryProvider()
    {
        CMeskProviderManager manager;
        manager.loadProviders(kStorage);
        const QList<QPointer<FakeProvider>> first = m_made;
        m_made.clear();
        QVERIFY(manager.loadProviders(kStorage));
        for (const auto& old : first)
            QVERIFY(old.isNull());
        QCOMPARE(m_made.size(), 3);
        QCOMPARE(idsOf(manager.providers()), (QList<mid_t>{1, 2, 3}));
        QCOMPARE(manager.provider(1), m_made[0].data());
    }

    void registeringAnIdAgainReplacesTheEntry()
    {
        CMeskProviderManager manager;
        manager.loadProviders(kStorage);
        auto* other = new FakeProvider(1, QStringLiteral("Other Twitter"), &manager);
        manager.registerProvider(other, kStorage);
        QCOMPARE(manager.provider(1), other);
        QCOMPARE(other->setStorageCalls, 1);
        QCOMPARE(manager.providerCount(), 3);
    }

    void emptyFactoryListRegistersNothing()
    {
        CMeskProviderManager::setProviderFactories({});
        CMeskProviderManager manager;
        QVERIFY(manager.loadProviders(kStorage));
        QCOMPARE(manager.providerCount(), 0);
    }

    void clearingDeletesProviders()
    {
        CMeskProviderManager manager;
        manager.loadProviders(kStorage);
        manager.clearProviders();
        QCOMPARE(manager.providerCount(), 0);
        for (const auto& fake : m_made)
            QVERIFY(fake.isNull());
    }
};

QTEST_GUILESS_MAIN(TestProviderManager)
#include "tst_providermanager.moc"
