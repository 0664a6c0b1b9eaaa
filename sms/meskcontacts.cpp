#include "meskcontacts.h"

#include "imeskcontactstore.h"

#include <QDebug>
#include <QGuiApplication>
#include <QIcon>

namespace {

constexpr int PictureSize = 50;

// The value of a property, or nothing when the item lacks it. A value that
// cannot be read although the property is there counts as absent.
bool readProperty(IMeskContactItem& item, const QString& name, QString* value)
{
    const QString nameSpace = IMeskContactStore::contactNamespace();
    if (!item.hasProperty(nameSpace, name))
        return false;
    QString read;
    if (!item.propertyValue(nameSpace, name, &read))
        return false;
    *value = read;
    return true;
}

void log(const QString& text)
{
    qDebug().noquote() << text;
}

} // namespace

CMeskContacts::CMeskContacts(QObject* owner) : IMeskContactsReader(nullptr)
{
    Q_UNUSED(owner);
}

CMeskContacts::~CMeskContacts()
{
    stopReading();
}

void CMeskContacts::stopReading()
{
    if (m_cancel)
        m_cancel->store(true);
    if (m_thread) {
        m_thread->wait();
        m_thread.reset();
    }
    m_cancel.reset();
    // A list the stopped read already handed over is dropped.
    ++m_generation;
}

bool CMeskContacts::isReading() const
{
    return m_thread && m_thread->isRunning();
}

QString CMeskContacts::defaultPicturePath()
{
    return QStringLiteral(":/images/sms/sms_default_profile_avatar.png");
}

const QStringList& CMeskContacts::phoneProperties()
{
    static const QStringList properties{
        QStringLiteral("GeneralMobile"), QStringLiteral("GeneralMobile2"), QStringLiteral("GeneralMobile3"),
        QStringLiteral("GeneralPhone"),  QStringLiteral("BusinessFax"),    QStringLiteral("BusinessMobile"),
        QStringLiteral("BusinessPhone"), QStringLiteral("HomeFax"),        QStringLiteral("HomeMobile"),
        QStringLiteral("HomePhone"),     QStringLiteral("AsstPhone"),      QStringLiteral("Pager"),
    };
    return properties;
}

bool CMeskContacts::init()
{
    stopReading();
    const quint64 generation = m_generation;
    auto cancel = std::make_shared<std::atomic_bool>(false);
    m_cancel = cancel;
    m_thread.reset(QThread::create([this, cancel, generation] {
        QList<SPhoneContact> contacts = readStore(*cancel);
        if (cancel->load())
            return;
        // Queued to the GUI thread; the destructor waits for this thread before the reader's
        // posted calls are dropped with it.
        QMetaObject::invokeMethod(
            this,
            [this, generation, contacts = std::move(contacts)]() mutable {
                if (generation == m_generation)
                    handOver(std::move(contacts));
            },
            Qt::QueuedConnection);
    }));
    m_thread->setObjectName(QStringLiteral("Contacts"));
    m_thread->start(QThread::LowPriority);
    return true;
}

QList<SPhoneContact> CMeskContacts::readStore(const std::atomic_bool& cancel)
{
    QList<SPhoneContact> contacts;
    std::unique_ptr<IMeskContactStore> store = IMeskContactStore::create();
    if (!store || !store->open()) {
        log(QStringLiteral("CMeskContacts: Quor Suite must be installed in order to retrieve contacts. "));
        return contacts;
    }
    const bool initialized = store->initialize(cancel);
    // A stopped read hands nothing over: nothing to say.
    if (cancel.load())
        return contacts;
    if (!initialized) {
        log(QStringLiteral("CMeskContacts: Failed to initialize Dastrel. "));
        return contacts;
    }
    IMeskContactCollection* collection = store->contacts();
    const int count = collection ? collection->count() : 0;
    if (count == 0) {
        log(QStringLiteral("CMeskContacts: No contacts found"));
        return contacts;
    }
    contacts.reserve(count);
    // The count is asked again on each pass, as the store may change it.
    for (int index = 0; index < collection->count() && !cancel.load(std::memory_order_relaxed); ++index) {
        IMeskContactItem* item = collection->item(index);
        if (!item)
            continue;
        contacts.append(readContact(*item));
    }
    return contacts;
}

void CMeskContacts::handOver(QList<SPhoneContact> contacts)
{
    if (m_thread) {
        m_thread->wait();
        m_thread.reset();
    }
    m_cancel.reset();
    // Pictures need the GUI application; without it contacts go without one.
    // The icon picks the @2x file where the display needs it. Every contact
    // shares the one picture.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && !contacts.isEmpty()) {
        const QPixmap picture = QIcon(defaultPicturePath()).pixmap(QSize(PictureSize, PictureSize));
        for (SPhoneContact& contact : contacts)
            contact.picture = picture;
    }
    m_contacts = std::move(contacts);
    emit contactsReady();
}

SPhoneContact CMeskContacts::readContact(IMeskContactItem& item)
{
    SPhoneContact contact;
    readProperty(item, QStringLiteral("GivenName"), &contact.givenName);
    contact.displayName = contact.givenName + QLatin1Char(' ');
    QString middleName;
    if (readProperty(item, QStringLiteral("MiddleName"), &middleName))
        contact.displayName += middleName + QLatin1Char(' ');
    readProperty(item, QStringLiteral("LastName"), &contact.lastName);
    contact.displayName += contact.lastName;
    readProperty(item, QStringLiteral("Company"), &contact.company);
    readProperty(item, QStringLiteral("NickName"), &contact.nickName);
    for (const QString& property : phoneProperties()) {
        SPhoneNumber phone;
        if (readProperty(item, property, &phone.number)) {
            phone.label = property;
            contact.phones.append(phone);
        }
    }
    return contact;
}

QList<SPhoneContact> CMeskContacts::findContacts(const QString& text) const
{
    log(QStringLiteral("CMeskContacts::findContacts ") + text);
    QList<SPhoneContact> found;
    for (const SPhoneContact& contact : m_contacts) {
        if (matches(contact, text))
            found.append(contact);
    }
    // Contacts are personal data: only the counts are logged.
    log(QStringLiteral("CMeskContacts::findContacts: %1 of %2 contacts match")
            .arg(found.size())
            .arg(m_contacts.size()));
    return found;
}

bool CMeskContacts::matches(const SPhoneContact& contact, const QString& text)
{
    for (const QString* field :
         {&contact.company, &contact.displayName, &contact.givenName, &contact.lastName, &contact.nickName}) {
        if (field->contains(text, Qt::CaseInsensitive))
            return true;
    }
    // Numbers compare by their last 7 characters, so a national and an
    // international form of the same number meet.
    const QString textTail = text.right(7);
    for (const SPhoneNumber& phone : contact.phones) {
        if (phone.number.right(7).contains(textTail, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
