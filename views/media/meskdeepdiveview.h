#pragma once

#include <QLabel>
#include <QList>
#include <QPointer>
#include <QWidget>

class CMeskEngine;
class CMeskMediaInfoWidget;
class CMeskMediaViewer;
class CMeskSettings;
class CMeskThumbnailStrip;
class CQuorCheckBox;
class CQuorGradientButton;
class IMediaObject;
class QEventLoop;
class QToolButton;

// The page the media browser shows in place of the media: a title, a text, an optional
// "Don't show again" box, "Ok" (ignore()) and "Close" (cancel()).
class CMeskDeepDiveWarningWidget : public QWidget
{
    Q_OBJECT
public:
    CMeskDeepDiveWarningWidget(const QString& title, const QString& text, QWidget* parent = nullptr);
    ~CMeskDeepDiveWarningWidget() override;

    void setTitle(const QString& title);
    void setText(const QString& text);
    // Sets the box's text and shows the box.
    void setCheckBoxText(const QString& text);
    bool isChecked() const;

    QString title() const;
    QString text() const;
    CQuorCheckBox* checkBox() const { return m_checkBox; }
    CQuorGradientButton* okButton() const { return m_ok; }
    CQuorGradientButton* closeButton() const { return m_close; }

signals:
    void ignore();
    void cancel();

private:
    QLabel* m_title;
    QLabel* m_text;
    CQuorCheckBox* m_checkBox;
    CQuorGradientButton* m_ok;
    CQuorGradientButton* m_close;
};

// A bold white text link of the media browser ("« Previous", "Next »").
class CMeskDeepDiveLinkButton : public QLabel
{
    Q_OBJECT
public:
    explicit CMeskDeepDiveLinkButton(const QString& text, QWidget* parent = nullptr);
    ~CMeskDeepDiveLinkButton() override;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// The full-screen, application-modal media browser over the images and videos of the activated
// services (the user's own left out), newest first. exec() shows it, pauses the engine's
// periodic updates and returns when the user leaves: by Exit, a warning's "Close", closeView()
// or the window manager closing the window; the updates then run again.
class CMeskDeepDiveView : public QWidget
{
    Q_OBJECT
public:
    // Which page the view shows.
    enum Page
    {
        ContentPage,
        CellWarningPage,
        NoNetworkPage,
        NoContentPage
    };

    CMeskDeepDiveView(CMeskEngine* engine, CMeskSettings* settings, QWidget* parent = nullptr);
    ~CMeskDeepDiveView() override;

    void exec();

    Page page() const { return m_page; }
    QList<IMediaObject*> objects() const { return m_objects; }
    CMeskThumbnailStrip* strip() const { return m_strip; }
    CMeskMediaViewer* viewer() const { return m_viewer; }
    CMeskMediaInfoWidget* infoWidget() const { return m_infoWidget; }
    CMeskDeepDiveWarningWidget* warning() const { return m_warning; }
    CMeskDeepDiveLinkButton* previousButton() const { return m_previousButton; }
    CMeskDeepDiveLinkButton* nextButton() const { return m_nextButton; }
    QToolButton* exitButton() const { return m_exitButton; }

signals:
    void closeView();

private slots:
    void _onCurrentChanged();
    void _onIgnoreNoInternet();
    void _onIgnoreCellWarning();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void loadContent();
    void showContent();
    void showWarning(Page page, const QString& title, const QString& text);

    CMeskEngine* m_engine;
    CMeskSettings* m_settings;
    QToolButton* m_exitButton = nullptr;
    CMeskThumbnailStrip* m_strip = nullptr;
    CMeskMediaViewer* m_viewer = nullptr;
    CMeskMediaInfoWidget* m_infoWidget = nullptr;
    CMeskDeepDiveLinkButton* m_previousButton = nullptr;
    CMeskDeepDiveLinkButton* m_nextButton = nullptr;
    CMeskDeepDiveWarningWidget* m_warning = nullptr;
    QList<IMediaObject*> m_objects;
    Page m_page = NoContentPage;
    QPointer<QEventLoop> m_loop;
};
