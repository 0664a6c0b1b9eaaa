// The video player as a plugin: the program loads it at the first video it plays, so Qt
// Multimedia (and the sound system it opens) stays out of its start-up.
#include "imeskvideoplayer.h"
#include "meskqtvideoplayer.h"

#include <QObject>
#include <QtPlugin>

class CMeskVideoPlugin : public QObject, public IMeskVideoPlayerPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IMeskVideoPlayerPlugin_iid)
    Q_INTERFACES(IMeskVideoPlayerPlugin)
public:
    IMeskVideoPlayer* createPlayer(IMeskVideoPlayer::Kind kind, QWidget* parent) override
    {
        return CMeskQtVideoPlayer::make(kind, parent);
    }
};

#include "meskvideoplugin.moc"
