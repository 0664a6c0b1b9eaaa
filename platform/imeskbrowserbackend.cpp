#include "imeskbrowserbackend.h"

namespace {

IMeskBrowserBackend::Factory& factoryRef()
{
    static IMeskBrowserBackend::Factory factory;
    return factory;
}

} // namespace

IMeskBrowserBackend* IMeskBrowserBackend::create(QWidget* parent)
{
    if (const Factory& factory = factoryRef())
        return factory(parent);
    return nullptr;
}

IMeskBrowserBackend::Factory IMeskBrowserBackend::setFactory(Factory factory)
{
    Factory previous = std::move(factoryRef());
    factoryRef() = std::move(factory);
    return previous;
}
