#include "flickrphotowidget.h"

#include "flickritems.h"
#include "flickrobjects.h"
#include "meskitemwidgets.h"
#include "mesktexts.h"
#include "meskthumbnailwidget.h"
#include "style/quorimages.h"

#include <QBoxLayout>
#include <QLabel>

namespace {
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
