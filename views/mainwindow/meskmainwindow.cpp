#include "mainwindow/meskmainwindow.h"

#include "feed/meskservicefeedsview.h"
#include "imediaitemprovider.h"
#include "imediaposting.h"
#include "imeskpowerevents.h"
#include "links/mesklinksbrowser.h"
#include "mainwindow/meskbottombar.h"
#include "mainwindow/meskdebugtools.h"
#include "mainwindow/meskmaintitlebar.h"
#include "mainwindow/mesktoolbar.h"
#include "mainwindow/meskwelcomeview.h"
#include "media/meskdeepdiveview.h"
#include "meskengine.h"
#include "meskmessagebox.h"
#include "meskresizeframe.h"
#include "meskuistyle.h"
#include "notifications/mesknotifications.h"
#include "post/meskpostsmswidget.h"
#include "post/meskpostupdatewidget.h"
#include "settings/mesksettings.h"
#include "settings/mesksettingswidget.h"
#include "style/quorimages.h"
#include "windows/quorscreenfit.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QStyleHintReturnMask>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

// The part of a screen windows may cover (without the desktop's panels).
QRect availableArea(const QScreen* screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

} // namespace

CMeskMainWindow::CMeskMainWindow(CMeskEngine* engine, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::CustomizeWindowHint), m_engine(engine)
{
    setWindowTitle(QStringLiteral("Velto Lumesk"));
    setWindowIcon(QIcon(QuorImages::pixmap(QStringLiteral(":/meskstyle/images/lumesk_48x48.png"))));

    m_settings = new CMeskSettings(this);
    connect(m_settings, &CMeskSettings::valueChanged, this, &CMeskMainWindow::_onSettingsValueChanged);
    m_notifications = new CMeskNotifications(m_engine, m_settings, this);

    const int mode = m_settings->value(SettingMainColumnMode).toInt();
    setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.window.main"));
    m_firstRun = isFirstRun();
    // The welcome picture is read while the rest of the window is made.
    std::future<QImage> welcomePicture;
    if (m_firstRun)
        welcomePicture = CMeskWelcomeView::readPicture();

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    m_titleBar = new CMeskMainTitleBar(this);
    m_layout->addWidget(m_titleBar);
    m_titleBar->setTitle(QStringLiteral("Velto Lumesk"));

    m_toolBar = new CMeskToolBar(mode == 1, this);
    m_layout->addWidget(m_toolBar);

    m_feedsView = new CMeskServiceFeedsView(m_engine, m_settings, this);
    m_settingsWidget = new CMeskSettingsWidget(m_settings, m_engine, false, this);
    m_layout->addWidget(m_feedsView, 1);
    m_layout->addWidget(m_settingsWidget, 1);

    if (m_firstRun) {
        m_welcomeView = new CMeskWelcomeView(std::move(welcomePicture), this);
        m_layout->addWidget(m_welcomeView, 1);
    }

    m_bottomBar = new CMeskBottomBar(mode == 1, this);
    m_layout->addWidget(m_bottomBar);

    m_resizeFrame = new CMeskResizeFrame(this);
    m_resizeFrame->setWidget(this);

    // One chord: a first stroke of a lone modifier would never match a key press.
    auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(shortcut, &QShortcut::activated, this, &CMeskMainWindow::actionSystemMenu);
    connect(shortcut, &QShortcut::activatedAmbiguously, this, &CMeskMainWindow::actionSystemMenu);
    shortcut->setEnabled(true);

    connect(m_toolBar, &CMeskToolBar::newUpdate, this, &CMeskMainWindow::_onPostNewUpdate);
    connect(m_toolBar, &CMeskToolBar::newTextMessage, this, &CMeskMainWindow::_onPostNewMessage);
    connect(m_toolBar, &CMeskToolBar::showDeepDiveView, this, &CMeskMainWindow::_onShowDeepDiveView);
    connect(m_toolBar, &CMeskToolBar::showLinksView, this, &CMeskMainWindow::_onShowLinksView);
    connect(m_bottomBar, &CMeskBottomBar::singleColumnMode, this, &CMeskMainWindow::_onShowSingleColumnView);
    connect(m_bottomBar, &CMeskBottomBar::multiColumnMode, this, &CMeskMainWindow::_onShowMultiColumnView);
    connect(m_bottomBar, &CMeskBottomBar::settingsButton, this, &CMeskMainWindow::_onShowSettings);
    connect(m_bottomBar, &CMeskBottomBar::saveSettings, this, &CMeskMainWindow::_onSaveSettings);
    connect(m_bottomBar, &CMeskBottomBar::closeSettings, this, &CMeskMainWindow::_onCloseSettings);
    connect(m_toolBar, &CMeskToolBar::filterText, m_feedsView, &CMeskServiceFeedsView::setFilter);
    connect(m_toolBar, &CMeskToolBar::clearFilter, m_feedsView, &CMeskServiceFeedsView::clearFilter);
    connect(m_bottomBar, &CMeskBottomBar::filterText, m_feedsView, &CMeskServiceFeedsView::setFilter);
    connect(m_bottomBar, &CMeskBottomBar::clearFilter, m_feedsView, &CMeskServiceFeedsView::clearFilter);
    connect(m_feedsView, &CMeskServiceFeedsView::postUpdateAction, this,
            &CMeskMainWindow::_onPostUpdateAction);
    connect(m_feedsView, &CMeskServiceFeedsView::postSmsAction, this, &CMeskMainWindow::_onPostSmsAction);

    // Waking from suspend: the feed may be stale, reload it.
    m_powerEvents = IMeskPowerEvents::create();
    if (m_powerEvents)
        connect(m_powerEvents.get(), &IMeskPowerEvents::resumed, m_feedsView,
                &CMeskServiceFeedsView::reloadView);

    setMinimumHeight(metric(CMeskUiStyle::PM_MeskMainWindowMinHeight, 500));

    if (!m_firstRun) {
        m_settingsWidget->hide();
        restoreGeometry();
        if (mode == 1)
            _onShowMultiColumnView();
        else
            _onShowSingleColumnView();
        // A start whose reads or writes failed ends before its window shows: nothing is updated for it.
        if (m_engine && m_engine->storageAccessFailure().kind == TMeskStorageFailure::Kind::None)
            m_engine->startUpdates();
    } else {
        // The feed stays hidden behind the welcome view: its stream is built when the welcome view
        // closes. The single column is the default mode: the first start writes no settings file
        // before its window shows.
        setSingleColumnLayout();
        m_bottomBar->setEnabled(false);
        m_toolBar->setEnabled(false);
        m_feedsView->hide();
        m_settingsWidget->hide();
        connect(m_welcomeView, &CMeskWelcomeView::openServiceSettings, this,
                &CMeskMainWindow::_onCloseWelcomeScreen);
        const QRect desk = availableArea(currentScreen());
        // One layout pass: the width of the size hint (at most two thirds of the desktop, as a
        // window's adjusted size), and at that width the height the word-wrapped welcome text needs
        // (more than the size hint says) while the desktop has room.
        ensurePolished();
        const QSize hint = sizeHint();
        int w = hint.width();
        if (m_layout->expandingDirections() & Qt::Horizontal)
            w = std::max(w, 200);
        w = std::clamp(std::min(w, desk.width() * 2 / 3), minimumWidth(), maximumWidth());
        const int h = m_layout->hasHeightForWidth()
                          ? std::min(std::max(m_layout->totalHeightForWidth(w), minimumHeight()),
                                     std::max(desk.height(), minimumHeight()))
                          : std::max(std::min(hint.height(), desk.height() * 2 / 3), minimumHeight());
        resize(w, h);
        QPoint pos(desk.x() + (desk.width() - width()) / 2, desk.y() + (desk.height() - height()) / 2);
        if (pos.x() < 0)
            pos.setX(100);
        if (pos.y() < 0)
            pos.setY(100);
        move(pos);
    }
}

