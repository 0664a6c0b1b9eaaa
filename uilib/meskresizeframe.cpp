#include "meskresizeframe.h"

#include <QEvent>
#include <QMouseEvent>

CMeskResizeFrame::CMeskResizeFrame(QObject* parent) : CQuorResizeFrame(parent) {}

CMeskResizeFrame::~CMeskResizeFrame() = default;

void CMeskResizeFrame::endResize()
{
    m_systemResizing = false;
    dropCursor();
}

bool CMeskResizeFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (m_systemResizing && watched && (watched == widget() || watched == overlay())) {
        switch (event->type()) {
        case QEvent::Leave:
            // The pointer left the ring because the window manager took it: keep the cursor.
            if (watched == overlay())
                return false;
            break;
        case QEvent::MouseButtonRelease:
        case QEvent::Enter:
            endResize();
            break;
        case QEvent::MouseMove:
            // After the window manager's resize the release may never reach us; the first
            // move without a button does.
            if (static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton)
                endResize();
            break;
        default:
            break;
        }
    }
    return CQuorResizeFrame::eventFilter(watched, event);
}
