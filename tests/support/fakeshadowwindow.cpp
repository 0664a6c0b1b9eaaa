#include "fakeshadowwindow.h"

namespace {

QList<FakeShadowWindow*>& liveFakes()
{
    static QList<FakeShadowWindow*> fakes;
    return fakes;
}

} // namespace

FakeShadowWindow::FakeShadowWindow(QWidget* ownerWidget) : owner(ownerWidget)
{
    liveFakes().append(this);
}

FakeShadowWindow::~FakeShadowWindow()
{
    liveFakes().removeAll(this);
}

void FakeShadowWindow::show()
{
    visible = true;
    alphaWhenShown = alpha;
    opaqueAfterMs = alpha == 255 ? 0 : -1;
    m_sinceShown.start();
    ++showCount;
    restack();
}

void FakeShadowWindow::setAlpha(int value)
{
    alpha = value;
    if (value == 255 && opaqueAfterMs < 0 && m_sinceShown.isValid())
        opaqueAfterMs = m_sinceShown.elapsed();
}

void FakeShadowWindow::hide()
{
    visible = false;
}

void FakeShadowWindow::setGeometry(const QRect& geometry)
{
    rect = geometry;
}

void FakeShadowWindow::setImage(const QImage& value)
{
    image = value;
    ++imageCount;
}

const QList<FakeShadowWindow*>& FakeShadowWindow::instances()
{
    return liveFakes();
}

FakeShadowWindow* FakeShadowWindow::forOwner(const QWidget* ownerWidget)
{
    for (FakeShadowWindow* fake : liveFakes()) {
        if (fake->owner == ownerWidget)
            return fake;
    }
    return nullptr;
}

FakeShadowWindowScope::FakeShadowWindowScope()
    : m_previous(
          IShadowWindow::setFactory([](QWidget* owner) { return std::make_unique<FakeShadowWindow>(owner); }))
{
}

FakeShadowWindowScope::~FakeShadowWindowScope()
{
    IShadowWindow::setFactory(std::move(m_previous));
}
