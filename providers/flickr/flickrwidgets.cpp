#include "flickrwidgets.h"

#include "flickrauth.h"
#include "flickrevents.h"
#include "flickritems.h"
#include "flickrobjects.h"
#include "meskitemwidgets.h"
#include "mesktexts.h"
#include "meskthumbnailwidget.h"
#include "style/quorimages.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QUrl>

namespace {
const QString kServiceName = QStringLiteral("Flickr");
constexpr int kMaxThumbnails = 3;
} // namespace

CFlickrPhotoWidget::CFlickrPhotoWidget(CFlickrUser* user, CFlickrPhotoPost* post,
                                       CFlickrObjectManager* objects, QWidget* parent)
    : IMediaItemWidget(parent), m_user(user), m_post(post), m_objects(objects)
{
    if (post)
        m_item = post->mediaItem();

    const QList<CFlickrPhoto*> photos = objects ? objects->photosOfPost(post) : QList<CFlickrPhoto*>();
    for (CFlickrPhoto* photo : photos) {
        m_photos.append(photo);
        connect(photo, &IMediaObject::thumbnailDownloadDone, this,
                &CFlickrPhotoWidget::_onPhotoThumbnailUpdated);
    }

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    auto* column = new QVBoxLayout;

    auto* avatarLayout = new QHBoxLayout;
    m_avatar = new CMeskThumbnailWidget(1, this);
    if (user) {
        m_avatar->setPixmap(user->smallAvatar());
        m_avatar->setUrl(user->profileUrl());
    }
    avatarLayout->addWidget(m_avatar, 0, Qt::AlignTop);
    avatarLayout->addStretch(1);
    row->addLayout(avatarLayout, 0);

    m_caption = new QLabel(this);
    m_caption->setWordWrap(true);
    m_caption->setAlignment(Qt::AlignLeft);
    m_caption->setTextFormat(Qt::RichText);
    column->addWidget(m_caption, 1, Qt::AlignTop);

    auto* logoLayout = new QHBoxLayout;
    m_logo = new CMeskThumbnailWidget(5, this);
    m_logo->setPixmap(QuorImages::pixmap(QStringLiteral(":/images/flickr/flickr_logo_small.png")));
    m_date = new CMeskItemDateLabel(m_item.created, this);
    logoLayout->addWidget(m_logo, 0);
    logoLayout->addWidget(m_date, 0);
    logoLayout->addStretch(1);
    column->addLayout(logoLayout, 0);

    auto* thumbnailLayout = new QHBoxLayout;
    for (CFlickrPhoto* photo : photos) {
        if (m_thumbnails.size() >= kMaxThumbnails)
            break;
        auto* thumbnail = new CMeskThumbnailWidget(2, this);
        thumbnail->setUrl(photo->photoUrl());
        thumbnailLayout->addWidget(thumbnail, 0);
        m_thumbnails.append(thumbnail);
        // Not on disk (or unreadable): fetched, and shown when the download is done.
        if (!thumbnail->loadPixmap(photo->thumbnailFile()))
            photo->loadThumbnail();
    }
    thumbnailLayout->addStretch(1);
    column->addLayout(thumbnailLayout, 0);

    row->addLayout(column, 1);
    setLayout(row);

    m_caption->setText(CMeskTexts::breakableText(caption(), true));
    setThumbnailVisible(m_thumbnailVisible);
    if (user)
        connect(user, &IMediaUser::avatarUpdated, this, &CFlickrPhotoWidget::_onUserThumbnailUpdated);
}

CFlickrPhotoWidget::~CFlickrPhotoWidget() = default;

QString CFlickrPhotoWidget::captionText(IMediaUser* user, IFlickrEvent* event, CFlickrObjectManager* objects)
{
    auto* post = qobject_cast<CFlickrPhotoPost*>(event);
    if (!user || !post || !objects || post->eventKind() != IFlickrEvent::PhotoPost)
        return QString();
    const QList<CFlickrPhoto*> photos = objects->photosOfPost(post);
    // Shown at most in part; the full texts stay in storage.
    const QString name = CMeskTexts::shownName(user->name());
    if (photos.size() == 1)
        return CMeskTexts::photoPostedCaption(name, CMeskTexts::shownText(photos.first()->text()));
    return CMeskTexts::photosPostedCaption(name, int(photos.size()));
}

QString CFlickrPhotoWidget::caption() const
{
    return captionText(m_user, m_post, m_objects);
}

void CFlickrPhotoWidget::setThumbnailVisible(bool visible)
{
    m_thumbnailVisible = visible;
    m_logo->setVisible(visible);
}

void CFlickrPhotoWidget::updateTime()
{
    m_date->updateText();
}

bool CFlickrPhotoWidget::applyFilter(const QString& text, bool highlight)
{
    const QString shown = caption();
    if (!shown.contains(text, Qt::CaseInsensitive))
        return false;
    if (highlight)
        m_caption->setText(CMeskTexts::breakableText(CMeskTexts::highlightText(shown, text, true), true));
    return true;
}

