#pragma once

#include "meskrecords.h"

#include <QList>
#include <QMap>
#include <QObject>

#include <functional>

class IMediaItemProvider;
class IMediaItemStorage;

// Builds the service providers, registers each under its provider id, hands
// each the storage, and answers questions about them.
//
// The manager names no concrete provider: it runs the process-wide provider
// factory list, in order. The application fills that list at start-up
// (Twitter, Flickr, Facebook); tests fill it with fakes.
class CMeskProviderManager : public QObject
{
    Q_OBJECT
public:
    // Creates one provider with the given Qt parent.
    using ProviderFactory = std::function<IMediaItemProvider*(QObject* parent)>;

    explicit CMeskProviderManager(QObject* parent = nullptr);
    ~CMeskProviderManager() override;

    // The process-wide factory list; set it before the engine's init().
    static void setProviderFactories(const QList<ProviderFactory>& factories);
    static QList<ProviderFactory> providerFactories();

    // Deletes the existing providers, then creates and registers one provider per
    // factory, in list order. Each provider gets its storage before the next one is
    // created. Always returns true.
    bool loadProviders(IMediaItemStorage* storage);
    // Stores the provider under its id (replacing any provider already there),
    // then calls its setStorage().
    void registerProvider(IMediaItemProvider* provider, IMediaItemStorage* storage);
    // Deletes every registered provider.
    void clearProviders();

    // Every provider, in ascending id.
    QList<IMediaItemProvider*> providers() const;
    IMediaItemProvider* provider(mid_t id) const;
    int providerCount() const;
    // The providers whose isActivated() is true, asked anew on every call.
    QList<IMediaItemProvider*> activeProviders() const;
    int activeProviderCount() const;
    // The providers that can post text (service type 0).
    QList<IMediaItemProvider*> textProviders() const;

private:
    QMap<mid_t, IMediaItemProvider*> m_providers;
};
