#include "flickrrecords.h"

void registerFlickrMetaTypes()
{
    qRegisterMetaType<SFlickrPhoto>("SFlickrPhoto");
    qRegisterMetaType<SFlickrPhotoExt>("SFlickrPhotoExt");
    qRegisterMetaType<SFlickrPhotoSize>("SFlickrPhotoSize");
    qRegisterMetaType<SFlickrUser>("SFlickrUser");
    qRegisterMetaType<QList<SFlickrPhoto>>("QList<SFlickrPhoto>");
    qRegisterMetaType<QList<SFlickrPhotoSize>>("QList<SFlickrPhotoSize>");
}
