#include "fakeautostart.h"

FakeAutostart::FakeAutostart(FakeAutostartScope* scope) : m_scope(scope)
{
    ++m_scope->created;
}

bool FakeAutostart::enable(const QString& program)
{
    m_scope->calls.append(QStringLiteral("enable ") + program);
    if (m_scope->fails)
        return false;
    m_scope->enabled = true;
    return true;
}

bool FakeAutostart::disable()
{
    m_scope->calls.append(QStringLiteral("disable"));
    if (m_scope->fails)
        return false;
    m_scope->enabled = false;
    return true;
}

bool FakeAutostart::isEnabled() const
{
    m_scope->calls.append(QStringLiteral("isEnabled"));
    return m_scope->enabled;
}

FakeAutostartScope::FakeAutostartScope()
    : m_previous(IMeskAutostart::setFactory([this] { return std::make_unique<FakeAutostart>(this); }))
{
}

FakeAutostartScope::~FakeAutostartScope()
{
    IMeskAutostart::setFactory(std::move(m_previous));
}
