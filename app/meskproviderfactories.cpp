#include "meskproviderfactories.h"

#include "meskprovidermanager.h"
#include "twitterprovider.h"

namespace MeskProviders {

void registerFactories()
{
    CMeskProviderManager::setProviderFactories({
        [](QObject* parent) -> IMediaItemProvider* { return new CTwitterProvider(parent); },
    });
}

} // namespace MeskProviders
