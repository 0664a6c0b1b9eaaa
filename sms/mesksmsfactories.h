#pragma once

// Registers the SMS library's engine and contacts reader as the factories the
// core engine creates them from. The application calls this before it builds
// the engine.
namespace MeskSms {
void registerFactories();
}
