#pragma once

#include <QPointer>
#include <QWidget>

class CMeskVScrollBar;

// A plain widget that scrolls one content widget vertically and shows the product's painted
// scroll bar at its right edge while the content is taller than the area. Wheel (smooth wheels
// and touchpads included), the line and page keys and the bar's mouse handling scroll it; while
// the content fits, wheel and keys reach the parent.
class CMeskVScrollArea : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskVScrollArea(QWidget* parent = nullptr);
    ~CMeskVScrollArea() override;

    // Deletes the previous content and takes the new one (reparented, at its size hint unless
    // it was resized before).
    void setWidget(QWidget* widget);
    QWidget* widget() const { return m_content; }
    CMeskVScrollBar* scrollBar() const { return m_bar; }

    // When set, the content keeps the bar's width free at the right even while the bar is
    // hidden.
    void setReserveScrollBarWidth(bool reserve);
    bool reserveScrollBarWidth() const { return m_reserve; }

    QSize sizeHint() const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void layoutContent();
    void contentResized();
    void fixContentWidth(int width);
    void releaseContentWidth();

    QPointer<QWidget> m_content;
    CMeskVScrollBar* m_bar = nullptr;
    bool m_reserve = false;
    bool m_widthFixed = false;
    int m_contentMinWidth = 0;
    int m_contentMaxWidth = QWIDGETSIZE_MAX;
    int m_wheelRemainder = 0;
};

// The area's scroll bar. Its handle position is kept in bar pixels and turned into the
// content's offset through a ratio; every position keeps the content inside the area.
class CMeskVScrollBar : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskVScrollBar(QWidget* parent = nullptr);

    void setTarget(QWidget* widget);
    bool hasTarget() const { return !m_target.isNull(); }
    QWidget* target() const { return m_target; }

    // Derives handle length, ratio, line step and handle position from the target's height and
    // position (also run on every resize of the bar).
    void recompute();

    void lineUp(int n);
    void lineDown(int n);
    void pageUp(int n);
    void pageDown(int n);

    int lineStep() const { return m_lineStep; }
    int handleLength() const { return m_handleLength; }
    int handlePosition() const { return m_handlePos; }
    double ratio() const { return m_ratio; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Whether the bar can scroll at all: a target taller than a bar at least 2 px high.
    bool canScroll() const;
    int contentRange() const; // target height - bar height
    int maxHandlePosition() const;
    void moveTarget();

    QPointer<QWidget> m_target;
    int m_lineStep = 20;
    int m_handleLength = 0;
    int m_handlePos = 0;
    double m_ratio = 1.0;
    bool m_dragging = false;
    int m_pressY = 0;
    int m_pressHandlePos = 0;
};
