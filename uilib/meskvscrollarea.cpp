#include "meskvscrollarea.h"

#include "meskuistyle.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QWheelEvent>

#include <limits>

namespace {

// One notch of a classic mouse wheel, in eighths of a degree.
constexpr int kWheelNotch = 120;

int productMetric(const QWidget* widget, unsigned int id)
{
    return widget->style()->pixelMetric(QStyle::PixelMetric(id), nullptr, widget);
}

} // namespace

// ---- CMeskVScrollArea ----

CMeskVScrollArea::CMeskVScrollArea(QWidget* parent) : QWidget(parent), m_bar(new CMeskVScrollBar(this))
{
    setFocusPolicy(Qt::StrongFocus);
    m_bar->setFixedHeight(height());
    m_bar->hide();
}

CMeskVScrollArea::~CMeskVScrollArea() = default;

void CMeskVScrollArea::setWidget(QWidget* widget)
{
    if (widget == m_content)
        return;
    m_bar->setTarget(nullptr);
    m_bar->hide();
    m_wheelRemainder = 0;
    m_widthFixed = false;
    delete m_content;
    m_content = widget;
    if (!widget)
        return;
    widget->setParent(this);
    widget->move(0, 0);
    if (!widget->testAttribute(Qt::WA_Resized))
        widget->resize(widget->sizeHint().expandedTo(QSize(0, 0)));
    m_contentMinWidth = widget->minimumWidth();
    m_contentMaxWidth = widget->maximumWidth();
    widget->installEventFilter(this);
    layoutContent();
    widget->show();
    m_bar->raise();
}

void CMeskVScrollArea::setReserveScrollBarWidth(bool reserve)
{
    m_reserve = reserve;
}

QSize CMeskVScrollArea::sizeHint() const
{
    if (m_content && m_content->sizeHint().height() <= height())
        return m_content->sizeHint();
    return QWidget::sizeHint();
}

void CMeskVScrollArea::fixContentWidth(int width)
{
    if (!m_widthFixed) {
        m_contentMinWidth = m_content->minimumWidth();
        m_contentMaxWidth = m_content->maximumWidth();
        m_widthFixed = true;
    }
    m_content->setFixedWidth(qMax(0, width));
}

void CMeskVScrollArea::releaseContentWidth()
{
    if (!m_widthFixed)
        return;
    m_widthFixed = false;
    m_content->setMinimumWidth(m_contentMinWidth);
    m_content->setMaximumWidth(m_contentMaxWidth);
}

void CMeskVScrollArea::layoutContent()
{
    if (!m_content)
        return;
    // The content is measured only at the width it ends up with and resized once. Its size hint
    // would measure word-wrapped texts at one more width (and leave the height of that width), and
    // every resize of a laid-out content lays it out again.
    const int barWidth = m_bar->width();
    const int narrow = qMax(0, width() - barWidth);
    const int full = m_reserve ? narrow : width();
    const bool forWidth = m_content->hasHeightForWidth();
    const int leastHeight =
        qMax(0, forWidth ? m_content->minimumSizeHint().height()
                         : m_content->sizeHint().expandedTo(m_content->minimumSizeHint()).height());
    const auto heightAt = [this, forWidth, leastHeight](int contentWidth) {
        return forWidth ? qMax(leastHeight, m_content->heightForWidth(contentWidth)) : leastHeight;
    };
    if (heightAt(full) > height()) {
        fixContentWidth(narrow);
        m_content->resize(narrow, heightAt(narrow));
        m_bar->setFixedHeight(height());
        m_bar->move(width() - barWidth, 0);
    } else {
        if (m_reserve)
            fixContentWidth(narrow);
        else
            releaseContentWidth();
        m_content->resize(this->size());
        m_bar->hide();
        m_bar->setTarget(nullptr);
        m_wheelRemainder = 0;
        m_content->move(0, 0);
    }
    // A hidden content gets its resize event only when shown; settle the bar now.
    contentResized();
}

