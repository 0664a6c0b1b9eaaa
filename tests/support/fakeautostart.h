#pragma once

#include "imeskautostart.h"

#include <QStringList>

class FakeAutostartScope;

// An autostart layer that only records what it was told, into the scope that made it:
// "enable <program>", "disable" and "isEnabled", in call order.
class FakeAutostart : public IMeskAutostart
{
public:
    explicit FakeAutostart(FakeAutostartScope* scope);

    bool enable(const QString& program) override;
    bool disable() override;
    bool isEnabled() const override;

private:
    FakeAutostartScope* m_scope;
};

// While it lives, IMeskAutostart::create makes FakeAutostarts that record into it; the factory
// installed before comes back with its end.
class FakeAutostartScope
{
public:
    FakeAutostartScope();
    ~FakeAutostartScope();
    FakeAutostartScope(const FakeAutostartScope&) = delete;
    FakeAutostartScope& operator=(const FakeAutostartScope&) = delete;

    QStringList calls;    // every call of every fake made in this scope
    int created = 0;      // fakes made
    bool enabled = false; // what isEnabled answers; enable and disable set it
    bool fails = false;   // enable and disable answer false (and change nothing)

private:
    IMeskAutostart::Factory m_previous;
};
