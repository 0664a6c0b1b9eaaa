#pragma once

#include <QObject>

#include <memory>
#include <optional>

// Whether the desktop composites windows: only then do translucent windows blend with what lies
// behind them (without a compositor their transparent pixels show black). On X11 the answer is
// whether the compositing manager's selection `_NET_WM_CM_S<screen>` has an owner, followed through
// XFixes selection-owner events; Wayland always composites; other platforms (offscreen) never do.
// Lives on the GUI thread and follows the desktop once the application exists.
class CCompositingWatch : public QObject
{
    Q_OBJECT
public:
    static CCompositingWatch* instance();

    bool isActive() const;

    // A test's answer instead of the desktop's while set; setting or clearing it emits changed()
    // when the answer changes. Used by FakeCompositorScope.
    void setOverride(std::optional<bool> active);
    std::optional<bool> override() const { return m_override; }

signals:
    void changed(bool active);

private:
    CCompositingWatch();
    ~CCompositingWatch() override;

    class CX11Listener;
    friend class CX11Listener;
    void setDesktopAnswer(bool active);

    std::unique_ptr<CX11Listener> m_x11;
    bool m_desktopActive = false;
    std::optional<bool> m_override;
};
