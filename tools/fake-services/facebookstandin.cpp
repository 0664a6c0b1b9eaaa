#include "facebookstandin.h"

#include "facebookanswers.h"

FacebookStandIn::FacebookStandIn() : m_state(QStringLiteral("facebook"))
{
    // The key compiled into the application, and the stand-in's own session.
    m_service.setCredentials(QStringLiteral(LUMESK_FACEBOOK_API_KEY), FakeFacebookRest::defaultSessionKey(),
                             FakeFacebookRest::defaultSessionSecret(), FakeFacebookRest::defaultUid());
    const QString base = m_server.baseUrl();
    QList<SFacebookUser> profiles = FacebookAnswers::generateProfiles(3, 200, base);
    profiles.append(
        FacebookAnswers::profile(FakeFacebookRest::defaultUid(), QStringLiteral("Pat Tester"), base));

    // Every kind of post the builders know, one every 40 minutes back from the first start.
    QList<SFacebookStreamPost> posts = FacebookAnswers::generatePosts(10, profiles, 1, base);
    const qint64 started = m_state.firstStart();
    for (int i = 0; i < posts.size(); ++i) {
        const qint64 created = started - (i + 1) * 2400;
        posts[i].createdTime = QString::number(created);
        for (int c = 0; c < posts[i].comments.size(); ++c)
            posts[i].comments[c].time = QString::number(created + (c + 1) * 300);
    }
    m_service.scriptReply(QStringLiteral("stream.get"), 200, FacebookAnswers::stream(posts, profiles));
    m_server.setFallback(m_service.handler());
}
