#pragma once

#include "imeskbrowserbackend.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

// A browser that only records what it was told; the test emits its signals (beforeNavigate,
// statusText, navigateComplete, navigateFailed) as a page would. While a FakeBrowserBackendScope
// lives, every IMeskBrowserBackend::create makes one; instances() lists the live ones.
class FakeBrowserBackend : public IMeskBrowserBackend
{
    Q_OBJECT
public:
    explicit FakeBrowserBackend(QWidget* parent);
    ~FakeBrowserBackend() override;

    QWidget* widget() const override { return m_widget; }
    void navigate(const QString& url) override { navigated.append(url); }
    void setSilent(bool value) override
    {
        silent = value;
        ++silentCalls;
    }

    static const QList<FakeBrowserBackend*>& instances();

    QStringList navigated;
    bool silent = false;
    int silentCalls = 0;

private:
    QPointer<QWidget> m_widget;
};

class FakeBrowserBackendScope
{
public:
    FakeBrowserBackendScope();
    ~FakeBrowserBackendScope();
    FakeBrowserBackendScope(const FakeBrowserBackendScope&) = delete;
    FakeBrowserBackendScope& operator=(const FakeBrowserBackendScope&) = delete;

private:
    IMeskBrowserBackend::Factory m_previous;
};
