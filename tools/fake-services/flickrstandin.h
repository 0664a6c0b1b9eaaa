#pragma once

#include "fakeflickr.h"
#include "localhttpserver.h"
#include "standinstate.h"

#include <QJsonArray>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QStringList>

// The stand-in Flickr service of the fake-services program: FakeFlickrService on a local HTTP
// server of its own, with the linked account bob and three contacts with buddy icons, each with
// photos uploaded on several of the days before the first start, and a new upload every few
// contacts-photos requests. Its StandInState keeps the first start's time and the uploads, so
// every photo keeps its id and date from run to run.
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
    StandInState m_state;
    FakeFlickrService m_service; // outlives the server that calls it
    LocalHttpServer m_server;
    QStringList m_contacts;
    QJsonArray m_uploads; // as kept in m_state
    int m_nextPhoto = 5001;
    int m_contactsRequests = 0;
};
