#pragma once

#include "mediadatabaseopen.h"
#include "meskrecords.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class CMeskBottomBar;
class CMeskDebugToolsWidget;
class CMeskEngine;
class CMeskMainTitleBar;
class CMeskNotifications;
class CMeskPostSmsWidget;
class CMeskPostUpdateWidget;
class CMeskResizeFrame;
class CMeskServiceFeedsView;
class CMeskSettings;
class CMeskSettingsWidget;
class CMeskToolBar;
class CMeskWelcomeView;
class IMeskPowerEvents;
class QPainter;
class QScreen;
class QVBoxLayout;

// The program's one top-level window: frameless, it stacks the title bar, the toolbar, the feed
// area (or the settings view in its place, or on the first run the welcome page) and the bottom
// bar. It owns the one settings store, switches between one column (368 px) and three
// (1088 px), restores and saves its height and position, and pauses the periodic updates while
// the settings are shown.
class CMeskMainWindow : public QWidget
{
    Q_OBJECT
public:
    explicit CMeskMainWindow(CMeskEngine* engine, QWidget* parent = nullptr);
    ~CMeskMainWindow() override;

    CMeskEngine* engine() const { return m_engine; }
    CMeskSettings* settings() const { return m_settings; }
    CMeskMainTitleBar* titleBar() const { return m_titleBar; }
    CMeskToolBar* toolBar() const { return m_toolBar; }
    CMeskServiceFeedsView* feedsView() const { return m_feedsView; }
    CMeskSettingsWidget* settingsWidget() const { return m_settingsWidget; }
    CMeskWelcomeView* welcomeView() const { return m_welcomeView; }
    CMeskBottomBar* bottomBar() const { return m_bottomBar; }
    // The post dialogs are built when first needed (hidden, application-modal).
    CMeskPostUpdateWidget* postUpdateDialog();
    CMeskPostSmsWidget* postSmsDialog();
    bool isSingleColumn() const { return m_singleColumn; }
    // Says in an information box over this window (modal, plain text) that the stored data was damaged
    // (or made by another version of the program) and the program started with empty data, naming each
    // copy the data was kept as (its full path) and why.
    void tellDamagedData(const QList<SMediaDataBaseCopy>& copies);

private slots:
    void _onShowSettings();
    void _hideSettings();
    void _onCloseSettings();
    void _onSaveSettings();
    void _onShowSingleColumnView();
    void _onShowMultiColumnView();
    void _onPostNewUpdate();
    void _onPostNewMessage();
    void _onPostUpdateAction(mid_t providerId, const QString& text);
    void _onPostSmsAction(const QString& phone, const QString& text);
    void _onShowDeepDiveView();
    void _onShowLinksView();
    void _onCloseWelcomeScreen();
    void _onSettingsValueChanged(int key);
    void _onShowDebugWindow();
    void _onUpdateNow();
    void actionSystemMenu();

protected:
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void restoreGeometry();
    // The window's single-column width and the bars' and settings' single-column arrangement (the
    // mode is not stored).
    void setSingleColumnLayout();
    void saveGeometry();
    QScreen* currentScreen() const;
    void keepOnScreen(QScreen* target);
    bool isFirstRun();
    QPoint dialogAnchor() const;
    QPoint smsDialogPosition() const;
    QSize postDialogSize() const;
    int metric(unsigned int id, int fallback) const;
    void paintToolBarBand(QPainter& painter, const QRect& rect);
    void paintBottomBand(QPainter& painter, const QRect& rect);
    void paintColumnSeparators(QPainter& painter, const QRect& rect);

    CMeskEngine* m_engine = nullptr;
    CMeskSettings* m_settings = nullptr;
    CMeskNotifications* m_notifications = nullptr;
    QVBoxLayout* m_layout = nullptr;
    CMeskMainTitleBar* m_titleBar = nullptr;
    CMeskToolBar* m_toolBar = nullptr;
    CMeskServiceFeedsView* m_feedsView = nullptr;
    CMeskSettingsWidget* m_settingsWidget = nullptr;
    CMeskWelcomeView* m_welcomeView = nullptr;
    CMeskBottomBar* m_bottomBar = nullptr;
    CMeskResizeFrame* m_resizeFrame = nullptr;
    CMeskPostUpdateWidget* m_postUpdateDialog = nullptr;
    CMeskPostSmsWidget* m_postSmsDialog = nullptr;
    QPointer<CMeskDebugToolsWidget> m_debugTools;
    std::unique_ptr<IMeskPowerEvents> m_powerEvents;
    bool m_singleColumn = true;
    bool m_firstRun = false;
    int m_columnCount = 1;
};
