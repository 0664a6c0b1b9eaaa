#pragma once

#include "ishadowwindow.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QWidget>

// A shadow window that only records what it was told. While a FakeShadowWindowScope lives, every
// shadow window made through IShadowWindow::create is one of these; instances() lists the live ones.
class FakeShadowWindow : public IShadowWindow
{
public:
    explicit FakeShadowWindow(QWidget* owner);
    ~FakeShadowWindow() override;

    void show() override;
    void hide() override;
    bool isVisible() const override { return visible; }
    void setGeometry(const QRect& geometry) override;
    QRect geometry() const override { return rect; }
    void setRegion(const QRegion& value) override { region = value; }
    void setAlpha(int value) override;
    void setImage(const QImage& value) override;
    void restack() override { ++restackCount; }

    static const QList<FakeShadowWindow*>& instances();
    // The live fake of an owner, or null.
    static FakeShadowWindow* forOwner(const QWidget* owner);

    QPointer<QWidget> owner;
    bool visible = false;
    QRect rect;
    QRegion region;
    int alpha = 255;
    QImage image;
    int imageCount = 0; // setImage calls
    int showCount = 0;
    int restackCount = 0;
    // The alpha at the latest show(), and how long after it the alpha first reached 255 (-1:
    // not yet): what a fade did, whenever the test got to look.
    int alphaWhenShown = -1;
    qint64 opaqueAfterMs = -1;

private:
    QElapsedTimer m_sinceShown;
};

class FakeShadowWindowScope
{
public:
    FakeShadowWindowScope();
    ~FakeShadowWindowScope();
    FakeShadowWindowScope(const FakeShadowWindowScope&) = delete;
    FakeShadowWindowScope& operator=(const FakeShadowWindowScope&) = delete;

private:
    IShadowWindow::Factory m_previous;
};
