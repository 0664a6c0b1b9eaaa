#pragma once

#include "imesksms.h"

#include <QThread>

#include <atomic>
#include <memory>

class IMeskContactItem;

// The phone contacts reader: reads the contacts of the desktop phone suite's
// store (IMeskContactStore::create), in the store's order, and searches
// them for the SMS dialogs.
//
// Threads: the reader lives on the GUI thread. init() reads the store on a
// worker thread of its own (the store is made, used and released there) and
// hands the list to the GUI thread, which adds the pictures, keeps the list
// and emits contactsReady(). A second init() and the destructor stop a read
// in progress and wait for its thread.
class CMeskContacts : public IMeskContactsReader
{
    Q_OBJECT
public:
    // The owner is not made the Qt parent: whoever creates the reader deletes it.
    explicit CMeskContacts(QObject* owner = nullptr);
    ~CMeskContacts() override;

    // Starts reading the contacts; a missing, failing or empty store gives an
    // empty list. Always true. The list read before stays until the new one is there.
    bool init() override;
    // Whether a read is in progress.
    bool isReading() const;
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
    // Worker thread: the store's contacts without pictures; stops early when cancel is set.
    static QList<SPhoneContact> readStore(const std::atomic_bool& cancel);
    static SPhoneContact readContact(IMeskContactItem& item);
    // GUI thread.
    void handOver(QList<SPhoneContact> contacts);
    void stopReading();

    QList<SPhoneContact> m_contacts;
    std::unique_ptr<QThread> m_thread;
    std::shared_ptr<std::atomic_bool> m_cancel;
    quint64 m_generation = 0;
};
