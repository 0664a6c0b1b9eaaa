#include "windows/layeredwndsurface.h"

#include <QTest>
#include <QWidget>

class TestLayeredWndSurface : public QObject
{
    Q_OBJECT
private slots:
    void initPreparesWithoutNativeWindow_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("window") << int(Qt::Window);
        QTest::newRow("tool") << int(Qt::Tool);
        QTest::newRow("popup") << int(Qt::Popup);
        QTest::newRow("tooltip") << int(Qt::ToolTip);
        QTest::newRow("dialog") << int(Qt::Dialog);
    }
    void initPreparesWithoutNativeWindow()
    {
        QFETCH(int, type);
        QWidget window(nullptr, Qt::WindowType(type));
        CLayeredWndSurface::init(&window);
        QVERIFY(!window.testAttribute(Qt::WA_WState_Created));
        QCOMPARE(window.windowHandle(), nullptr);
        QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(window.windowFlags().testFlag(Qt::CustomizeWindowHint));
        QCOMPARE(window.windowType(), Qt::WindowType(type));
        QVERIFY(window.testAttribute(Qt::WA_TranslucentBackground));
        QVERIFY(window.testAttribute(Qt::WA_NoSystemBackground));
        QVERIFY(!window.testAttribute(Qt::WA_OpaquePaintEvent)); // it would strip the alpha from grab()
    }

    void foundAsDirectChildOnly()
    {
        QWidget window;
        QCOMPARE(CLayeredWndSurface::of(&window), nullptr);
        QCOMPARE(CLayeredWndSurface::of(nullptr), nullptr);
        auto* child = new QWidget(&window);
        auto* childSurface = new CLayeredWndSurface(child);
        QCOMPARE(CLayeredWndSurface::of(&window), nullptr);
        QCOMPARE(CLayeredWndSurface::of(child), childSurface);
        auto* surface = new CLayeredWndSurface(&window);
        QCOMPARE(CLayeredWndSurface::of(&window), surface);
        QCOMPARE(surface->window(), &window);
    }

    void rememberedAlphaIsRestored()
    {
        QWidget window;
        CLayeredWndSurface::init(&window);
        auto* surface = new CLayeredWndSurface(&window);
        QCOMPARE(surface->alpha(), quint8(255));
        surface->setAlpha(100, true);
        QCOMPARE(surface->alpha(), quint8(100));
        QVERIFY(qAbs(window.windowOpacity() - 100 / 255.0) < 0.005);
        surface->restoreAlpha();
        QCOMPARE(surface->alpha(), quint8(255));
        QVERIFY(qAbs(window.windowOpacity() - 1.0) < 0.005);
    }

    void twoRememberedZerosRestoreZero()
    {
        QWidget window;
        auto* surface = new CLayeredWndSurface(&window);
        surface->setAlpha(0, true);
        surface->setAlpha(0, true);
        surface->restoreAlpha();
        QCOMPARE(surface->alpha(), quint8(0));
        QVERIFY(window.windowOpacity() < 0.005);
    }

    void pinnedAlphaIsNeverRestored()
    {
        QWidget window;
        auto* surface = new CLayeredWndSurface(&window);
        surface->setAlpha(50, false);
        surface->restoreAlpha();
        QCOMPARE(surface->alpha(), quint8(50));
        surface->setAlpha(200, true);
        surface->restoreAlpha();
        QCOMPARE(surface->alpha(), quint8(200));
        surface->setAlpha(10, true);
        surface->restoreAlpha();
        QCOMPARE(surface->alpha(), quint8(10));
        QVERIFY(qAbs(window.windowOpacity() - 10 / 255.0) < 0.005);
    }
};

QTEST_MAIN(TestLayeredWndSurface)
#include "tst_layeredwndsurface.moc"
