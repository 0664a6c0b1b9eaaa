#pragma once

#include "meskrecords.h"
#include "meskstoragefailure.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

// Every read and write of text messages, items, users, files, service keys and
// sync records. Implemented by the media database. Used on the GUI thread only.
// The "Between" queries take the upper, then the lower bound of CREATED, then the provider.
// A provider id of 0 means every provider where an operation says "(0: all)".
//
// Batches: between beginBatch() and the matching endBatch() every operation joins one transaction;
// batches nest, and only the outermost endBatch() commits. After a failed statement the batch is
// failed: later writes in it return false without running and the outermost endBatch() rolls
// everything back and returns false. A batch begins and ends within one call on the GUI thread and
// never spans a return to the event loop. Callers use the guard CMediaStorageBatch.
//
// Reads: every read takes ok last. When given, it is set to false when the read failed (the device
// refused it, or SQLite found the file damaged) and to true otherwise. A failed read answers as
// "nothing there" (empty list, null date, false), so a caller that would write, delete or store
// because of what a read said asks ok and does nothing when it is false. A read that finds no row
// answers false where the answer is a bool (mediaItem, serviceUser, serviceKey) with ok true.
// storageFailed() is emitted for every read that fails once the storage is open, and for every write
// that fails (a statement, a batch's start or its commit; a write refused by a constraint aside).
class IMediaItemStorage : public QObject
{
    Q_OBJECT
public:
    explicit IMediaItemStorage(QObject* parent = nullptr) : QObject(parent) {}
    ~IMediaItemStorage() override = default;

    virtual bool open() = 0;

    // How the outermost batch's commit reaches the disk. Normal: a crash or a power cut never leaves it
    // half done, but the last commits before a power cut may be lost (the log reaches the disk at its
    // checkpoints, at the close, and with a Durable commit). Durable: on the disk before endBatch()
    // returns; for a batch whose commit permits what cannot be undone, as deleting a text message from
    // the SIM. Costs a sync of the log per commit. An inner batch takes its outermost batch's.
    enum class Commit
    {
        Normal,
        Durable
    };
    // False when the transaction cannot start (the batch is then failed; it must still be ended).
    virtual bool beginBatch(Commit commit) = 0;
    // True when the outermost end committed, or an inner end leaves a batch that has not failed.
    virtual bool endBatch() = 0;

    // Text messages.
    virtual bool addSmsMessage(SSmsMessage& message) = 0; // sets message.id
    virtual bool updateSmsMessage(const SSmsMessage& message) = 0;
    virtual bool deleteSmsMessage(mid_t id) = 0;
    virtual QList<SSmsMessage> smsMessages(bool* ok = nullptr) = 0;
    // The messages created within [lower, upper], oldest first (equal times in the order they were stored).
    virtual QList<SSmsMessage> smsMessagesBetween(const QDateTime& upper, const QDateTime& lower,
                                                  bool* ok = nullptr) = 0;
    // The newest creation time at or before upper among the messages; null when there is none.
    virtual QDateTime latestSmsMessageAtOrBefore(const QDateTime& upper, bool* ok = nullptr) = 0;
    // The ids of the messages with the same phone, text and type (and creation time when withCreated),
    // oldest first.
    virtual QList<mid_t> sameSmsMessages(const SSmsMessage& message, bool withCreated,
                                         bool* ok = nullptr) = 0;

    // The text messages the modem may still hold, in the order they were noted.
    virtual QList<SSmsOnModem> smsOnModem(bool* ok = nullptr) = 0;
    virtual bool addSmsOnModem(SSmsOnModem& entry) = 0; // sets entry.id
    virtual bool updateSmsOnModem(const SSmsOnModem& entry) = 0;
    virtual bool deleteSmsOnModem(mid_t id) = 0;
    // Empties every entry's store and object (the modem made its messages anew).
    virtual bool clearSmsOnModemOrigins() = 0;

