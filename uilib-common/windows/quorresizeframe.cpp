#include "windows/quorresizeframe.h"

#include "windows/quorsystemwindow.h"

#include <QApplication>
#include <QLayout>
#include <QMouseEvent>
#include <QRegion>
#include <QResizeEvent>
#include <QWidget>

CQuorResizeFrame::CQuorResizeFrame(QObject* parent) : QObject(parent), m_overlay(new QWidget)
{
    m_overlay->installEventFilter(this);
}

CQuorResizeFrame::~CQuorResizeFrame()
{
    dropCursor();
    // Once laid over a window the overlay belongs to it; before that it is ours.
    if (m_overlay && !m_overlay->parent())
        delete m_overlay;
}

void CQuorResizeFrame::setWidget(QWidget* window)
{
    if (!window)
        return;
    if (m_window && m_window != window)
        m_window->removeEventFilter(this);
    m_window = window;
    // The overlay dies with the window it was laid over; a later window gets a new one.
    if (!m_overlay) {
        m_overlay = new QWidget;
        m_overlay->installEventFilter(this);
    }
    m_overlay->setParent(window);
    m_overlay->setMouseTracking(true);
    window->setMouseTracking(true);
    m_resizable = !(window->windowState() & Qt::WindowMaximized);
    // Lay the ring at once: a window that already has its size sends no resize event.
    layOverlay(window->size());
    m_overlay->setVisible(m_resizable);
    window->installEventFilter(this);
}

Qt::CursorShape CQuorResizeFrame::cursorShapeFor(Edges edges)
{
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (edges & (TopEdge | BottomEdge))
        shape = Qt::SizeVerCursor;
    if (edges & (LeftEdge | RightEdge))
        shape = Qt::SizeHorCursor;
    if (((edges & TopEdge) && (edges & RightEdge)) || ((edges & BottomEdge) && (edges & LeftEdge)))
        shape = Qt::SizeBDiagCursor;
    if (edges == (TopEdge | LeftEdge) || edges == (RightEdge | BottomEdge))
        shape = Qt::SizeFDiagCursor;
    return shape;
}

Qt::Edges CQuorResizeFrame::systemEdgesFor(Edges edges)
{
    Qt::Edges result;
    if (edges & TopEdge)
        result |= Qt::TopEdge;
    else if (edges & BottomEdge)
        result |= Qt::BottomEdge;
    if (edges & LeftEdge)
        result |= Qt::LeftEdge;
    else if (edges & RightEdge)
        result |= Qt::RightEdge;
    if (!result)
        result = Qt::RightEdge;
    return result;
}

bool CQuorResizeFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (m_window && watched == m_window) {
        switch (event->type()) {
        case QEvent::Resize:
            layOverlay(static_cast<QResizeEvent*>(event)->size());
            break;
        case QEvent::WindowStateChange:
            m_resizable = !(m_window->windowState() & Qt::WindowMaximized);
            m_overlay->setVisible(m_resizable);
            if (!m_resizable) {
                m_pressed = false;
                dropCursor();
            }
            break;
        default:
            break;
        }
    } else if (m_overlay && watched == m_overlay) {
        switch (event->type()) {
        case QEvent::Leave:
            dropCursor();
            break;
        case QEvent::MouseButtonPress:
            overlayMousePress(static_cast<QMouseEvent*>(event));
            break;
        case QEvent::MouseButtonRelease:
            m_pressed = false;
            m_pressPosition = QPoint();
            break;
        case QEvent::MouseMove:
            overlayMouseMove(static_cast<QMouseEvent*>(event));
            break;
        default:
            break;
        }
    }
    return false;
}

void CQuorResizeFrame::layOverlay(const QSize& size)
{
    const QRect rect(QPoint(0, 0), size);
    m_overlay->setGeometry(rect);
    const int inset = m_borderWidth;
    m_overlay->setMask(QRegion(rect).subtracted(QRegion(rect.adjusted(inset, inset, -inset, -inset))));
    m_overlay->raise();
}

void CQuorResizeFrame::overlayMousePress(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_resizable || !m_window)
        return;
    m_pressed = true;
    m_pressPosition = event->globalPosition().toPoint();
    if (m_window->isWindow() && !m_window->testAttribute(Qt::WA_DontShowOnScreen) &&
        !hasHeightForWidth(m_window)) {
        // The window manager runs the resize when it can; otherwise the press stays
        // recorded and the moves resize the window here.
        if (QuorSystemWindow::startResize(m_window, systemEdgesFor(m_edges))) {
            m_systemResizing = true;
            m_pressed = false;
            m_pressPosition = QPoint();
        }
    }
}

bool CQuorResizeFrame::hasHeightForWidth(const QWidget* window)
{
    if (!window)
        return false;
    if (window->layout())
        return window->layout()->hasHeightForWidth();
    return window->sizePolicy().hasHeightForWidth();
}

void CQuorResizeFrame::overlayMouseMove(QMouseEvent* event)
{
    if (!m_resizable || !m_window)
        return;
    if (m_pressed) {
        const QPoint p = event->globalPosition().toPoint();
        const QPoint travel = p - m_pressPosition;
        QSize size = m_window->size();
        if (m_edges & TopEdge)
            size.setHeight(m_overlay->height() - travel.y());
        else if (m_edges & BottomEdge)
            size.setHeight(m_overlay->height() + travel.y());
        if (m_edges & LeftEdge)
            size.setWidth(m_overlay->width() - travel.x());
        else if (m_edges & RightEdge)
            size.setWidth(m_overlay->width() + travel.x());
        size = QLayout::closestAcceptableSize(m_window, size);

        const QRect current(m_overlay->mapToGlobal(QPoint(0, 0)), m_overlay->size());
        QRect next(current.topLeft(), size);
        if (m_edges & TopEdge)
            next.moveBottom(current.bottom());
        else if (m_edges & BottomEdge)
            next.moveTop(current.top());
        if (m_edges & LeftEdge)
            next.moveRight(current.right());
        else if (m_edges & RightEdge)
            next.moveLeft(current.left());

        m_pressPosition = p;
        // A window's geometry is global; a child widget's is in its parent's coordinates.
        if (!m_window->isWindow() && m_window->parentWidget())
            next.moveTopLeft(m_window->parentWidget()->mapFromGlobal(next.topLeft()));
        m_window->setGeometry(next);
        return;
    }

    const QRegion mask = m_overlay->mask();
    const QRect bounds = mask.boundingRect();
    const QPoint m = event->position().toPoint();
    if (mask.contains(m)) {
        Edges edges;
        if (m.y() <= bounds.top() + m_cornerZone)
            edges |= TopEdge;
        if (m.y() >= bounds.bottom() - m_cornerZone)
            edges |= BottomEdge;
        if (m.x() <= bounds.left() + m_cornerZone)
            edges |= LeftEdge;
        if (m.x() >= bounds.right() - m_cornerZone)
            edges |= RightEdge;
        m_edges = edges;
    }
    setCursorShape(cursorShapeFor(m_edges));
}

void CQuorResizeFrame::setCursorShape(Qt::CursorShape shape)
{
    if (shape == m_cursorShape)
        return;
    dropCursor();
    m_cursorShape = shape;
    if (shape != Qt::ArrowCursor) {
        QApplication::setOverrideCursor(QCursor(shape));
        m_cursorPushed = true;
    }
}

void CQuorResizeFrame::dropCursor()
{
    // Only the cursor this object pushed is taken off; others' override cursors stay.
    if (m_cursorPushed)
        QApplication::restoreOverrideCursor();
    m_cursorPushed = false;
    m_cursorShape = Qt::ArrowCursor;
}
