#include "meskplugins.h"
#include "meskproviderfactories.h"
#include "mesksmsfactories.h"
#include "meskstartup.h"

int main(int argc, char* argv[])
{
    // The components the engine builds from the libraries above the core.
    MeskProviders::registerFactories();
    MeskSms::registerFactories();
    // The web engine and the video player come as plugins, loaded on first use.
    MeskPlugins::registerFactories();
    return MeskStartup::run(argc, argv);
}
