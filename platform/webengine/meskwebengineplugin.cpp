// The embedded browser as a plugin: the program loads it when a setup wizard first shows a web
// page, so Qt WebEngine stays out of its start-up.
#include "imeskbrowserbackend.h"
#include "meskwebenginebackend.h"

#include <QObject>
#include <QtPlugin>

class CMeskWebEnginePlugin : public QObject, public IMeskBrowserBackendPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IMeskBrowserBackendPlugin_iid)
    Q_INTERFACES(IMeskBrowserBackendPlugin)
public:
    CMeskWebEnginePlugin() { CMeskWebEngineBackend::quietenEngineLog(); }

    IMeskBrowserBackend* createBackend(QWidget* parent) override { return new CMeskWebEngineBackend(parent); }
};

#include "meskwebengineplugin.moc"
