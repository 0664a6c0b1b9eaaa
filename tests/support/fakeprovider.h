#pragma once

#include "imediaitemprovider.h"
#include "imediaposting.h"

#include <QHash>
#include <QList>
#include <QPixmap>
#include <QStringList>

#include <functional>
#include <utility>

// A text poster whose answers and outcomes the test scripts.
//
//   FakeTextPoster poster;
//   poster.setOutcome(FakeTextPoster::Outcome::Manual); // the default
//   ... postText("x") ... poster.finishDone();          // or finishFailed()
//
// Outcomes: Manual (the test ends the post with finishDone/finishFailed),
// DoneAtOnce / FailAtOnce (signalled inside postText), Never (no signal at all),
// Refuse (postText returns false, no signal), FailAndRefuse (updateFailed inside
// postText, which then returns false).
// An empty text is always reported as updateDone() inside postText.
class FakeTextPoster : public IMediaTextPoster
{
    Q_OBJECT
public:
    enum class Outcome
    {
        Manual,
        DoneAtOnce,
        FailAtOnce,
        Never,
        Refuse,
        FailAndRefuse
    };

    explicit FakeTextPoster(QObject* parent = nullptr) : IMediaTextPoster(parent) {}

    int serviceType() const override { return MeskService::TextPoster; }
    bool canPost() const override { return m_canPost && !m_busy; }
    bool isBusy() const override { return m_busy; }
    int maxTextLength() const override { return m_maxTextLength; }
    bool postText(const QString& text) override;

    void setCanPost(bool canPost) { m_canPost = canPost; }
    void setBusy(bool busy) { m_busy = busy; }
    void setMaxTextLength(int length) { m_maxTextLength = length; }
    void setOutcome(Outcome outcome) { m_outcome = outcome; }

    // Ends the post in flight (or, to test stray signals, emits even when idle).
    void finishDone();
    void finishFailed();

    QStringList postedTexts;
    // Shared with other fakes to record the order of calls across objects, when set.
    QStringList* log = nullptr;
    QString logName;

private:
    bool m_canPost = true;
    bool m_busy = false;
    int m_maxTextLength = 0;
    Outcome m_outcome = Outcome::Manual;
};

// A comment poster the test drives: canPost() and the answer of postComment() are set, every
// text handed over is recorded, and finishPosted()/finishFailed() end the comment in flight
// (or, to test stray signals, emit even when idle).
class FakeCommentPoster : public IMediaCommentPoster
{
    Q_OBJECT
public:
    explicit FakeCommentPoster(QObject* parent = nullptr) : IMediaCommentPoster(parent) {}

    bool canPost() const override { return m_canPost; }
    bool isBusy() const override { return m_busy; }
    bool postComment(const QString& text) override
    {
        postedTexts.append(text);
        m_busy = m_answer;
        return m_answer;
    }

    void setCanPost(bool canPost) { m_canPost = canPost; }
    // What postComment() returns (true by default).
    void setPostCommentAnswer(bool answer) { m_answer = answer; }
    void finishPosted()
    {
        m_busy = false;
        emit posted();
    }
    void finishFailed()
    {
        m_busy = false;
        emit failed();
    }

    QStringList postedTexts;

private:
    bool m_canPost = true;
    bool m_answer = true;
    bool m_busy = false;
};

// A provider whose identity, state and answers the test sets, and which records
// what it was asked.
//
//   QStringList log;
//   auto* p = new FakeProvider(1, "Twitter", parent, &log); // log gets "create Twitter"
//   p->setActivated(true);
//   p->enableTextPoster();                                   // supportsService(0) -> true
//   emit-on-request: p->emitMediaItemAdded(item) etc.
class FakeProvider : public IMediaItemProvider
{
    Q_OBJECT
public:
    FakeProvider(mid_t id, const QString& name, QObject* parent = nullptr, QStringList* log = nullptr);
    ~FakeProvider() override;

