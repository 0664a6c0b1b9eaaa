#pragma once

#include "fakeflickr.h"
#include "localhttpserver.h"

#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QStringList>

// The stand-in Flickr service of the fake-services program: FakeFlickrService on a local HTTP
// server of its own, with the linked account bob and three contacts with buddy icons, each with
// photos uploaded on several of the last days, and a new upload every few contacts-photos
// requests.
class FlickrStandIn
{
public:
    FlickrStandIn();

    // False when its server cannot listen.
    bool start() const { return m_server.isListening(); }
    // The environment variables that point the program at it, in order.
    QList<QPair<QString, QString>> variables() const
    {
        return {{QStringLiteral("LUMESK_FLICKR_URL"), m_server.baseUrl()}};
    }

private:
    void onContactsRequest();

    QMutex m_mutex;
    FakeFlickrService m_service; // outlives the server that calls it
    LocalHttpServer m_server;
    QStringList m_contacts;
    int m_nextPhoto = 5001;
    int m_contactsRequests = 0;
};
