#pragma once

#include "imediaitemstorage.h"

#include <QSet>
#include <QStringList>

// A storage that hands every call to another one, except the adds of the item types a test
// names: those fail without touching the storage behind (as a refused write does). It also
// notes the service keys written.
class FailingStorage : public IMediaItemStorage
{
public:
    explicit FailingStorage(IMediaItemStorage* inner) : m_s(inner) {}

    QSet<int> failAddTypes;
    // The service keys written, as "key=value", in order.
    QStringList keyWrites;

    bool open() override { return m_s->open(); }
    bool beginBatch() override { return m_s->beginBatch(); }
    bool endBatch() override { return m_s->endBatch(); }
    bool addSmsMessage(SSmsMessage& m) override { return m_s->addSmsMessage(m); }
    bool updateSmsMessage(const SSmsMessage& m) override { return m_s->updateSmsMessage(m); }
    bool deleteSmsMessage(mid_t id) override { return m_s->deleteSmsMessage(id); }
    QList<SSmsMessage> smsMessages() override { return m_s->smsMessages(); }
    bool addMediaItem(SMediaItem& item, const QHash<QString, QString>& fields = {}) override
    {
        return !failAddTypes.contains(item.type) && m_s->addMediaItem(item, fields);
    }
    bool mediaItem(mid_t id, SMediaItem& item) override { return m_s->mediaItem(id, item); }
    bool updateMediaItem(const SMediaItem& item) override { return m_s->updateMediaItem(item); }
    void setMediaItemField(mid_t item, const QHash<QString, QString>& f) override { m_s->setMediaItemField(item, f); }
    void mediaItemFields(mid_t item, QHash<QString, QString>& f) override { m_s->mediaItemFields(item, f); }
    QList<SMediaItem> childItems(mid_t parent) override { return m_s->childItems(parent); }
    QList<SMediaItem> eventItemsBetween(const QDateTime& u, const QDateTime& l, mid_t p) override
    {
        return m_s->eventItemsBetween(u, l, p);
    }
    QList<SMediaItem> eventItems(mid_t p) override { return m_s->eventItems(p); }
    QList<SMediaItem> mediaObjectsBetween(const QDateTime& u, const QDateTime& l, mid_t p) override
    {
        return m_s->mediaObjectsBetween(u, l, p);
    }
    QList<SMediaItem> mediaObjects(mid_t p) override { return m_s->mediaObjects(p); }
    QList<SMediaItem> linkItemsBetween(const QDateTime& u, const QDateTime& l, mid_t p) override
    {
        return m_s->linkItemsBetween(u, l, p);
    }
    QList<SMediaItem> linkItems(mid_t p) override { return m_s->linkItems(p); }
    QList<SMediaItem> itemByMediaId(mid_t p, const QString& id) override { return m_s->itemByMediaId(p, id); }
    QList<SMediaItem> itemsByTypeBetween(const QDateTime& u, const QDateTime& l, int t, mid_t p) override
    {
        return m_s->itemsByTypeBetween(u, l, t, p);
    }
    QList<SMediaItem> itemsByType(int t, mid_t p) override { return m_s->itemsByType(t, p); }
    QList<SMediaItem> itemsBetween(const QDateTime& u, const QDateTime& l, mid_t p) override
    {
        return m_s->itemsBetween(u, l, p);
    }
    QList<SMediaItem> providerItems(mid_t p) override { return m_s->providerItems(p); }
    QList<SMediaItem> itemsByContent(mid_t p, const QString& t) override { return m_s->itemsByContent(p, t); }
    QDateTime latestItem(mid_t p) override { return m_s->latestItem(p); }
    QString itemsByMediaIdDesc(mid_t p) override { return m_s->itemsByMediaIdDesc(p); }
    bool deleteMediaItem(mid_t id) override { return m_s->deleteMediaItem(id); }
    bool deleteProviderItems(mid_t p) override { return m_s->deleteProviderItems(p); }
    bool addServiceUser(SServiceUser& u) override { return m_s->addServiceUser(u); }
    bool serviceUser(mid_t id, SServiceUser& u) override { return m_s->serviceUser(id, u); }
    bool updateServiceUser(const SServiceUser& u) override { return m_s->updateServiceUser(u); }
    void setServiceUserField(mid_t u, const QHash<QString, QString>& f) override { m_s->setServiceUserField(u, f); }
    void serviceUserFields(mid_t u, QHash<QString, QString>& f) override { m_s->serviceUserFields(u, f); }
    QList<SServiceUser> serviceUserByMediaId(mid_t p, const QString& id) override
    {
        return m_s->serviceUserByMediaId(p, id);
    }
    QList<SServiceUser> serviceUsers(mid_t p) override { return m_s->serviceUsers(p); }
    QList<SServiceUser> findServiceUsers(mid_t p, const QString& n) override { return m_s->findServiceUsers(p, n); }
    bool deleteServiceUser(mid_t id) override { return m_s->deleteServiceUser(id); }
    bool deleteProviderUsers(mid_t p) override { return m_s->deleteProviderUsers(p); }
    QString itemFilePath(const SMediaItem& i, const QString& s) override { return m_s->itemFilePath(i, s); }
    QString mediaFilePath(const SMediaItem& i, const QString& s) override { return m_s->mediaFilePath(i, s); }
    QString userFilePath(mid_t u, const QString& s) override { return m_s->userFilePath(u, s); }
    QString userImagePath(mid_t u, const QString& url) override { return m_s->userImagePath(u, url); }
    bool setServiceKey(mid_t p, const QString& k, const QString& v) override
    {
        keyWrites.append(k + QLatin1Char('=') + v);
        return m_s->setServiceKey(p, k, v);
    }
    bool serviceKey(mid_t p, const QString& k, QString& v) override { return m_s->serviceKey(p, k, v); }
    bool deleteServiceKeys(mid_t p) override { return m_s->deleteServiceKeys(p); }
    bool setSyncList(mid_t p, const QList<mid_t>& e, int m) override { return m_s->setSyncList(p, e, m); }
    bool setSyncRecords(mid_t p, const QList<mid_t>& e, int m) override { return m_s->setSyncRecords(p, e, m); }
    bool cleanup(bool onlyExpired) override { return m_s->cleanup(onlyExpired); }
    QList<SMediaItem> syncRecords(mid_t p) override { return m_s->syncRecords(p); }

private:
    IMediaItemStorage* m_s;
};
