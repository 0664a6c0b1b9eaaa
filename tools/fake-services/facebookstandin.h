#pragma once

#include "facebookrecords.h"
#include "fakefacebookrest.h"
#include "localhttpserver.h"
#include "standinstate.h"

#include <QJsonArray>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>

// The stand-in Facebook service of the fake-services program: FakeFacebookRest on a local HTTP
// server of its own, with its login pages, the account Pat Tester (uid 12345) under the
// stand-in's default credentials, and a stream holding every kind of post, dated within the
// hours before the program's first start (kept in its StandInState). Its state keeps what the user
// posted (listed first in the stream) and the number the next post or comment takes, so every run
// serves the earlier runs' posts under their ids and gives new ones ids not used before.
class FacebookStandIn
{
public:
    FacebookStandIn();

    // False when its server cannot listen.
    bool start() const { return m_server.isListening(); }
    // The environment variables that point the program at it, in order.
    QList<QPair<QString, QString>> variables() const
    {
        return {{QStringLiteral("LUMESK_FACEBOOK_URL"), m_server.baseUrl()}};
    }

private:
    // Scripts the stream: the posts made up at the first start and those posted since.
    void scriptStream();
    // Writes down what a request posted, and the next free number when it moved.
    void keepWhatChanged();

    StandInState m_state;
    QMutex m_mutex;
    QList<SFacebookUser> m_profiles;
    QList<SFacebookStreamPost> m_posts; // made up, newest first
    QJsonArray m_posted;                // posted, oldest first, as the state keeps them
    qsizetype m_servedPosted = 0;       // how many of the service's posted() are in m_posted
    qint64 m_keptNextId = 0;            // the next free number as the state has it
    FakeFacebookRest m_service;         // outlives the server that calls it
    LocalHttpServer m_server;
};
