#pragma once

#include <qnamespace.h>

#include <functional>

class QWidget;

// Moves and resizes of frameless top-level windows are handed to the window manager
// through these two calls. Each answers whether the window manager took the operation;
// when it did not (no window handle, or a platform without interactive moves such as
// offscreen), the caller does the work itself.
//
// The calls are replaceable so that tests can record them and choose the answer.
namespace QuorSystemWindow {

using MoveFunction = std::function<bool(QWidget* window)>;
using ResizeFunction = std::function<bool(QWidget* window, Qt::Edges edges)>;

// Starts an interactive move of the window by the window manager.
bool startMove(QWidget* window);
// Starts an interactive resize of the window at the given edges by the window manager.
bool startResize(QWidget* window, Qt::Edges edges);

// Replace the calls; an empty function restores the window handle's own call.
void setMoveFunction(MoveFunction function);
void setResizeFunction(ResizeFunction function);

} // namespace QuorSystemWindow
