#pragma once

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QRect>

#include <memory>

class IShadowWindow;
class QWidget;

// The soft drop shadow of one rectangle of a window, in a separate shadow window
// (IShadowWindow) stacked behind the window and larger than the rectangle by the margins. The
// image is the style's shadow pixmap for the window (QStyle::SP_CustomBase), drawn as a
// nine-patch; the window's frame mask (SH_WindowFrame_Mask) is cut out of it. Without a style
// image, or while the desktop does not composite, there is no shadow window and every
// operation does nothing; when a compositor starts, the window is made and shown with its
// target.
class CMeskShadowWindow : public QObject
{
    Q_OBJECT
public:
    // Pixels by which the shadow extends beyond the rectangle.
    static constexpr int MarginLeft = 14;
    static constexpr int MarginTop = 10;
    static constexpr int MarginRight = 14;
    static constexpr int MarginBottom = 18;

    // rect: the shadowed rectangle in the target's coordinates. A QObject child of the target.
    CMeskShadowWindow(const QRect& rect, QWidget* target);
    ~CMeskShadowWindow() override;

    void show();
    void hide();
    // Moves the shadow to the target's current position and draws it again.
    void follow();

    QRect rect() const { return m_rect; }
    // The shadow window's rectangle in screen coordinates.
    QRect geometry() const { return m_geometry; }
    IShadowWindow* shadowWindow() const { return m_window.get(); }

private slots:
    void _onCompositingChanged(bool active);

private:
    QRect computeGeometry() const;
    void createWindow();
    void render(int alpha);

    QPointer<QWidget> m_target;
    QPixmap m_shadowImage;
    QRect m_geometry;
    QRect m_rect;
    std::unique_ptr<IShadowWindow> m_window;
};

// One shadow window per rectangle of a non-rectangular window (the tab-shaped post dialogs).
// The shadows follow the window when it moves, shows or hides; the owner replaces the
// rectangles (clear() and addShadow()) whenever the window changes its size. Without a
// compositor the window gets a line along its outline instead (CQuorWindowEdge).
class CMeskComplexShadow : public QObject
{
    Q_OBJECT
public:
    // A QObject child of the target, watching its events.
    explicit CMeskComplexShadow(QWidget* target);
    ~CMeskComplexShadow() override;

    // A shadow for the rectangle (target coordinates), shown at once when the target is visible.
    void addShadow(const QRect& rect);
    void clear();

    const QList<CMeskShadowWindow*>& shadows() const { return m_shadows; }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_target;
    QList<CMeskShadowWindow*> m_shadows;
};
