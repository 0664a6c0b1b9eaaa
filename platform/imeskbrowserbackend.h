#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

// An embedded web browser: one widget showing one page at a time. It reports, as Qt signals, a
// main-frame navigation about to start (the address it is going to, typed ones and redirects
// included), the address under the mouse, a page loaded (its final address) and a page that
// failed to load. Addresses cross in the engine's canonical, fully encoded form.
class IMeskBrowserBackend : public QObject
{
    Q_OBJECT
public:
    using Factory = std::function<IMeskBrowserBackend*(QWidget* parent)>;

    explicit IMeskBrowserBackend(QObject* parent = nullptr) : QObject(parent) {}
    ~IMeskBrowserBackend() override = default;

    // The widget that shows the page; a child of the parent the backend was made for.
    virtual QWidget* widget() const = 0;
    virtual void navigate(const QString& url) = 0;
    // Silent: the page opens no dialogs of its own (script alerts, certificate questions,
    // permission requests).
    virtual void setSilent(bool silent) = 0;

    // Makes a backend through the process-wide factory, as a child of the parent; null while
    // no factory is installed.
    static IMeskBrowserBackend* create(QWidget* parent);
    // Replaces the factory (an empty function removes it). Returns the one installed before.
    static Factory setFactory(Factory factory);

signals:
    void beforeNavigate(const QString& url);
    void statusText(const QString& text);
    void navigateComplete(const QString& url);
    void navigateFailed(const QString& url);
};

// What a browser plugin (a module loaded at run time, see meskplugins.h) offers: backends made
// for a parent widget.
class IMeskBrowserBackendPlugin
{
public:
    virtual ~IMeskBrowserBackendPlugin() = default;
    virtual IMeskBrowserBackend* createBackend(QWidget* parent) = 0;
};

#define IMeskBrowserBackendPlugin_iid "com.velto.Lumesk.IMeskBrowserBackendPlugin/1.0"
Q_DECLARE_INTERFACE(IMeskBrowserBackendPlugin, IMeskBrowserBackendPlugin_iid)
