#pragma once

#include "imediaitemwidget.h"

#include <QList>
#include <QPointer>

class CFlickrObjectManager;
class CFlickrPhoto;
class CFlickrPhotoPost;
class CFlickrUser;
class CMeskItemDateLabel;
class CMeskThumbnailWidget;
class IFlickrEvent;
class IMediaUser;
class QLabel;

// The feed item of one Flickr photo post: the author's small avatar (a press opens the author's
// profile page), the caption ("<b>bob</b> posted 5 photos"), the Flickr logo with the post's
// relative time, and thumbnails of the first three photos, each opening its photo's page.
// Thumbnails not on disk yet are downloaded and shown as they arrive; a failed download leaves
// its thumbnail empty. The author, the post and the photos belong to the provider's object
// manager; the widget only refers to them.
class CFlickrPhotoWidget : public IMediaItemWidget
{
    Q_OBJECT
public:
    CFlickrPhotoWidget(CFlickrUser* user, CFlickrPhotoPost* post, CFlickrObjectManager* objects,
                       QWidget* parent = nullptr);
    ~CFlickrPhotoWidget() override;

    // The caption of a Flickr event: for a photo post with one photo "<b>name</b> posted a new
    // photo" (with ': "title"' when the photo has a title), with any other number of photos
    // "<b>name</b> posted N photos"; empty for any other event. The name and the title are
    // escaped. The feed widget and the provider's item text both use it.
    static QString captionText(IMediaUser* user, IFlickrEvent* event, CFlickrObjectManager* objects);

    void setThumbnailVisible(bool visible) override;
    void updateTime() override;
    // Matches when the caption's markup holds the filter, in any case.
    bool applyFilter(const QString& text, bool highlight) override;
    void clearFilter() override;
    SMediaItem mediaItem() override;

    // The parts, for the views' tests.
    CMeskThumbnailWidget* avatarWidget() const { return m_avatar; }
    CMeskThumbnailWidget* logoWidget() const { return m_logo; }
    CMeskItemDateLabel* dateLabel() const { return m_date; }
    QLabel* captionLabel() const { return m_caption; }
    QList<CMeskThumbnailWidget*> thumbnails() const { return m_thumbnails; }

private slots:
    void _onUserThumbnailUpdated();
    void _onPhotoThumbnailUpdated();

private:
    QString caption() const;

    // Owned by the object manager, which may drop them before the feed is rebuilt.
    QPointer<CFlickrUser> m_user;
    QPointer<CFlickrPhotoPost> m_post;
    CFlickrObjectManager* m_objects;
    SMediaItem m_item; // the post's record when the post object is gone
    bool m_thumbnailVisible = true;
    CMeskThumbnailWidget* m_logo = nullptr;
    CMeskItemDateLabel* m_date = nullptr;
    QLabel* m_caption = nullptr;
    CMeskThumbnailWidget* m_avatar = nullptr;
    QList<QPointer<CFlickrPhoto>> m_photos;
    QList<CMeskThumbnailWidget*> m_thumbnails;
};
