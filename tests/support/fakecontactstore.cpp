#include "fakecontactstore.h"

#include "imesksms.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <memory>
#include <vector>

class FakeContactStore::Item : public IMeskContactItem
{
public:
    Item(FakeContactStore& store, int index) : m_store(store), m_index(index) {}

    bool hasProperty(const QString& nameSpace, const QString& name) override
    {
        if (nameSpace != IMeskContactStore::contactNamespace()) {
            m_store.m_foreignLookups.append(name);
            return false;
        }
        return contact().properties.contains(name);
    }

    bool propertyValue(const QString& nameSpace, const QString& name, QString* value) override
    {
        if (nameSpace != IMeskContactStore::contactNamespace()) {
            m_store.m_foreignLookups.append(name);
            return false;
        }
        const Contact& c = contact();
        if (c.unreadable.contains(name) || !c.properties.contains(name))
            return false;
        *value = c.properties.value(name);
        return true;
    }

private:
    const Contact& contact() const { return m_store.m_contacts.at(m_index); }

    FakeContactStore& m_store;
    int m_index;
};

class FakeContactStore::Collection : public IMeskContactCollection
{
public:
    explicit Collection(FakeContactStore& store) : m_store(store) {}

    int count() override
    {
        ++m_store.m_countCalls;
        return int(m_store.m_contacts.size());
    }

    IMeskContactItem* item(int index) override
    {
        if (index < 0 || index >= m_store.m_contacts.size() || !m_store.m_contacts.at(index).contactInterface)
            return nullptr;
        m_items.push_back(std::make_unique<Item>(m_store, index));
        return m_items.back().get();
    }

private:
    FakeContactStore& m_store;
    std::vector<std::unique_ptr<Item>> m_items;
};

class FakeContactStore::Handle : public IMeskContactStore
{
public:
    explicit Handle(FakeContactStore& store) : m_store(store), m_collection(store) {}

    bool open() override { return m_store.m_fails != Step::Open; }
    bool initialize(const std::atomic_bool& cancel) override
    {
        m_store.m_initializing = true;
        // Waits while held, until the read is cancelled, at most 30 s.
        const QDeadlineTimer deadline(30000);
        bool acquired = false;
        while (!cancel.load() && !deadline.hasExpired() && !(acquired = m_store.m_held.tryAcquire(1, 10))) {
        }
        if (acquired)
            m_store.m_held.release();
        m_store.m_initializing = false;
        if (cancel.load()) {
            m_store.m_cancelled = true;
            return false;
        }
        return m_store.m_fails != Step::Initialize;
    }
    IMeskContactCollection* contacts() override
    {
        return m_store.m_fails == Step::NullCollection ? nullptr : &m_collection;
    }

private:
    FakeContactStore& m_store;
    Collection m_collection;
};

FakeContactStore::FakeContactStore()
{
    m_previous = IMeskContactStore::setFactory([this] { return std::make_unique<Handle>(*this); });
}

FakeContactStore::~FakeContactStore()
{
    setHeld(false);
    IMeskContactStore::setFactory(std::move(m_previous));
}

bool readContactsNow(IMeskContactsReader& reader)
{
    QEventLoop loop;
    bool ready = false;
    const QMetaObject::Connection connection =
        QObject::connect(&reader, &IMeskContactsReader::contactsReady, &loop, [&] {
            ready = true;
            loop.quit();
        });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    if (reader.init() && !ready)
        loop.exec();
    QObject::disconnect(connection);
    return ready;
}
