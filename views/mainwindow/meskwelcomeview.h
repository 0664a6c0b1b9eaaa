#pragma once

#include <QPixmap>
#include <QWidget>

// The first run's page: a background picture that covers the page, a welcome message and a
// button that asks the main window to open the service settings.
class CMeskWelcomeView : public QWidget
{
    Q_OBJECT
public:
    explicit CMeskWelcomeView(QWidget* parent = nullptr);

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
