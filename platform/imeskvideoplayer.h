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
    enum Kind { Media, Flash };
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

    // A player of the kind, owned by parent, through the installed factory or else the
    // platform's own one; null when there is none of that kind.
    static IMeskVideoPlayer* create(Kind kind, QWidget* parent);
    // Replaces the factory; an empty function restores the platform's own one. Returns the
    // factory that was installed before.
    static Factory setFactory(Factory factory);

signals:
    // The source cannot be played; emitted at most once per load().
    void failed();
};
