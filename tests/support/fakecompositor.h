#pragma once

#include "compositingwatch.h"

#include <optional>

// While it lives, CCompositingWatch answers `active` whatever the desktop does, and emits changed()
// whenever the answer changes (at the start, at set() and at the end of the scope). Scopes nest:
// the end of one brings back the answer that held before it.
class FakeCompositorScope
{
public:
    explicit FakeCompositorScope(bool active) : m_previous(CCompositingWatch::instance()->override())
    {
        CCompositingWatch::instance()->setOverride(active);
    }
    ~FakeCompositorScope() { CCompositingWatch::instance()->setOverride(m_previous); }
    FakeCompositorScope(const FakeCompositorScope&) = delete;
    FakeCompositorScope& operator=(const FakeCompositorScope&) = delete;

    // Starts (true) or stops the pretended compositor.
    void set(bool active) { CCompositingWatch::instance()->setOverride(active); }

private:
    std::optional<bool> m_previous;
};
