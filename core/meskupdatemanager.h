#pragma once

#include "imediaposting.h"

#include <QHash>
#include <QList>
#include <QPointer>

class CMeskProviderManager;

// Drives one provider's text poster for one posting. It ends exactly once:
// done when its poster reports updateDone(), failed when the poster reports
// updateFailed(), cannot post when its turn comes, returns false from postText()
// without having ended it, or goes away. Signals of its
// poster after that end are ignored.
class CMeskTextUpdate : public QObject
{
    Q_OBJECT
public:
    CMeskTextUpdate(IMediaItemProvider* provider, QObject* parent);
    ~CMeskTextUpdate() override;

    IMediaItemProvider* provider() const { return m_provider; }
    QString providerName() const { return m_providerName; }
    bool canPost() const;
    bool isBusy() const;
    bool hasFailed() const { return m_failed; }
    bool hasEnded() const { return m_ended; }

    // Sends the text through the poster, or fails at once when it cannot post.
    void post(const QString& text);

signals:
    void updateDone();
    void providerFailed(const QString& providerName);

private:
    void _onUpdateDone();
    void _onUpdateFailed();
    void end(bool failed);

    IMediaItemProvider* m_provider;
    QPointer<IMediaTextPoster> m_poster;
    QString m_providerName;
    bool m_failed = false;
    bool m_posted = false;
    bool m_ended = false;
};

// Posts one status text to every selected, activated, text-capable provider.
// Each provider gets exactly one attempt per posting; every failing provider is
// reported with providerFailed(name), and the posting ends with exactly one
// updateDone() after all of them. A refused postUpdate() (already posting,
// nothing selected) answers with one updateDone() before it returns.
class CMeskUpdateManager : public IMediaUpdateManager
{
    Q_OBJECT
public:
    CMeskUpdateManager(CMeskProviderManager* providerManager, QObject* parent = nullptr);
    ~CMeskUpdateManager() override;

    QList<IMediaItemProvider*> providers() const override;
    void selectProvider(mid_t provider) override;
    void deselectProvider(mid_t provider) override;
    // An id the user never chose counts as selected.
    bool isProviderSelected(mid_t provider) const override;
    bool isPosting() const override;
    void postUpdate(const QString& text) override;

private:
    void initSelection();
    void createUpdates();
    void clearUpdates();
    void _onUpdateEnded(CMeskTextUpdate* update, const QString& failedProvider);
    void finishIfOver();

    CMeskProviderManager* m_providerManager;
    QHash<mid_t, bool> m_selection;
    QList<CMeskTextUpdate*> m_updates; // the updates of the running posting that have not ended
    bool m_inPostLoop = false;
};
