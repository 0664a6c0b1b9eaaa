#pragma once

#include <QList>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

// Plays a list of pixmaps as a looping frame animation. Built without frames, it plays the
// style's wait animation. loopCompleted() reports the end of each loop.
class CQuorAnimationWidget : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int frameRate READ frameRate WRITE setFrameRate)
    Q_PROPERTY(QString com_velto_qstyleRole READ qstyleRole)

public:
    explicit CQuorAnimationWidget(QWidget* parent = nullptr, const QList<QPixmap>& frames = {});
    ~CQuorAnimationWidget() override;

    QString qstyleRole() const { return QStringLiteral("quor.commonuilibrary.animation.wait"); }

    bool isRunning() const;
    int frameRate() const { return m_frameRate; }
    // Frames per second; values below 1 are ignored.
    void setFrameRate(int fps);
    int interval() const { return m_timer.interval(); }

    void addFrame(const QPixmap& frame);
    int frameCount() const { return int(m_frames.size()); }
    int currentFrame() const { return m_currentFrame; }
    // Stops, goes back to the first frame and drops every frame.
    void clearFrames();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    // Starts playing; nothing without frames.
    void start();
    // Stops; the current frame stays on screen.
    void stop();

signals:
    void loopCompleted();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private slots:
    void onFrameChange();

private:
    void loadStyleFrames();

    QList<QPixmap> m_frames;
    int m_frameRate = 12;
    int m_currentFrame = 0;
    QTimer m_timer;
};
