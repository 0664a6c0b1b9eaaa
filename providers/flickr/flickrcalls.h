#pragma once

#include "flickrapi.h"
#include "meskservicecall.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The call objects of the Flickr REST methods the system uses. Each builds its
// URL through the provider's CFlickrApi, runs one GET on the HTTP task pool,
// reads the answer on the pool thread and emits its typed result, or
// protocolError(code) and protocolError(). Each keeps the code of its own
// answer, so calls that share one CFlickrApi never see each other's codes.
//
// request() returns false when the URL cannot be built or the GET cannot start;
// the object then logs and refuses as CMeskServiceCall says (both error
// signals, queued, so they arrive after request() has returned).
class CFlickrCall : public CMeskServiceCall
{
    Q_OBJECT
public:
    CFlickrCall(CFlickrApi* api, QObject* parent);
    ~CFlickrCall() override;

    // The code of the last answer read (0 after success).
    int flickrError() const { return m_error; }

protected:
    // Starts the GET of a built URL; logs and reports a failure as above.
    bool start(bool built, const QString& url, const char* formatFailed, const char* requestFailed);
    // Maps the kept Flickr code to the media error of the two photo lists.
    TMediaError photoListError() const;

    CFlickrApi* m_api;
    int m_error = 0; // written by the parse on the pool thread, read after it on the object's thread
};

// flickr.photos.search: the photos a user uploaded since a date.
class CFlickrUserPhotos : public CFlickrCall
{
    Q_OBJECT
public:
    CFlickrUserPhotos(CFlickrApi* api, QObject* parent);
    ~CFlickrUserPhotos() override;

    // An invalid date asks for every photo.
    bool request(const QString& userId, const QDateTime& minUploadDate);

signals:
    void userPhotos(const QString& userId, const QList<SFlickrPhoto>& photos);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;
    TMediaError errorCode() const override;

private:
    QString m_userId;
    QList<SFlickrPhoto> m_photos;
};

// flickr.photos.getContactsPhotos: the latest photos of the user's contacts.
class CFlickrContactsPhotos : public CFlickrCall
{
    Q_OBJECT
public:
    CFlickrContactsPhotos(CFlickrApi* api, QObject* parent);
    ~CFlickrContactsPhotos() override;

    bool request();

signals:
    void contactPhotos(const QList<SFlickrPhoto>& photos);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;
    TMediaError errorCode() const override;

private:
    QList<SFlickrPhoto> m_photos;
};

// flickr.photos.getInfo: one photo's details.
class CFlickrPhotoInfo : public CFlickrCall
{
    Q_OBJECT
public:
    CFlickrPhotoInfo(CFlickrApi* api, QObject* parent);
    ~CFlickrPhotoInfo() override;

    bool request(const QString& photoId, const QString& secret);

signals:
    void infoReady(const SFlickrPhotoExt& photo);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;

private:
    SFlickrPhotoExt m_photo;
};

// flickr.photos.getSizes: the sizes a photo is offered in.
class CFlickrPhotoSizes : public CFlickrCall
{
    Q_OBJECT
public:
    CFlickrPhotoSizes(CFlickrApi* api, QObject* parent);
    ~CFlickrPhotoSizes() override;

    bool request(const QString& photoId);

signals:
    void sizesReady(const QList<SFlickrPhotoSize>& sizes);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;

private:
    QList<SFlickrPhotoSize> m_sizes;
};

// flickr.people.getInfo: one person.
class CFlickrUserInfo : public CFlickrCall
{
    Q_OBJECT
public:
    CFlickrUserInfo(CFlickrApi* api, QObject* parent);
    ~CFlickrUserInfo() override;

    bool request(const QString& userId);

signals:
    void userInfoReady(const SFlickrUser& user);

protected:
    bool parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body) override;
    void emitResult() override;

private:
    SFlickrUser m_user;
};
