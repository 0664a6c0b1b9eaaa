#include "meskprovidermanager.h"

#include "imediaitemprovider.h"

namespace {
QList<CMeskProviderManager::ProviderFactory>& factoryList()
{
    static QList<CMeskProviderManager::ProviderFactory> factories;
    return factories;
}
} // namespace

CMeskProviderManager::CMeskProviderManager(QObject* parent) : QObject(parent) {}

CMeskProviderManager::~CMeskProviderManager() = default;

void CMeskProviderManager::setProviderFactories(const QList<ProviderFactory>& factories)
{
    factoryList() = factories;
}

QList<CMeskProviderManager::ProviderFactory> CMeskProviderManager::providerFactories()
{
    return factoryList();
}

bool CMeskProviderManager::loadProviders(IMediaItemStorage* storage)
{
    clearProviders();
    const QList<ProviderFactory> factories = factoryList();
    for (const ProviderFactory& create : factories) {
        if (IMediaItemProvider* provider = create ? create(this) : nullptr)
            registerProvider(provider, storage);
    }
    return true;
}

void CMeskProviderManager::registerProvider(IMediaItemProvider* provider, IMediaItemStorage* storage)
{
    if (!provider)
        return;
    m_providers.insert(provider->providerId(), provider);
    provider->setStorage(storage);
}

void CMeskProviderManager::clearProviders()
{
    // Take the table first: a provider's destructor must not find itself registered.
    const QMap<mid_t, IMediaItemProvider*> old = std::exchange(m_providers, {});
    for (IMediaItemProvider* provider : old)
        delete provider;
}

QList<IMediaItemProvider*> CMeskProviderManager::providers() const
{
    return m_providers.values();
}

IMediaItemProvider* CMeskProviderManager::provider(mid_t id) const
{
    return m_providers.value(id, nullptr);
}

int CMeskProviderManager::providerCount() const
{
    return int(m_providers.size());
}

QList<IMediaItemProvider*> CMeskProviderManager::activeProviders() const
{
    QList<IMediaItemProvider*> result;
    for (IMediaItemProvider* provider : m_providers) {
        if (provider->isActivated())
            result.append(provider);
    }
    return result;
}

int CMeskProviderManager::activeProviderCount() const
{
    return int(activeProviders().size());
}

QList<IMediaItemProvider*> CMeskProviderManager::textProviders() const
{
    QList<IMediaItemProvider*> result;
    for (IMediaItemProvider* provider : m_providers) {
        if (provider->supportsService(MeskService::TextPoster))
            result.append(provider);
    }
    return result;
}
