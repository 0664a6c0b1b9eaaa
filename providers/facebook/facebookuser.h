#pragma once

#include "facebookrecords.h"
#include "imediaobjects.h"

#include <QPixmap>
#include <QString>

class CFacebookApi;
class CFacebookUserInfo;
class CMeskHttpMethod;
class IMediaItemStorage;

// One Facebook user over its SERVICEUSERS row: the account owner, the authors of
// posts, comments and messages, people asking for friendship. Keeps name and
// picture current (users.getInfo, or the stream's profile records), downloads the
// picture into the row's avatar file and hands it out at most 50 x 50 or 32 x 32,
// falling back to the default picture.
//
// Row type: 0 stored, not classified; 1 the account owner; 2 another user met in
// the fetched data.
//
// Avatar downloads: at most one at a time, and none while users.getInfo runs. A
// picture address that answered with a status outside 2xx, with a body that is no
// picture, or with a transport failure is marked as failed: asking for it again
// gives avatarUpdateFailed() at once and sends nothing, until users.getInfo or a
// profile record brings that address again. A good download clears both pixmap
// caches before avatarUpdated(). The pool keeps an earlier file on any failure.
//
// No Qt parent: the owner deletes it; its calls are its Qt children.
class CFacebookUser : public IMediaUser
{
    Q_OBJECT
public:
    enum Type
    {
        Unclassified = 0,
        Owner = 1,
        Contact = 2
    };

    CFacebookUser(CFacebookApi* api, IMediaItemStorage* storage, QObject* owner = nullptr);
    ~CFacebookUser() override;

    // The user of a stored row; null when it cannot be read.
    static CFacebookUser* load(CFacebookApi* api, IMediaItemStorage* storage, mid_t id,
                               QObject* owner = nullptr);
    // Stores a new row of type 0 from a profile record; its id, or 0.
    static mid_t addUser(IMediaItemStorage* storage, const SFacebookUser& info, mid_t provider);
    // Stores a new row of type 0 that knows only the uid; its id, or 0.
    static mid_t addBareUser(IMediaItemStorage* storage, const QString& uid, mid_t provider);

    QString avatarFile() const override { return m_user.avatarFile; }
    QPixmap defaultAvatar() const override;
    // Downloads the picture when its address is known; asks users.getInfo first for a
    // user that has neither address nor name.
    void updateAvatar() override;
    QPixmap avatar() const override;
    QPixmap smallAvatar() const override;
    QString name() const override { return m_user.name; }
    SServiceUser serviceUser() const override { return m_user; }

    QString url() const { return m_user.url; }
    QString mediaId() const { return m_user.mediaId; }

    // Takes name and picture address from a profile record of this user (other uids
    // are ignored); writes the row and emits userInfoUpdated() when something changed,
    // and downloads a new picture.
    void updateFromInfo(const SFacebookUser& info);
    // Type 1, written at once.
    void markAsOwner();
    // Type 2 unless the row is the owner's.
    void markAsContact();

signals:
    void userInfoUpdated();

private slots:
    void _onUserInfoReady(const SFacebookUser& info);
    void _onUserInfoFailed();
    void _onAvatarLoaded();
    void _onAvatarFailed();

private:
    void requestUserInfo();
    void startAvatarDownload();
    // A new picture address: a fresh avatar file path, and the failure mark of that
    // address cleared (it is worth another try).
    void takeAvatarUrl(const QString& url);
    bool writeRow(const char* failure);

    CFacebookApi* m_api;
    CFacebookUserInfo* m_userInfoCall = nullptr;
    CMeskHttpMethod* m_avatarCall = nullptr;
    IMediaItemStorage* m_storage;
    SServiceUser m_user;
    mutable QPixmap m_avatarPixmap;
    mutable QPixmap m_smallAvatarPixmap;
    QString m_downloadUrl; // the address of the running download
    QString m_failedUrl;   // the address marked as failed
};
