#include "facebookeventwidget.h"

#include "facebookcommentswidget.h"
#include "facebookitems.h"
#include "facebookobjects.h"
#include "meskitemwidgets.h"
#include "meskmessagebox.h"
#include "mesktexts.h"
#include "meskthumbnailwidget.h"
#include "style/quorimages.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int kOwnIndent = 40;

bool isPlainKind(int kind)
{
    return kind == FacebookEventType::Plain || kind == FacebookEventType::Message ||
           kind == FacebookEventType::FriendRequest;
}

// A web address from the service as a thumbnail's target: only http and https ones.
QString webAddress(const QString& url)
{
    return meskIsWebAddress(url) ? url : QString();
}

// " "text"" inside the builder's HTML document (before </body>), or at the end of a caption.
QString withQuote(const QString& caption, const QString& quoted)
{
    if (quoted.isEmpty())
        return caption;
    const QString quote = QStringLiteral(" \"%1\"").arg(quoted);
    QString out = caption;
    const qsizetype body = out.lastIndexOf(QLatin1String("</body>"));
    if (body >= 0)
        return out.insert(body, quote);
    return out + quote;
}

} // namespace

CFacebookEventWidget::CFacebookEventWidget(CFacebookUser* user, CFacebookEvent* event,
                                           CFacebookObjectManager* objects, const QString& ownUserId,
                                           QWidget* parent)
    : IMediaItemWidget(parent), m_event(event), m_user(user), m_objects(objects), m_ownUserId(ownUserId),
      m_item(event ? event->mediaItem() : SMediaItem()), m_kind(event ? event->eventType() : -1)
{
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    auto* column = new QVBoxLayout;

    loadAttachments();
    const bool plain = isPlainKind(m_kind);
    m_own = user && !ownUserId.isEmpty() && user->mediaId() == ownUserId;

    m_caption = new CMeskCaptionLabel;
    m_caption->setTextFormat(Qt::RichText);
    m_caption->setWordWrap(true);
    m_caption->setAlignment(Qt::AlignLeft);
    setCaption();
    connect(m_caption, &QLabel::linkActivated, this, &CFacebookEventWidget::_onLinkActivated);
    column->addWidget(m_caption, 1, Qt::AlignTop);

    if (m_kind == FacebookEventType::CalendarEvent && m_calendarEvent &&
        !m_calendarEvent->properties().isEmpty()) {
        auto* properties = new QVBoxLayout;
        properties->setSpacing(0);
        for (const SFacebookProperty& property : m_calendarEvent->properties()) {
            auto* label = new QLabel(property.name + QStringLiteral(": ") + property.text);
            label->setTextFormat(Qt::PlainText);
            QFont font = label->font();
            font.setPointSize(8);
            label->setFont(font);
            properties->addWidget(label);
        }
        column->addLayout(properties, 0);
    }

    if (!m_photos.isEmpty()) {
        auto* photos = new QHBoxLayout;
        if (m_own)
            photos->addSpacing(kOwnIndent);
        for (CFacebookPhoto* photo : std::as_const(m_photos)) {
            if (m_photoThumbnails.size() >= 3)
                break;
            auto* thumbnail = new CMeskThumbnailWidget(2);
            thumbnail->setUrl(webAddress(photo->photoUrl()));
            photos->addWidget(thumbnail, 0);
            m_photoThumbnails.append(thumbnail);
            if (!thumbnail->loadPixmap(photo->thumbnailFile()))
                photo->loadThumbnail();
        }
        photos->addStretch(1);
        column->addLayout(photos, 0);
    } else if (m_kind == FacebookEventType::Video && m_video) {
        connect(m_video, &CFacebookVideo::thumbnailDownloadDone, this,
                &CFacebookEventWidget::_onVideoThumbnailUpdated);
        auto* videoRow = new QHBoxLayout;
        if (m_own)
            videoRow->addSpacing(kOwnIndent);
        m_videoThumbnail = new CMeskThumbnailWidget(2);
        m_videoThumbnail->setUrl(webAddress(m_video->pageUrl()));
        videoRow->addWidget(m_videoThumbnail, 0);
        if (!m_videoThumbnail->loadPixmap(m_video->thumbnailFile()))
            m_video->loadThumbnail();
        videoRow->addStretch(1);
        column->addLayout(videoRow, 0);
    }

    m_avatar = new CMeskThumbnailWidget(plain ? 0 : 1);
    if (user) {
        m_avatar->setPixmap(plain ? user->avatar() : user->smallAvatar());
        m_avatar->setUrl(webAddress(user->url()));
    }
    if (m_own) {
        row->addLayout(column, 1);
        row->addWidget(m_avatar, 0, Qt::AlignTop);
    } else {
        row->addWidget(m_avatar, 0, Qt::AlignTop);
        row->addLayout(column, 1);
    }
    main->addLayout(row, 0);

    auto* bar = new QHBoxLayout;
    if (!m_own)
        bar->addStretch(1);
    m_serviceIcon = new CMeskThumbnailWidget(5);
    m_serviceIcon->setPixmap(QuorImages::pixmap(QStringLiteral(":/images/facebook/facebook_logo_small.png")));
    bar->addWidget(m_serviceIcon, 0, Qt::AlignCenter);
    m_dateLabel = new CMeskItemDateLabel(m_item.created, QString());
    bar->addWidget(m_dateLabel, 0, Qt::AlignCenter);
    if (m_kind != FacebookEventType::Message && m_kind != FacebookEventType::FriendRequest) {
        m_links = new CMeskItemLinkGroup;
        m_links->addLink(commentsText(), 0);
        m_links->addLink(likeText(), 1);
        bar->addWidget(m_links, 0, Qt::AlignCenter);
        connect(m_links, &CMeskItemLinkGroup::clicked, this, &CFacebookEventWidget::_onItemButtonClicked);
    }
    if (m_own)
        bar->addStretch(1);
    main->addLayout(bar, 0);

    if (m_kind == FacebookEventType::FriendRequest)
        m_dateLabel->hide();

    setThumbnailVisible(true);

    if (user) {
        connect(user, &CFacebookUser::avatarUpdated, this, &CFacebookEventWidget::_onUserThumbnailUpdated);
        connect(user, &CFacebookUser::avatarUpdateFailed, this,
                &CFacebookEventWidget::_onUserThumbnailUpdateFailed);
        connect(user, &CFacebookUser::userInfoUpdated, this, &CFacebookEventWidget::_onUserInfoUpdated);
    }
    if (event) {
        connect(event, &CFacebookEvent::updated, this, &CFacebookEventWidget::_onEventUpdated);
        connect(event, &CFacebookEvent::commentAdded, this, &CFacebookEventWidget::_onCommentAdded);
        connect(event, &CFacebookEvent::likeAdded, this, &CFacebookEventWidget::_onLikeAdded);
        connect(event, &CFacebookEvent::likeRemoved, this, &CFacebookEventWidget::_onLikeRemoved);
        connect(event, &CFacebookEvent::likeFailed, this, &CFacebookEventWidget::_onLikeFailed);
    }
}