void CFlickrPhotoWidget::clearFilter()
{
    m_caption->setText(CMeskTexts::breakableText(caption(), true));
}

SMediaItem CFlickrPhotoWidget::mediaItem()
{
    return m_post ? m_post->mediaItem() : m_item;
}

void CFlickrPhotoWidget::_onUserThumbnailUpdated()
{
    if (m_user)
        m_avatar->setPixmap(m_user->smallAvatar());
}

void CFlickrPhotoWidget::_onPhotoThumbnailUpdated()
{
    // A thumbnail that shows a picture keeps it.
    const qsizetype count = qMin(m_photos.size(), m_thumbnails.size());
    for (qsizetype i = 0; i < count; ++i) {
        if (!m_thumbnails.at(i)->hasPixmap() && m_photos.at(i))
            m_thumbnails.at(i)->loadPixmap(m_photos.at(i)->thumbnailFile());
    }
}

CFlickrSetupWidget::CFlickrSetupWidget(CFlickrAuth* auth, QWidget* parent)
    : CMeskServiceSetupWidget(parent), m_auth(auth)
{
    setMinimumSize(950, 650);
    setTitle(wizardTitleText(kServiceName));
    showWelcomePage(welcomeText(kServiceName));
    connect(m_auth, &CFlickrAuth::authorizationUrl, this, &CFlickrSetupWidget::_onAuthorizationUrl);
    connect(m_auth, &CFlickrAuth::accessGranted, this, &CFlickrSetupWidget::_onAccessGranted);
    connect(m_auth, &CFlickrAuth::accessRejected, this, &CFlickrSetupWidget::_onAccessRejected);
    connect(m_auth, &CFlickrAuth::accountNotStored, this, &CFlickrSetupWidget::_onAccountNotStored);
    connect(m_auth, &CFlickrAuth::protocolError, this, &CFlickrSetupWidget::_onProtocolError);
    connect(m_auth, &CFlickrAuth::networkError, this, &CFlickrSetupWidget::_onNetworkError);
}

CFlickrSetupWidget::~CFlickrSetupWidget() = default;

QString CFlickrSetupWidget::siteDomain() const
{
    QString host = QUrl(m_auth->homeUrl()).host();
    if (host.startsWith(QLatin1String("www.")))
        host.remove(0, 4);
    return host;
}

void CFlickrSetupWidget::onStartSetup()
{
    m_state = 1;
    showConnectingPage(kServiceName);
    m_auth->requestAuthorization();
}

void CFlickrSetupWidget::onCancelSetup() {}

bool CFlickrSetupWidget::onHtmlPageRequested(const QString& url)
{
    const QString domain = siteDomain();
    if (!m_readyBar && !domain.isEmpty() && QUrl(url).host().contains(domain))
        insertReadyBar();
    return true;
}

void CFlickrSetupWidget::onHtmlPageLoaded(const QString& url)
{
    Q_UNUSED(url)
    stopWaiting();
}

void CFlickrSetupWidget::onHtmlPageFailed(const QString& url)
{
    stopWaiting();
    //: Error message meaning that a web-address couldn't be opened
    showErrorPage(tr("Failed to load page: ") + url);
}

void CFlickrSetupWidget::_onAuthorizationUrl(const QString& url)
{
    m_state = 2;
    showWebPage(url);
}

void CFlickrSetupWidget::_onAccessGranted()
{
    showDonePage(doneText(kServiceName));
}

void CFlickrSetupWidget::_onAccessRejected()
{
    showErrorPage(serviceErrorText(kServiceName));
}

void CFlickrSetupWidget::_onAccountNotStored()
{
    showErrorPage(CMeskTexts::errorText(0));
}

void CFlickrSetupWidget::_onProtocolError()
{
    showErrorPage(serviceErrorText(kServiceName));
}

void CFlickrSetupWidget::_onNetworkError()
{
    showErrorPage(networkErrorText(kServiceName));
}

void CFlickrSetupWidget::_onReady()
{
    if (m_state != 2)
        return;
    m_auth->requestToken();
    m_state = 4;
    m_readyBar = false;
    removeCustomPage();
}

void CFlickrSetupWidget::insertReadyBar()
{
    auto* bar = new QWidget;
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch(1);
    //: Label text indicating to press a button when setup is concluded
    layout->addWidget(new QLabel(tr("when you are finished press "), bar));
    //: Button label
    auto* button = new QPushButton(tr("Ready"), bar);
    button->setFixedHeight(20);
    button->setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.button.dashboard"));
    button->style()->unpolish(button);
    button->style()->polish(button);
    connect(button, &QPushButton::clicked, this, &CFlickrSetupWidget::_onReady);
    layout->addWidget(button);
    layout->addSpacing(25);
    insertCustomPage(bar);
    m_readyBar = true;
}
