#include "twittersamples.h"

#include "mediadatabase.h"
#include "twitterapi.h"
#include "twitterauth.h"
#include "twitteritems.h"
#include "ui/twittersetupwidget.h"
#include "ui/twitterstatuswidget.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

CTwitterGallerySamples::CTwitterGallerySamples()
{
    if (!m_root.isValid())
        return;
    m_db = std::make_unique<CMediaDataBase>(m_root.filePath(QStringLiteral("storage")));
    if (!m_db->open())
        return;
    m_api = std::make_unique<CTwitterApi>();
    m_auth = std::make_unique<CTwitterAuth>(m_api.get(), nullptr);
    m_friend.reset(makeUser(QStringLiteral("2001"), QStringLiteral("bob"), QColor(40, 140, 210)));
    m_self.reset(makeUser(QStringLiteral("123"), QStringLiteral("alice"), QColor(220, 120, 60)));
    if (!m_friend || !m_self)
        return;

    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto twitterTime = [](const QDateTime& t) {
        return QLocale::c().toString(t, QStringLiteral("ddd MMM dd HH:mm:ss +0000 yyyy"));
    };
    STwitterStatusData status;
    status.id = QStringLiteral("1001");
    status.text = QStringLiteral("Off to the lake.\nPictures at http://example.com/lake");
    status.created_at = twitterTime(now.addSecs(-300));
    m_status = std::make_unique<CTwitterStatus>(m_api.get(), m_db.get());
    STwitterStatusData own;
    own.id = QStringLiteral("1002");
    own.text = QStringLiteral("Have fun, bob!");
    own.created_at = twitterTime(now.addSecs(-60));
    m_ownPost = std::make_unique<CTwitterStatus>(m_api.get(), m_db.get());
    m_valid = m_status->createStatus(status, MeskProvider::Twitter, m_friend->serviceUser().id) &&
              m_ownPost->createOwnStatus(own, MeskProvider::Twitter, m_self->serviceUser().id);
}

CTwitterGallerySamples::~CTwitterGallerySamples() = default;

CTwitterUser* CTwitterGallerySamples::makeUser(const QString& id, const QString& name, const QColor& colour)
{
    auto user = std::make_unique<CTwitterUser>(m_api.get(), m_db.get());
    STwitterUserData data;
    data.id = id;
    data.screen_name = name;
    data.profile_image_url = QStringLiteral("http://127.0.0.1:9/%1.png").arg(name);
    if (!user->create(data, MeskProvider::Twitter))
        return nullptr;
    // The avatar on disk, where a download would have put it.
    QImage picture(96, 96, QImage::Format_RGB32);
    picture.fill(colour);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(colour.lighter(160));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRectF(28, 14, 40, 40));
    painter.drawEllipse(QRectF(12, 60, 72, 60));
    painter.end();
    const QString file = user->avatarFile();
    if (file.isEmpty() || !QDir().mkpath(QFileInfo(file).absolutePath()) || !picture.save(file, "PNG"))
        return nullptr;
    return user.release();
}

IMediaItemWidget* CTwitterGallerySamples::statusWidget() const
{
    return new CTwitterStatusWidget(m_friend.get(), m_status.get());
}

IMediaItemWidget* CTwitterGallerySamples::updateWidget() const
{
    return new CTwitterUpdateWidget(m_self.get(), m_ownPost.get());
}

CTwitterSetupWidget* CTwitterGallerySamples::wizardWithPinBar(QWidget* parent) const
{
    auto* wizard = new CTwitterSetupWidget(m_auth.get(), parent);
    wizard->showWebPage(QStringLiteral("http://127.0.0.1/oauth/authorize"));
    wizard->onHtmlPageLoaded(QStringLiteral("http://127.0.0.1/oauth/authorize"));
    return wizard;
}
