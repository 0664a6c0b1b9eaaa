#include "effects/fadeeffect.h"

#include "windows/layeredwndsurface.h"

#include <QTimeLine>
#include <QWidget>

namespace {
QTimeLine* ownOrGiven(QTimeLine* given, QObject* owner, int durationMs, int endFrame)
{
    if (given)
        return given;
    auto* timeLine = new QTimeLine(durationMs, owner);
    timeLine->setFrameRange(0, endFrame);
    return timeLine;
}

QTimeLine::Direction directionOf(int direction)
{
    return direction == 1 ? QTimeLine::Backward : QTimeLine::Forward;
}
} // namespace

CFadeEffect::CFadeEffect(QObject* parent, double* opacity, QTimeLine* timeLine)
    : QObject(parent), m_widget(parent && parent->isWidgetType() ? static_cast<QWidget*>(parent) : nullptr),
      m_timeLine(ownOrGiven(timeLine, this, 300, 100)), m_opacity(opacity)
{
    connect(m_timeLine, &QTimeLine::frameChanged, this, &CFadeEffect::onFadeUpdated);
}

void CFadeEffect::fade(int durationMs)
{
    m_timeLine->setDuration(durationMs);
    if (!isBackward()) {
        if (m_opacity)
            *m_opacity = 0.0;
        if (m_widget)
            m_widget->setVisible(true);
    }
    // A running fade keeps its frame.
    if (!isRunning())
        m_timeLine->start();
}

void CFadeEffect::setDirection(int direction)
{
    m_timeLine->setDirection(directionOf(direction));
}

bool CFadeEffect::isRunning() const
{
    return m_timeLine->state() == QTimeLine::Running;
}

bool CFadeEffect::isBackward() const
{
    return m_timeLine->direction() == QTimeLine::Backward;
}

void CFadeEffect::onFadeUpdated(int iProgress)
{
    const int span = m_timeLine->endFrame() - m_timeLine->startFrame();
    // An empty frame range has nothing to interpolate: it is at its end.
    const double value = span != 0 ? double(iProgress) / span : 1.0;
    if (m_opacity)
        *m_opacity = value;
    if (!m_widget)
        return;
    if (isBackward() && iProgress == m_timeLine->startFrame()) {
        m_widget->setVisible(false);
        if (m_opacity)
            *m_opacity = 1.0;
    } else {
        m_widget->repaint();
    }
}

CWindowFadeEffect::CWindowFadeEffect(QWidget* window, QTimeLine* timeLine)
    : QObject(window), m_window(window), m_timeLine(ownOrGiven(timeLine, this, 300, 255)),
      m_surface(CLayeredWndSurface::of(window))
{
    m_timeLine->setFrameRange(0, 255);
    connect(m_timeLine, &QTimeLine::frameChanged, this, &CWindowFadeEffect::onFadeUpdated);
}

void CWindowFadeEffect::fade(int durationMs)
{
    m_timeLine->setDuration(durationMs);
    if (!isBackward() && m_window) {
        if (m_surface)
            m_surface->setAlpha(0, false);
        m_window->repaint();
        m_window->setVisible(true);
    }
    // A running fade keeps its frame.
    if (!isRunning())
        m_timeLine->start();
}

void CWindowFadeEffect::setDirection(int direction)
{
    m_timeLine->setDirection(directionOf(direction));
}

bool CWindowFadeEffect::isRunning() const
{
    return m_timeLine->state() == QTimeLine::Running;
}

bool CWindowFadeEffect::isBackward() const
{
    return m_timeLine->direction() == QTimeLine::Backward;
}

void CWindowFadeEffect::onFadeUpdated(int iProgress)
{
    if (m_surface)
        m_surface->setAlpha(quint8(qBound(0, iProgress, 255)), false);
    if (!m_window)
        return;
    if (isBackward() && iProgress == m_timeLine->startFrame()) {
        m_window->setVisible(false);
        if (m_surface)
            m_surface->setAlpha(255, false);
    } else {
        m_window->repaint();
    }
}