    mid_t providerId() const override { return m_id; }
    QString name() const override { return m_name; }
    QPixmap icon() const override { return m_icon; }
    bool isActivated() const override { return m_activated; }
    QString userName() const override { return m_userName; }
    QString emptyText() const override { return {}; }
    int setupMode() const override { return m_setupMode; }
    void itemHook(mid_t) override {}
    void setup(QWidget* parent) override
    {
        ++setupCalls;
        setupParent = parent;
    }
    void removeAccount() override;
    bool supportsService(int serviceType) const override;
    IMediaServiceUpdate* service(int serviceType) override;
    void setStorage(IMediaItemStorage* storage) override;
    bool isReady() const override { return m_ready; }
    void update() override;
    IMediaItemWidget* createItemWidget(const SMediaItem& item) override;
    void itemText(const SMediaItem& item, QString& text) override { text = item.content; }
    IMediaEventItem* eventObject(const SMediaItem& item) override { return eventObjects.value(item.id); }
    IMediaObject* mediaObject(const SMediaItem& item) override { return mediaObjects.value(item.id); }
    IMediaLinkItem* linkItem(const SMediaItem& item) override { return linkItems.value(item.id); }
    IMediaUser* user(mid_t userId) override { return users.value(userId); }

    // Settable state.
    void setActivated(bool activated) { m_activated = activated; }
    void setUserName(const QString& name) { m_userName = name; }
    void setReady(bool ready) { m_ready = ready; }
    void setIcon(const QPixmap& icon) { m_icon = icon; }
    // What setupMode() answers (2, the setup wizard, by default).
    void setSetupMode(int mode) { m_setupMode = mode; }
    // When set, removeAccount() only counts the call; the test emits deactivated itself.
    void setSilentRemoveAccount(bool silent) { m_silentRemove = silent; }
    void setSupportsService(int serviceType, bool supported);
    // Gives the provider a text poster (owned by it) and makes it text-capable.
    FakeTextPoster* enableTextPoster();
    FakeTextPoster* textPoster() const { return m_poster; }
    // What createItemWidget() returns (not owned).
    void setItemWidget(IMediaItemWidget* widget) { m_itemWidget = widget; }
    // When set, createItemWidget() returns what the factory makes for the item (the caller owns
    // it) instead of the fixed widget. FakeItemWidget::factory() (tests/support/ui) makes one.
    void setItemWidgetFactory(std::function<IMediaItemWidget*(const SMediaItem&)> factory)
    {
        m_itemWidgetFactory = std::move(factory);
    }

    // Item objects handed out per item id / user id (not owned).
    QHash<mid_t, IMediaEventItem*> eventObjects;
    QHash<mid_t, IMediaObject*> mediaObjects;
    QHash<mid_t, IMediaLinkItem*> linkItems;
    QHash<mid_t, IMediaUser*> users;

    // What the provider was asked.
    int updateCalls = 0;
    int setStorageCalls = 0;
    int createItemWidgetCalls = 0;
    int removeAccountCalls = 0;
    int setupCalls = 0;
    QWidget* setupParent = nullptr; // the parent the last setup() was given
    IMediaItemStorage* storage = nullptr;
    QList<SMediaItem> widgetItems; // the items createItemWidget() was called with

    // Emit any provider signal on request, with this provider's id.
    void emitActivated() { emit activated(m_id); }
    void emitDeactivated() { emit deactivated(m_id); }
    void emitMediaItemAdded(const SMediaItem& item) { emit mediaItemAdded(m_id, item); }
    void emitMediaItemUpdated(const SMediaItem& item) { emit mediaItemUpdated(m_id, item); }
    void emitServiceUserAdded(const SServiceUser& user) { emit serviceUserAdded(m_id, user); }
    void emitUpdateStarted() { emit updateStarted(m_id); }
    void emitUpdateDone() { emit updateDone(m_id); }
    void emitServiceError(TMediaError error) { emit serviceError(m_id, error); }

private:
    void record(const QString& entry);

    mid_t m_id;
    QString m_name;
    QStringList* m_log;
    QPixmap m_icon;
    QString m_userName;
    bool m_activated = false;
    bool m_ready = false;
    int m_setupMode = 2;
    bool m_silentRemove = false;
    QHash<int, bool> m_services;
    FakeTextPoster* m_poster = nullptr;
    IMediaItemWidget* m_itemWidget = nullptr;
    std::function<IMediaItemWidget*(const SMediaItem&)> m_itemWidgetFactory;
};
