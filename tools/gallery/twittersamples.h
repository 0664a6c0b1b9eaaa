#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

class CMediaDataBase;
class CTwitterApi;
class CTwitterAuth;
class CTwitterSetupWidget;
class CTwitterStatus;
class CTwitterUser;
class IMediaItemWidget;
class QWidget;

// The Twitter feed widgets and setup page on sample items, stored in a storage root of their own
// (a temporary folder) with the avatars already on disk, so nothing is downloaded.
class CTwitterGallerySamples
{
public:
    CTwitterGallerySamples();
    ~CTwitterGallerySamples();

    bool isValid() const { return m_valid; }
    // A friend's status with a line break and a link (the caller owns the widget).
    IMediaItemWidget* statusWidget() const;
    // The user's own post.
    IMediaItemWidget* updateWidget() const;
    // The setup wizard after a page has loaded: the PIN bar under the caption.
    CTwitterSetupWidget* wizardWithPinBar(QWidget* parent = nullptr) const;

private:
    CTwitterUser* makeUser(const QString& id, const QString& name, const QColor& colour);

    QTemporaryDir m_root;
    std::unique_ptr<CMediaDataBase> m_db;
    std::unique_ptr<CTwitterApi> m_api;
    std::unique_ptr<CTwitterAuth> m_auth;
    std::unique_ptr<CTwitterUser> m_friend;
    std::unique_ptr<CTwitterUser> m_self;
    std::unique_ptr<CTwitterStatus> m_status;
    std::unique_ptr<CTwitterStatus> m_ownPost;
    bool m_valid = false;
};
