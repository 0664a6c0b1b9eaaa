#pragma once

#include "mediadatabasemethod.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>

// MEDIAITEMS and MEDIAITEMFIELDS: feed events, media objects and links, and their name/value pairs.
// CONTENT and EXTRA1-3 of an item and FIELD and VALUE of a field hold stored forms; MEDIAID is as given.
// Knows nothing of files: the database removes an item's files after the rows.
class CMediaDataBaseItems : public CMediaDataBaseMethod
{
public:
    // The item types of the grouped queries, in the order their results are joined.
    static const QList<int>& eventTypes();       // 1, 2, 3, 4, 10
    static const QList<int>& mediaObjectTypes(); // 5, 6
    static const QList<int>& linkTypes();        // 7

    bool createTables();
    // The indexes behind every query of the two tables; kept when they exist.
    bool createIndexes();

    // Stores the item and its fields in one transaction (or as part of the open batch); sets item.id
    // and item.added (now, whole seconds) when they are stored.
    bool addMediaItem(SMediaItem& item, const QHash<QString, QString>& fields = {});
    // False when no row has the id or it cannot be read (ok tells which).
    bool mediaItem(mid_t id, SMediaItem& item, bool* ok = nullptr);
    bool updateMediaItem(const SMediaItem& item);
    // Sets each field, adding those the item does not have yet, in one transaction.
    bool setMediaItemField(mid_t item, const QHash<QString, QString>& fields);
    // Adds the stored fields to the map; names already in it take the stored value. False, with the
    // map untouched, when they cannot be read.
    bool mediaItemFields(mid_t item, QHash<QString, QString>& fields);
    // The stored fields in the order their rows were added (an updated field keeps its row). False,
    // with the list empty, when they cannot be read.
    bool mediaItemFieldList(mid_t item, QList<QPair<QString, QString>>& fields);

    QList<SMediaItem> childItems(mid_t parent, bool* ok = nullptr);
    // Every read below sets ok (when given) to whether it succeeded; a failed one answers empty or null.
    QList<SMediaItem> itemsOfTypes(const QList<int>& types, mid_t provider, bool* ok = nullptr);
    // Type after type; each type's items oldest first, equal times in ROWID order.
    QList<SMediaItem> itemsOfTypesBetween(const QList<int>& types, const QDateTime& upper,
                                          const QDateTime& lower, mid_t provider, bool* ok = nullptr);
    // The newest CREATED at or before upper among the items of the types; null when there is none.
    QDateTime latestOfTypesAtOrBefore(const QList<int>& types, const QDateTime& upper, mid_t provider,
                                      bool* ok = nullptr);
    QList<SMediaItem> itemByMediaId(mid_t provider, const QString& mediaId, bool* ok = nullptr);
    QList<SMediaItem> itemsByTypeBetween(const QDateTime& upper, const QDateTime& lower, int type,
                                         mid_t provider, bool* ok = nullptr);
    QList<SMediaItem> itemsByType(int type, mid_t provider, bool* ok = nullptr);
    QList<SMediaItem> itemsBetween(const QDateTime& upper, const QDateTime& lower, mid_t provider,
                                   bool* ok = nullptr);
    QList<SMediaItem> providerItems(mid_t provider, bool* ok = nullptr);
    QList<SMediaItem> itemsByContent(mid_t provider, const QString& text, bool* ok = nullptr);
    QDateTime latestItem(mid_t provider, bool* ok = nullptr);
    QString itemsByMediaIdDesc(mid_t provider, bool* ok = nullptr);

    // Deletes the rows of the items and of their fields in one transaction (or as part of the open batch).
    bool deleteItemRows(const QList<mid_t>& ids);

    // The items of a provider's sync records (0: of every provider) in the records' order, each as
    // often as it is listed; a record whose item is gone is skipped. One statement.
    QList<SMediaItem> listedItems(mid_t provider, bool* ok = nullptr);

    // The clean-up's rows: deletes every event (eventTypes()) that is not in kept, everything below it
    // (children, their children, and so on, of any type and however deep, a loop included) and their
    // fields, in one transaction (or as part of the open batch), with a few statements whatever the
    // number of items. gone receives the id and the stored creation date (NullDate for none) of every
    // deleted item.
    bool deleteExpiredTrees(const QSet<mid_t>& kept, QList<QPair<mid_t, qint64>>& gone);

private:
    // The item select with an optional condition (which may end in ORDER BY); ok tells a failed statement.
    QList<SMediaItem> selectItems(const QString& condition, const QVariantList& values, bool* ok = nullptr);
};
