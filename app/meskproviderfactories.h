#pragma once

// Fills the provider factory list with the application's service providers, in
// the order the engine creates them: Twitter, Flickr, Facebook. main() calls it
// before the engine is built.
namespace MeskProviders {
void registerFactories();
}
