#include "meskcontacts.h"

#include <QDebug>

CMeskContacts::CMeskContacts(QObject* owner) : IMeskContactsReader(nullptr)
{
    Q_UNUSED(owner);
}

CMeskContacts::~CMeskContacts() = default;

bool CMeskContacts::init()
{
    m_contacts.clear();
    return true;
}

QList<SPhoneContact> CMeskContacts::findContacts(const QString& text) const
{
    qDebug().noquote() << QStringLiteral("CMeskContacts::findContacts ") + text;
    QList<SPhoneContact> found;
    for (const SPhoneContact& contact : m_contacts) {
        qDebug().noquote() << QStringLiteral("CMeskContacts: ") + contact.givenName + QLatin1Char(' ') +
                                  contact.lastName;
        if (matches(contact, text))
            found.append(contact);
    }
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
