#pragma once

#include "imeskcontactstore.h"

#include <QList>
#include <QMap>
#include <QSemaphore>
#include <QSet>
#include <QString>

#include <atomic>

// A contacts store that tests fill and break. While it lives it is what
// IMeskContactStore::create() hands out (each time a handle to this one
// fake), so a reader's init() reads it:
//
//   FakeContactStore store;
//   store.setContacts({FakeContactStore::contact({{"GivenName", "Ann"}, {"HomePhone", "123"}})});
//   store.setFails(FakeContactStore::Step::Initialize);
//   reader.init();
//   store.countCalls();
//
// Properties are looked up in the contact namespace only.
class FakeContactStore
{
public:
    enum class Step
    {
        None,
        Open,           // open() false
        Initialize,     // initialize() not plain success
        NullCollection, // contacts() null
    };

    struct Contact
    {
        QMap<QString, QString> properties;
        bool contactInterface = true; // false: the item is not a contact
        QSet<QString> unreadable;     // present, but reading the value fails
    };

    static Contact contact(const QMap<QString, QString>& properties) { return Contact{properties, true, {}}; }

    FakeContactStore();
    ~FakeContactStore();
    FakeContactStore(const FakeContactStore&) = delete;
    FakeContactStore& operator=(const FakeContactStore&) = delete;

    void setContacts(const QList<Contact>& contacts) { m_contacts = contacts; }
    void setFails(Step step) { m_fails = step; }
    // While held, initialize() (on the reader's thread) waits until the hold is lifted, the
    // read is cancelled or 30 s have passed.
    void setHeld(bool held)
    {
        if (held && !m_isHeld)
            m_held.acquire();
        else if (!held && m_isHeld)
            m_held.release();
        m_isHeld = held;
    }
    // Whether initialize() is running (it waits while held).
    bool isInitializing() const { return m_initializing; }
    // Whether an initialize() ended because its read was cancelled.
    bool wasCancelled() const { return m_cancelled; }
    // How often the collection's count was asked.
    int countCalls() const { return m_countCalls; }
    // The properties asked for with another namespace than the contact one.
    QStringList foreignLookups() const { return m_foreignLookups; }

private:
    QSemaphore m_held{1};
    bool m_isHeld = false;
    class Handle;
    class Collection;
    class Item;
    friend class Handle;
    friend class Collection;
    friend class Item;

    QList<Contact> m_contacts;
    Step m_fails = Step::None;
    std::atomic_bool m_initializing = false;
    std::atomic_bool m_cancelled = false;
    int m_countCalls = 0;
    QStringList m_foreignLookups;
    IMeskContactStore::Factory m_previous;
};

class IMeskContactsReader;

// Runs reader.init() and waits (at most 30 s, running the event loop) for its contactsReady();
// false when it does not come.
bool readContactsNow(IMeskContactsReader& reader);
