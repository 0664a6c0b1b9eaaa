#include "mesklogindpowerevents.h"

#include <QDebug>

namespace {

const char* const kService = "org.freedesktop.login1";
const char* const kPath = "/org/freedesktop/login1";
const char* const kInterface = "org.freedesktop.login1.Manager";
const char* const kSignal = "PrepareForSleep";

IMeskPowerEvents::Factory& factoryRef()
{
    static IMeskPowerEvents::Factory factory;
    return factory;
}

} // namespace

std::unique_ptr<IMeskPowerEvents> IMeskPowerEvents::create()
{
    if (const Factory& factory = factoryRef())
        return factory();
    return std::make_unique<CMeskLogindPowerEvents>();
}

IMeskPowerEvents::Factory IMeskPowerEvents::setFactory(Factory factory)
{
    Factory previous = std::move(factoryRef());
    factoryRef() = std::move(factory);
    return previous;
}

CMeskLogindPowerEvents::CMeskLogindPowerEvents(const QDBusConnection& bus, QObject* parent)
    : IMeskPowerEvents(parent), m_bus(bus)
{
    if (!m_bus.isConnected()) {
        qDebug() << "CMeskLogindPowerEvents: no bus connection, resume events are not reported";
        return;
    }
    m_watching = m_bus.connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
                               QLatin1String(kSignal), this, SLOT(_onPrepareForSleep(bool)));
    if (!m_watching)
        qDebug()
            << "CMeskLogindPowerEvents: cannot listen for PrepareForSleep, resume events are not reported";
}

CMeskLogindPowerEvents::~CMeskLogindPowerEvents()
{
    if (m_watching) {
        m_bus.disconnect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
                         QLatin1String(kSignal), this, SLOT(_onPrepareForSleep(bool)));
    }
}

void CMeskLogindPowerEvents::_onPrepareForSleep(bool start)
{
    if (!start)
        emit resumed();
}
