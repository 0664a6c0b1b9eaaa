#include "meskproviderfactories.h"
#include "mesksmsfactories.h"
#include "meskstartup.h"
#include "meskwebenginebackend.h"

int main(int argc, char* argv[])
{
    // The components the engine builds from the libraries above the core.
    MeskProviders::registerFactories();
    MeskSms::registerFactories();
    CMeskWebEngineBackend::registerFactory();
    return MeskStartup::run(argc, argv);
}
