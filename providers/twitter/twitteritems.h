#pragma once

#include "imediaobjects.h"
#include "meskhttpresponse.h"
#include "meskpictures.h"
#include "twitterrecords.h"

#include <QDateTime>
#include <QPixmap>
#include <QString>

class CMeskHttpMethod;
class CTwitterApi;
class IMediaItemStorage;

// The item objects of the Twitter provider. Each keeps a copy of its stored
// record, writes it when created from a service record and can be rebuilt from
// the storage. None has a Qt parent: the provider's tables own and delete them
// (the owner given to the constructors is not kept).

// One status as a feed event. Stored form: one MEDIAITEMS row, no fields;
// mediaId = the status id, content = its text, created = its created_at, user =
// the author's SERVICEUSERS row, type 1 for a status of the timelines and 10
// (MeskItemType::OwnPost) for one the user posted.
class CTwitterStatus : public IMediaEventItem
{
    Q_OBJECT
public:
    static constexpr int StatusType = 1;
    static constexpr int OwnStatusType = 10;

    CTwitterStatus(CTwitterApi* api, IMediaItemStorage* storage, QObject* owner = nullptr);
    ~CTwitterStatus() override;

    // Takes a copy of a stored record; always true.
    bool setItem(const SMediaItem& item);
    // Reads the stored status of that row; false (logged) when there is none.
    bool load(mid_t id);
    bool createStatus(const STwitterStatusData& status, mid_t provider, mid_t user);
    bool createOwnStatus(const STwitterStatusData& status, mid_t provider, mid_t user);
    // Fills the record and adds it to the storage (which sets its id); false (logged) on failure.
    bool create(const STwitterStatusData& status, mid_t provider, mid_t user, int type);

    bool isStatus() const { return m_item.type == StatusType; }
    bool isOwnStatus() const { return m_item.type == OwnStatusType; }
    QString text() const { return m_item.content; }
    QString statusId() const { return m_item.mediaId; }
    SMediaItem mediaItem() const { return m_item; }
    // The status's own page on the web site.
    QString statusUrl(const QString& userName) const;

private:
    CTwitterApi* m_api;
    IMediaItemStorage* m_storage;
    SMediaItem m_item;
};

// One Twitter account with its downloaded avatar. Stored form: one SERVICEUSERS
// row; mediaId = the account id, name = its screen name, url = its home page,
// avatar = its profile_image_url, type 2 for an account met in a timeline and 1
// for the signed-in account.
//
// Avatar: at most one download at a time, a plain call object child of the
// user. It counts only with a 2xx answer and a file that loads as a picture;
// then both cached pictures are dropped and avatarUpdated() goes out. Any other
// outcome gives avatarUpdateFailed() and marks that address as failed: the
// picture getters ask for no new download of it until the service brings the
// account again (update()), so a widget that repaints cannot download without end.
class CTwitterUser : public IMediaUser
{
    Q_OBJECT
public:
    static constexpr int OwnUserType = MeskUserType::OwnAccount;
    static constexpr int UserType = MeskUserType::Contact;

    CTwitterUser(CTwitterApi* api, IMediaItemStorage* storage, QObject* owner = nullptr);
    ~CTwitterUser() override;

    // Reads the stored user of that row; false (logged) when there is none.
    bool load(mid_t id);
    // Stores an account met in a timeline (type 2); false (logged) on failure.
    bool create(const STwitterUserData& user, mid_t provider);
    // Stores the signed-in account (type 1), without an avatar address.
    bool createOwn(const QString& userId, const QString& userName, mid_t provider);
    // An account met again: a new avatar address is stored and downloaded, unless a
    // download runs. Name and home page are kept.
    void update(const STwitterUserData& user);

    QString userId() const { return m_user.mediaId; }
    QString profileUrl() const;
    bool isAvatarLoading() const;

    QString avatarFile() const override;
    QPixmap defaultAvatar() const override;
    void updateAvatar() override;
    QPixmap avatar() const override;
    QPixmap smallAvatar() const override;
    QString name() const override;
    SServiceUser serviceUser() const override;

private slots:
    void _onAvatarLoaded();
    void _onNetworkError(TMeskHttpError error);

private:
    // Starts the download of the avatar address into the avatar file; false while
    // one runs or when it cannot start.
    bool startAvatarDownload();
    // From the const picture getters: a download unless the address has failed.
    void requestAvatar() const;
    void avatarFailed();

    CTwitterApi* m_api;
    mutable CMeskHttpMethod* m_avatarDownload = nullptr;
    IMediaItemStorage* m_storage;
    SServiceUser m_user;
    // No picture on disk yet: requestAvatar().
    TMeskAvatarPictures m_avatarPictures{[this] { requestAvatar(); }, [this] { return defaultAvatar(); }};
    // The avatar address whose last download failed; no automatic retry of it.
    QString m_failedAvatar;
    bool m_avatarFailed = false;
};

// One web address found in a status (item type 7). Stored form: mediaId = the
// address as matched, content = the whole status text, created = the status's
// time, user = its author, parent = the status row.
class CTwitterLink : public IMediaLinkItem
{
    Q_OBJECT
public:
    CTwitterLink(CTwitterApi* api, IMediaItemStorage* storage, QObject* owner = nullptr);
    ~CTwitterLink() override;

    // Reads the stored link of that row; false (logged) when there is none.
    bool load(mid_t id);
    bool create(const QString& url, const QDateTime& created, const QString& text, mid_t provider, mid_t user,
                mid_t parent);

    QString url() const override;
    QString description() const override;
    QString caption() const override;
    SMediaItem mediaItem() const override;

private:
    CTwitterApi* m_api;
    IMediaItemStorage* m_storage;
    SMediaItem m_item;
};
