#include "fakevideoplayer.h"

#include <QWidget>

FakeVideoPlayer::FakeVideoPlayer(Kind playerKind, QWidget* parent, bool isAvailable)
    : IMeskVideoPlayer(parent), kind(playerKind), available(isAvailable), m_widget(new QWidget(parent))
{
}

FakeVideoPlayer::~FakeVideoPlayer()
{
    delete m_widget.data();
}

QWidget* FakeVideoPlayer::widget() const
{
    return m_widget;
}

int FakeVideoPlayer::failedReceivers() const
{
    return receivers(SIGNAL(failed()));
}

FakeVideoPlayerScope::FakeVideoPlayerScope()
    : m_previous(IMeskVideoPlayer::setFactory([this](IMeskVideoPlayer::Kind kind, QWidget* parent) {
          ++requests[kind];
          if ((kind == IMeskVideoPlayer::Media && !giveMedia) ||
              (kind == IMeskVideoPlayer::Flash && !giveFlash))
              return static_cast<IMeskVideoPlayer*>(nullptr);
          auto* player = new FakeVideoPlayer(kind, parent, available);
          players.append(player);
          return static_cast<IMeskVideoPlayer*>(player);
      }))
{
}

FakeVideoPlayerScope::~FakeVideoPlayerScope()
{
    IMeskVideoPlayer::setFactory(std::move(m_previous));
}

FakeVideoPlayer* FakeVideoPlayerScope::last(IMeskVideoPlayer::Kind kind) const
{
    for (auto it = players.crbegin(); it != players.crend(); ++it) {
        if (*it && (*it)->kind == kind)
            return *it;
    }
    return nullptr;
}
