#include "feed/meskservicefeedsview.h"

#include "feed/meskfeederrorwidget.h"
#include "feed/meskmultistreamview.h"
#include "feed/mesksinglestreamview.h"
#include "imediaitemprovider.h"
#include "mainwindow/meskbottombar.h"
#include "meskengine.h"
#include "mesktexts.h"
#include "meskuistyle.h"
#include "settings/mesksettings.h"

#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int ErrorNoInternet = MediaErrorNetwork;
constexpr int NetworkMobileBroadband = 3;

int ignoreKey(int warningKind)
{
    return warningKind == WarningCellularNetwork ? SettingIgnoreCellularNetworkWarning
                                                 : SettingIgnoreLowSignalWarning;
}

} // namespace

CMeskServiceFeedsView::CMeskServiceFeedsView(CMeskEngine* engine, CMeskSettings* settings, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_settings(settings)
{
    m_layout = new QVBoxLayout(this);
    const int side =
        style()->pixelMetric(QStyle::PixelMetric(CMeskUiStyle::PM_MeskFeedSideMargin), nullptr, this);
    m_layout->setContentsMargins(side, 0, side, 0);
    m_scroller = new CMeskColumnHScroll(this);
    m_layout->addWidget(m_scroller, 0);

    connect(engine, &CMeskEngine::serviceActivated, this, &CMeskServiceFeedsView::_onServiceActivated);
    connect(engine, &CMeskEngine::serviceDeactivated, this, &CMeskServiceFeedsView::_onServiceDeactivated);
    connect(engine, &CMeskEngine::serviceUpdateStarted, this,
            &CMeskServiceFeedsView::_onServiceUpdateStarted);
    connect(engine, &CMeskEngine::serviceError, this, &CMeskServiceFeedsView::_onServiceError);
    connect(engine, &CMeskEngine::internetConnected, this, &CMeskServiceFeedsView::_onInternetConnected);
    connect(engine, &CMeskEngine::internetDisconnected, this,
            &CMeskServiceFeedsView::_onInternetDisconnected);
    connect(engine, &CMeskEngine::networkChanged, this, &CMeskServiceFeedsView::_onNetworkChanged);
    connect(engine, &CMeskEngine::cellularStateChanged, this, &CMeskServiceFeedsView::_onCellStateChanged);
    connect(engine, &CMeskEngine::cellularSignalChanged, this, &CMeskServiceFeedsView::_onCellSignalChanged);
    connect(m_scroller, &CMeskColumnHScroll::scrollColumns, this, &CMeskServiceFeedsView::_onScrollColumns);
}

// ---- views ----

void CMeskServiceFeedsView::showSingleColumn()
{
    m_scroller->setColumns(1, 1);
    deleteViews();
    createSingleStreamView();
    updateBanners();
}

void CMeskServiceFeedsView::showMultiColumn(int visibleColumns)
{
    deleteViews();
    createMultiStreamView(visibleColumns);
    const int total = m_engine->activeProviderCount() + (m_engine->isSmsSupported() ? 1 : 0);
    m_scroller->setColumns(visibleColumns, total);
    m_scroller->setCurrentColumn(0);
    updateBanners();
}

void CMeskServiceFeedsView::deleteViews()
{
    delete m_singleView;
    m_singleView = nullptr;
    delete m_multiView;
    m_multiView = nullptr;
}

void CMeskServiceFeedsView::createSingleStreamView()
{
    m_singleView = new CMeskSingleStreamView(m_engine);
    connect(m_singleView, &CMeskSingleStreamView::postUpdateAction, this,
            &CMeskServiceFeedsView::postUpdateAction);
    connect(m_singleView, &CMeskSingleStreamView::postSmsAction, this, &CMeskServiceFeedsView::postSmsAction);
    m_layout->addWidget(m_singleView, 1);
    if (!m_filter.isEmpty())
        m_singleView->setFilter(m_filter);
}

void CMeskServiceFeedsView::createMultiStreamView(int visibleColumns)
{
    m_multiView = new CMeskMultiStreamView(visibleColumns, m_engine);
    connect(m_multiView, &CMeskMultiStreamView::postUpdateAction, this,
            &CMeskServiceFeedsView::postUpdateAction);
    connect(m_multiView, &CMeskMultiStreamView::postSmsAction, this, &CMeskServiceFeedsView::postSmsAction);
    m_layout->addWidget(m_multiView, 1);
    if (!m_filter.isEmpty())
        m_multiView->setFilter(m_filter);
}

void CMeskServiceFeedsView::updateBanners()
{
    // The banners went with the deleted view.
    m_providerBanners.clear();
    m_errorBanners.clear();
    m_warningBanners.clear();
    if (!m_engine->isInternetConnected())
        showError(ErrorNoInternet);
    _onNetworkChanged();
    _onCellStateChanged();
}

// ---- the main window's requests ----

void CMeskServiceFeedsView::setFilter(const QString& text)
{
    m_filter = text;
    if (m_singleView)
        m_singleView->setFilter(text);
    else if (m_multiView)
        m_multiView->setFilter(text);
}

void CMeskServiceFeedsView::clearFilter()
{
    m_filter.clear();
    if (m_singleView)
        m_singleView->clearFilter();
    else if (m_multiView)
        m_multiView->clearFilter();
}

void CMeskServiceFeedsView::reloadView()
{
    if (m_singleView)
        m_singleView->reload();
    else if (m_multiView)
        m_multiView->reload();
}

// ---- engine ----

void CMeskServiceFeedsView::_onServiceActivated(mid_t)
{
    if (m_multiView)
        showMultiColumn(m_multiView->columnCount());
}

void CMeskServiceFeedsView::_onServiceDeactivated(mid_t id)
{
    _onServiceActivated(id);
    // In single-column mode the banner stays in the view otherwise, with nothing to withdraw it.
    hideProviderError(id);
}

void CMeskServiceFeedsView::_onServiceUpdateStarted(mid_t id)
{
    hideProviderError(id);
}

void CMeskServiceFeedsView::_onServiceError(mid_t id, TMediaError code)
{
    switch (code) {
    case MediaErrorNone:
    case MediaErrorUnassigned:
    case MediaErrorServiceUnavailable:
    case MediaErrorGeneral:
        return;
    case MediaErrorNetwork:
        if (!m_engine->isInternetConnected())
            return;
        break;
    default:
        break;
    }
    showProviderError(id, code);
}

void CMeskServiceFeedsView::_onScrollColumns(int first)
{
    if (m_multiView)
        m_multiView->scrollColumns(first);
}

void CMeskServiceFeedsView::_onInternetConnected()
{
    hideError(ErrorNoInternet);
}

void CMeskServiceFeedsView::_onInternetDisconnected()
{
    showError(ErrorNoInternet);
}

void CMeskServiceFeedsView::_onNetworkChanged()
{
    if (m_engine->networkType() == NetworkMobileBroadband && !settingOn(SettingIgnoreCellularNetworkWarning))
        showWarning(WarningCellularNetwork);
    else
        hideWarning(WarningCellularNetwork);
}

void CMeskServiceFeedsView::_onCellStateChanged()
{
    const int state = m_engine->cellularState();
    if (state != CellularNoDevice)
        m_modemSeen = true;
    // Without a device ever seen there is no modem to tell the user about.
    if (state == CellularReady || !m_modemSeen) {
        hideProviderError(MeskProvider::SmsColumn);
        return;
    }
    TMediaError code = MediaErrorModemMissing;
    switch (state) {
    case CellularRadioOff:
        code = MediaErrorModemPoweredOff;
        break;
    case CellularSimUnusable:
        code = MediaErrorSimMissing;
        break;
    case CellularSimLocked:
        code = MediaErrorSimLocked;
        break;
    default:
        break;
    }
    showProviderError(MeskProvider::SmsColumn, code);
}

void CMeskServiceFeedsView::_onCellSignalChanged()
{
    if (m_engine->cellularSignal() == 1 && !settingOn(SettingIgnoreLowSignalWarning)) {
        if (m_engine->networkType() == NetworkMobileBroadband)
            showWarning(WarningLowSignal);
        else
            showSmsColumnWarning(WarningLowSignal);
    } else {
        hideWarning(WarningLowSignal);
    }
}

// ---- closing ----

void CMeskServiceFeedsView::_onProviderErrorClosed(int id, bool)
{
    hideProviderError(mid_t(qint64(id)));
}

void CMeskServiceFeedsView::_onErrorClosed(int kind, bool)
{
    hideError(kind);
}

void CMeskServiceFeedsView::_onWarningClosed(int kind, bool ignore)
{
    // The banner has already stored the ignore key.
    m_ignoredWarnings.insert(kind, ignore);
    hideWarning(kind);
}

// ---- banners ----

bool CMeskServiceFeedsView::settingOn(int key) const
{
    return m_settings && m_settings->value(key).toBool();
}

bool CMeskServiceFeedsView::isWarningIgnored(int kind) const
{
    // Restoring the defaults clears the key, and with it the choice made in this run.
    return m_ignoredWarnings.value(kind, false) && settingOn(ignoreKey(kind));
}

void CMeskServiceFeedsView::insertBanner(mid_t serviceId, QWidget* banner)
{
    if (m_singleView)
        m_singleView->insertTopWidget(serviceId, banner);
    else if (m_multiView)
        m_multiView->insertTopWidget(serviceId, banner);
}

void CMeskServiceFeedsView::showError(int kind)
{
    if (!hasView() || m_errorBanners.contains(kind))
        return;
    auto* banner = new CMeskFeedErrorWidget(kind, m_settings);
    connect(banner, &CMeskFeedErrorWidget::close, this, &CMeskServiceFeedsView::_onErrorClosed);
    banner->setError(kind);
    m_errorBanners.insert(kind, banner);
    insertBanner(0, banner);
}

void CMeskServiceFeedsView::hideError(int kind)
{
    if (CMeskFeedErrorWidget* banner = m_errorBanners.take(kind))
        banner->deleteLater();
}

void CMeskServiceFeedsView::showWarning(int kind)
{
    if (!hasView() || m_warningBanners.contains(kind) || isWarningIgnored(kind))
        return;
    auto* banner = new CMeskFeedErrorWidget(kind, m_settings);
    connect(banner, &CMeskFeedErrorWidget::close, this, &CMeskServiceFeedsView::_onWarningClosed);
    banner->setWarning(kind);
    m_warningBanners.insert(kind, banner);
    insertBanner(0, banner);
}

void CMeskServiceFeedsView::showSmsColumnWarning(int kind)
{
    if (!hasView() || m_warningBanners.contains(kind) || isWarningIgnored(kind) ||
        settingOn(SettingIgnoreCellularNetworkWarning))
        return;
    auto* banner = new CMeskFeedErrorWidget(kind, m_settings);
    connect(banner, &CMeskFeedErrorWidget::close, this, &CMeskServiceFeedsView::_onWarningClosed);
    banner->setWarning(kind);
    m_warningBanners.insert(kind, banner);
    insertBanner(MeskProvider::SmsColumn, banner);
}

void CMeskServiceFeedsView::hideWarning(int kind)
{
    if (CMeskFeedErrorWidget* banner = m_warningBanners.take(kind))
        banner->deleteLater();
}

void CMeskServiceFeedsView::showProviderError(mid_t id, TMediaError code)
{
    hideProviderError(id);
    if (!hasView())
        return;
    auto* banner = new CMeskFeedErrorWidget(int(id), m_settings);
    connect(banner, &CMeskFeedErrorWidget::close, this, &CMeskServiceFeedsView::_onProviderErrorClosed);
    if (IMediaItemProvider* provider = m_engine->provider(id)) {
        banner->setServiceError(provider->name(), int(code));
        // A provider without a logo keeps the error icon.
        if (!provider->icon().isNull())
            banner->setIcon(provider->icon());
    } else {
        banner->setError(int(code));
    }
    m_providerBanners.insert(id, banner);
    insertBanner(id, banner);
}

void CMeskServiceFeedsView::hideProviderError(mid_t id)
{
    if (CMeskFeedErrorWidget* banner = m_providerBanners.take(id))
        banner->deleteLater();
}
