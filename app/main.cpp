#include "meskproviderfactories.h"
#include "mesksmsfactories.h"
#include "meskstartup.h"

int main(int argc, char* argv[])
{
    // The components the engine builds from the libraries above the core.
    MeskProviders::registerFactories();
    MeskSms::registerFactories();
    return MeskStartup::run(argc, argv);
}
