#include "windows/quordraggabletitlebar.h"

#include "windows/quorresizeframe.h"
#include "windows/quorsystemwindow.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionTitleBar>

CQuorDraggableTitleBar::CQuorDraggableTitleBar(QWidget* parent, bool resizable)
    : QWidget(parent, Qt::WindowFlags())
{
    setFixedHeight(style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    if (!parent)
        return;
    if (resizable) {
        m_resizeFrame = new CQuorResizeFrame(this);
        m_resizeFrame->setWidget(parent);
    }
    if (parent->isWindow()) {
        Qt::WindowFlags flags = parent->windowFlags() | Qt::FramelessWindowHint | Qt::CustomizeWindowHint;
        // Qt puts the title and system menu back (and the frame with them) while any native
        // caption button is asked for, so the close, help and full-screen buttons go too.
        flags &= ~(Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::WindowContextHelpButtonHint | Qt::WindowFullscreenButtonHint);
        parent->setWindowFlags(flags);
    }
}

CQuorDraggableTitleBar::~CQuorDraggableTitleBar() = default;

QString CQuorDraggableTitleBar::qstyleRole() const
{
    return QStringLiteral("quor.commonuilibrary.mainWindow.titleBar");
}

void CQuorDraggableTitleBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (QWidget* parent = parentWidget())
        m_dragging = !(parent->windowState() & Qt::WindowMaximized);
    m_systemMoveAsked = false;
    m_lastGlobalPos = event->globalPosition().toPoint();
}

void CQuorDraggableTitleBar::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return;
    const QPoint position = event->globalPosition().toPoint();
    const QPoint travel = position - m_lastGlobalPos;
    m_lastGlobalPos = position;
    QWidget* parent = parentWidget();
    if (!parent || !parent->isWindow())
        return;
    if (!m_systemMoveAsked) {
        // The first move of a drag offers the move to the window manager, which then runs
        // it to the end of the drag on its own.
        m_systemMoveAsked = true;
        if (QuorSystemWindow::startMove(parent)) {
            m_dragging = false;
            return;
        }
    }
    parent->move(parent->pos() + travel);
}

void CQuorDraggableTitleBar::mouseReleaseEvent(QMouseEvent* /*event*/)
{
    m_dragging = false;
}

void CQuorDraggableTitleBar::paintEvent(QPaintEvent* /*event*/)
{
    QStyleOptionTitleBar option;
    option.initFrom(this);
    option.rect = rect();
    QPainter painter(this);
    style()->drawComplexControl(QStyle::CC_TitleBar, &option, &painter, this);
}
