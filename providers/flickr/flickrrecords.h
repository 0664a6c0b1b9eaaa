#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// The records of the Flickr answers. Every value is held as the text of its XML
// attribute or element, numbers included.

// One photo of a photo list (flickr.photos.search, flickr.photos.getContactsPhotos).
class SFlickrPhoto
{
public:
    QString id;
    QString secret;
    QString server;
    QString farm;
    QString owner;     // the owner's user id (nsid)
    QString ownerName; // "ownername", else "username"
    QString title;
    QString dateUpload; // decimal Unix seconds as the service sends them

    bool operator==(const SFlickrPhoto&) const = default;
};

// One photo as flickr.photos.getInfo describes it.
class SFlickrPhotoExt
{
public:
    QString id;
    QString secret;
    QString server;
    QString farm;
    QString owner;
    QString ownerName;
    QString title;
    QString dateUpload; // "dateuploaded"
    QString originalSecret;
    QString originalFormat;
    QString description;
    QString comments;   // the comment count
    QString isFavorite; // "0" or "1"

    bool operator==(const SFlickrPhotoExt&) const = default;
};

// One size of a photo (flickr.photos.getSizes).
class SFlickrPhotoSize
{
public:
    QString label;
    QString width;
    QString height;
    QString source; // the picture
    QString url;    // the page that shows it

    bool operator==(const SFlickrPhotoSize&) const = default;
};

// One person (flickr.people.getInfo).
class SFlickrUser
{
public:
    QString userId;
    QString realName;
    QString userName;
    QString iconServer;
    QString iconFarm;
    QString photosUrl;
    QString profileUrl;

    bool operator==(const SFlickrUser&) const = default;
};

Q_DECLARE_METATYPE(SFlickrPhoto)
Q_DECLARE_METATYPE(SFlickrPhotoExt)
Q_DECLARE_METATYPE(SFlickrPhotoSize)
Q_DECLARE_METATYPE(SFlickrUser)

// Registers the records above and their lists (also by the names
// "QList<SFlickrPhoto>" and "QList<SFlickrPhotoSize>") for queued connections.
// Safe to call more than once.
void registerFlickrMetaTypes();
