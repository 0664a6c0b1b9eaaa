#include "facebookstandin.h"

#include "facebookanswers.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace {

const QString kPosted = QStringLiteral("posted");
const QString kNextId = QStringLiteral("nextId");

// The number after the last "_" of a post id; 0 when there is none.
qint64 numberOf(const QString& postId)
{
    return postId.mid(postId.lastIndexOf(QLatin1Char('_')) + 1).toLongLong();
}

} // namespace

FacebookStandIn::FacebookStandIn()
    : m_state(QStringLiteral("facebook"), {kPosted,
                                           {{QStringLiteral("id"), StandInState::Kind::Text},
                                            {QStringLiteral("message"), StandInState::Kind::Text},
                                            {QStringLiteral("created"), StandInState::Kind::Time}}})
{
    // The key compiled into the application, and the stand-in's own session.
    m_service.setCredentials(QStringLiteral(LUMESK_FACEBOOK_API_KEY), FakeFacebookRest::defaultSessionKey(),
                             FakeFacebookRest::defaultSessionSecret(), FakeFacebookRest::defaultUid());
    const QString base = m_server.baseUrl();
    m_profiles = FacebookAnswers::generateProfiles(3, 200, base);
    m_profiles.append(
        FacebookAnswers::profile(FakeFacebookRest::defaultUid(), QStringLiteral("Pat Tester"), base));

    // Every kind of post the builders know, one every 40 minutes back from the first start.
    m_posts = FacebookAnswers::generatePosts(10, m_profiles, 1, base);
    const qint64 started = m_state.firstStart();
    for (int i = 0; i < m_posts.size(); ++i) {
        const qint64 created = started - (i + 1) * 2400;
        m_posts[i].createdTime = QString::number(created);
        for (int c = 0; c < m_posts[i].comments.size(); ++c)
            m_posts[i].comments[c].time = QString::number(created + (c + 1) * 300);
    }

    // What was posted in earlier runs, and the number a new post or comment takes: above every one
    // used before, so no two posts share an id.
    m_posted = m_state.value(kPosted).toArray();
    qint64 nextId = std::max<qint64>(m_service.nextId(), m_state.value(kNextId).toInteger());
    for (const QJsonValue& entry : std::as_const(m_posted))
        nextId = std::max(nextId, numberOf(entry[QStringLiteral("id")].toString()) + 1);
    m_service.setNextId(nextId);
    m_keptNextId = nextId;
    m_servedPosted = m_service.posted().size();
    scriptStream();

    m_server.setFallback([this](const TestHttpRequest& request) {
        const TestHttpReply reply = m_service.handler()(request);
        keepWhatChanged();
        return reply;
    });
}

void FacebookStandIn::scriptStream()
{
    // The user's own posts first, newest first, then the made-up ones (newest first as well).
    QList<SFacebookStreamPost> posts;
    for (qsizetype i = m_posted.size() - 1; i >= 0; --i) {
        const QJsonObject entry = m_posted.at(i).toObject();
        posts.append(FacebookAnswers::post(
            entry.value(QStringLiteral("id")).toString(), FakeFacebookRest::defaultUid(),
            entry.value(QStringLiteral("message")).toString(),
            QString::number(entry.value(QStringLiteral("created")).toInteger())));
    }
    posts += m_posts;
    m_service.clearScripts();
    m_service.scriptReply(QStringLiteral("stream.get"), 200, FacebookAnswers::stream(posts, m_profiles));
}

void FacebookStandIn::keepWhatChanged()
{
    // The server calls its handler for one request at a time.
    QMutexLocker lock(&m_mutex);
    const QList<FakeFacebookRest::Posted> posted = m_service.posted();
    const qint64 nextId = m_service.nextId();
    if (posted.size() != m_servedPosted) {
        for (qsizetype i = m_servedPosted; i < posted.size(); ++i) {
            m_posted.append(QJsonObject{{QStringLiteral("id"), posted.at(i).postId},
                                        {QStringLiteral("message"), posted.at(i).message},
                                        {QStringLiteral("created"), posted.at(i).created}});
        }
        m_servedPosted = posted.size();
        m_state.setValue(kPosted, m_posted);
        scriptStream();
    }
    if (nextId != m_keptNextId) {
        m_keptNextId = nextId;
        m_state.setValue(kNextId, nextId);
    }
}