CMeskMainWindow::~CMeskMainWindow()
{
    saveGeometry();
}

int CMeskMainWindow::metric(unsigned int id, int fallback) const
{
    const int value = style()->pixelMetric(QStyle::PixelMetric(id), nullptr, this);
    return value > 0 ? value : fallback;
}

void CMeskMainWindow::_onShowSettings()
{
    if (m_engine)
        m_engine->stopUpdates();
    m_feedsView->hide();
    m_settingsWidget->show();
    m_bottomBar->showSettingsMode();
    m_toolBar->setEnabled(false);
}

void CMeskMainWindow::_hideSettings()
{
    m_settingsWidget->hide();
    m_feedsView->show();
    m_bottomBar->showFeedsMode();
    m_toolBar->setEnabled(true);
    if (m_engine)
        m_engine->startUpdates();
}

void CMeskMainWindow::_onCloseSettings()
{
    m_settings->discard();
    m_settingsWidget->reload();
    _hideSettings();
}

void CMeskMainWindow::_onSaveSettings()
{
    if (!m_settings->save()) {
        // The settings stay open and Save tries again. After Cancel the choices stay in use, and the
        // settings' next write that succeeds writes them too.
        //: Error information, in a box over the settings after Save. %1 is the full path of the settings
        //: file, which keeps the settings saved before.
        const QString text = tr("Velto Lumesk could not save its settings in the file \"%1\".")
                                 .arg(QDir::toNativeSeparators(CMeskSettings::filePath()));
        // Plain text: a path may hold anything.
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Velto Lumesk"), text, QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return;
    }
    _hideSettings();
}

