#include "facebookrecords.h"

namespace {
template <typename T> void registerWithList(const char* name, const char* listName)
{
    qRegisterMetaType<T>(name);
    qRegisterMetaType<QList<T>>(listName);
}
} // namespace

void registerFacebookMetaTypes()
{
    registerWithList<SFacebookUser>("SFacebookUser", "QList<SFacebookUser>");
    registerWithList<SFacebookPhotoInfo>("SFacebookPhotoInfo", "QList<SFacebookPhotoInfo>");
    registerWithList<SFacebookMedia>("SFacebookMedia", "QList<SFacebookMedia>");
    registerWithList<SFacebookProperty>("SFacebookProperty", "QList<SFacebookProperty>");
    registerWithList<SFacebookAttachment>("SFacebookAttachment", "QList<SFacebookAttachment>");
    registerWithList<SFacebookComment>("SFacebookComment", "QList<SFacebookComment>");
    registerWithList<SFacebookStreamPost>("SFacebookStreamPost", "QList<SFacebookStreamPost>");
    registerWithList<SFacebookNotifications>("SFacebookNotifications", "QList<SFacebookNotifications>");
    registerWithList<SFacebookMessage>("SFacebookMessage", "QList<SFacebookMessage>");
}

QDateTime facebookDateTime(const QString& secondsSince1970)
{
    bool ok = false;
    const qint64 secs = secondsSince1970.trimmed().toLongLong(&ok);
    if (!ok)
        return {};
    return QDateTime::fromSecsSinceEpoch(secs, Qt::UTC);
}
