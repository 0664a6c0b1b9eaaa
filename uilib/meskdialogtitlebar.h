#pragma once

#include "windows/quordraggabletitlebar.h"

#include <QStyle>

class QHBoxLayout;
class QLabel;
class QMenu;
class QToolButton;

// The caption bar of the product's frameless dialogs (setup wizard, message box): a draggable
// strip with the caption text, a close button and a right-click menu with the same close
// action, painted by the style in one of four colours. Close ends the parent window's run
// without accepting it.
class CMeskDialogTitleBar : public CQuorDraggableTitleBar
{
    Q_OBJECT
    Q_PROPERTY(Color color READ color WRITE setColor)

public:
    enum Color
    {
        Gray = 0,
        Purple = 1,
        Blue = 2,
        Yellow = 3
    };
    Q_ENUM(Color)

    // With a parent window and resizable, the window gets resize edges.
    CMeskDialogTitleBar(QWidget* parent, const QString& title, bool resizable);
    ~CMeskDialogTitleBar() override;

    Color color() const { return m_color; }
    // Also the close icon: the light cross on purple, the dark one on every other colour.
    void setColor(Color color);
    void setTitle(const QString& text);
    QString title() const;

    QToolButton* closeButton() const { return m_closeButton; }
    QMenu* menu() const { return m_menu; }
    QLabel* captionLabel() const { return m_caption; }

    // "quor.commonuilibrary.window.dialog.titleBar." and the colour's key.
    QString qstyleRole() const override;

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    // Where a platform lets an application ask for a taskbar entry and a window menu on a
    // frameless window, this is the place; on X11 the window manager decides both.
    void adjustWindowStyle();

    QToolButton* m_closeButton = nullptr;
    QMenu* m_menu = nullptr;
    QHBoxLayout* m_layout = nullptr;
    Color m_color = Purple;
    QLabel* m_caption = nullptr;
};
