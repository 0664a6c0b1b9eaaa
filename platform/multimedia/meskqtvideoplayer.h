#pragma once

#include "imeskvideoplayer.h"

#include <QPointer>
#include <QVideoWidget>

class QMediaPlayer;

// The Linux video player: QMediaPlayer drawing into a QVideoWidget, with sound through the
// default audio device (none: the video plays silently).
//
// The multimedia backend may report one bad source several times, and after an error a stop()
// or setSource() on that QMediaPlayer blocks for a second. So the first error releases the
// failing QMediaPlayer at once (deleteLater) and emits failed(); the next load() makes a new one
// on the same video widget.
class CMeskQtVideoPlayer : public IMeskVideoPlayer
{
    Q_OBJECT
public:
    explicit CMeskQtVideoPlayer(QWidget* parent);
    ~CMeskQtVideoPlayer() override;

    QWidget* widget() const override;
    void load(const QUrl& source) override;
    void unload() override;
    bool isAvailable() const override { return m_available; }

    // The playing QMediaPlayer; null after a failure until the next load().
    QMediaPlayer* mediaPlayer() const { return m_player; }
    QVideoWidget* videoWidget() const { return m_widget; }

    // Whether the multimedia backend can decode anything at all; without its plugins making a
    // QMediaPlayer would crash.
    static bool backendUsable();
    // A player of the kind for the parent: null for Flash, and when the backend is not usable.
    static IMeskVideoPlayer* make(Kind kind, QWidget* parent);
    // Installs make() as the factory of IMeskVideoPlayer::create (the program loads it as a
    // plugin instead, see meskplugins.h).
    static void registerFactory();

private:
    void makePlayer();
    void onError();

    QPointer<QVideoWidget> m_widget;
    QMediaPlayer* m_player = nullptr;
    bool m_available = false;
};
