#pragma once

#include "fakefacebookrest.h"
#include "localhttpserver.h"
#include "standinstate.h"

#include <QList>
#include <QPair>
#include <QString>

// The stand-in Facebook service of the fake-services program: FakeFacebookRest on a local HTTP
// server of its own, with its login pages, the account Pat Tester (uid 12345) under the
// stand-in's default credentials, and a stream holding every kind of post, dated within the
// hours before the program's first start (kept in its StandInState).
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
    StandInState m_state;
    FakeFacebookRest m_service; // outlives the server that calls it
    LocalHttpServer m_server;
};
