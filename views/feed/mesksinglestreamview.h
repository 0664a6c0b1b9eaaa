#pragma once

#include "imesksms.h"
#include "meskrecords.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QWidget>

class CMeskEngine;
class CMeskStreamView;
class CMeskThumbnailWidget;
class IMediaItemWidget;
class CQuorAnimationWidget;
class QHBoxLayout;
class QVBoxLayout;

// The row above the single stream: the logos of the services feeding it (the text messages
// first when supported), one refresh button updating every service, and a busy indicator
// turning while any service update runs.
class CMeskSingleStreamHeader : public QWidget
{
    Q_OBJECT

public:
    CMeskSingleStreamHeader(CMeskEngine* engine, QWidget* parent = nullptr);

    CMeskThumbnailWidget* refreshButton() const { return m_refreshButton; }
    CQuorAnimationWidget* busyIndicator() const { return m_busyIndicator; }
    const QHash<mid_t, CMeskThumbnailWidget*>& logos() const { return m_logos; }
    bool isBusy() const { return !m_updating.isEmpty(); }

private slots:
    void _onServiceActivated(mid_t id);
    void _onServiceDeactivated(mid_t id);
    void _onServiceUpdateStarted(mid_t id);
    void _onServiceUpdateDone(mid_t id);
    void _onRefresh();

private:
    void setRefreshVisible(bool visible);

    CMeskEngine* m_engine = nullptr;
    QList<mid_t> m_updating;
    QHash<mid_t, CMeskThumbnailWidget*> m_logos;
    QHBoxLayout* m_logoRow = nullptr;
    CQuorAnimationWidget* m_busyIndicator = nullptr;
    CMeskThumbnailWidget* m_refreshButton = nullptr;
    bool m_refreshIconSet = false;
};

// The single-column mode of the feed area: one stream merging every service's events with the
// text messages, day by day from today backwards until 20 items stand (a day's events before its
// messages), "More" adding the next older day, then the engine's live items. Banners stand in
// the box below the stream, the newest on top.
class CMeskSingleStreamView : public QWidget
{
    Q_OBJECT

public:
    CMeskSingleStreamView(CMeskEngine* engine, QWidget* parent = nullptr);

    // Empties the stream and fills it again.
    void reload();
    void insertTopWidget(mid_t serviceId, QWidget* banner);

    CMeskSingleStreamHeader* header() const { return m_header; }
    CMeskStreamView* streamView() const { return m_stream; }
    QVBoxLayout* bannerBox() const { return m_bannerBox; }
    QDate boundary() const { return m_boundary; }

signals:
    void postUpdateAction(mid_t providerId, QString text);
    void postSmsAction(QString phone, QString text);

public slots:
    void setFilter(const QString& text);
    void clearFilter();

private slots:
    void _onSmsStateChanged(TMeskSmsState state);
    void _onSmsSimMessageReady(const SSmsMessage& message);
    void _onSmsNewMessageReceived(const SSmsMessage& message);
    void _onSmsMessageSent(const SSmsMessage& message);
    void _onSmsMessageDeleted(const SSmsMessage& message);
    void _onServiceEventAdded(const SMediaItem& item);
    void _onServiceEventUpdated(const SMediaItem& item);
    void _onServiceActivated(mid_t id);
    void _onServiceDeactivated(mid_t id);
    void _onShowOlderItems();

private:
    // Fills the stream anew (replace: what it shows goes once everything is read).
    void fillStream(bool replace = false);
    // Places the stored items of the days from the boundary backwards until threshold items
    // stand; moves the boundary and offers "More" while older items remain. In the first fill the
    // items wait in the stream's queue (CMeskStreamView::addFirstFillItem) and only those that fit
    // the view are built before it shows. Everything is read before anything is placed: false, with
    // nothing placed (nor the stream cleared, with replace), when a read failed.
    bool fillDays(const QDate& boundary, int threshold, bool firstFill = false, bool replace = false);
    void placeDay(const QList<SMediaItem>& events, const QList<SSmsMessage>& messages, bool firstFill);
    // The item's widget, wired to this view; null (with a debug line) when the provider makes none.
    IMediaItemWidget* createItemWidget(const SMediaItem& item);
    void addItemWidget(const SMediaItem& item, bool highlight);
    // The message's widget, wired to this view.
    IMediaItemWidget* makeSmsWidget(const SSmsMessage& message);
    void addSmsWidget(const SSmsMessage& message, bool highlight);

    CMeskEngine* m_engine = nullptr;
    CMeskSingleStreamHeader* m_header = nullptr;
    CMeskStreamView* m_stream = nullptr;
    QVBoxLayout* m_bannerBox = nullptr;
    QDate m_boundary;
};
