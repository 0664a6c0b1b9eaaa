// The platform's own shadow window on a real X display with a compositor.

#include "fakecompositor.h"
#include "linuxshadowwindow.h"
#include "shadowteststyle.h"
#include "windows/quorshadowframe.h"

#include <QApplication>
#include <QTest>

class TestShadowWindow : public QObject
{
    Q_OBJECT

private slots:
    void mainWindowShadow();

private:
    // The shadow window is made only where a compositor blends it.
    FakeCompositorScope m_compositor{true};
};

void TestShadowWindow::mainWindowShadow()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X display");
    QApplication::setStyle(new ShadowTestStyle);
    QWidget owner(nullptr, Qt::FramelessWindowHint);
    owner.setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.window.main"));
    owner.setGeometry(200, 150, 400, 300);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    owner.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&owner));

    auto* frame = owner.findChild<CQuorShadowFrame*>();
    QVERIFY(frame && frame->isActive());
    auto* shadow = dynamic_cast<CLinuxShadowWindow*>(frame->shadowWindow());
    QVERIFY(shadow);
    QTRY_VERIFY_WITH_TIMEOUT(shadow->QWidget::isVisible(), 30000);
    QVERIFY(QTest::qWaitForWindowExposed(shadow));
    const Qt::WindowFlags flags = shadow->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(flags & Qt::WindowTransparentForInput);
    QVERIFY(flags & Qt::WindowDoesNotAcceptFocus);
    QVERIFY(shadow->testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(!shadow->parentWidget());
    QTRY_COMPARE_WITH_TIMEOUT(shadow->frameGeometry(), owner.frameGeometry().adjusted(-18, -10, 18, 32),
                              30000);
    QCOMPARE(shadow->alpha(), 255);

    QTest::qWait(100);
    QCOMPARE(QApplication::activeWindow(), &owner);

    owner.move(260, 170);
    QTRY_COMPARE_WITH_TIMEOUT(shadow->frameGeometry(), owner.frameGeometry().adjusted(-18, -10, 18, 32),
                              30000);
    owner.hide();
    QTRY_VERIFY_WITH_TIMEOUT(!shadow->QWidget::isVisible(), 30000);
}

QTEST_MAIN(TestShadowWindow)
#include "tst_shadowwindow.moc"