void CMeskMainWindow::_onShowSingleColumnView()
{
    m_feedsView->showSingleColumn();
    setSingleColumnLayout();
    m_settings->storeValue(SettingMainColumnMode, 0);
}

void CMeskMainWindow::setSingleColumnLayout()
{
    m_singleColumn = true;
    m_columnCount = 1;
    m_settingsWidget->showSingleView();
    m_toolBar->setSingleColumnMode();
    m_bottomBar->setSingleColumnMode();
    m_toolBar->resetFilter();
    m_bottomBar->resetFilter();
    QScreen* current = currentScreen();
    setFixedWidth(metric(CMeskUiStyle::PM_MeskColumnWidth, 360) +
                  2 * metric(CMeskUiStyle::PM_MeskFeedSideMargin, 4));
    keepOnScreen(current);
}

void CMeskMainWindow::_onShowMultiColumnView()
{
    // As many whole columns as the screen holds, at most three; the column scroller reaches the rest.
    const int column = metric(CMeskUiStyle::PM_MeskColumnWidth, 360);
    const int sides = 2 * metric(CMeskUiStyle::PM_MeskFeedSideMargin, 4);
    QScreen* current = currentScreen();
    const int columns = std::clamp((availableArea(current).width() - sides) / column, 1, 3);
    m_columnCount = columns;
    m_singleColumn = false;
    m_feedsView->showMultiColumn(columns);
    // The settings' three pages side by side need three columns; in fewer the third page would be
    // cut off, so they take the tabbed arrangement instead.
    if (columns >= 3)
        m_settingsWidget->showMultiView();
    else
        m_settingsWidget->showSingleView();
    m_toolBar->setMultiColumnMode();
    m_bottomBar->setMultiColumnMode();
    m_toolBar->resetFilter();
    m_bottomBar->resetFilter();
    m_settings->storeValue(SettingMainColumnMode, 1);
    setFixedWidth(columns * column + sides);
    keepOnScreen(current);
}

QSize CMeskMainWindow::postDialogSize() const
{
    return QSize(metric(CMeskUiStyle::PM_MeskColumnWidth, 360) -
                     2 * metric(CMeskUiStyle::PM_MeskPostDialogOffsetX, 10),
                 metric(CMeskUiStyle::PM_MeskPostDialogHeight, 250));
}

QPoint CMeskMainWindow::smsDialogPosition() const
{
    return dialogAnchor() + (m_singleColumn ? QPoint() : QPoint(100, 0));
}

