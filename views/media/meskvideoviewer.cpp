#include "media/meskvideoviewer.h"

#include "imediaobjects.h"
#include "imeskvideoplayer.h"
#include "media/meskdeepdiveerrorwidget.h"
#include "meskuistyle.h"
#include "widgets/quoranimationwidget.h"

#include <QFileInfo>
#include <QPainter>
#include <QUrl>

namespace {

constexpr QSize PlaceholderSize(640, 480);

} // namespace

CMeskVideoViewer::CMeskVideoViewer(QWidget* parent) : QWidget(parent) {}

CMeskVideoViewer::~CMeskVideoViewer() = default;

void CMeskVideoViewer::setVideoItem(IMediaVideoItem* item)
{
    Q_ASSERT(item);
    disconnectDownload();
    m_item = item;
    connectDownload();
    _play();
}

void CMeskVideoViewer::connectDownload()
{
    if (!m_item)
        return;
    connect(m_item, &IMediaVideoItem::downloadDone, this, &CMeskVideoViewer::_onDownloadDone,
            Qt::UniqueConnection);
    connect(m_item, &IMediaVideoItem::downloadFailed, this, &CMeskVideoViewer::_onDownloadFailed,
            Qt::UniqueConnection);
    connect(m_item, &IMediaVideoItem::downloadProgress, this, &CMeskVideoViewer::_onDownloadProgress,
            Qt::UniqueConnection);
}

void CMeskVideoViewer::disconnectDownload()
{
    if (m_item)
        disconnect(m_item, nullptr, this, nullptr);
}

void CMeskVideoViewer::_play()
{
    deleteErrorPage();
    deleteWaitAnimation();
    if (!m_item)
        return;
    // Hiding the viewer forgot the download; playing again listens to it again.
    connectDownload();
    switch (m_item->videoKind()) {
    case IMediaVideoItem::PlayUrl: {
        const QUrl address(m_item->videoUrl(), QUrl::StrictMode);
        const QString scheme = address.scheme().toLower();
        if (address.isValid() && !address.host().isEmpty() &&
            (scheme == QLatin1String("http") || scheme == QLatin1String("https")))
            playMedia(address);
        else
            showFormatPage();
        break;
    }
    case IMediaVideoItem::FlashVideo:
        playFlash(m_item->videoUrl());
        break;
    default: {
        const QString file = m_item->videoFile();
        if (!file.isEmpty() && QFileInfo(file).isFile())
            playMedia(QUrl::fromLocalFile(file));
        else
            _downloadFile();
        break;
    }
    }
}

void CMeskVideoViewer::preparePlayerWidget(IMeskVideoPlayer* player)
{
    QWidget* widget = player->widget();
    if (!widget)
        return;
    widget->setGeometry(rect());
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Active, QPalette::Window, CMeskUiStyle::color(39));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
    widget->setBackgroundRole(QPalette::Window);
    widget->setObjectName(QStringLiteral("MeskVideoViewer"));
    widget->setFocusPolicy(Qt::StrongFocus);
}

void CMeskVideoViewer::playMedia(const QUrl& source)
{
    if (!m_player) {
        // Made once, at the first playback: a browser over images never starts the media stack.
        m_player = IMeskVideoPlayer::create(IMeskVideoPlayer::Media, this);
        if (m_player)
            preparePlayerWidget(m_player);
    }
    if (!m_player || !m_player->isAvailable()) {
        showFormatPage();
        return;
    }
    connect(m_player, &IMeskVideoPlayer::failed, this, &CMeskVideoViewer::_onPlayerError,
            Qt::UniqueConnection);
    if (m_flash) {
        m_flash->unload();
        if (QWidget* flash = m_flash->widget())
            flash->hide();
    }
    if (QWidget* widget = m_player->widget())
        widget->show();
    m_player->load(source);
}

void CMeskVideoViewer::playFlash(const QString& address)
{
    delete m_flash.data();
    m_flash = IMeskVideoPlayer::create(IMeskVideoPlayer::Flash, this);
    if (!m_flash || !m_flash->isAvailable()) {
        showErrorPage(tr("Flash Player is not installed", "Dialog title"),
                      tr("Adobe Flash Player is not installed. You need this in order to play the video.",
                         "Error information"));
        return;
    }
    preparePlayerWidget(m_flash);
    connect(m_flash, &IMeskVideoPlayer::failed, this, &CMeskVideoViewer::_onFlashError, Qt::UniqueConnection);
    if (m_player) {
        m_player->unload();
        if (QWidget* widget = m_player->widget())
            widget->hide();
    }
    if (QWidget* widget = m_flash->widget())
        widget->show();
    m_flash->load(QUrl(address, QUrl::StrictMode));
}

