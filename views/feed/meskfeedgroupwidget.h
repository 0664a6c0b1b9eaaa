#pragma once

#include "meskrecords.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QWidget>

class CMeskColorAnimation;
class IMediaItemWidget;
class QLabel;
class QVBoxLayout;

// An entry's key: (provider, item id). Text messages and feed events share a stream and both
// number their items from 1, so the id alone does not tell two entries apart.
using MeskItemKey = QPair<mid_t, mid_t>;

// The widget's layout's preferred size with the height it needs at the widget's own width. The
// toolkit's default asks the height at the preferred width instead: one more full pass over every
// word-wrapped text inside, at a width the widget never gets.
QSize meskWrappedSizeHint(const QWidget* widget);

// The caption above a day's entries: "TODAY, JUNE 14", "YESTERDAY, JUNE 13" or "JUNE 10".
class CMeskFeedGroupDateHeader : public QWidget
{
    Q_OBJECT

public:
    CMeskFeedGroupDateHeader(const QDate& date, QWidget* parent = nullptr);

    QDate date() const { return m_date; }
    QString text() const;
    // Sets the caption for the current day (it changes at midnight).
    void updateText();

private:
    QDate m_date;
    QLabel* m_label = nullptr;
};

// The frame around one item widget: margins, a dotted separator in the band below the item and
// a background flash while the item is new ("addedHighlight") or was updated
// ("updatedHighlight"). The added flash wins while both run. Each animation is made on its
// first start.
class CMeskFeedWidget : public QWidget
{
    Q_OBJECT

public:
    CMeskFeedWidget(IMediaItemWidget* widget, QWidget* parent = nullptr);

    IMediaItemWidget* itemWidget() const { return m_itemWidget; }
    // Whether the item's provider and id equal these (all 64 bits of each).
    bool isItem(mid_t provider, mid_t id) const;
    mid_t itemId() const;
    mid_t providerId() const;
    QDateTime created() const;

    QSize sizeHint() const override;

    void startAddedHighlight();
    void startUpdatedHighlight();
    CMeskColorAnimation* addedHighlight() const { return m_added; }
    CMeskColorAnimation* updatedHighlight() const { return m_updated; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CMeskColorAnimation* startHighlight(CMeskColorAnimation*& animation, const char* name);

    IMediaItemWidget* m_itemWidget = nullptr;
    CMeskColorAnimation* m_added = nullptr;
    CMeskColorAnimation* m_updated = nullptr;
};

// One calendar day of a stream: the date header, then one entry per item, newest first; items
// with the same time keep their arrival order. Entries are found by (provider, id).
class CMeskFeedGroupWidget : public QWidget
{
    Q_OBJECT

public:
    CMeskFeedGroupWidget(const QDate& date, QWidget* parent = nullptr);

    QSize sizeHint() const override;

    QDate date() const { return m_header->date(); }
    CMeskFeedGroupDateHeader* header() const { return m_header; }

    // Wraps the widget in an entry placed by its item's time; flashes it when highlight is true.
    // Returns the entry.
    CMeskFeedWidget* addItemWidget(IMediaItemWidget* widget, bool highlight);
    bool containsItem(mid_t provider, mid_t id) const;
    // The entry of (provider, id), the first placed when there are several; null when none.
    CMeskFeedWidget* entry(mid_t provider, mid_t id) const;
    // The entries from top to bottom.
    const QList<CMeskFeedWidget*>& entries() const { return m_entries; }
    int itemCount() const { return int(m_entries.size()); }

    // Starts the updated flash of the entry of (provider, id); nothing when there is none.
    void highlightItem(mid_t provider, mid_t id);
    // Removes and deletes at once every entry of the provider.
    void removeProviderItems(mid_t provider);
    // Removes every entry of (provider, id) and releases it with deleteLater.
    void removeItem(mid_t provider, mid_t id);

    // Shows the entries whose item matches (with the matches marked) and hides the others; the
    // whole group hides when none matches.
    void setFilter(const QString& text);
    // The filter for one entry that joined the group: it shows only if it matches, and the group
    // shows while any of its entries does.
    void filterEntry(CMeskFeedWidget* entry, const QString& text);
    void clearFilter();
    // Refreshes every item's relative time and the day caption.
    void updateTime();

private:
    // Takes the entry at index out of the layout and the bookkeeping.
    CMeskFeedWidget* takeEntry(qsizetype index);

    CMeskFeedGroupDateHeader* m_header = nullptr;
    QVBoxLayout* m_layout = nullptr;
    // Entries in layout order (layout index = list index + 1) with their items' times, newest
    // first, so a new entry is placed by binary search.
    QList<CMeskFeedWidget*> m_entries;
    QList<qint64> m_times;
    QMultiHash<MeskItemKey, CMeskFeedWidget*> m_byKey;
};
