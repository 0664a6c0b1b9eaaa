#pragma once

// Fills the provider factory list with every service provider of the application,
// in the order the engine creates them: the order of the list in
// meskproviderfactories.cpp. main() calls it before the engine is built.
namespace MeskProviders {
void registerFactories();
}
