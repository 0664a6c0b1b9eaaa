#pragma once

#include "meskrecords.h"

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QString>

#include <functional>

class CMeskNetworkManager;
class IMediaItemStorage;

// One phone number of a contact, with the name of the field it came from
// ("GeneralMobile", "HomePhone", ...).
class SPhoneNumber
{
public:
    QString number;
    QString label;

    bool operator==(const SPhoneNumber&) const = default;
};

// One contact of the phone contacts store.
class SPhoneContact
{
public:
    QString givenName;
    QString lastName;
    QString nickName;
    QString displayName; // given, middle and last name, each followed by one blank but the last
    QString company;
    QPixmap picture;      // the default SMS profile image
    QPixmap extraPicture; // not set by the reader
    QList<SPhoneNumber> phones;
};

// Sends and receives text messages through the mobile-broadband modem, stores
// every message, and derives the SMS availability from the cellular state.
// Lives on the GUI thread; its signals may be emitted on other threads, so
// receivers on the GUI thread get them queued.
class IMeskSmsEngine : public QObject
{
    Q_OBJECT
public:
    explicit IMeskSmsEngine(QObject* parent = nullptr) : QObject(parent) {}
    ~IMeskSmsEngine() override = default;

    // Stops a previous run, keeps the storage and the network manager (neither
    // owned; both must outlive the run or be released by stop()) and follows
    // the network manager's cellular state.
    virtual void start(IMediaItemStorage* storage, CMeskNetworkManager* network) = 0;
    // Ends the run and forgets storage, network manager and state.
    virtual void stop() = 0;
    // The SMS availability; 0 while not yet derived.
    virtual TMeskSmsState state() const = 0;
    virtual bool isSmsSupported() const = 0;
    virtual bool isSmsReady() const = 0;
    // Asks the modem for the SIM's messages; they arrive as simMessageReady().
    virtual bool readSimMessages() = 0;
    // Hands one message to the modem; stores and announces it when accepted.
    virtual bool sendMessage(const QString& phone, const QString& text) = 0;
    // The user deleted the stored message: should the modem still hold it, it is not stored or
    // announced again.
    virtual void forgetMessage(const SSmsMessage& message) { Q_UNUSED(message); }
    // How the text splits into SMS parts: characters used, characters left in
    // the last part, number of parts. Leaves the outputs untouched when it
    // cannot tell.
    virtual void smsTextLength(const QString& text, int* used, int* left, int* parts) = 0;

signals:
    void stateChanged(TMeskSmsState state);
    void simMessageReady(const SSmsMessage& message);
    void newMessageReceived(const SSmsMessage& message);
    void messageSent(const SSmsMessage& message);
    void messageSendDone(const SSmsMessage& message);
    void initFailed();
    void messageSendFailed(const SSmsMessage& message);
};

// Reads the phone contacts and answers the SMS dialogs' questions about them.
class IMeskContactsReader : public QObject
{
    Q_OBJECT
public:
    explicit IMeskContactsReader(QObject* parent = nullptr) : QObject(parent) {}
    ~IMeskContactsReader() override = default;

    // Starts reading the contacts; true whatever is found. The reading may go on after the
    // call: contactsReady() says when the list is there (also when it is empty). A second
    // call starts over.
    virtual bool init() = 0;
    virtual QList<SPhoneContact> contacts() const = 0;
    // The contacts that match the text, in list order.
    virtual QList<SPhoneContact> findContacts(const QString& text) const = 0;

signals:
    // The contacts of the last init() are there (on the thread the reader lives on).
    void contactsReady();
};

// Where the engine gets its SMS engine and contacts reader. The core declares
// only the interfaces; the application registers factories from the SMS
// library (tests register fakes). With no factory registered the engine has
// no such component and answers neutrally.
namespace MeskSmsFactories {

using SmsEngineFactory = std::function<IMeskSmsEngine*(QObject* parent)>;
using ContactsReaderFactory = std::function<IMeskContactsReader*()>;

// An empty function removes the factory.
void setSmsEngineFactory(SmsEngineFactory factory);
void setContactsReaderFactory(ContactsReaderFactory factory);

// A new component from the registered factory; null when none is registered.
IMeskSmsEngine* createSmsEngine(QObject* parent);
IMeskContactsReader* createContactsReader();

} // namespace MeskSmsFactories

Q_DECLARE_METATYPE(SPhoneNumber)
Q_DECLARE_METATYPE(SPhoneContact)
