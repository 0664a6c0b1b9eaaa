#include "windows/quorsystemwindow.h"

#include <QWidget>
#include <QWindow>

namespace {

bool nativeMove(QWidget* window)
{
    QWindow* handle = window ? window->windowHandle() : nullptr;
    return handle && handle->startSystemMove();
}

bool nativeResize(QWidget* window, Qt::Edges edges)
{
    QWindow* handle = window ? window->windowHandle() : nullptr;
    return handle && handle->startSystemResize(edges);
}

QuorSystemWindow::MoveFunction& moveFunction()
{
    static QuorSystemWindow::MoveFunction function = nativeMove;
    return function;
}

QuorSystemWindow::ResizeFunction& resizeFunction()
{
    static QuorSystemWindow::ResizeFunction function = nativeResize;
    return function;
}

} // namespace

namespace QuorSystemWindow {

bool startMove(QWidget* window)
{
    return moveFunction()(window);
}

bool startResize(QWidget* window, Qt::Edges edges)
{
    return resizeFunction()(window, edges);
}

void setMoveFunction(MoveFunction function)
{
    moveFunction() = function ? std::move(function) : MoveFunction(nativeMove);
}

void setResizeFunction(ResizeFunction function)
{
    resizeFunction() = function ? std::move(function) : ResizeFunction(nativeResize);
}

} // namespace QuorSystemWindow
