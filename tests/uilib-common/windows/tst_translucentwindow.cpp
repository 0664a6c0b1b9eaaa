#include "effects/fadeeffect.h"
#include "fakecompositor.h"
#include "style/quorcommonstyle.h"
#include "windows/layeredwndsurface.h"
#include "windows/quorpopupwidget.h"
#include "windows/quortooltiplabel.h"

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <QWidget>
#include <QWindow>

namespace {
// Paints as the library's floating windows do: the whole area from transparent,
// then a rounded, half-transparent frame edge around an opaque middle.
class RoundedWindow : public QWidget
{
public:
    RoundedWindow() : QWidget(nullptr, Qt::Tool)
    {
        CLayeredWndSurface::init(this);
        surface = new CLayeredWndSurface(this);
        resize(80, 60);
    }
    CLayeredWndSurface* surface;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(rect(), Qt::transparent);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 255));
        painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 8, 8);
        painter.fillRect(QRect(0, 0, width(), 1), QColor(0, 0, 0, 60));
    }
};
} // namespace

// Per-pixel alpha as it is with a compositing window manager.
class TestTranslucentWindow : public QObject
{
    Q_OBJECT
    FakeCompositorScope m_compositor{true};

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display");
    }

    void shownWindowHasAlphaChannel()
    {
        RoundedWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.windowHandle());
        QVERIFY(window.windowHandle()->format().hasAlpha());
        const QImage picture = window.grab().toImage();
        QCOMPARE(qAlpha(picture.pixel(0, 0)), 60);
        QCOMPARE(qAlpha(picture.pixel(40, 30)), 255);
        QVERIFY(qAlpha(picture.pixel(1, window.height() - 1)) < 255);
    }

    void constantAlphaIsTheWindowOpacity()
    {
        RoundedWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.surface->setAlpha(128, false);
        QVERIFY(qAbs(window.windowOpacity() - 0.502) < 0.001);
        QVERIFY(qAbs(window.windowHandle()->opacity() - 0.502) < 0.001);
    }

    void fadeOutEndsHiddenAndOpaque()
    {
        RoundedWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CWindowFadeEffect fade(&window);
        fade.setDirection(1);
        fade.fade(300);
        QVERIFY(fade.isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 30000);
        QVERIFY(!fade.isRunning());
        QCOMPARE(window.surface->alpha(), quint8(255));
        QCOMPARE(window.windowOpacity(), 1.0);
    }

    void popupFrameKeepsItsArtsAlpha()
    {
        QApplication::setStyle(new CQuorCommonStyle);
        CQuorPopupWidget popup(nullptr, Qt::Tool);
        popup.resize(160, 120);
        popup.show();
        QVERIFY(QTest::qWaitForWindowExposed(&popup));
        QVERIFY(popup.windowHandle()->format().hasAlpha());
        const QImage picture = popup.grab().toImage();
        const QImage art(CQuorCommonStyle::imageRoot() + QStringLiteral("Backgrounds/recipient_popup.png"));
        QVERIFY(!art.isNull());
        QCOMPARE(qAlpha(picture.pixel(0, 0)), qAlpha(art.pixel(0, 0)));
        QVERIFY(qAlpha(picture.pixel(0, 0)) < 255);
        QCOMPARE(qAlpha(picture.pixel(80, 60)), 255);

        CLayeredWndSurface* surface = CLayeredWndSurface::of(&popup);
        surface->setAlpha(128, false);
        QVERIFY(qAbs(popup.windowHandle()->opacity() - 0.502) < 0.001);
        CWindowFadeEffect fade(&popup);
        fade.setDirection(1);
        fade.fade(300);
        QTRY_VERIFY_WITH_TIMEOUT(!popup.isVisible(), 30000);
        QCOMPARE(surface->alpha(), quint8(255));
    }

    void tooltipLabelIsTranslucent()
    {
        QApplication::setEffectEnabled(Qt::UI_FadeTooltip, false);
        auto* label = new CQuorToolTipLabel(QStringLiteral("A tooltip"));
        label->placeTip(QPoint(100, 100), nullptr);
        label->onShowTip();
        QVERIFY(QTest::qWaitForWindowExposed(label));
        QVERIFY(label->windowHandle()->format().hasAlpha());
        QCOMPARE(label->windowHandle()->type(), Qt::ToolTip);
        delete label;
    }
};

QTEST_MAIN(TestTranslucentWindow)
#include "tst_translucentwindow.moc"
