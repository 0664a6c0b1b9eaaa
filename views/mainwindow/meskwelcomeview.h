#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <future>

// The first run's page: a background picture that covers the page, a welcome message and a
// button that asks the main window to open the service settings.
class CMeskWelcomeView : public QWidget
{
    Q_OBJECT
public:
    explicit CMeskWelcomeView(QWidget* parent = nullptr);
    // With the picture read by readPicture(): the view waits for it, if it must, when made.
    CMeskWelcomeView(std::future<QImage> picture, QWidget* parent);

    // Reads the picture on a thread of its own (the view is made while the rest of the window is).
    static std::future<QImage> readPicture();

signals:
    void openServiceSettings();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The picture as loaded, and its copy scaled to cover the page. Each resize scales the
    // original, so the copy never degrades; an empty size keeps the last copy.
    QPixmap m_original;
    QPixmap m_background;
};
