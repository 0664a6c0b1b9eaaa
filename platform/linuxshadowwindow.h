#pragma once

#include "ishadowwindow.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

// Shadow window of a desktop with a compositing window manager: a parentless, frameless,
// translucent tool window that never takes focus and lets the mouse fall through. It has no
// transient parent (window managers stack transients above their parent); instead the owner is
// raised above it whenever the shadow is shown and whenever the owner is activated.
class CLinuxShadowWindow : public QWidget, public IShadowWindow
{
    Q_OBJECT
public:
    explicit CLinuxShadowWindow(QWidget* owner);
    ~CLinuxShadowWindow() override;

    void show() override;
    void hide() override;
    bool isVisible() const override;
    void setGeometry(const QRect& geometry) override;
    QRect geometry() const override;
    void setRegion(const QRegion& region) override;
    void setAlpha(int alpha) override;
    void setImage(const QImage& image) override;
    void restack() override;

    int alpha() const { return m_alpha; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_owner;
    QPixmap m_pixmap;
    int m_alpha = 255;
};
