#pragma once

#include "windows/quorpopupwidget.h"

#include <QPixmap>
#include <QString>

class CWindowFadeEffect;
class QLabel;
class QTimer;
class QToolButton;

// The desktop toast that announces a new text message or feed event: a small frameless window
// in the bottom-right corner of the primary screen's work area with the sender's avatar, the
// service logo, a short rich text and a close button. It fades in, stays, and fades out by
// itself. It is a tool window that stays on top and never takes the keyboard or the mouse from
// the application the user works in. The toast is not deleted when it hides; the same object
// serves the next call.
class CMeskNotification : public CQuorPopupWidget
{
    Q_OBJECT
public:
    static constexpr int DefaultFadeDurationMs = 5000;
    static constexpr int DefaultHideDelayMs = 10000;

    CMeskNotification();
    ~CMeskNotification() override;

    // Moves the toast to the corner, sets its contents (text is rich text: the caller escapes
    // what came from a service or a person), fades it in and starts the hide delay again.
    void showNotification(const QString& text, const QPixmap& avatar, const QPixmap& logo);

    // Length of each fade; at least 1 ms.
    void setFadeDuration(int ms);
    int fadeDuration() const { return m_fadeDurationMs; }
    // Time from the last showNotification call to the start of the fade-out.
    void setHideDelay(int ms);
    int hideDelay() const;

    CWindowFadeEffect* fadeEffect() const { return m_fadeEffect; }
    QLabel* avatarLabel() const { return m_avatarLabel; }
    QLabel* logoLabel() const { return m_logoLabel; }
    QLabel* textLabel() const { return m_textLabel; }
    QToolButton* closeButton() const { return m_closeButton; }

private slots:
    void _onHideTimer();
    void _fadeIn();
    void _fadeOut();

private:
    CWindowFadeEffect* m_fadeEffect;
    QLabel* m_avatarLabel;
    QLabel* m_logoLabel;
    QLabel* m_textLabel;
    QToolButton* m_closeButton;
    QTimer* m_hideTimer;
    int m_fadeDurationMs = DefaultFadeDurationMs;
};
