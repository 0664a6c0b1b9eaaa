#include "meskproviderfactories.h"

#include "facebookprovider.h"
#include "flickrprovider.h"
#include "meskprovidermanager.h"
#include "twitterprovider.h"

namespace MeskProviders {

void registerFactories()
{
    CMeskProviderManager::setProviderFactories({
        [](QObject* parent) -> IMediaItemProvider* { return new CTwitterProvider(parent); },
        [](QObject* parent) -> IMediaItemProvider* { return new CFlickrProvider(parent); },
        [](QObject* parent) -> IMediaItemProvider* { return new CFacebookProvider(parent); },
    });
}

} // namespace MeskProviders
