#pragma once

#include <QStyle>

class QEvent;
class QMenu;
class QToolButton;
class QWidget;

// Small helpers shared by the composite widgets of the toolkit.
namespace QuorWidgetStyle {

// A composite widget hands its own style to its descendants: all of them on a style change,
// a new widget child when it is added. Call from event() before the base class.
void handOnStyle(QWidget* widget, QEvent* event);

// Removes and deletes the first action of a standard context menu whose submenu inserts
// Unicode control characters.
void removeUnicodeControlMenu(QMenu* menu);

// The close (or other) button of a dialog caption: an icon-only tool button in the secondary
// window's tool-button role, never focused, sized as the style says for the pixmap (the
// pixmap's own size without an answer). Its default action, owned by the bar, carries the icon
// and the text, which is the tooltip and the entry of the caption's menu; a style that draws
// every tool button's text draws none on it. The caller adds it to the bar's layout.
QToolButton* createCaptionButton(QWidget* bar, QStyle::StandardPixmap pixmap, const QString& text);

} // namespace QuorWidgetStyle
