#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// Identifier of providers, stored rows (SQLite ROWIDs) and feed columns; 0 means none.
typedef quint64 mid_t;

namespace MeskProvider {
// The database itself: its schema version is kept under this provider id.
constexpr mid_t Database = 0;
constexpr mid_t Twitter = 1;
constexpr mid_t Facebook = 2;
constexpr mid_t Flickr = 3;
// Service id of the SMS column of the feed area; no provider is registered under it.
constexpr mid_t SmsColumn = 7;
} // namespace MeskProvider

namespace MeskService {
constexpr int TextPoster = 0; // IMediaTextPoster
constexpr int SmsSender = 1;  // IMediaSmsSender
} // namespace MeskService

// What IMediaItemProvider::setupMode() answers.
namespace MeskSetupMode {
// setup() runs the account wizard; the add button of the provider's row on the settings page starts it.
constexpr int Wizard = 2;
} // namespace MeskSetupMode

namespace MeskItemType {
// Feed events; which service event each of 1..4 stands for is the provider's business.
constexpr int Event1 = 1;
constexpr int Event2 = 2;
constexpr int Event3 = 3;
constexpr int Event4 = 4;
// A status the user posted through this program.
constexpr int OwnPost = 10;
constexpr int Image = 5;
constexpr int Video = 6;
constexpr int Link = 7;

constexpr bool isEvent(int type)
{
    return (type >= Event1 && type <= Event4) || type == OwnPost;
}
constexpr bool isMediaObject(int type)
{
    return type == Image || type == Video;
}
constexpr bool isLink(int type)
{
    return type == Link;
}
} // namespace MeskItemType

// SServiceUser::type: these values mean the same for every provider; the others are the provider's own.
namespace MeskUserType {
// One of the user's own accounts.
constexpr int OwnAccount = 1;
// Someone the account follows or is friends with: the only users the notification settings
// offer and the only authors of posts that toasts name.
constexpr int Contact = 2;
} // namespace MeskUserType

// One feed event, media object or link: a row of MEDIAITEMS.
class SMediaItem
{
public:
    mid_t id = 0;       // ROWID; 0 until stored
    mid_t provider = 0; // provider id
    mid_t parent = 0;   // the item this one belongs to; 0 for a top-level item
    mid_t user = 0;     // the author's row in SERVICEUSERS
    QDateTime created;  // when it was made on the service
    QString content;    // main text
    QString mediaId;    // the service's own identifier
    QDateTime added;    // when it was stored locally
    qint32 type = 0;    // MeskItemType
    QString extra1;
    QString extra2;
    QString extra3;

    bool operator==(const SMediaItem&) const = default;
};

// One user of a service: a row of SERVICEUSERS.
class SServiceUser
{
public:
    mid_t id = 0;       // ROWID; 0 until stored
    mid_t provider = 0; // provider id
    QString name;       // display name
    QString mediaId;    // the service's own identifier
    QString url;        // profile page
    QString avatar;     // avatar image address on the service
    QString avatarFile; // local path of the downloaded avatar; not stored, derived by the storage
    qint32 type = 0;    // kind of user: MeskUserType
    QString extra1;
    QString extra2;
    QString extra3;

    bool operator==(const SServiceUser&) const = default;
};

// One text message sent or received through the modem: a row of MEDIASMSMESSAGES.
class SSmsMessage
{
public:
    enum Type : qint32
    {
        Received = 0,
        BeingSent = 1,
        Sent = 2,
        SendFailed = 3,
    };

    mid_t id = 0;      // ROWID
    QString message;   // the text
    QString phone;     // the other party's number
    QDateTime created; // when it was received, sent or last tried
    qint32 type = 0;   // Type

    // What a data message (a WAP push, an MMS notice: binary data, no text) holds as its text:
    // the views show a text of their own for it.
    static QString dataMessageMarker() { return QStringLiteral("\u0001data-message\u0001"); }
    bool isDataMessage() const { return message == dataMessageMarker(); }

