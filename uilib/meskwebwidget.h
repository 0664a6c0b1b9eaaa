#pragma once

#include "imeskbrowserbackend.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QTimer;

// Shows a web service's pages inside the setup wizard through the process's browser backend,
// whose widget fills this one. A navigation the program started itself (the last address given
// to navigate()) is not announced; every other one is, before it loads. Every load reports
// pageLoaded() or pageLoadFailed(); a page the program asked for that has not loaded within the load
// time-out counts as failed, and whatever its load reports later is dropped. Without a browser
// backend the widget stays empty and every navigate() reports pageLoadFailed() after it returns.
class CMeskWebWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CMeskWebWidget(QWidget* parent = nullptr);
    ~CMeskWebWidget() override;

    void navigate(const QString& url);
    // Time a page given to navigate() may take to load, in milliseconds (default 30 s).
    void setLoadTimeout(int msecs);
    // Null when no browser backend is installed.
    IMeskBrowserBackend* backend() const { return m_backend; }

signals:
    void urlChangeRequested(const QString& url);
    void pageLoaded(const QString& url);
    void pageLoadFailed(const QString& url);
    void statusTextChanged(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void _onBeforeNavigate(const QString& url);
    void _onNavigateComplete(const QString& url);
    void _onNavigateFailed(const QString& url);
    void _onLoadTimeout();

private:
    QPointer<IMeskBrowserBackend> m_backend;
    QString m_lastTarget;
    QTimer* m_loadTimer;
    bool m_timedOut = false;
};