CFacebookEventWidget::~CFacebookEventWidget() = default;

CFacebookCommentsWidget* CFacebookEventWidget::comments()
{
    if (!m_comments) {
        // Below the bottom bar, the last row of the main layout.
        m_comments = new CFacebookCommentsWidget(m_user, m_event, m_objects, m_ownUserId, nullptr);
        m_comments->hide();
        layout()->addWidget(m_comments);
    }
    return m_comments;
}

void CFacebookEventWidget::loadAttachments()
{
    if (!m_event || !m_objects)
        return;
    const QList<SMediaItem> children = m_event->mediaObjects();
    switch (m_kind) {
    case FacebookEventType::Photo:
    case FacebookEventType::Album:
        for (const SMediaItem& child : children) {
            if (m_photos.size() >= 3)
                break;
            if (CFacebookPhoto* photo = m_objects->photo(child.id)) {
                m_photos.append(photo);
                connect(photo, &CFacebookPhoto::thumbnailDownloadDone, this,
                        &CFacebookEventWidget::_onPhotoThumbnailUpdated);
            }
        }
        break;
    case FacebookEventType::Link:
        if (children.isEmpty())
            qDebug("CFacebookEventWidget: link event doesn't have attachment");
        else
            m_link = m_objects->link(children.first().id);
        break;
    case FacebookEventType::CalendarEvent:
        if (children.isEmpty())
            qDebug("CFacebookEventWidget: calendar event doesn't have attachment");
        else
            m_calendarEvent = m_objects->calendarEvent(children.first().id);
        break;
    case FacebookEventType::Video:
        if (children.isEmpty())
            qDebug("CFacebookEventWidget: video event doesn't have attachment");
        else
            m_video = m_objects->video(children.first().id);
        break;
    default:
        break;
    }
}

