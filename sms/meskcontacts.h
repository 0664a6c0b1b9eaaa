#pragma once

#include "imesksms.h"

// The phone contacts reader. No contacts store exists on this platform yet, so
// the list stays empty; the search rules already hold for whatever it holds.
class CMeskContacts : public IMeskContactsReader
{
    Q_OBJECT
public:
    // The owner is not made the Qt parent: whoever creates the reader deletes it.
    explicit CMeskContacts(QObject* owner = nullptr);
    ~CMeskContacts() override;

    bool init() override;
    QList<SPhoneContact> contacts() const override { return m_contacts; }
    QList<SPhoneContact> findContacts(const QString& text) const override;

    // Whether the contact matches a search text: a name field or the company
    // contains it, or the last 7 characters of a number contain the last 7 of
    // the text; case is ignored. An empty text matches every contact.
    static bool matches(const SPhoneContact& contact, const QString& text);

private:
    QList<SPhoneContact> m_contacts;
};