void CMeskMainWindow::_onPostNewUpdate()
{
    if (m_postSmsDialog)
        m_postSmsDialog->hide();
    CMeskPostUpdateWidget* dialog = postUpdateDialog();
    dialog->resize(postDialogSize());
    dialog->move(dialogAnchor());
    dialog->show();
}

void CMeskMainWindow::_onPostNewMessage()
{
    if (m_postUpdateDialog)
        m_postUpdateDialog->hide();
    CMeskPostSmsWidget* dialog = postSmsDialog();
    dialog->resize(postDialogSize());
    dialog->move(smsDialogPosition());
    dialog->show();
}

void CMeskMainWindow::_onPostUpdateAction(mid_t providerId, const QString& text)
{
    IMediaUpdateManager* manager = m_engine ? m_engine->updateManager() : nullptr;
    if (manager) {
        for (IMediaItemProvider* provider : manager->providers()) {
            if (provider->providerId() == providerId)
                manager->selectProvider(provider->providerId());
            else
                manager->deselectProvider(provider->providerId());
        }
    }
    postUpdateDialog()->setText(text);
    _onPostNewUpdate();
}

void CMeskMainWindow::_onPostSmsAction(const QString& phone, const QString& text)
{
    CMeskPostSmsWidget* dialog = postSmsDialog();
    dialog->setRecipient(phone);
    dialog->setText(text);
    _onPostNewMessage();
}

void CMeskMainWindow::_onShowDeepDiveView()
{
    // exec() pauses and restarts the updates itself.
    CMeskDeepDiveView view(m_engine, m_settings, this);
    view.exec();
}

void CMeskMainWindow::_onShowLinksView()
{
    sMeskShowLinksBrowser(m_engine, this);
}

void CMeskMainWindow::_onCloseWelcomeScreen()
{
    delete m_welcomeView;
    m_welcomeView = nullptr;
    if (!m_feedsView->singleStreamView() && !m_feedsView->multiStreamView())
        m_feedsView->showSingleColumn();
    m_bottomBar->setEnabled(true);
    m_toolBar->setEnabled(true);
    m_firstRun = false;
    m_settings->setValue(SettingFirstRun, false);
    m_settings->commitValue(SettingFirstRun);
    _onShowSettings();
    m_settingsWidget->showServicesPage();
}

void CMeskMainWindow::_onSettingsValueChanged(int) {}

void CMeskMainWindow::_onShowDebugWindow()
{
    if (!m_debugTools)
        m_debugTools = new CMeskDebugToolsWidget(m_engine, this);
    m_debugTools->show();
}

void CMeskMainWindow::_onUpdateNow()
{
    if (m_engine)
        m_engine->doUpdates();
}

void CMeskMainWindow::actionSystemMenu()
{
    m_titleBar->showSystemMenu();
}

void CMeskMainWindow::restoreGeometry()
{
    // The stored corner picks the screen; a corner on no screen keeps the default place.
    const QPoint p = m_settings->value(SettingMainWindowPosition).toPoint();
    QScreen* target = QGuiApplication::screenAt(p);
    if (!target)
        target = currentScreen();
    const QRect desk = availableArea(target);
    setMaximumHeight(desk.height());
    const int minHeight = metric(CMeskUiStyle::PM_MeskMainWindowMinHeight, 500);
    const int h = m_settings->value(SettingMainWindowHeight).toInt();
    resize(minimumWidth(), h > minHeight && h < desk.height() ? h : minHeight);
    if (p.x() > desk.left() && p.x() <= desk.right() && p.y() > desk.top() && p.y() <= desk.bottom())
        move(p);
    keepOnScreen(target);
}

QScreen* CMeskMainWindow::currentScreen() const
{
    // The one under the window's centre, else the one under its top-left corner.
    const QRect frame = frameGeometry();
    if (QScreen* under = QGuiApplication::screenAt(frame.center()))
        return under;
    if (QScreen* under = QGuiApplication::screenAt(frame.topLeft()))
        return under;
    return screen();
}

