#include "mesknetworkbackends.h"

#include "mesklinuxmodembackend.h"
#include "mesklinuxnetworkbackend.h"
#include "meskmodemmanagerbackend.h"

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
        // ModemManager whenever its bus is there, running or not: the layer
        // follows the service coming and going. Without a bus, no device.
        const QDBusConnection bus = MeskModemManager::bus();
        if (bus.isConnected())
            backends.modem = std::make_unique<CMeskModemManagerBackend>(bus);
        else
            backends.modem = std::make_unique<CMeskLinuxModemBackend>();
    }
    return backends;
}
