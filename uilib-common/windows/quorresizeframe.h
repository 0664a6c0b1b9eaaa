#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

class QMouseEvent;
#include <QWidget>

// Resize edges for a frameless window. A transparent overlay, laid over the whole window
// and masked to a thin ring along its border, catches the mouse there and shows the resize
// cursor of the edge or corner under it. A left press hands the resize to the window
// manager; where it cannot take it, the window is resized here while the mouse moves.
class CQuorResizeFrame : public QObject
{
    Q_OBJECT

public:
    enum Edge
    {
        NoEdge = 0,
        TopEdge = 1,
        LeftEdge = 2,
        RightEdge = 4,
        BottomEdge = 8
    };
    Q_DECLARE_FLAGS(Edges, Edge)

    explicit CQuorResizeFrame(QObject* parent = nullptr);
    ~CQuorResizeFrame() override;

    // Lays the ring over the window and follows its size and state. Null is ignored.
    void setWidget(QWidget* window);
    QWidget* widget() const { return m_window; }

    // The overlay widget that carries the ring.
    QWidget* overlay() const { return m_overlay; }
    // Edges under the mouse at the last hover.
    Edges edges() const { return m_edges; }
    // False while the window is maximised.
    bool isResizable() const { return m_resizable; }
    // A manual resize is in progress.
    bool isPressed() const { return m_pressed; }

    static Qt::CursorShape cursorShapeFor(Edges edges);
    // The window-manager edges of a press on the given hovered edges: top before bottom,
    // left before right, the right edge when none is held.
    static Qt::Edges systemEdgesFor(Edges edges);

    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    // Takes off the override cursor this frame pushed, and only that one.
    void dropCursor();

    // Set by a press that the window manager took over; this class never reads it.
    bool m_systemResizing = false;

private:
    void layOverlay(const QSize& size);
    void overlayMousePress(QMouseEvent* event);
    void overlayMouseMove(QMouseEvent* event);
    void setCursorShape(Qt::CursorShape shape);
    static bool hasHeightForWidth(const QWidget* window);

    QPointer<QWidget> m_window;
    QPointer<QWidget> m_overlay;
    int m_borderWidth = 2;
    int m_cornerZone = 18;
    bool m_resizable = false;
    QPoint m_pressPosition;
    bool m_pressed = false;
    Qt::CursorShape m_cursorShape = Qt::ArrowCursor;
    bool m_cursorPushed = false;
    Edges m_edges;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(CQuorResizeFrame::Edges)
