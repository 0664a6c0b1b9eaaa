#pragma once

#include "imediaobjects.h"
#include "imeskvideoplayer.h"

#include <QPointer>
#include <QWidget>

class CMeskDeepDiveErrorWidget;
class CQuorAnimationWidget;

// Plays the video of a video item through the platform's video player: its web address (http
// and https only), or its local file, downloaded first under a wait animation. Flash content
// asks for a Flash player, which Linux does not have. Failures show an error page with "Try
// again". Hiding the viewer stops playback and forgets a pending download.
class CMeskVideoViewer : public QWidget
{
    Q_OBJECT
public:
    explicit CMeskVideoViewer(QWidget* parent = nullptr);
    ~CMeskVideoViewer() override;

    void setVideoItem(IMediaVideoItem* item);

    CQuorAnimationWidget* waitAnimation() const { return m_wait; }
    CMeskDeepDiveErrorWidget* errorPage() const { return m_error; }
    // The address and file player (made at the first playback) and the last Flash player.
    IMeskVideoPlayer* player() const { return m_player; }
    IMeskVideoPlayer* flashPlayer() const { return m_flash; }

private slots:
    void _onDownloadDone();
    void _onDownloadFailed();
    void _onDownloadProgress(int done, int total);
    void _onPlayerError();
    void _onFlashError();
    void _downloadFile();
    void _play();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void connectDownload();
    void disconnectDownload();
    void playMedia(const QUrl& source);
    void playFlash(const QString& address);
    void preparePlayerWidget(IMeskVideoPlayer* player);
    void hidePlayers();
    void showWaitAnimation();
    void deleteWaitAnimation();
    void deleteErrorPage();
    void showErrorPage(const QString& title, const QString& text);
    void showFormatPage();

    QPointer<IMediaVideoItem> m_item;
    QPointer<IMeskVideoPlayer> m_player;
    QPointer<IMeskVideoPlayer> m_flash;
    CQuorAnimationWidget* m_wait = nullptr;
    CMeskDeepDiveErrorWidget* m_error = nullptr;
};
