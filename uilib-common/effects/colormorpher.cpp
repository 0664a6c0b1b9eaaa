#include "effects/colormorpher.h"

#include <QTimeLine>

CColorMorpher::CColorMorpher(QObject* parent, QTimeLine* timeLine) : QObject(parent), m_timeLine(timeLine)
{
    if (!m_timeLine) {
        m_timeLine = new QTimeLine(500, this);
        m_timeLine->setFrameRange(0, 100);
    }
    connect(m_timeLine, &QTimeLine::frameChanged, this, &CColorMorpher::updateColor);
}

void CColorMorpher::setColors(const QColor& from, const QColor& to)
{
    setFrom(from);
    setTo(to);
}

void CColorMorpher::setFrom(const QColor& from)
{
    m_fromColor = from;
    computeSteps();
}

void CColorMorpher::setTo(const QColor& to)
{
    m_toColor = to;
    computeSteps();
}

void CColorMorpher::computeSteps()
{
    const int frames = m_timeLine->endFrame() - m_timeLine->startFrame();
    m_hasSteps = frames != 0;
    m_frames = frames;
    const int from[4] = {m_fromColor.red(), m_fromColor.green(), m_fromColor.blue(), m_fromColor.alpha()};
    const int to[4] = {m_toColor.red(), m_toColor.green(), m_toColor.blue(), m_toColor.alpha()};
    for (int i = 0; i < 4; ++i)
        m_steps[i] = m_hasSteps ? double(from[i] - to[i]) / frames : 0.0;
}

QColor CColorMorpher::currentColor() const
{
    // With no frames between the ends the morph is complete at once.
    if (!m_hasSteps)
        return m_toColor;
    // Truncating every step would end one short of the target; the last frame is the target.
    if (m_frame == m_frames)
        return m_toColor;
    const int from[4] = {m_fromColor.red(), m_fromColor.green(), m_fromColor.blue(), m_fromColor.alpha()};
    int value[4];
    for (int i = 0; i < 4; ++i) {
        // Truncated toward zero; frames outside the range stay within valid components.
        const double change = m_frame * m_steps[i];
        value[i] = qBound(0, from[i] - int(qBound(-1024.0, change, 1024.0)), 255);
    }
    return QColor(value[0], value[1], value[2], value[3]);
}

void CColorMorpher::updateColor(int progress)
{
    m_frame = progress;
    emit colorUpdated();
}