void CMeskMainWindow::keepOnScreen(QScreen* target)
{
    // Without a window manager nothing else brings back a window hanging off its screen:
    // move it left, then up, until it lies wholly inside the screen's available area.
    CQuorScreenFit::moveInside(this, availableArea(target));
}

void CMeskMainWindow::saveGeometry()
{
    m_settings->setValue(SettingMainWindowHeight, height());
    m_settings->commitValue(SettingMainWindowHeight);
    m_settings->setValue(SettingMainWindowPosition, pos());
    m_settings->commitValue(SettingMainWindowPosition);
}

bool CMeskMainWindow::isFirstRun()
{
    if (!m_settings->value(SettingFirstRun).toBool())
        return false;
    if (m_engine && m_engine->activeProviderCount() == 0) {
        bool read = false;
        const bool noMessages = m_engine->smsMessages(&read).isEmpty();
        // Messages that cannot be read are not none: no welcome, and the next start asks again.
        if (!read)
            return false;
        if (noMessages)
            return true;
    }
    m_settings->setValue(SettingFirstRun, false);
    m_settings->commitValue(SettingFirstRun);
    return false;
}

CMeskPostUpdateWidget* CMeskMainWindow::postUpdateDialog()
{
    if (!m_postUpdateDialog) {
        m_postUpdateDialog = new CMeskPostUpdateWidget(m_engine ? m_engine->updateManager() : nullptr, this);
        m_postUpdateDialog->hide();
        m_postUpdateDialog->setWindowModality(Qt::ApplicationModal);
    }
    return m_postUpdateDialog;
}

CMeskPostSmsWidget* CMeskMainWindow::postSmsDialog()
{
    if (!m_postSmsDialog) {
        m_postSmsDialog = new CMeskPostSmsWidget(m_engine, this);
        m_postSmsDialog->hide();
        m_postSmsDialog->setWindowModality(Qt::ApplicationModal);
    }
    return m_postSmsDialog;
}

QPoint CMeskMainWindow::dialogAnchor() const
{
    return m_toolBar->mapToGlobal(QPoint(0, 0)) + QPoint(metric(CMeskUiStyle::PM_MeskPostDialogOffsetX, 10),
                                                         metric(CMeskUiStyle::PM_MeskPostDialogOffsetY, 5));
}

void CMeskMainWindow::paintEvent(QPaintEvent*)
{
    QStyleOptionFrame option;
    option.initFrom(this);
    QStyleHintReturnMask mask;
    if (style()->styleHint(QStyle::SH_WindowFrame_Mask, &option, this, &mask))
        setMask(mask.region);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), CMeskUiStyle::color(0));
    const int bandHeight =
        metric(CMeskUiStyle::PM_MeskToolBarHeight, 40) + metric(CMeskUiStyle::PM_MeskScrollBarWidth, 10) / 2;
    const QRect band(0, m_titleBar->height(), width(), bandHeight);
    paintToolBarBand(painter, band);
    const int bottomHeight = metric(CMeskUiStyle::PM_MeskBottomBarHeight, 35);
    paintBottomBand(painter, QRect(0, height() - bottomHeight, width(), bottomHeight));
    if (!m_firstRun)
        paintColumnSeparators(painter, QRect(0, band.bottom() + 1, width(),
                                             height() - m_titleBar->height() - bandHeight - bottomHeight));
}

void CMeskMainWindow::paintToolBarBand(QPainter& painter, const QRect& rect)
{
    QLinearGradient gradient(rect.center().x(), rect.top(), rect.center().x(), rect.bottom());
    gradient.setColorAt(0, CMeskUiStyle::color(3));
    gradient.setColorAt(1, CMeskUiStyle::color(4));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRect(rect);
    painter.setPen(QPen(CMeskUiStyle::color(5), metric(CMeskUiStyle::PM_MeskMainWindowBand, 3)));
    painter.drawLine(rect.left(), rect.bottom(), rect.left() + rect.width(), rect.bottom());
}

