#pragma once

#include "windows/quorresizeframe.h"

// The resize edges of the frameless main window. Besides what the common frame does, it keeps
// the resize cursor while the window manager resizes the window: the overlay's Leave is ignored
// until the resize ends. Nothing on this desktop says when a window manager's resize ends, so
// the next release, Enter, or move without a button on the window or its ring ends it;
// endResize() ends it at once.
class CMeskResizeFrame : public CQuorResizeFrame
{
    Q_OBJECT
public:
    explicit CMeskResizeFrame(QObject* parent = nullptr);
    ~CMeskResizeFrame() override;

    // The window manager's resize is over: the cursor this frame pushed goes.
    void endResize();
    bool isSystemResizing() const { return m_systemResizing; }

    bool eventFilter(QObject* watched, QEvent* event) override;
};
