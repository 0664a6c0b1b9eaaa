#include "mesklinuxcontactstore.h"

namespace {

IMeskContactStore::Factory& factoryRef()
{
    static IMeskContactStore::Factory factory;
    return factory;
}

} // namespace

std::unique_ptr<IMeskContactStore> IMeskContactStore::create()
{
    if (const Factory& factory = factoryRef())
        return factory();
    return std::make_unique<CMeskLinuxContactStore>();
}

IMeskContactStore::Factory IMeskContactStore::setFactory(Factory factory)
{
    Factory previous = std::move(factoryRef());
    factoryRef() = std::move(factory);
    return previous;
}