void CMeskMainWindow::paintBottomBand(QPainter& painter, const QRect& rect)
{
    QLinearGradient gradient(rect.center().x(), rect.top(), rect.center().x(), rect.bottom());
    gradient.setColorAt(0, CMeskUiStyle::color(10));
    gradient.setColorAt(1, CMeskUiStyle::color(11));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRect(rect);
}

void CMeskMainWindow::paintColumnSeparators(QPainter& painter, const QRect& rect)
{
    if (!m_engine)
        return;
    const int n = m_engine->activeProviderCount() + (m_engine->isSmsSupported() ? 1 : 0);
    const int column = metric(CMeskUiStyle::PM_MeskColumnWidth, 360);
    const int first = metric(CMeskUiStyle::PM_MeskFeedSideMargin, 4) + column -
                      metric(CMeskUiStyle::PM_MeskScrollBarWidth, 10) / 2;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(CMeskUiStyle::color(15), 1));
    for (int i = 0; i < m_columnCount && i < n; ++i) {
        const int x = first + i * column;
        painter.drawLine(x, rect.top(), x, rect.top() + rect.height());
    }
}

void CMeskMainWindow::moveEvent(QMoveEvent* event)
{
    if (m_postUpdateDialog)
        m_postUpdateDialog->move(dialogAnchor());
    if (m_postSmsDialog)
        m_postSmsDialog->move(smsDialogPosition());
    QWidget::moveEvent(event);
}

void CMeskMainWindow::tellDamagedData(const QList<SMediaDataBaseCopy>& copies)
{
    if (copies.isEmpty())
        return;
    QString text;
    if (copies.size() == 1) {
        const QString path = QDir::toNativeSeparators(copies.first().path);
        text =
            copies.first().otherVersion
                //: Information shown once, over the main window, at a start that found the program's data
                //: written by an older or newer version of the program, which this one cannot use. %1 is the
                //: full path of the file, kept under a new name. "Services" is the settings page where the
                //: accounts are linked.
                ? tr("The program's data was made by another version of Velto Lumesk, so Velto Lumesk "
                     "started "
                     "with empty data. The data is kept as \"%1\".\n\nPlease link your accounts again under "
                     "Services in the settings.")
                      .arg(path)
                //: Information shown once, over the main window, at a start that found the program's data
                //: damaged. %1 is the full path of the damaged file, kept under a new name. "Services" is the
                //: settings page where the accounts are linked.
                : tr("The program's data was damaged, so Velto Lumesk started with empty data. The damaged "
                     "file is kept as \"%1\".\n\nPlease link your accounts again under Services in the "
                     "settings.")
                      .arg(path);
    } else {
        QStringList lines;
        for (const SMediaDataBaseCopy& copy : copies) {
            const QString path = QDir::toNativeSeparators(copy.path);
            if (copy.otherVersion) {
                //: One line of the list of kept data files: %1 is the full path of a file the program's data
                //: was kept as, made by another version of the program.
                lines.append(tr("\"%1\" (made by another version of Velto Lumesk)").arg(path));
            } else {
                //: One line of the list of kept data files: %1 is the full path of a damaged file the
                //: program's data was kept as.
                lines.append(tr("\"%1\" (damaged)").arg(path));
            }
        }
        //: Information shown once, over the main window, at a start that found the program's data unusable
        //: more than once since the user was last told (damaged, or made by another version). %1 is the
        //: list of the kept files, one a line, oldest first. "Services" is the settings page where the
        //: accounts are linked.
        text = tr("The program's data could not be used, so Velto Lumesk started with empty data. The "
                  "data is kept in these files:\n\n%1\n\nPlease link your accounts again under Services in "
                  "the settings.")
                   .arg(lines.join(QLatin1Char('\n')));
    }
    // Plain text: a path may hold anything.
    CMeskMessageBox::information(text, this, Qt::PlainText);
}

void CMeskMainWindow::closeEvent(QCloseEvent* event)
{
    if (m_postUpdateDialog)
        m_postUpdateDialog->close();
    if (m_postSmsDialog)
        m_postSmsDialog->close();
    if (m_debugTools)
        m_debugTools->close();
    event->accept();
}
