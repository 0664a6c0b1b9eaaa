#include "effects/pixmapbouncer.h"

#include <QTimeLine>

#include <cmath>

CPixmapBouncer::CPixmapBouncer(QObject* parent, QTimeLine* timeLine) : QObject(parent), m_timeLine(timeLine)
{
    if (!m_timeLine) {
        m_timeLine = new QTimeLine(5000, this);
        m_timeLine->setFrameRange(0, 100);
    }
    connect(m_timeLine, &QTimeLine::frameChanged, this, &CPixmapBouncer::onUpdatePixmap);
}

void CPixmapBouncer::setPixmap(const QPixmap& pixmap)
{
    m_sourceImage = pixmap.toImage();
}

QPixmap CPixmapBouncer::pixmap() const
{
    return QPixmap::fromImage(m_sourceImage);
}

QPixmap CPixmapBouncer::currentPixmap() const
{
    return QPixmap::fromImage(m_currentImage);
}

void CPixmapBouncer::bounce(int durationMs)
{
    m_timeLine->setDuration(durationMs);
    m_timeLine->setFrameRange(0, 200);
    if (m_timeLine->state() != QTimeLine::Running)
        m_timeLine->start();
}

void CPixmapBouncer::setStartScale(double scale)
{
    m_startScaleComplement = 1.0 - scale;
}

double CPixmapBouncer::startScale() const
{
    return 1.0 - m_startScaleComplement;
}

void CPixmapBouncer::setPeakScale(double scale)
{
    m_peakScaleExcess = scale - 1.0;
}

double CPixmapBouncer::peakScale() const
{
    return m_peakScaleExcess + 1.0;
}

bool CPixmapBouncer::isRunning() const
{
    return m_timeLine->state() == QTimeLine::Running;
}

void CPixmapBouncer::setDirection(int direction)
{
    m_timeLine->setDirection(direction == 0 ? QTimeLine::Forward : QTimeLine::Backward);
}

double CPixmapBouncer::scaleAt(double t, double a, double b)
{
    if (t < 0.5)
        return a + (b - a) * t / 0.5;
    if (t < 0.8)
        return b;
    // Falls linearly from the peak at 0.8 to exactly 1 at the end.
    const double k = -(b - 1.0) / (1.0 - 0.8);
    return k * t + 1.0 - k;
}

void CPixmapBouncer::onUpdatePixmap(int progress)
{
    const int span = m_timeLine->endFrame() - m_timeLine->startFrame();
    const double t = span != 0 ? double(progress) / span : 1.0;
    const double scale = scaleAt(t, startScale(), peakScale());
    const auto rounded = [](double v) { return int(std::floor(v + 0.5)); };
    const int width = qMax(0, rounded(m_sourceImage.width() * scale));
    const int height = qMax(0, rounded(m_sourceImage.height() * scale));
    m_currentImage = m_sourceImage.isNull()
                         ? QImage()
                         : m_sourceImage.scaled(width, height, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    emit pixmapUpdated();
}
