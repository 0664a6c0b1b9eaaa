#include "mesknetworkbackends.h"

#include "mesklinuxmodembackend.h"
#include "mesklinuxnetworkbackend.h"

#include <QMutex>

namespace {
QMutex s_mutex;
MeskNetworkBackends::Factory s_factory;
} // namespace

void MeskNetworkBackends::setFactory(Factory factory)
{
    QMutexLocker lock(&s_mutex);
    s_factory = std::move(factory);
}

SMeskNetworkBackends MeskNetworkBackends::create()
{
    Factory factory;
    {
        QMutexLocker lock(&s_mutex);
        factory = s_factory;
    }
    SMeskNetworkBackends backends;
    if (factory) {
        backends = factory();
    }
    if (!backends.network) {
        backends.network = std::make_unique<CMeskLinuxNetworkBackend>();
    }
    if (!backends.modem) {
        backends.modem = std::make_unique<CMeskLinuxModemBackend>();
    }
    return backends;
}
