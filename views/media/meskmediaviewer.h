#pragma once

#include "imediaobjects.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

class CMeskDeepDiveErrorWidget;
class CMeskThumbnailWidget;
class CMeskVideoViewer;
class CQuorAnimationWidget;
class QLabel;

// Shows the full-size image of an image item, fitted to the viewer (never enlarged, aspect kept,
// fitted again on every resize). A picture not on disk yet is downloaded by the item under a
// wait animation; a failed download or an undecodable file shows an error page with "Try again".
class CMeskImageViewer : public QWidget
{
    Q_OBJECT
public:
    explicit CMeskImageViewer(QWidget* parent = nullptr);
    ~CMeskImageViewer() override;

    void setImageItem(IMediaImageItem* item);

    // The picture as drawn now, and where; null while there is none.
    QPixmap shownPixmap() const { return m_pixmap; }
    QRect pixmapRect() const;
    CQuorAnimationWidget* waitAnimation() const { return m_wait; }
    CMeskDeepDiveErrorWidget* errorPage() const { return m_error; }
    // The grey area drawn behind the wait animation (clipped by the viewer's edges).
    QRect placeholderRect() const;

private slots:
    void _onImageDownloadDone();
    void _onImageDownloadFailed();
    void _onImageDownloadProgress(int done, int total);
    void _onTryAgain();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool loadImage();
    void fitPixmap();
    void showWaitAnimation();
    void showErrorPage(const QString& title, const QString& text);
    void clearPages();
    void placePages();

    QPointer<IMediaImageItem> m_item;
    QPixmap m_original; // as decoded
    QPixmap m_pixmap;   // fitted to the viewer
    CQuorAnimationWidget* m_wait = nullptr;
    CMeskDeepDiveErrorWidget* m_error = nullptr;
};

// The picture area of the full-screen media browser: the image viewer or the video viewer,
// whichever fits the media object; both hidden for anything else.
class CMeskMediaViewer : public QWidget
{
    Q_OBJECT
public:
    explicit CMeskMediaViewer(QWidget* parent = nullptr);
    ~CMeskMediaViewer() override;

    void setMediaObject(IMediaObject* object);

    CMeskImageViewer* imageViewer() const { return m_imageViewer; }
    CMeskVideoViewer* videoViewer() const { return m_videoViewer; }

private:
    QPointer<IMediaObject> m_object;
    CMeskImageViewer* m_imageViewer = nullptr;
    CMeskVideoViewer* m_videoViewer = nullptr;
};

// The information row under the media: the author's avatar, the caption with the author's name,
// the service logo and the date.
class CMeskMediaInfoWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CMeskMediaInfoWidget(QWidget* parent = nullptr);
    ~CMeskMediaInfoWidget() override;

    // The author may be null (unknown): the caption then stands alone and the avatar is the
    // product's unknown user. A null logo leaves the logo empty.
    void setMedia(IMediaObject* object, IMediaUser* user, const QPixmap& logo);

    CMeskThumbnailWidget* avatarWidget() const { return m_avatar; }
    CMeskThumbnailWidget* logoWidget() const { return m_logo; }
    QLabel* captionLabel() const { return m_caption; }
    QLabel* dateLabel() const { return m_date; }

    // The caption text as the label shows it: cut after 100 characters, escaped.
    static QString captionText(const QString& text, const IMediaUser* user);

private slots:
    void _onUserAvatarUpdated();
    void _onUserAvatarUpdateFailed();

private:
    QPointer<IMediaUser> m_user;
    QPointer<IMediaObject> m_object;
    CMeskThumbnailWidget* m_avatar = nullptr;
    CMeskThumbnailWidget* m_logo = nullptr;
    QLabel* m_caption = nullptr;
    QLabel* m_date = nullptr;
    QPixmap m_logoPixmap;
};
