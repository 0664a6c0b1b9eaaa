#pragma once

#include "meskrecords.h"
#include "meskvscrollarea.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

#include "feed/meskfeedgroupwidget.h"

class CMeskFeedWidget;
class IMediaItemWidget;
class QLabel;
class QTimer;
class QVBoxLayout;

// The clickable "» More" line under a stream's date groups. A left press emits clicked().
class CMeskStreamAction : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskStreamAction(const QString& text = QString(), QWidget* parent = nullptr);

    QString text() const;

public slots:
    void setText(const QString& text);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QLabel* m_symbol = nullptr;
    QLabel* m_label = nullptr;
};

// What a stream shows when it has nothing to list: the empty-stream picture and a status text.
class CMeskStreamLabelWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskStreamLabelWidget(const QString& text, QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);

private:
    QLabel* m_picture = nullptr;
    QLabel* m_label = nullptr;
};

// The date groups of a stream, newest day on top, and the stream action below them. A group
// emptied by a removal leaves the list at once and is released later, so an item widget that
// removed itself from inside its own event handler is still alive when the handler returns.
class CMeskFeedsListWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskFeedsListWidget(QWidget* parent = nullptr);

    // The height is the one the groups need at the list's own width.
    QSize sizeHint() const override;

    // With a filter, the new entry shows only if it matches, and its day with it. With showNow the
    // entry shows at once, so the layouts count it straight away (else, on screen, it shows on a
    // later turn).
    void addItemWidget(IMediaItemWidget* widget, bool highlight, const QString& filter = QString(),
                       bool showNow = false);
    // Between the two, new entries show at once and the layouts wait: a run of entries costs one
    // layout pass on the next turn instead of one pass per entry (each entry that shows later
    // lays out its group and the list again).
    void beginBatch();
    void endBatch();
    // The entry of (provider, id); null when the list holds none.
    CMeskFeedWidget* entry(mid_t provider, mid_t id) const;
    bool containsItem(mid_t provider, mid_t id) const { return entry(provider, id) != nullptr; }
    // Flashes the entry of the item's (provider, id).
    void itemUpdated(const SMediaItem& item);
    void removeProviderItems(mid_t provider);
    void removeItem(mid_t provider, mid_t id);
    // Deletes every group at once and hides the stream action.
    void clear();
    bool isEmpty() const { return m_groups.isEmpty(); }
    int groupCount() const { return int(m_groups.size()); }
    // The groups from top to bottom.
    const QList<CMeskFeedGroupWidget*>& groups() const { return m_groups; }

    void setFilter(const QString& text);
    void clearFilter();
    void updateTimes();

    CMeskStreamAction* streamAction() const { return m_action; }
    void showStreamAction(const QString& text);
    void hideStreamAction();

signals:
    void streamActionClicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Takes the group out of the box, the list and the index; hides it and releases it later.
    void dropGroup(qsizetype index);
    void dropEmptyGroups();

    QVBoxLayout* m_groupBox = nullptr;
    CMeskStreamAction* m_action = nullptr;
    // In the group box's order: descending dates.
    QList<CMeskFeedGroupWidget*> m_groups;
    bool m_batch = false;
};

// One stream of the feed area: a column-wide scrolling list of date groups with the "More"
// action, or a placeholder text when there is nothing to list. Keeps the filter in force,
// refreshes the relative times every 30 seconds and asks its owner for older items through
// showOlderItems().
//
// Items that arrive live (addItem) get their widgets from the owner's item factory a few at a
// time: while the current turn of the event loop has build time left they are built at once,
// the rest wait in a queue, newest first, and are built over the next turns, so an update that
// brings hundreds of items never freezes the window. Where each entry lands does not depend on
// when it is built (its day and time place it). A removal, clear() and the filter apply to the
// waiting items as to the listed ones.
//
// The stored items of a fill (addFirstFillItem, endFirstFill) wait in the same queue: when the view
// shows (or at endFirstFill when it is on screen already) the newest are built at once until they
// fill its height, so the first frame shows them; the rest are built over the next turns. The
// "More" action shows once nothing waits.
class CMeskStreamView : public CMeskVScrollArea
{
    Q_OBJECT

public:
    using ItemFactory = std::function<IMediaItemWidget*(const SMediaItem& item)>;

