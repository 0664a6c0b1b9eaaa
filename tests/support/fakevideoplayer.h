#pragma once

#include "imeskvideoplayer.h"

#include <QList>
#include <QPointer>
#include <QUrl>

class QWidget;

// A video player that records what it is told. Its widget is a plain child of the parent.
class FakeVideoPlayer : public IMeskVideoPlayer
{
    Q_OBJECT
public:
    FakeVideoPlayer(Kind kind, QWidget* parent, bool available = true);
    ~FakeVideoPlayer() override;

    QWidget* widget() const override;
    void load(const QUrl& source) override { loads.append(source); }
    void unload() override { ++unloadCount; }
    bool isAvailable() const override { return available; }

    // Reports the source as unplayable.
    void fail() { emit failed(); }
    // How many connections failed() has.
    int failedReceivers() const;

    Kind kind;
    bool available;
    QList<QUrl> loads;
    int unloadCount = 0;

private:
    QPointer<QWidget> m_widget;
};

// While it lives, IMeskVideoPlayer::create makes FakeVideoPlayers: of kind Media when
// giveMedia is set, of kind Flash when giveFlash is set (null otherwise), available as
// `available` says. players lists every one made; requests counts the asks per kind.
class FakeVideoPlayerScope
{
public:
    FakeVideoPlayerScope();
    ~FakeVideoPlayerScope();
    FakeVideoPlayerScope(const FakeVideoPlayerScope&) = delete;
    FakeVideoPlayerScope& operator=(const FakeVideoPlayerScope&) = delete;

    // The last live player of a kind, or null.
    FakeVideoPlayer* last(IMeskVideoPlayer::Kind kind) const;

    bool giveMedia = true;
    bool giveFlash = false;
    bool available = true;
    QList<QPointer<FakeVideoPlayer>> players;
    int requests[2] = {0, 0};

private:
    IMeskVideoPlayer::Factory m_previous;
};
