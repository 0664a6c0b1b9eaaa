#include "imesksms.h"

namespace {
MeskSmsFactories::SmsEngineFactory& smsEngineFactory()
{
    static MeskSmsFactories::SmsEngineFactory factory;
    return factory;
}

MeskSmsFactories::ContactsReaderFactory& contactsReaderFactory()
{
    static MeskSmsFactories::ContactsReaderFactory factory;
    return factory;
}
} // namespace

namespace MeskSmsFactories {

void setSmsEngineFactory(SmsEngineFactory factory)
{
    smsEngineFactory() = std::move(factory);
}

void setContactsReaderFactory(ContactsReaderFactory factory)
{
    contactsReaderFactory() = std::move(factory);
}

IMeskSmsEngine* createSmsEngine(QObject* parent)
{
    const SmsEngineFactory& create = smsEngineFactory();
    return create ? create(parent) : nullptr;
}

IMeskContactsReader* createContactsReader()
{
    const ContactsReaderFactory& create = contactsReaderFactory();
    return create ? create() : nullptr;
}

} // namespace MeskSmsFactories
