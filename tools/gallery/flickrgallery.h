#pragma once

#include <QTemporaryDir>

#include <memory>

class CFlickrApi;
class CFlickrAuth;
class CFlickrObjectManager;
class CFlickrPhotoPost;
class CFlickrPhotoWidget;
class CFlickrSetupWidget;
class CFlickrUser;
class CMediaDataBase;

// Sample Flickr items for the gallery: bob's one-photo and five-photo posts in a temporary
// storage, their thumbnails drawn on disk beforehand so nothing is downloaded.
class CFlickrGallerySamples
{
public:
    CFlickrGallerySamples();
    ~CFlickrGallerySamples();
    CFlickrGallerySamples(const CFlickrGallerySamples&) = delete;
    CFlickrGallerySamples& operator=(const CFlickrGallerySamples&) = delete;

    // A parentless photo-post widget of the post with 1 or 5 photos; null when the samples
    // could not be stored.
    CFlickrPhotoWidget* makePostWidget(int photos) const;
    // A parentless setup page showing the (empty) web page with the "Ready" bar.
    CFlickrSetupWidget* makeSetupWidget() const;

private:
    CFlickrPhotoPost* makePost(const QString& title, int photos, int minutesAgo, int firstId);

    QTemporaryDir m_dir;
    std::unique_ptr<CMediaDataBase> m_db;
    std::unique_ptr<CFlickrApi> m_api;
    std::unique_ptr<CFlickrAuth> m_auth;
    std::unique_ptr<CFlickrObjectManager> m_objects;
    CFlickrUser* m_user = nullptr;
    CFlickrPhotoPost* m_onePhoto = nullptr;
    CFlickrPhotoPost* m_fivePhotos = nullptr;
};
