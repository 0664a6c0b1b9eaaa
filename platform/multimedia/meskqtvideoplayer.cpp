#include "meskqtvideoplayer.h"

#include <QAudioOutput>
#include <QMediaFormat>
#include <QMediaPlayer>
#include <QVideoWidget>

IMeskVideoPlayer* CMeskQtVideoPlayer::make(Kind kind, QWidget* parent)
{
    // There is no Flash player on Linux.
    if (kind != Media || !backendUsable())
        return nullptr;
    return new CMeskQtVideoPlayer(parent);
}

void CMeskQtVideoPlayer::registerFactory()
{
    IMeskVideoPlayer::setFactory(&CMeskQtVideoPlayer::make);
}

bool CMeskQtVideoPlayer::backendUsable()
{
    static const bool usable = !QMediaFormat().supportedFileFormats(QMediaFormat::Decode).isEmpty();
    return usable;
}

CMeskQtVideoPlayer::CMeskQtVideoPlayer(QWidget* parent)
    : IMeskVideoPlayer(parent), m_widget(new QVideoWidget(parent))
{
    makePlayer();
    m_available = m_player->isAvailable();
}

CMeskQtVideoPlayer::~CMeskQtVideoPlayer()
{
    // The player goes before the widget it draws into.
    delete m_player;
    delete m_widget.data();
}

QWidget* CMeskQtVideoPlayer::widget() const
{
    return m_widget;
}

void CMeskQtVideoPlayer::makePlayer()
{
    m_player = new QMediaPlayer(this);
    // Each player has its own sound output: handing one over would call into a failed player.
    m_player->setAudioOutput(new QAudioOutput(m_player));
    if (m_widget)
        m_player->setVideoOutput(m_widget.data());
    connect(m_player, &QMediaPlayer::errorOccurred, this, &CMeskQtVideoPlayer::onError);
}

void CMeskQtVideoPlayer::load(const QUrl& source)
{
    if (!m_player)
        makePlayer();
    m_player->setSource(source);
    m_player->play();
}

void CMeskQtVideoPlayer::unload()
{
    if (!m_player)
        return;
    m_player->stop();
    m_player->setSource(QUrl());
}

void CMeskQtVideoPlayer::onError()
{
    QMediaPlayer* failing = m_player;
    if (!failing || sender() != failing)
        return;
    // Later reports of the same source are not delivered, and the failing player is never
    // stopped (that would block the GUI thread).
    disconnect(failing, nullptr, this, nullptr);
    m_player = nullptr;
    failing->deleteLater();
    emit failed();
}
