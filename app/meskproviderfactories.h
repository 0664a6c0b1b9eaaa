#pragma once

// The service providers the application registers with the provider manager.
namespace MeskProviders {

// Fills the provider factory list (Twitter, Flickr, Facebook: by ascending provider id, as far
// as they are built). Call before the engine's init.
void registerFactories();

} // namespace MeskProviders