void CMeskVideoViewer::hidePlayers()
{
    for (IMeskVideoPlayer* player : {m_player.data(), m_flash.data()}) {
        if (player && player->widget())
            player->widget()->hide();
    }
}

void CMeskVideoViewer::_downloadFile()
{
    deleteErrorPage();
    hidePlayers();
    connectDownload();
    showWaitAnimation();
    if (m_item)
        m_item->loadVideo();
    update();
}

void CMeskVideoViewer::_onDownloadDone()
{
    deleteWaitAnimation();
    if (!m_item)
        return;
    const QString file = m_item->videoFile();
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        // "Done" without a file to play is a failed download.
        _onDownloadFailed();
        return;
    }
    playMedia(QUrl::fromLocalFile(file));
}

void CMeskVideoViewer::_onDownloadFailed()
{
    deleteWaitAnimation();
    showErrorPage(tr("Video download failed", "Dialog title"),
                  tr("Failed to download video from server, please check that your network connection works "
                     "properly and your account is not blocked.",
                     "Error information"));
}

void CMeskVideoViewer::_onDownloadProgress(int done, int total)
{
    // Progress is not shown.
    Q_UNUSED(done)
    Q_UNUSED(total)
}

void CMeskVideoViewer::_onPlayerError()
{
    if (sender() && sender() != m_player.data())
        return;
    hidePlayers();
    showFormatPage();
}

void CMeskVideoViewer::_onFlashError()
{
    if (sender() && sender() != m_flash.data())
        return;
    hidePlayers();
    showErrorPage(tr("Flash player error", "Dialog title"),
                  tr("The video could not be reproduced; Velto Lumesk is unable to determine the resons for "
                     "this problem. Please try to watch this directly from the service website.",
                     "Error information"));
}

void CMeskVideoViewer::showFormatPage()
{
    showErrorPage(tr("Video format is not supported", "Dialog title"),
                  tr("The video was corrupted or its format is not supported.", "Error information"));
}

void CMeskVideoViewer::showWaitAnimation()
{
    deleteWaitAnimation();
    m_wait = new CQuorAnimationWidget(this);
    m_wait->move(width() / 2, height() / 2);
    m_wait->show();
    m_wait->start();
}

void CMeskVideoViewer::deleteWaitAnimation()
{
    delete m_wait;
    m_wait = nullptr;
}

void CMeskVideoViewer::deleteErrorPage()
{
    if (!m_error)
        return;
    // The page may be the sender of the "Try again" being handled: it goes once that is done.
    m_error->hide();
    m_error->deleteLater();
    m_error = nullptr;
}

void CMeskVideoViewer::showErrorPage(const QString& title, const QString& text)
{
    deleteErrorPage();
    hidePlayers();
    m_error = new CMeskDeepDiveErrorWidget(title, text, this);
    m_error->move((width() - m_error->width()) / 2, (height() - m_error->height()) / 3);
    m_error->show();
    const bool playAgain = m_item && m_item->videoKind() != IMediaVideoItem::PlayFile;
    if (playAgain)
        connect(m_error, &CMeskDeepDiveErrorWidget::tryAgain, this, &CMeskVideoViewer::_play);
    else
        connect(m_error, &CMeskDeepDiveErrorWidget::tryAgain, this, &CMeskVideoViewer::_downloadFile);
    update();
}

void CMeskVideoViewer::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event)
    if (m_error || !m_wait)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Centred; a viewer smaller than the placeholder clips it at its edges.
    painter.fillRect(
        QRect(QPoint((width() - PlaceholderSize.width()) / 2, (height() - PlaceholderSize.height()) / 2),
              PlaceholderSize),
        CMeskUiStyle::color(43));
}

void CMeskVideoViewer::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    for (IMeskVideoPlayer* player : {m_player.data(), m_flash.data()}) {
        if (player && player->widget())
            player->widget()->setGeometry(rect());
    }
    if (m_wait)
        m_wait->move(width() / 2, height() / 2);
    if (m_error)
        m_error->move((width() - m_error->width()) / 2, (height() - m_error->height()) / 3);
}

void CMeskVideoViewer::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    for (IMeskVideoPlayer* player : {m_player.data(), m_flash.data()}) {
        if (player)
            player->unload();
    }
    // A download that ends while the viewer is hidden must not start playback behind what is
    // shown now; the next setVideoItem starts over and finds the downloaded file.
    disconnectDownload();
    if (m_wait) {
        deleteWaitAnimation();
        update();
    }
}