    // Items and item fields.
    // Stores the item and the given fields in one transaction; sets item.id.
    virtual bool addMediaItem(SMediaItem& item, const QHash<QString, QString>& fields = {}) = 0;
    virtual bool mediaItem(mid_t id, SMediaItem& item, bool* ok = nullptr) = 0;
    virtual bool updateMediaItem(const SMediaItem& item) = 0;
    virtual void setMediaItemField(mid_t item, const QHash<QString, QString>& fields) = 0;
    // Adds the stored fields to the map (left as it was when they cannot be read).
    virtual void mediaItemFields(mid_t item, QHash<QString, QString>& fields, bool* ok = nullptr) = 0;
    // The item's fields as name/value pairs in the order they were first stored (a field set again
    // keeps its place); empty when they cannot be read.
    virtual QList<QPair<QString, QString>> mediaItemFieldList(mid_t item, bool* ok = nullptr) = 0;
    virtual QList<SMediaItem> childItems(mid_t parent, bool* ok = nullptr) = 0;
    // The "Between" lists hold one type after the other, each oldest first (equal times in the order
    // they were stored).
    virtual QList<SMediaItem> eventItemsBetween(const QDateTime& upper, const QDateTime& lower,
                                                mid_t provider, bool* ok = nullptr) = 0;
    virtual QList<SMediaItem> eventItems(mid_t provider, bool* ok = nullptr) = 0; // (0: all)
    // The newest creation time at or before upper among the events of eventItems (0: all providers);
    // null when there is none. Rows without a date never count.
    virtual QDateTime latestEventAtOrBefore(const QDateTime& upper, mid_t provider, bool* ok = nullptr) = 0;
    virtual QList<SMediaItem> mediaObjectsBetween(const QDateTime& upper, const QDateTime& lower,
                                                  mid_t provider, bool* ok = nullptr) = 0;
    virtual QList<SMediaItem> mediaObjects(mid_t provider, bool* ok = nullptr) = 0; // (0: all)
    virtual QList<SMediaItem> linkItemsBetween(const QDateTime& upper, const QDateTime& lower, mid_t provider,
                                               bool* ok = nullptr) = 0;
    virtual QList<SMediaItem> linkItems(mid_t provider, bool* ok = nullptr) = 0;
    virtual QList<SMediaItem> itemByMediaId(mid_t provider, const QString& mediaId, bool* ok = nullptr) = 0;
    virtual QList<SMediaItem> itemsByTypeBetween(const QDateTime& upper, const QDateTime& lower, int type,
                                                 mid_t provider, bool* ok = nullptr) = 0;
    virtual QList<SMediaItem> itemsByType(int type, mid_t provider, bool* ok = nullptr) = 0;
    virtual QList<SMediaItem> itemsBetween(const QDateTime& upper, const QDateTime& lower, mid_t provider,
                                           bool* ok = nullptr) = 0;
    virtual QList<SMediaItem> providerItems(mid_t provider, bool* ok = nullptr) = 0; // (0: all)
    virtual QList<SMediaItem> itemsByContent(mid_t provider, const QString& text, bool* ok = nullptr) = 0;
    // The newest CREATED among the provider's feed events of types 1..4.
    virtual QDateTime latestItem(mid_t provider, bool* ok = nullptr) = 0;
    // The greatest MEDIAID (text order) among the provider's items; empty when none.
    virtual QString itemsByMediaIdDesc(mid_t provider, bool* ok = nullptr) = 0;
    virtual bool deleteMediaItem(mid_t id) = 0;
    virtual bool deleteProviderItems(mid_t provider) = 0; // (0: all)

    // Service users and user fields.
    virtual bool addServiceUser(SServiceUser& user) = 0; // sets user.id and user.avatarFile
    virtual bool serviceUser(mid_t id, SServiceUser& user, bool* ok = nullptr) = 0;
    virtual bool updateServiceUser(const SServiceUser& user) = 0;
    virtual void setServiceUserField(mid_t user, const QHash<QString, QString>& fields) = 0;
    // Adds the stored fields to the map (left as it was when they cannot be read).
    virtual void serviceUserFields(mid_t user, QHash<QString, QString>& fields, bool* ok = nullptr) = 0;
    virtual QList<SServiceUser> serviceUserByMediaId(mid_t provider, const QString& mediaId,
                                                     bool* ok = nullptr) = 0;
    virtual QList<SServiceUser> serviceUsers(mid_t provider, bool* ok = nullptr) = 0; // (0: all)
    virtual QList<SServiceUser> findServiceUsers(mid_t provider, const QString& name,
                                                 bool* ok = nullptr) = 0; // (0: all)
    virtual bool deleteServiceUser(mid_t id) = 0;
    virtual bool deleteProviderUsers(mid_t provider) = 0; // (0: all)

    // Files beside the database.
    virtual QString itemFilePath(const SMediaItem& item, const QString& suffix) = 0;
    virtual QString mediaFilePath(const SMediaItem& item, const QString& suffix) = 0;
    virtual QString userFilePath(mid_t user, const QString& suffix) = 0;
    virtual QString userImagePath(mid_t user, const QString& imageUrl) = 0;

    // Service keys (account secrets and settings of a provider).
    virtual bool setServiceKey(mid_t provider, const QString& key, const QString& value) = 0;
    virtual bool serviceKey(mid_t provider, const QString& key, QString& value, bool* ok = nullptr) = 0;
    virtual bool deleteServiceKeys(mid_t provider) = 0;
    // True also when the key was not stored.
    virtual bool deleteServiceKey(mid_t provider, const QString& key) = 0;

    // Sync records and clean-up. A provider's sync records are the stored events its service still
    // lists; the clean-up deletes the events no record keeps.
    // Both replace the provider's records by one per event, in the given order, each stamped with the
    // clock's now (one transaction, or part of the open batch; an empty list removes them all); false
    // when they cannot be written. The two do the same; the providers call setSyncRecords. maxPeriod
    // is in hours: a record keeps its event from cleanup(true) for that many whole clock hours after
    // this call; 0 keeps it for as long as it is listed. cleanup(false) keeps every listed event.
    virtual bool setSyncList(mid_t provider, const QList<mid_t>& events, int maxPeriod) = 0;
    virtual bool setSyncRecords(mid_t provider, const QList<mid_t>& events, int maxPeriod) = 0;
    // Adds a record per event to the provider's records, stamped as above, and leaves the others as
    // they are (one transaction, or part of the open batch: a writer adds the records of the events
    // it stores in the batch that stores them); an event added twice has two records. False when they
    // cannot be written.
    virtual bool addSyncRecords(mid_t provider, const QList<mid_t>& events, int maxPeriod) = 0;
    // Deletes every event (types 1 to 4 and 10, of every provider) that no record keeps, with the
    // items below it, their fields and their files; with onlyExpired, records older than their
    // maxPeriod no longer keep their events. True also when the records cannot be read (nothing is
    // deleted then). The program calls cleanup(false) as it ends.
    virtual bool cleanup(bool onlyExpired) = 0;
    // The items of the provider's records, in the order they were written.
    virtual QList<SMediaItem> syncRecords(mid_t provider, bool* ok = nullptr) = 0; // (0: all)

signals:
    // A read or a write failed after the storage opened: what the user is told (the database file
    // cannot be read, or what was to be stored could not be saved, with SQLite's words).
    void storageFailed(const TMeskStorageFailure& failure);
};
