#pragma once

#include "windows/quordraggabletitlebar.h"

#include <QStyle>

class QHBoxLayout;
class QMenu;
class QToolButton;

// The caption of the toolkit's frameless dialogs: a draggable title bar with a close button
// at its right end, a context menu with the same close action, and four colour variants
// that the style tells apart by role.
class CQuorDialogTitleBar : public CQuorDraggableTitleBar
{
    Q_OBJECT
    Q_PROPERTY(Color color READ color WRITE setColor DESIGNABLE true SCRIPTABLE true STORED true)

public:
    enum Color
    {
        Gray = 0,
        Purple = 1,
        Blue = 2,
        Yellow = 3
    };
    Q_ENUM(Color)

    explicit CQuorDialogTitleBar(QWidget* parent = nullptr);
    ~CQuorDialogTitleBar() override;

    Color color() const { return m_color; }
    void setColor(Color color);

    QString qstyleRole() const override;

    QToolButton* closeButton() const { return m_closeButton; }
    QMenu* menu() const { return m_menu; }

    // The style's standard pixmap of the close cross on a caption of the colour: the light
    // cross on purple, the dark one on every other colour.
    static QStyle::StandardPixmap closePixmapFor(Color color);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void createCloseButton();
    void createMenu();
    // Where a platform lets an application ask for a taskbar entry and a window menu on a
    // frameless window, this is the place; on X11 the window manager decides both.
    void adjustWindowStyle();

    QToolButton* m_closeButton = nullptr;
    QMenu* m_menu = nullptr;
    QHBoxLayout* m_layout = nullptr;
    Color m_color = Purple;
};
