#pragma once

#include "style/quorpainting.h"

#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QRect>

#include <memory>

class IShadowWindow;
class QTimeLine;
class QWidget;

// Soft drop shadow of a frameless top-level window. The shadow lives in a separate window
// (IShadowWindow) stacked behind the owner and larger than it by the margins; the image is the
// style's shadow pixmap for the owner's role, drawn as a nine-patch. The frame is a child of the
// owner and follows it through an event filter: moves, resizes, paints, showing, hiding and
// window-state changes. For an owner that is not a window, or a style without a shadow image,
// it makes no window and deletes itself. Without a compositing window manager it has no window
// (shadowWindow() is null) until one starts, and drops its window when the compositor goes.
class CQuorShadowFrame : public QObject
{
    Q_OBJECT
public:
    // Fade-in length for animated shadows.
    static constexpr int FadeDurationMs = 120;
    // Delay before an animated shadow shows again after its owner is restored.
    static constexpr int RestoreDelayMs = 500;

    explicit CQuorShadowFrame(QWidget* owner);
    ~CQuorShadowFrame() override;

    // Takes effect at the owner's next resize or the next rebuild of the image.
    void setMargins(const SNinePatchMargins& margins);
    SNinePatchMargins margins() const { return m_margins; }
    // Whether showing fades in (menus follow the desktop's menu animation setting).
    bool animates() const { return m_animate; }
    // False for a frame that refused its owner and is about to delete itself.
    bool isActive() const { return m_owner != nullptr; }
    QWidget* owner() const { return m_owner; }
    IShadowWindow* shadowWindow() const { return m_window.get(); }

    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void show();
    void hide();
    void fadeShowShadow();
    void fadeIn();

private slots:
    void _onFadeUpdated(int value);
    void _onRestoreTimeout();
    // Drops the window when the desktop stops compositing, makes one when it starts again.
    void _onCompositingChanged(bool active);

private:
    void init(QWidget* owner);
    void paintShadow(const QRect& frame, int alpha, bool rebuild);
    QRect shadowGeometry() const;
    void moveShadow();
    void resizeShadow();
    void updateRegion();
    bool ownerShowsShadow() const;

    bool m_dirty = false;
    QPixmap m_shadowPixmap;
    QImage m_image; // the last shadow image, kept until the shadow's size or pixel ratio changes
    std::unique_ptr<IShadowWindow> m_window;
    QTimeLine* m_timeLine = nullptr;
    bool m_animate = false;
    SNinePatchMargins m_margins{14, 10, 14, 18};
    QPointer<QWidget> m_owner;
};
