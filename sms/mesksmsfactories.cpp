#include "mesksmsfactories.h"

#include "meskcontacts.h"
#include "mesksmsengine.h"

namespace MeskSms {

void registerFactories()
{
    MeskSmsFactories::setSmsEngineFactory([](QObject* parent) { return new CMeskSmsEngine(parent); });
    MeskSmsFactories::setContactsReaderFactory([] { return new CMeskContacts; });
}

} // namespace MeskSms
