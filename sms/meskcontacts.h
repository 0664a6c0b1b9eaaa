#pragma once

#include "imesksms.h"

class IMeskContactItem;

// The phone contacts reader: reads the contacts of the desktop phone suite's
// store (IMeskContactStore::create) once, in the store's order, and searches
// them for the SMS dialogs.
class CMeskContacts : public IMeskContactsReader
{
    Q_OBJECT
public:
    // The owner is not made the Qt parent: whoever creates the reader deletes it.
    explicit CMeskContacts(QObject* owner = nullptr);
    ~CMeskContacts() override;

    // Reads the contacts; a missing, failing or empty store leaves the list
    // empty. Always true.
    bool init() override;
    QList<SPhoneContact> contacts() const override { return m_contacts; }
    QList<SPhoneContact> findContacts(const QString& text) const override;

    // Whether the contact matches a search text: a name field or the company
    // contains it, or the last 7 characters of a number contain the last 7 of
    // the text; case is ignored. An empty text matches every contact.
    static bool matches(const SPhoneContact& contact, const QString& text);

    // The picture every contact gets.
    static QString defaultPicturePath();
    // The phone properties read, in order; each present one adds a number.
    static const QStringList& phoneProperties();

private:
    static SPhoneContact readContact(IMeskContactItem& item, const QPixmap& picture);

    QList<SPhoneContact> m_contacts;
};
