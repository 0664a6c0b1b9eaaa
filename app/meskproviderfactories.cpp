#include "meskproviderfactories.h"

#include "flickrprovider.h"
#include "meskprovidermanager.h"

void MeskProviders::registerFactories()
{
    CMeskProviderManager::setProviderFactories({
        [](QObject* parent) -> IMediaItemProvider* { return new CFlickrProvider(parent); },
    });
}
