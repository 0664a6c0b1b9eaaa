#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

// One item of the contacts store that has the contact interface.
class IMeskContactItem
{
public:
    virtual ~IMeskContactItem() = default;
    // Whether the item has the property (namespace text and name).
    virtual bool hasProperty(const QString& nameSpace, const QString& name) = 0;
    // The property's value as text; false when it cannot be read.
    virtual bool propertyValue(const QString& nameSpace, const QString& name, QString* value) = 0;
};

// The store's items of one type.
class IMeskContactCollection
{
public:
    virtual ~IMeskContactCollection() = default;
    virtual int count() = 0;
    // The item at index as a contact; null when it has no contact interface.
    // The collection owns it.
    virtual IMeskContactItem* item(int index) = 0;
};

// The desktop phone suite's data store, read for contacts. Every call is made
// on the thread that created the store.
class IMeskContactStore
{
public:
    using Factory = std::function<std::unique_ptr<IMeskContactStore>()>;

    // The namespace of the contact schema's property names.
    static QString contactNamespace() { return QStringLiteral("urn:velto:quor:schema:contact"); }

    virtual ~IMeskContactStore() = default;

    // Opens the store; false when no store is installed.
    virtual bool open() = 0;
    // Initialises the opened store; true only on plain success. Returns soon
    // after cancel is set (from another thread), false then.
    virtual bool initialize(const std::atomic_bool& cancel) = 0;
    // The items of the type "Contact"; null when the store gives no
    // collection. The store owns it.
    virtual IMeskContactCollection* contacts() = 0;

    // A store from the process-wide factory (the platform's own store unless a
    // factory was installed); null when none can be made.
    static std::unique_ptr<IMeskContactStore> create();
    // Replaces the factory; an empty function restores the platform's own
    // store. Returns the factory that was installed before.
    static Factory setFactory(Factory factory);
};
