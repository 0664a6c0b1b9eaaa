#pragma once

#include <QPoint>
#include <QWidget>

class CQuorResizeFrame;

// Base of every caption bar of a frameless window. Built inside a window, it takes the
// window's native caption away (and, when asked, gives it resize edges); dragging it moves
// the window: the window manager runs the move where it can, otherwise the bar moves the
// window by the cursor's travel.
class CQuorDraggableTitleBar : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString com_velto_qstyleRole READ qstyleRole DESIGNABLE true SCRIPTABLE true STORED true)

public:
    explicit CQuorDraggableTitleBar(QWidget* parent = nullptr, bool resizable = false);
    ~CQuorDraggableTitleBar() override;

    virtual QString qstyleRole() const;

    // The resize edges laid over the parent window; null unless asked for.
    CQuorResizeFrame* resizeFrame() const { return m_resizeFrame; }
    bool isDragging() const { return m_dragging; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPoint m_lastGlobalPos;
    bool m_dragging = false;
    // The window manager was asked for the move of this drag already.
    bool m_systemMoveAsked = false;
    CQuorResizeFrame* m_resizeFrame = nullptr;
};
