#pragma once

#include "meskrecords.h"

#include <QHash>
#include <QWidget>

class CMeskColumnHScroll;
class CMeskEngine;
class CMeskFeedErrorWidget;
class CMeskMultiStreamView;
class CMeskSettings;
class CMeskSingleStreamView;
class QVBoxLayout;

// The feed area of the main window: the column scroller and one feed view, single-column or
// multi-column, and the banners about the Internet connection, the 3G network, the modem and
// SIM, the signal and the services' errors. The two ignore keys are read from, and written by
// the banners to, the main window's one settings store.
class CMeskServiceFeedsView : public QWidget
{
    Q_OBJECT

public:
    CMeskServiceFeedsView(CMeskEngine* engine, CMeskSettings* settings, QWidget* parent = nullptr);

    void showSingleColumn();
    void showMultiColumn(int visibleColumns);

    CMeskSingleStreamView* singleStreamView() const { return m_singleView; }
    CMeskMultiStreamView* multiStreamView() const { return m_multiView; }
    CMeskColumnHScroll* columnScroller() const { return m_scroller; }

signals:
    void postUpdateAction(mid_t providerId, QString text);
    void postSmsAction(QString phone, QString text);

public slots:
    void setFilter(const QString& text);
    void clearFilter();
    void reloadView();

private slots:
    void _onServiceActivated(mid_t id);
    void _onServiceDeactivated(mid_t id);
    void _onServiceUpdateStarted(mid_t id);
    void _onServiceError(mid_t id, TMediaError code);
    void _onScrollColumns(int first);
    void _onInternetConnected();
    void _onInternetDisconnected();
    void _onNetworkChanged();
    void _onCellStateChanged();
    void _onCellSignalChanged();
    void _onProviderErrorClosed(int id, bool ignore);
    void _onErrorClosed(int kind, bool ignore);
    void _onWarningClosed(int kind, bool ignore);

private:
    void deleteViews();
    void createSingleStreamView();
    void createMultiStreamView(int visibleColumns);
    void updateBanners();
    void showError(int kind);
    void hideError(int kind);
    void showWarning(int kind);
    void showSmsColumnWarning(int kind);
    void hideWarning(int kind);
    void showProviderError(mid_t id, TMediaError code);
    void hideProviderError(mid_t id);
    // Into the view in use; the show operations create nothing while there is no view.
    void insertBanner(mid_t serviceId, QWidget* banner);
    bool hasView() const { return m_singleView || m_multiView; }
    bool settingOn(int key) const;
    // Whether the warning's kind was closed with the tick and its ignore key still says so.
    bool isWarningIgnored(int kind) const;

    CMeskEngine* m_engine = nullptr;
    CMeskSettings* m_settings = nullptr;
    CMeskSingleStreamView* m_singleView = nullptr;
    CMeskMultiStreamView* m_multiView = nullptr;
    QVBoxLayout* m_layout = nullptr;
    CMeskColumnHScroll* m_scroller = nullptr;
    QHash<mid_t, CMeskFeedErrorWidget*> m_providerBanners;
    QHash<int, CMeskFeedErrorWidget*> m_errorBanners;
    QHash<int, CMeskFeedErrorWidget*> m_warningBanners;
    QHash<int, bool> m_ignoredWarnings;
    QString m_filter;
    // Whether the modem layer has reported a device since start; until then no modem banner.
    bool m_modemSeen = false;
};