    bool operator==(const SSmsMessage&) const = default;
};

// A text message the modem may still hold: a row of MEDIASMSONMODEM. Reading the modem again
// finds it here instead of storing it twice; a message the user deleted keeps its row here (with
// message 0) until the modem no longer holds it.
struct SSmsOnModem
{
    mid_t id = 0;      // ROWID
    mid_t message = 0; // the stored message's row; 0 once the user deleted it
    // Where the modem had it when last read (SMeskSmsOrigin; objectSet is kept as the column STORE
    // and the key "store"); both empty when not known.
    QString objectSet;
    QString object;
    QString phone;
    QString text;
    qint32 type = 0;       // SSmsMessage::Type
    quint32 timeStamp = 0; // the service centre's time in seconds since 1970 (UTC); 0: none
    bool anyTime = false;  // noted before times were kept: any time matches
    bool own = false;      // made by this program to send message; found only by its object
    QDateTime sent;        // own: when it was handed to the modem
    // A delete of its object failed: the modem's service may then answer a later delete of that
    // object with success while the SIM keeps the message.
    bool deleteFailed = false;
    // The set of objects (SMeskSmsOrigin::objectSet) in which such a later delete answered success;
    // empty until then. The message may come back when the service loads the SIM again.
    QString deletedIn;
    // A delete of its object was sent and its answer not yet seen: a stop before the answer leaves
    // the mark, and the next start learns from the modem's objects what became of the delete.
    bool deletePending = false;
    // The SIM it was last seen with (SMeskSmsReadPdu::sim: its ICCID, else its IMSI); empty when not
    // known (noted by an older version, or read while the modem did not name its SIM). Unlike its
    // origin it outlives the modem making its messages anew: a note is forgotten only by a complete
    // read of its own SIM.
    QString sim = {};

    bool operator==(const SSmsOnModem&) const = default;
};

// Service error code carried by serviceError(mid_t, TMediaError) and protocolError(TMediaError).
enum TMediaError
{
    MediaErrorNone = 0,
    MediaErrorUnassigned = 1, // never produced by the core; providers use it for a request not started
    MediaErrorNetwork = 2,
    MediaErrorServiceUnavailable = 3,
    MediaErrorGeneral = 4,
    MediaErrorRequestRefused = 5,
    MediaErrorAuthorization = 6,
    MediaErrorApiKey = 7,
    MediaErrorPermissionDenied = 8,
    // Banner codes beyond the services' errors: the account is blocked, and the modem's conditions
    // the SMS column shows (never a service's code).
    MediaErrorAccountBlocked = 9,
    MediaErrorModemMissing = 10,
    MediaErrorModemPoweredOff = 11,
    MediaErrorSimMissing = 12,
    MediaErrorSimLocked = 13,
};

// The modem's device state (CMeskNetworkManager::cellularState()).
enum TMeskCellularState
{
    CellularNoDevice = 0,
    CellularRadioOff = 1,
    CellularSimUnusable = 2, // missing or unusable
    CellularNotActivated = 3,
    CellularSimLocked = 4, // locked by PIN or blocked
    CellularReady = 5,
};

// SMS availability derived from the modem state.
enum TMeskSmsState
{
    SmsStateNoCellular = 1,
    SmsStatePoweredOff = 2,
    SmsStateNotSupported = 3,
    SmsStateSimUnusable = 4,
    SmsStatePinLocked = 5,
    SmsStateReady = 6,
};

Q_DECLARE_METATYPE(SMediaItem)
Q_DECLARE_METATYPE(SServiceUser)
Q_DECLARE_METATYPE(SSmsMessage)
Q_DECLARE_METATYPE(TMediaError)
Q_DECLARE_METATYPE(TMeskSmsState)

// Registers the records, the enumerations and the mid_t name with Qt's type system,
// so queued and string-based connections can carry them. Safe to call more than once.
void registerMeskMetaTypes();
