// Text drawing, mnemonic display and the busy animation of progress bars.

#include "style/quorcommonstyle.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>

namespace {

constexpr int kFadeWidth = 10;
constexpr int kBusyIntervalMs = 33;

bool isPhasedBar(const QWidget* widget)
{
    return CQuorCommonStyle::styleRole(widget) == QLatin1String("progressbar.phased");
}

} // namespace

void CQuorCommonStyle::drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette,
                                    bool enabled, const QString& text, QPalette::ColorRole textRole) const
{
    if (!painter)
        return;
    const QPen saved = painter->pen();
    if (!enabled)
        painter->setPen(palette.color(QPalette::Disabled, QPalette::WindowText));
    QStyle::drawItemText(painter, rect, flags, palette, enabled, text, textRole);
    painter->setPen(saved);
}

qreal CQuorCommonStyle::fadeStop(int overflow, int width)
{
    // A rectangle no wider than the fade has no room for it (and the stop would leave [0, 1]).
    if (overflow <= 0 || width <= kFadeWidth)
        return 1.0;
    const qreal m = qMax(qMin(kFadeWidth, overflow), 5);
    const qreal a = 1.0 - m / kFadeWidth;
    const qreal b = 1.0 - qreal(kFadeWidth) / width;
    return qBound(0.0, (1.0 - b) * a + b, 1.0);
}

void CQuorCommonStyle::drawFadingText(QPainter* painter, const QRect& rect, int flags,
                                      const QPalette& palette, bool enabled, const QString& text, bool fade,
                                      bool shadow, QPalette::ColorRole textRole) const
{
    if (!painter)
        return;
    painter->save();
    qreal stop = 1.0;
    if (fade) {
        const int overflow = painter->fontMetrics().boundingRect(text).width() - rect.width();
        stop = fadeStop(overflow, rect.width());
    }

    QPointF start = rect.topLeft();
    QPointF end = rect.topRight();
    if (QApplication::layoutDirection() == Qt::RightToLeft)
        std::swap(start, end);

    if (shadow) {
        painter->translate(0, 1);
        QLinearGradient gradient(start, end);
        const QColor shadowColour = palette.color(QPalette::Shadow);
        gradient.setColorAt(0.0, shadowColour);
        gradient.setColorAt(stop, shadowColour);
        if (stop != 1.0)
            gradient.setColorAt(1.0, Qt::transparent);
        const QPen previous = painter->pen();
        painter->setPen(QPen(QBrush(gradient), 0));
        drawItemText(painter, rect, flags, palette, enabled, text, QPalette::NoRole);
        painter->translate(0, -1);
        painter->setPen(previous);
    }
    if (stop < 1.0) {
        QLinearGradient gradient(start, end);
        const QColor textColour = palette.color(QPalette::WindowText);
        gradient.setColorAt(0.0, textColour);
        gradient.setColorAt(stop, textColour);
        gradient.setColorAt(1.0, Qt::transparent);
        painter->setPen(QPen(QBrush(gradient), 0));
    }
    drawItemText(painter, rect, flags, palette, enabled, text, textRole);
    painter->restore();
}