void CFacebookEventWidget::captionText(CFacebookEvent* event, CFacebookUser* user, QString& text, bool own,
                                       CFacebookObjectManager* objects)
{
    text.clear();
    if (!event || !user)
        return;
    // Service texts are escaped in full here; the builders' own "<" escaping then changes nothing.
    const QString who = own ? QObject::tr("Me", "Pronoun referring to the user himself")
                            : CMeskTexts::shownName(user->name()).toHtmlEscaped();
    // Shown at most in part (cut before escaping); the full texts stay in storage.
    const auto shown = [](const QString& serviceText) {
        return CMeskTexts::shownText(serviceText).toHtmlEscaped();
    };
    const auto linkable = [](const QString& url) {
        return meskIsWebAddress(url) && url.size() <= CMeskTexts::MaxLinkLength;
    };
    const QString body = shown(event->text());
    QList<SMediaItem> children;
    const int kind = event->eventType();
    if (kind >= FacebookEventType::Photo && kind <= FacebookEventType::Video)
        children = event->mediaObjects();

    switch (kind) {
    case FacebookEventType::Plain:
        text = QStringLiteral("<b>%1</b> %2").arg(who, body);
        break;
    case FacebookEventType::Photo:
    case FacebookEventType::Album:
        if (children.size() <= 1)
            text = CMeskTexts::photoPostedCaption(who, body);
        else
            text = withQuote(CMeskTexts::photosPostedCaption(who, int(children.size())), body);
        break;
    case FacebookEventType::Link: {
        CFacebookLink* link = (objects && !children.isEmpty()) ? objects->link(children.first().id) : nullptr;
        if (link && linkable(link->url()))
            text = CMeskTexts::linkPostedHtml(who, link->url().toHtmlEscaped(), shown(link->description()));
        else
            text = CMeskTexts::linkPostedCaption(who);
        text = withQuote(text, body);
        break;
    }
    case FacebookEventType::CalendarEvent: {
        CFacebookCalendarEvent* calendar =
            (objects && !children.isEmpty()) ? objects->calendarEvent(children.first().id) : nullptr;
        if (calendar && linkable(calendar->url()))
            text = withQuote(
                CMeskTexts::eventPostedHtml(who, calendar->url().toHtmlEscaped(),
                                            CMeskTexts::shownName(calendar->name()).toHtmlEscaped()),
                shown(calendar->description()));
        else
            text = CMeskTexts::eventPostedCaption(who);
        break;
    }
    case FacebookEventType::Video: {
        CFacebookVideo* video =
            (objects && !children.isEmpty()) ? objects->video(children.first().id) : nullptr;
        if (!video || video->text().isEmpty())
            text = CMeskTexts::videoPostedCaption(who);
        else
            text = CMeskTexts::videoPostedTitleCaption(who, shown(video->text()));
        break;
    }
    case FacebookEventType::Message:
        text = CMeskTexts::messageCaption(who, body);
        break;
    case FacebookEventType::FriendRequest:
        text = CMeskTexts::friendRequestCaption(who);
        break;
    default:
        break;
    }
    // After the builders: one of them escapes "<" in its title and would show a "<br/>" as text.
    text.replace(QLatin1String("\r\n"), QLatin1String("<br/>"));
    text.replace(QLatin1String("\n"), QLatin1String("<br/>"));
}

void CFacebookEventWidget::setCaption()
{
    QString text;
    captionText(m_event, m_user, text, m_own, m_objects);
    if (m_event && m_user)
        m_captionText = text;
    m_caption->setText(CMeskTexts::breakableText(m_captionText, true));
}

QString CFacebookEventWidget::commentsText() const
{
    const int count = m_event ? m_event->commentsCount() : 0;
    if (count != 0)
        return tr("Comments(%1)", "Subject - Comments(#amount#)").arg(count);
    return tr("Comment", "Verb");
}

