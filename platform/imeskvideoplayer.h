#pragma once

#include <QObject>
#include <QUrl>

#include <functional>

class QWidget;

// A video player shown inside a widget: it plays a web address or a local file and reports a
// source it cannot play. Players are made through the process-wide factory (create); the one
// made for a parent widget is owned by it, and its widget() is a child widget of that parent.
class IMeskVideoPlayer : public QObject
{
    Q_OBJECT
public:
    // What the player is for: addresses and local files, or Flash movies.
    enum Kind
    {
        Media,
        Flash
    };
    using Factory = std::function<IMeskVideoPlayer*(Kind kind, QWidget* parent)>;

    explicit IMeskVideoPlayer(QObject* parent = nullptr) : QObject(parent) {}
    ~IMeskVideoPlayer() override = default;

    // The widget the picture is drawn in.
    virtual QWidget* widget() const = 0;
    // Takes the source and starts playing it.
    virtual void load(const QUrl& source) = 0;
    // Ends playback and forgets the source.
    virtual void unload() = 0;
    // False when the player cannot play anything on this machine.
    virtual bool isAvailable() const = 0;

    // A player of the kind, owned by parent, through the installed factory; null when there is
    // none of that kind or no factory (the program installs one that loads the multimedia
    // plugin, see meskplugins.h).
    static IMeskVideoPlayer* create(Kind kind, QWidget* parent);
    // Replaces the factory (an empty function removes it). Returns the factory that was
    // installed before.
    static Factory setFactory(Factory factory);

signals:
    // The source cannot be played; emitted at most once per load().
    void failed();
};

// What a video plugin (a module loaded at run time, see meskplugins.h) offers: players made for
// a parent widget, null for a kind it cannot play.
class IMeskVideoPlayerPlugin
{
public:
    virtual ~IMeskVideoPlayerPlugin() = default;
    virtual IMeskVideoPlayer* createPlayer(IMeskVideoPlayer::Kind kind, QWidget* parent) = 0;
};

#define IMeskVideoPlayerPlugin_iid "com.velto.Lumesk.IMeskVideoPlayerPlugin/1.0"
Q_DECLARE_INTERFACE(IMeskVideoPlayerPlugin, IMeskVideoPlayerPlugin_iid)
