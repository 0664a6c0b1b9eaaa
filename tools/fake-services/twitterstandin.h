#pragma once

#include "standinstate.h"

#include <QList>
#include <QPair>
#include <QString>

#include <memory>

class FakeTwitterService;
class LocalHttpServer;

// The stand-in Twitter service of the fake-services program: FakeTwitterService on a
// local HTTP server of its own, with a few followed accounts (their avatars served as
// PNG pictures beside it), statuses with links, a new status every few friends-timeline
// requests and mentions by an account the user does not follow. Posting and the PIN
// page are the stand-in's own. The statuses are dated from the first start and its
// StandInState keeps every status added since (new and posted ones), so each keeps its
// id and date from run to run.
class TwitterStandIn
{
public:
    TwitterStandIn();
    ~TwitterStandIn();

    // Starts the server; false when it cannot listen.
    bool start();
    // The environment variables that point the program at it, in order.
    QList<QPair<QString, QString>> variables() const;

private:
    StandInState m_state;
    std::unique_ptr<FakeTwitterService> m_service; // outlives the server that calls it
    std::unique_ptr<LocalHttpServer> m_server;
};