    // How long the live items may take to build in one turn of the event loop. The turn's repaint
    // follows in the same pass of the event loop, so the two stay well within a frame.
    static constexpr qint64 BuildBudgetMs = 6;

    explicit CMeskStreamView(QWidget* parent = nullptr);

    // Makes the widget of a live item (null: the item is left out).
    void setItemFactory(ItemFactory factory) { m_factory = std::move(factory); }
    // Adds the widget of a live item through the factory, at once or on a later turn (above).
    void addItem(const SMediaItem& item, bool highlight);
    // A stored item of a fill: it waits for its widget (above) until endFirstFill. With make, the
    // widget comes from it instead of the item factory (the item then names the entry: provider,
    // id and time).
    void addFirstFillItem(const SMediaItem& item, std::function<IMediaItemWidget*()> make = {});
    // Builds the entries that fill the view's height when it is on screen (else when it shows)
    // and leaves the rest to the next turns.
    void endFirstFill();
    // Live items still waiting for their widgets.
    int pendingCount() const { return int(m_pending.size()); }
    // The build time per turn (BuildBudgetMs unless set); 0 builds one waiting item per turn and
    // none at once.
    void setBuildBudgetMs(qint64 ms) { m_budgetMs = ms; }

    // Shows the list and adds the widget (the view takes it). A widget for a (provider, id)
    // already listed (id not 0) is deleted at once; with highlight the listed entry flashes.
    void addItemWidget(IMediaItemWidget* widget, bool highlight);
    void itemUpdated(const SMediaItem& item);
    void removeProviderItems(mid_t provider);
    void removeItem(mid_t provider, mid_t id);
    // Deletes the entries and drops the waiting items.
    void clear();
    // Nothing listed and nothing waiting.
    bool isEmpty() const;

    void setFilter(const QString& text);
    const QString& filterText() const { return m_filter; }
    void clearFilter();

    void showNoItems();
    void showNoActiveServices();
    void showNoOtherServices();
    void showMoreAction();

    CMeskFeedsListWidget* feedsList() const { return m_list; }
    CMeskStreamLabelWidget* placeholder() const { return m_label; }
    QTimer* dateTimer() const { return m_dateTimer; }

    // The owner's fill takes note of the time zone it places the items' days in. When the zone has
    // changed since, the date timer and "More" emit localZoneChanged() instead of going on with
    // days of the old zone, and the owner fills the stream again.
    void noteZone();
    bool zoneChangedSinceNoted() const;

signals:
    void showOlderItems();
    void localZoneChanged();

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void _onDateUpdateTimer();
    void _onStreamAction();

private:
    // A live item waiting for its widget.
    struct SPendingItem
    {
        SMediaItem item;
        qint64 time = 0;
        bool highlight = false;
        bool updated = false;
        // Makes the widget in place of the item factory.
        std::function<IMediaItemWidget*()> make;
    };

    void showList();
    void showPlaceholder(const QString& text);
    // Whether this turn of the event loop still has build time; opens the turn on its first build.
    bool turnHasTime();
    void buildItem(const SPendingItem& pending);
    // A new turn: builds waiting items until its time is spent.
    void buildPending();
    // Queues the item, newest at the back.
    void enqueue(const SPendingItem& pending);
    // Builds the newest waiting items until the list fills the view's height.
    void buildVisibleEntries();
    // Shows the "More" action asked for while items were waiting, once none wait.
    void showWantedMoreAction();

    QPointer<CMeskFeedsListWidget> m_list;
    QPointer<CMeskStreamLabelWidget> m_label;
    QTimer* m_dateTimer = nullptr;
    quint64 m_zoneGeneration = 0;
    QString m_filter;
    ItemFactory m_factory;
    // Oldest first, so the newest is taken from the back; of items of the same time the earlier
    // arrival stands nearer the back.
    QList<SPendingItem> m_pending;
    QElapsedTimer m_turnClock;
    // The longest an entry of the open turn took to build.
    qint64 m_turnSlowestNs = 0;
    qint64 m_budgetMs = BuildBudgetMs;
    bool m_turnOpen = false;
    // "More" was asked for while items were waiting.
    bool m_moreWanted = false;
    // Entries show at once (while the entries that fill the view are built).
    bool m_showAtOnce = false;
};
