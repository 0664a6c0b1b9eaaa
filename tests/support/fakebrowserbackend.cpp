#include "fakebrowserbackend.h"

namespace {

QList<FakeBrowserBackend*>& liveFakes()
{
    static QList<FakeBrowserBackend*> fakes;
    return fakes;
}

} // namespace

FakeBrowserBackend::FakeBrowserBackend(QWidget* parent)
    : IMeskBrowserBackend(parent), m_widget(new QWidget(parent))
{
    liveFakes().append(this);
}

FakeBrowserBackend::~FakeBrowserBackend()
{
    liveFakes().removeAll(this);
}

const QList<FakeBrowserBackend*>& FakeBrowserBackend::instances()
{
    return liveFakes();
}

FakeBrowserBackendScope::FakeBrowserBackendScope()
    : m_previous(
          IMeskBrowserBackend::setFactory([](QWidget* parent) { return new FakeBrowserBackend(parent); }))
{
}

FakeBrowserBackendScope::~FakeBrowserBackendScope()
{
    IMeskBrowserBackend::setFactory(std::move(m_previous));
}
