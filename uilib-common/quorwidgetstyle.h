#pragma once

class QEvent;
class QMenu;
class QWidget;

// Small helpers shared by the composite widgets of the toolkit.
namespace QuorWidgetStyle {

// A composite widget hands its own style to its descendants: all of them on a style change,
// a new widget child when it is added. Call from event() before the base class.
void handOnStyle(QWidget* widget, QEvent* event);

// Removes and deletes the first action of a standard context menu whose submenu inserts
// Unicode control characters.
void removeUnicodeControlMenu(QMenu* menu);

} // namespace QuorWidgetStyle