QString CFacebookEventWidget::likeText() const
{
    const int count = m_event ? m_event->likeCount() : 0;
    if (m_event && m_event->userLikes())
        return count != 0 ? tr("You liked(%1)").arg(count) : tr("You liked");
    return count != 0 ? tr("Like(%1)", "Verb").arg(count) : tr("Like", "Verb");
}

void CFacebookEventWidget::setThumbnailVisible(bool visible)
{
    m_serviceIcon->setVisible(visible);
}

void CFacebookEventWidget::updateTime()
{
    m_dateLabel->updateText();
    if (m_comments)
        m_comments->updateTime();
}

bool CFacebookEventWidget::applyFilter(const QString& text, bool highlight)
{
    if (m_event && m_user)
        captionText(m_event, m_user, m_captionText, m_own, m_objects);
    if (!meskFilterMatches(m_captionText, text))
        return false;
    if (highlight) {
        m_caption->setText(CMeskTexts::breakableText(
            text.isEmpty() ? m_captionText
                           : CMeskTexts::highlightText(m_captionText, text.toHtmlEscaped(), false),
            true));
    }
    return true;
}

void CFacebookEventWidget::clearFilter()
{
    setCaption();
}

SMediaItem CFacebookEventWidget::mediaItem()
{
    return m_event ? m_event->mediaItem() : m_item;
}

void CFacebookEventWidget::_onEventUpdated()
{
    if (m_links && m_event) {
        m_links->setLinkText(1, likeText());
        m_links->setLinkText(0, commentsText());
    }
    if (m_comments)
        m_comments->reload();
}

void CFacebookEventWidget::_onCommentAdded(const QString& commentId, const QString& text)
{
    if (m_links && m_event)
        m_links->setLinkText(0, commentsText());
    if (m_comments)
        m_comments->addComment(commentId, text);
}

void CFacebookEventWidget::_onComments()
{
    comments()->setVisible(comments()->isHidden());
}

void CFacebookEventWidget::_onLike()
{
    if (!m_event)
        return;
    if (m_event->userLikes())
        m_event->removeLike();
    else
        m_event->addLike();
}

void CFacebookEventWidget::_onItemButtonClicked(int id)
{
    if (id == 0)
        _onComments();
    else if (id == 1)
        _onLike();
}

void CFacebookEventWidget::_onLinkActivated(const QString& url)
{
    const QUrl target = QUrl::fromEncoded(url.toUtf8());
    const QString scheme = target.scheme().toLower();
    if (!target.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        qDebug() << "CFacebookEventWidget: not opening a link that is no web address:" << url;
        return;
    }
    CMeskMessageBox::openUrl(target, this);
}

void CFacebookEventWidget::_onUserInfoUpdated()
{
    setCaption();
}

void CFacebookEventWidget::_onUserThumbnailUpdated()
{
    if (!m_user)
        return;
    if (!m_avatar->loadPixmap(m_user->avatarFile()))
        m_avatar->setPixmap(m_user->defaultAvatar());
}

void CFacebookEventWidget::_onUserThumbnailUpdateFailed()
{
    if (m_user && !m_avatar->hasPixmap())
        m_avatar->setPixmap(m_user->defaultAvatar());
}

void CFacebookEventWidget::_onPhotoThumbnailUpdated()
{
    for (qsizetype i = 0; i < m_photoThumbnails.size() && i < m_photos.size(); ++i) {
        if (!m_photoThumbnails.at(i)->hasPixmap() && m_photos.at(i))
            m_photoThumbnails.at(i)->loadPixmap(m_photos.at(i)->thumbnailFile());
    }
}

void CFacebookEventWidget::_onVideoThumbnailUpdated()
{
    if (m_video && m_videoThumbnail)
        m_videoThumbnail->loadPixmap(m_video->thumbnailFile());
}

void CFacebookEventWidget::_onLikeAdded()
{
    if (m_links && m_event)
        m_links->setLinkText(1, likeText());
}

void CFacebookEventWidget::_onLikeRemoved()
{
    if (m_links && m_event)
        m_links->setLinkText(1, likeText());
}

void CFacebookEventWidget::_onLikeFailed()
{
    // The like link keeps its text: nothing changed.
}
