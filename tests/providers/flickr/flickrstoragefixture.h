#pragma once

#include "fakeflickr.h"
#include "flickrapi.h"
#include "localhttpserver.h"
#include "mediadatabase.h"
#include "meskrecords.h"
#include "tempstorage.h"

#include <QHash>
#include <QString>

#include <memory>

// What the Flickr item tests share: a media database on a temporary root and, when asked
// for, the stand-in Flickr service on a local HTTP server, reached through LUMESK_FLICKR_URL
// as the provider reaches the real one.
class FlickrStorageFixture
{
public:
    // Opens the storage; with a service, starts the server first and points the API at it.
    bool start(bool withService)
    {
        if (withService) {
            service = std::make_unique<FakeFlickrService>();
            server = std::make_unique<LocalHttpServer>();
            if (!server->isListening())
                return false;
            server->setFallback(service->handler());
            qputenv("LUMESK_FLICKR_URL", server->baseUrl().toUtf8());
        }
        api = std::make_unique<CFlickrApi>();
        api->setConsumer(FakeFlickrService::defaultApiKey(), FakeFlickrService::defaultSecret());
        api->setToken(FakeFlickrService::defaultToken());
        if (!root.isValid())
            return false;
        db = std::make_unique<CMediaDataBase>(root.subPath(QStringLiteral("storage")));
        return db->open();
    }

    // Stores an item of any type and returns its id.
    mid_t addItem(int type, const QDateTime& created, mid_t parent = 0, const QString& mediaId = {},
                  mid_t user = 0)
    {
        SMediaItem item;
        item.provider = MeskProvider::Flickr;
        item.type = type;
        item.created = created;
        item.parent = parent;
        item.mediaId = mediaId;
        item.user = user;
        return db->addMediaItem(item) ? item.id : 0;
    }

    SMediaItem storedItem(mid_t id)
    {
        SMediaItem item;
        db->mediaItem(id, item);
        return item;
    }

    QHash<QString, QString> fields(mid_t id)
    {
        QHash<QString, QString> result;
        db->mediaItemFields(id, result);
        return result;
    }

    TempStorageRoot root;
    std::unique_ptr<FakeFlickrService> service; // outlives the server that calls it
    std::unique_ptr<LocalHttpServer> server;
    std::unique_ptr<CFlickrApi> api;
    std::unique_ptr<CMediaDataBase> db;
};
