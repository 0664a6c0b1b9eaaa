#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class CMeskEngine;
class CMeskGeneralSettingsView;
class CMeskNotificationsView;
class CMeskServicesView;
class CMeskSettings;
class CMeskSettingsTabHeader;
class QLabel;
class QVBoxLayout;

class CMeskSingleSettingsView;
class CMeskMultiSettingsView;

// The main window's settings area: the General, Services and Notifications pages, one at a time
// under a tab header (single-column mode) or side by side (multi-column mode). The pages record
// every click as a pending value of the settings store; the main window saves or discards them.
class CMeskSettingsWidget : public QWidget
{
    Q_OBJECT

public:
    CMeskSettingsWidget(CMeskSettings* settings, CMeskEngine* engine, bool multi, QWidget* parent = nullptr);
    ~CMeskSettingsWidget() override;

    // Each picks its arrangement with fresh pages, unless it is already in use. The pages are
    // built when the area is first shown or asked for (a hidden area does without them).
    void showSingleView();
    void showMultiView();
    // The pages of the arrangement in use show the store's current values again.
    void reload();

    // The arrangement in use (built now if it is not yet), null for the other one.
    CMeskSingleSettingsView* singleView() const;
    CMeskMultiSettingsView* multiView() const;

    void setVisible(bool visible) override;

public slots:
    // Select a page of the single arrangement; nothing in the multi one.
    void showGeneralPage();
    void showServicesPage();
    void showNotificationsPage();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Builds the arrangement in use when it is not built yet.
    void buildView() const;

    CMeskEngine* m_engine = nullptr;
    CMeskSettings* m_settings = nullptr;
    bool m_multiWanted = false;
    mutable CMeskSingleSettingsView* m_single = nullptr;
    mutable CMeskMultiSettingsView* m_multi = nullptr;
    QVBoxLayout* m_layout = nullptr;
};

// One page at a time under a bold title and the three-tab header.
class CMeskSingleSettingsView : public QWidget
{
    Q_OBJECT

public:
    CMeskSingleSettingsView(CMeskSettings* settings, CMeskEngine* engine, QWidget* parent = nullptr);
    ~CMeskSingleSettingsView() override;

    void reload();

    CMeskSettingsTabHeader* tabHeader() const { return m_tabHeader; }
    QLabel* titleLabel() const { return m_title; }
    CMeskGeneralSettingsView* generalPage() const { return m_general; }
    CMeskServicesView* servicesPage() const { return m_services; }
    CMeskNotificationsView* notificationsPage() const { return m_notifications; }

public slots:
    void showGeneralPage();
    void showServicesPage();
    void showNotificationsPage();

private slots:
    void _onTabHeaderClicked(int index);

private:
    CMeskEngine* m_engine = nullptr;
    CMeskSettingsTabHeader* m_tabHeader = nullptr;
    CMeskGeneralSettingsView* m_general = nullptr;
    CMeskServicesView* m_services = nullptr;
    CMeskNotificationsView* m_notifications = nullptr;
    QLabel* m_title = nullptr;
};

// The three pages side by side, each in a fixed-width column under its bold title.
class CMeskMultiSettingsView : public QWidget
{
    Q_OBJECT

public:
    CMeskMultiSettingsView(CMeskSettings* settings, CMeskEngine* engine, QWidget* parent = nullptr);
    ~CMeskMultiSettingsView() override;

    void reload();

    CMeskGeneralSettingsView* generalPage() const { return m_general; }
    CMeskServicesView* servicesPage() const { return m_services; }
    CMeskNotificationsView* notificationsPage() const { return m_notifications; }

private:
    CMeskEngine* m_engine = nullptr;
    CMeskGeneralSettingsView* m_general = nullptr;
    CMeskServicesView* m_services = nullptr;
    CMeskNotificationsView* m_notifications = nullptr;
};

// The painted header of three tabs, "General", "Services" and "Notifications". A press selects
// the tab under it (a press exactly on a boundary selects nothing).
class CMeskSettingsTabHeader : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskSettingsTabHeader(QWidget* parent = nullptr);
    ~CMeskSettingsTabHeader() override;

    // Makes the tab (0 to 2) the only active one and emits buttonClicked, also when it was
    // already active.
    void setCurrentTab(int index);
    int currentTab() const;

signals:
    void buttonClicked(int index);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct STab
    {
        bool active = false;
        QString text;
    };
    QList<STab> m_tabs;
    int m_first = 0;
    int m_second = 0;
};