// The style filters every object of the application, QtWebEngine's internal ones too, which are
// built without type information: the sanitizer's dynamic-type check cannot tell them from a
// broken object, so it is left out here (the filter only reads QObject's own members).
__attribute__((no_sanitize("vptr"))) bool CQuorCommonStyle::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ApplicationDeactivate) {
        // An Alt release that happens elsewhere never reaches us.
        const bool wasShown = m_altKeyDown || m_mnemonicsShown;
        m_altKeyDown = false;
        m_mnemonicsShown = false;
        if (wasShown) {
            for (QWidget* menuBar : std::as_const(m_menuBars))
                menuBar->update();
        }
        return false;
    }
    if (!watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);

    switch (type) {
    case QEvent::MouseMove:
        if (qobject_cast<QMenu*>(widget))
            m_lastMenuMousePos = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Alt) {
            const bool down = type == QEvent::KeyPress;
            if (down != m_altKeyDown) {
                m_altKeyDown = down;
                const QSet<QWidget*> menuBars = m_menuBars;
                for (QWidget* menuBar : menuBars)
                    menuBar->repaint();
            }
        }
        m_lastMenuMousePos = QPoint(0, 0);
        break;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        if (static_cast<QFocusEvent*>(event)->reason() == Qt::PopupFocusReason) {
            if (!m_mnemonicsShown) {
                m_mnemonicsShown = m_altKeyDown;
            } else {
                QWidget* focus = QApplication::focusWidget();
                if (!qobject_cast<QMenu*>(focus) && !qobject_cast<QMenuBar*>(focus))
                    m_mnemonicsShown = m_altKeyDown;
            }
        }
        break;
    case QEvent::Show:
        // Shown bars are tracked; the animation runs only while one of them is busy.
        if (auto* bar = qobject_cast<QProgressBar*>(widget); bar && !isPhasedBar(bar)) {
            if (!m_busyProgressBars.contains(bar))
                m_busyProgressBars.append(bar);
            if (isBusyProgressBar(bar))
                startBusyTimer();
        }
        break;
    case QEvent::DynamicPropertyChange:
        if (auto* bar = qobject_cast<QProgressBar*>(widget);
            bar && static_cast<QDynamicPropertyChangeEvent*>(event)->propertyName() == "isBusy" &&
            m_busyProgressBars.contains(bar) && isBusyProgressBar(bar))
            startBusyTimer();
        break;
    case QEvent::Hide:
        if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
            m_busyProgressBars.removeAll(bar);
            if (m_busyProgressBars.isEmpty())
                stopBusyTimer();
        }
        break;
    default:
        break;
    }
    return false;
}

void CQuorCommonStyle::startBusyTimer()
{
    if (m_busyTimerId == 0)
        m_busyTimerId = startTimer(kBusyIntervalMs);
}

void CQuorCommonStyle::busyBarDrawn(const QWidget* widget) const
{
    // A bar that turned busy without an event the filter sees (its range set to 0..0) is
    // drawn: the animation starts then.
    auto* bar = qobject_cast<QProgressBar*>(const_cast<QWidget*>(widget));
    if (m_busyTimerId != 0 || !bar || !bar->isVisible() || isPhasedBar(bar) || !isBusyProgressBar(bar))
        return;
    auto* self = const_cast<CQuorCommonStyle*>(this);
    if (!self->m_busyProgressBars.contains(bar))
        self->m_busyProgressBars.append(bar);
    self->startBusyTimer();
}

void CQuorCommonStyle::stopBusyTimer()
{
    if (m_busyTimerId != 0) {
        killTimer(m_busyTimerId);
        m_busyTimerId = 0;
    }
}

void CQuorCommonStyle::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_busyTimerId || m_busyTimerId == 0) {
        event->ignore();
        return;
    }
    ++m_busyFrame;
    // Bars deleted while shown send no Hide: drop them here.
    m_busyProgressBars.removeAll(QPointer<QProgressBar>());
    if (m_busyProgressBars.isEmpty()) {
        stopBusyTimer();
        return;
    }
    // A tick that finds no busy bar stops the timer; drawing a busy bar starts it again.
    bool anyBusy = false;
    const auto bars = m_busyProgressBars;
    for (const QPointer<QProgressBar>& bar : bars) {
        if (bar && isBusyProgressBar(bar)) {
            anyBusy = true;
            bar->update();
        }
    }
    if (!anyBusy)
        stopBusyTimer();
    event->ignore();
}

bool CQuorCommonStyle::isBusyProgressBar(const QProgressBar* bar)
{
    if (!bar)
        return false;
    if (bar->minimum() == 0 && bar->maximum() == 0)
        return true;
    return bar->property("isBusy").toBool();
}
