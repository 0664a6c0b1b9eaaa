#include "meskupdatemanager.h"

#include "imediaitemprovider.h"
#include "meskprovidermanager.h"

#include <QDebug>

CMeskTextUpdate::CMeskTextUpdate(IMediaItemProvider* provider, QObject* parent)
    : QObject(parent), m_provider(provider), m_providerName(provider ? provider->name() : QString())
{
    if (provider)
        m_poster = qobject_cast<IMediaTextPoster*>(provider->service(MeskService::TextPoster));
    if (m_poster) {
        connect(m_poster, &IMediaServiceUpdate::updateDone, this, &CMeskTextUpdate::_onUpdateDone);
        connect(m_poster, &IMediaServiceUpdate::updateFailed, this, &CMeskTextUpdate::_onUpdateFailed);
        // A poster that goes away mid-post will never answer.
        connect(m_poster, &QObject::destroyed, this, &CMeskTextUpdate::_onUpdateFailed);
    }
}

CMeskTextUpdate::~CMeskTextUpdate() = default;

bool CMeskTextUpdate::canPost() const
{
    return m_poster && m_poster->canPost();
}

bool CMeskTextUpdate::isBusy() const
{
    return m_poster && m_poster->isBusy();
}

void CMeskTextUpdate::post(const QString& text)
{
    if (m_ended || m_posted)
        return;
    if (!canPost()) {
        qDebug().noquote() << QStringLiteral("CMeskTextUpdate: text poster is not ready");
        end(true);
        return;
    }
    m_posted = true;
    m_failed = false;
    // A poster that cannot start the post says so by returning false, and then sends no
    // signal; unless it already ended the update through one, the update fails here.
    if (!m_poster->postText(text) && !m_ended) {
        qDebug().noquote() << QStringLiteral("CMeskTextUpdate: text poster did not start the post");
        end(true);
    }
}

void CMeskTextUpdate::_onUpdateDone()
{
    if (m_posted)
        end(false);
}

void CMeskTextUpdate::_onUpdateFailed()
{
    if (m_posted)
        end(true);
}

void CMeskTextUpdate::end(bool failed)
{
    if (m_ended)
        return;
    m_ended = true;
    m_failed = failed;
    if (m_poster)
        disconnect(m_poster, nullptr, this, nullptr);
    if (failed)
        emit providerFailed(m_providerName);
    else
        emit updateDone();
}

CMeskUpdateManager::CMeskUpdateManager(CMeskProviderManager* providerManager, QObject* parent)
    : IMediaUpdateManager(parent), m_providerManager(providerManager)
{
    initSelection();
}

CMeskUpdateManager::~CMeskUpdateManager()
{
    clearUpdates();
}

QList<IMediaItemProvider*> CMeskUpdateManager::providers() const
{
    return m_providerManager ? m_providerManager->textProviders() : QList<IMediaItemProvider*>();
}

void CMeskUpdateManager::selectProvider(mid_t provider)
{
    if (!isProviderSelected(provider))
        m_selection.insert(provider, true);
}

void CMeskUpdateManager::deselectProvider(mid_t provider)
{
    if (isProviderSelected(provider))
        m_selection.insert(provider, false);
}

bool CMeskUpdateManager::isProviderSelected(mid_t provider) const
{
    return m_selection.value(provider, true);
}

bool CMeskUpdateManager::isPosting() const
{
    return m_inPostLoop || !m_updates.isEmpty();
}

void CMeskUpdateManager::postUpdate(const QString& text)
{
    if (isPosting()) {
        qDebug().noquote() << QStringLiteral("CMeskUpdateManager: posting is already in progress");
        emit updateDone();
        return;
    }
    createUpdates();
    if (m_updates.isEmpty()) {
        qDebug().noquote() << QStringLiteral("CMeskUpdateManager: no providers selected");
        emit updateDone();
        return;
    }
    // Every update gets its turn even when earlier ones end during the loop:
    // walk a snapshot, and keep the posting open until the loop is through.
    m_inPostLoop = true;
    const QList<QPointer<CMeskTextUpdate>> snapshot(m_updates.cbegin(), m_updates.cend());
    for (const QPointer<CMeskTextUpdate>& update : snapshot) {
        if (update)
            update->post(text);
    }
    m_inPostLoop = false;
    finishIfOver();
}

void CMeskUpdateManager::initSelection()
{
    m_selection.clear();
    for (IMediaItemProvider* provider : providers())
        m_selection.insert(provider->providerId(), provider->isActivated());
}

void CMeskUpdateManager::createUpdates()
{
    clearUpdates();
    for (IMediaItemProvider* provider : providers()) {
        if (!provider->isActivated() || !isProviderSelected(provider->providerId()))
            continue;
        auto* update = new CMeskTextUpdate(provider, this);
        connect(update, &CMeskTextUpdate::updateDone, this, [this, update] { _onUpdateEnded(update, {}); });
        connect(update, &CMeskTextUpdate::providerFailed, this,
                [this, update](const QString& name) { _onUpdateEnded(update, name); });
        m_updates.append(update);
    }
}

void CMeskUpdateManager::clearUpdates()
{
    qDeleteAll(std::exchange(m_updates, {}));
}

void CMeskUpdateManager::_onUpdateEnded(CMeskTextUpdate* update, const QString& failedProvider)
{
    if (!m_updates.removeOne(update))
        return;
    disconnect(update, nullptr, this, nullptr);
    // The update is inside its own signal: release it later.
    update->deleteLater();
    if (update->hasFailed())
        emit providerFailed(failedProvider);
    finishIfOver();
}

void CMeskUpdateManager::finishIfOver()
{
    if (!isPosting())
        emit updateDone();
}
