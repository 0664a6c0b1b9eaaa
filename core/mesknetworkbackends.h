#pragma once

#include <functional>
#include <memory>

class IMeskNetworkBackend;
class IMeskModemBackend;

// The pair of platform backends the network manager watches.
struct SMeskNetworkBackends
{
    std::unique_ptr<IMeskNetworkBackend> network;
    std::unique_ptr<IMeskModemBackend> modem;
};

// The process-wide source of the network manager's backends: the Linux pair
// (the modem over ModemManager when its bus can be reached) unless a factory was set (tests set one that
// hands out fakes). Backends are created on the thread that asks for them, which is the GUI thread.
namespace MeskNetworkBackends {

using Factory = std::function<SMeskNetworkBackends()>;

// Replaces the factory; an empty function restores the Linux pair.
void setFactory(Factory factory);

// A new pair from the current factory. A factory that leaves a member null
// gets the Linux backend in its place.
SMeskNetworkBackends create();

} // namespace MeskNetworkBackends