void CMeskVScrollArea::contentResized()
{
    if (!m_content)
        return;
    if (m_content->height() > height()) {
        if (m_bar->isHidden()) {
            const int barWidth = m_bar->width();
            m_bar->setTarget(m_content);
            m_bar->show();
            m_bar->setFixedHeight(height());
            fixContentWidth(width() - barWidth);
            m_bar->move(width() - barWidth, 0);
        }
        m_bar->recompute();
    } else if (!m_bar->isHidden()) {
        m_bar->hide();
        m_bar->setTarget(nullptr);
        m_wheelRemainder = 0;
        m_content->move(0, 0);
    }
}

bool CMeskVScrollArea::eventFilter(QObject* watched, QEvent* event)
{
    if (m_content && watched == m_content) {
        if (event->type() == QEvent::Resize)
            contentResized();
        else if (event->type() == QEvent::LayoutRequest)
            layoutContent();
    }
    return QWidget::eventFilter(watched, event);
}

bool CMeskVScrollArea::event(QEvent* event)
{
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::LayoutRequest)
        layoutContent();
    return QWidget::event(event);
}

void CMeskVScrollArea::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutContent();
}

void CMeskVScrollArea::keyPressEvent(QKeyEvent* event)
{
    if (m_content && m_bar->hasTarget()) {
        if (event->matches(QKeySequence::MoveToNextLine)) {
            m_bar->lineDown(1);
            event->accept();
            return;
        }
        if (event->matches(QKeySequence::MoveToPreviousLine)) {
            m_bar->lineUp(1);
            event->accept();
            return;
        }
        if (event->matches(QKeySequence::MoveToNextPage)) {
            m_bar->pageDown(1);
            event->accept();
            return;
        }
        if (event->matches(QKeySequence::MoveToPreviousPage)) {
            m_bar->pageUp(1);
            event->accept();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void CMeskVScrollArea::wheelEvent(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    if (!m_bar->hasTarget() || qAbs(delta.y()) < qAbs(delta.x())) {
        QWidget::wheelEvent(event);
        return;
    }
    // Smooth wheels and touchpads send parts of a notch: they add up until a whole notch is
    // reached, and a turn the other way starts afresh.
    if (m_wheelRemainder != 0 && delta.y() != 0 && (delta.y() > 0) != (m_wheelRemainder > 0))
        m_wheelRemainder = 0;
    m_wheelRemainder += delta.y();
    const int steps = m_wheelRemainder / kWheelNotch;
    m_wheelRemainder -= steps * kWheelNotch;
    if (steps > 0)
        m_bar->lineUp(steps);
    else if (steps < 0)
        m_bar->lineDown(-steps);
    event->accept();
}

// ---- CMeskVScrollBar ----

CMeskVScrollBar::CMeskVScrollBar(QWidget* parent) : QWidget(parent)
{
    m_lineStep = productMetric(this, CMeskUiStyle::PM_MeskScrollLineStep);
    setFixedWidth(productMetric(this, CMeskUiStyle::PM_MeskScrollBarWidth));
}

void CMeskVScrollBar::setTarget(QWidget* widget)
{
    m_target = widget;
    m_handlePos = 0;
    m_dragging = false;
    recompute();
}

bool CMeskVScrollBar::canScroll() const
{
    return m_target && height() >= 2 && m_target->height() > height();
}

int CMeskVScrollBar::contentRange() const
{
    return m_target ? m_target->height() - height() : 0;
}

int CMeskVScrollBar::maxHandlePosition() const
{
    return height() - m_handleLength;
}

void CMeskVScrollBar::recompute()
{
    if (!canScroll()) {
        // A bar too short to hold a handle does nothing and stays at the top.
        if (m_target && height() < 2)
            m_handlePos = 0;
        return;
    }
    const int h = height();
    const int total = m_target->height();
    const int proportional = int(qint64(h) * h / total);
    m_handleLength =
        qMin(qMax(proportional, productMetric(this, CMeskUiStyle::PM_MeskScrollHandleMinLength)), h - 1);
    m_ratio = double(total - h) / double(h - m_handleLength);

    // A line step always moves the handle by at least one bar pixel.
    const int defaultStep = productMetric(this, CMeskUiStyle::PM_MeskScrollLineStep);
    if (m_lineStep <= m_ratio)
        m_lineStep = int(qMin(m_ratio + 1, double(std::numeric_limits<int>::max())));
    else if (defaultStep > m_ratio)
        m_lineStep = defaultStep;

    const int range = contentRange();
    const int offset = -m_target->y();
    if (offset < 0) {
        m_handlePos = 0;
        moveTarget();
    } else if (offset >= range) {
        m_handlePos = maxHandlePosition();
        if (offset > range)
            moveTarget();
        else
            update();
    } else {
        m_handlePos = qMin(int(offset / m_ratio), maxHandlePosition());
        update();
    }
}

void CMeskVScrollBar::moveTarget()
{
    if (!m_target)
        return;
    // The last handle position shows the very end of the content.
    const int y = m_handlePos >= maxHandlePosition() ? -contentRange() : -int(m_handlePos * m_ratio);
    m_target->move(m_target->x(), y);
    update();
}

void CMeskVScrollBar::lineUp(int n)
{
    if (!canScroll() || m_handlePos == 0 || n <= 0)
        return;
    const double position = m_handlePos - double(n) * m_lineStep / m_ratio;
    m_handlePos = int(qMax(0.0, position));
    moveTarget();
}

void CMeskVScrollBar::lineDown(int n)
{
    if (!canScroll() || m_handlePos >= maxHandlePosition() || n <= 0)
        return;
    const double position = m_handlePos + double(n) * m_lineStep / m_ratio;
    m_handlePos = int(qMin(position, double(maxHandlePosition())));
    moveTarget();
}

void CMeskVScrollBar::pageUp(int n)
{
    if (!canScroll())
        return;
    // A page is one handle length.
    lineUp(qMax(1, int(m_handleLength * m_ratio / m_lineStep)) * qMax(1, n));
}

void CMeskVScrollBar::pageDown(int n)
{
    if (!canScroll())
        return;
    lineDown(qMax(1, int(m_handleLength * m_ratio / m_lineStep)) * qMax(1, n));
}

void CMeskVScrollBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    recompute();
}

void CMeskVScrollBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !canScroll()) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    const int y = event->position().toPoint().y();
    if (y >= m_handlePos && y <= m_handlePos + m_handleLength) {
        m_dragging = true;
        m_pressY = y;
        m_pressHandlePos = m_handlePos;
        update();
    } else if (y < m_handlePos) {
        pageUp(1);
    } else {
        pageDown(1);
    }
}

void CMeskVScrollBar::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging || !canScroll()) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    event->accept();
    // The handle follows the pointer from where it was pressed, wherever the pointer goes.
    const qint64 moved = qint64(event->position().toPoint().y()) - m_pressY;
    const int position = int(qBound(qint64(0), m_pressHandlePos + moved, qint64(maxHandlePosition())));
    if (position == m_handlePos)
        return;
    m_handlePos = position;
    moveTarget();
}

void CMeskVScrollBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    m_dragging = false;
    update();
}

void CMeskVScrollBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF groove = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(CMeskUiStyle::color(30));
    painter.setBrush(CMeskUiStyle::color(29));
    painter.drawRoundedRect(groove, 5, 5);
    if (!canScroll())
        return;
    const QRectF handle = QRectF(0, m_handlePos, width(), m_handleLength).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient gradient(handle.topLeft(), handle.topRight());
    gradient.setColorAt(0, CMeskUiStyle::color(32));
    gradient.setColorAt(1, CMeskUiStyle::color(33));
    painter.setPen(CMeskUiStyle::color(31));
    painter.setBrush(gradient);
    painter.drawRoundedRect(handle, 5, 5);
}
