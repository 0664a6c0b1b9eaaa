#include "widgets/quoranimationwidget.h"

#include "style/quorpainting.h"

#include "style/quorstyleoptions.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>

CQuorAnimationWidget::CQuorAnimationWidget(QWidget* parent, const QList<QPixmap>& frames)
    : QWidget(parent), m_frames(frames)
{
    m_timer.setInterval(1000 / m_frameRate);
    connect(&m_timer, &QTimer::timeout, this, &CQuorAnimationWidget::onFrameChange);
    if (m_frames.isEmpty())
        loadStyleFrames();
}

CQuorAnimationWidget::~CQuorAnimationWidget()
{
    disconnect(&m_timer, &QTimer::timeout, this, &CQuorAnimationWidget::onFrameChange);
}

void CQuorAnimationWidget::loadStyleFrames()
{
    // The style's wait animation: its frame count, then each frame by index.
    const int count =
        style()->pixelMetric(static_cast<QStyle::PixelMetric>(QStyle::PM_CustomBase + 2), nullptr, this);
    CQuorStyleOptionAnimationFrame option;
    option.initFrom(this);
    for (int index = 0; index < count; ++index) {
        option.frame = index;
        m_frames.append(style()->standardPixmap(
            static_cast<QStyle::StandardPixmap>(QStyle::SP_CustomBase + 2), &option, this));
    }
}

bool CQuorAnimationWidget::isRunning() const
{
    return m_timer.isActive();
}

void CQuorAnimationWidget::setFrameRate(int fps)
{
    // The interval is 1000 / fps milliseconds: no rate below one frame a second.
    if (fps < 1)
        return;
    m_frameRate = fps;
    m_timer.setInterval(1000 / fps);
}

void CQuorAnimationWidget::addFrame(const QPixmap& frame)
{
    m_frames.append(frame);
}

void CQuorAnimationWidget::clearFrames()
{
    stop();
    m_currentFrame = 0;
    m_frames.clear();
}

void CQuorAnimationWidget::start()
{
    if (!m_frames.isEmpty())
        m_timer.start(1000 / m_frameRate);
}

void CQuorAnimationWidget::stop()
{
    m_timer.stop();
}

void CQuorAnimationWidget::onFrameChange()
{
    if (m_frames.isEmpty())
        return;
    if (m_currentFrame >= frameCount() - 1) {
        emit loopCompleted();
        m_currentFrame = 0;
    } else {
        ++m_currentFrame;
    }
    repaint();
}

QSize CQuorAnimationWidget::sizeHint() const
{
    QSize size(0, 0);
    for (const QPixmap& frame : m_frames)
        size = size.expandedTo(logicalSize(frame));
    return size;
}

QSize CQuorAnimationWidget::minimumSizeHint() const
{
    return sizeHint();
}

bool CQuorAnimationWidget::event(QEvent* event)
{
    if (event->type() == QEvent::StyleChange && m_frames.isEmpty())
        loadStyleFrames();
    return QWidget::event(event);
}

void CQuorAnimationWidget::paintEvent(QPaintEvent* event)
{
    if (m_frames.isEmpty())
        return;
    const QPixmap& frame = m_frames.at(qBound(0, m_currentFrame, frameCount() - 1));
    QPainter painter(this);
    painter.drawPixmap(rect(), frame, frame.rect());
    event->accept();
}
