#include "fakeshadowwindow.h"
#include "shadowteststyle.h"
#include "windows/quorshadowframe.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QTest>

#include <memory>

namespace {

QImage expectedImage(const QSize& size, const QPixmap& shadow, const SNinePatchMargins& m)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawNinePatchPixmap(&painter, shadow, image.rect(), m.left, m.top, m.right, m.bottom);
    return image;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestShadowFrame : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void refusedOwnerMakesNoWindow_data();
    void refusedOwnerMakesNoWindow();
    void followsOwner();
    void imageRedrawnOnlyForNewSize();
    void hiddenInOtherStates_data();
    void hiddenInOtherStates();
    void hiddenWithOwner();
    void regionLeavesOwnerOut();
    void marginsTakeEffectAtRebuild();
    void menuFadesIn();
    void restoreTimerChecksOwnerAgain();
    void ownerDeletionDestroysWindow();

private:
    std::unique_ptr<ShadowTestStyle> m_style;
    std::unique_ptr<FakeShadowWindowScope> m_fakes;
    std::unique_ptr<QWidget> m_owner;
    QWidget* makeOwner();
};

void TestShadowFrame::initTestCase()
{
    m_style = std::make_unique<ShadowTestStyle>();
    m_fakes = std::make_unique<FakeShadowWindowScope>();
}

void TestShadowFrame::init()
{
    m_style->noShadowImage = false;
    m_style->useMask = false;
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
}

void TestShadowFrame::cleanup()
{
    m_owner.reset();
    flushDeletes();
    QVERIFY(FakeShadowWindow::instances().isEmpty());
}

QWidget* TestShadowFrame::makeOwner()
{
    m_owner = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
    m_owner->setStyle(m_style.get());
    m_owner->setGeometry(100, 100, 300, 200);
    return m_owner.get();
}

void TestShadowFrame::refusedOwnerMakesNoWindow_data()
{
    QTest::addColumn<bool>("child");
    QTest::addColumn<bool>("noImage");
    QTest::newRow("child widget") << true << false;
    QTest::newRow("no shadow image") << false << true;
}

void TestShadowFrame::refusedOwnerMakesNoWindow()
{
    QFETCH(bool, child);
    QFETCH(bool, noImage);
    QWidget* owner = makeOwner();
    m_style->noShadowImage = noImage;
    QWidget* target = owner;
    if (child) {
        target = new QWidget(owner);
        target->setStyle(m_style.get());
    }
    QPointer<CQuorShadowFrame> frame = new CQuorShadowFrame(target);
    QVERIFY(!frame->isActive());
    QVERIFY(FakeShadowWindow::instances().isEmpty());
    owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(owner));
    flushDeletes();
    QVERIFY(frame.isNull());
    QVERIFY(FakeShadowWindow::instances().isEmpty());
}

void TestShadowFrame::followsOwner()
{
    QWidget* owner = makeOwner();
    auto* frame = new CQuorShadowFrame(owner);
    QVERIFY(frame->isActive());
    QVERIFY(!frame->animates());
    QCOMPARE(frame->margins(), (SNinePatchMargins{14, 10, 14, 18}));
    FakeShadowWindow* fake = FakeShadowWindow::forOwner(owner);
    QVERIFY(fake);
    QVERIFY(!fake->visible);

    owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(owner));
    QTRY_VERIFY_WITH_TIMEOUT(fake->visible, 30000);
    QCOMPARE(fake->rect, QRect(86, 90, 328, 228));
    QCOMPARE(fake->alpha, 255);
    const QPixmap shadow = m_style->standardPixmap(QStyle::SP_CustomBase, nullptr, owner);
    QCOMPARE(fake->image, expectedImage(QSize(328, 228), shadow, {24, 20, 24, 28}));

    const int built = fake->imageCount;
    owner->move(150, 120);
    QTRY_COMPARE_WITH_TIMEOUT(fake->rect.topLeft(), QPoint(136, 110), 30000);
    QCOMPARE(fake->rect.size(), QSize(328, 228));
    QCOMPARE(fake->imageCount, built); // moving only repositions

    owner->resize(200, 100);
    QTRY_COMPARE_WITH_TIMEOUT(fake->rect.size(), QSize(228, 128), 30000);
    owner->repaint();
    QTRY_COMPARE_WITH_TIMEOUT(fake->image.size(), QSize(228, 128), 30000);
    QCOMPARE(fake->rect, QRect(136, 110, 228, 128));
    QCOMPARE(fake->image, expectedImage(QSize(228, 128), shadow, {24, 20, 24, 28}));
}

void TestShadowFrame::imageRedrawnOnlyForNewSize()
{
    QWidget* owner = makeOwner();
    new CQuorShadowFrame(owner);
    FakeShadowWindow* fake = FakeShadowWindow::forOwner(owner);
    QVERIFY(fake);
    owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(owner));
    QTRY_COMPARE_WITH_TIMEOUT(fake->image.size(), QSize(328, 228), 30000);
    const qint64 first = fake->image.cacheKey();

    // Resize steps that end at the same size, and a hide and show, reuse the image.
    owner->resize(320, 210);
    owner->resize(300, 200);
    owner->repaint();
    owner->hide();
    owner->show();
    owner->repaint();
    QCOMPARE(fake->image.cacheKey(), first);

    // A new size draws a new image, once for the paint that follows the resizes.
    owner->resize(260, 150);
    owner->resize(250, 140);
    owner->repaint();
    QCOMPARE(fake->image.size(), QSize(278, 168));
    QVERIFY(fake->image.cacheKey() != first);
    const qint64 second = fake->image.cacheKey();
    owner->repaint();
    QCOMPARE(fake->image.cacheKey(), second);
}

void TestShadowFrame::hiddenInOtherStates_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("minimised") << int(Qt::WindowMinimized);
    QTest::newRow("maximised") << int(Qt::WindowMaximized);
    QTest::newRow("full screen") << int(Qt::WindowFullScreen);
    QTest::newRow("active and minimised") << int(Qt::WindowActive | Qt::WindowMinimized);
}

void TestShadowFrame::hiddenInOtherStates()
{
    QFETCH(int, state);
    QWidget* owner = makeOwner();
    new CQuorShadowFrame(owner);
    FakeShadowWindow* fake = FakeShadowWindow::forOwner(owner);
    owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(owner));
    QTRY_VERIFY_WITH_TIMEOUT(fake->visible, 30000);

    owner->setWindowState(Qt::WindowStates(state));
    QTRY_VERIFY_WITH_TIMEOUT(!fake->visible, 30000);
    // Paints in that state do not bring it back.
    owner->repaint();
    QCoreApplication::processEvents();
    QVERIFY(!fake->visible);

    // Back to no state: shown at once, without waiting for a paint.
    owner->setWindowState(Qt::WindowNoState);
    QVERIFY(fake->visible);
}

void TestShadowFrame::hiddenWithOwner()
{
    QWidget* owner = makeOwner();
    new CQuorShadowFrame(owner);
    FakeShadowWindow* fake = FakeShadowWindow::forOwner(owner);
    owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(owner));
    QTRY_VERIFY_WITH_TIMEOUT(fake->visible, 30000);
    owner->hide();
    QVERIFY(!fake->visible);
    // A state change of the hidden owner does not show its shadow.
    owner->setWindowState(Qt::WindowNoState);
    QVERIFY(!fake->visible);
}

void TestShadowFrame::regionLeavesOwnerOut()
{
    QWidget* owner = makeOwner();
    m_style->useMask = true;
    const QRegion mask = QRegion(0, 0, 300, 200) - QRegion(0, 0, 4, 4);
    m_style->maskRegion = mask;
    new CQuorShadowFrame(owner);
    FakeShadowWindow* fake = FakeShadowWindow::forOwner(owner);
    owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(owner));
    QTRY_VERIFY_WITH_TIMEOUT(fake->visible, 30000);
    const QRegion expected = QRegion(0, 0, 328, 228) - mask.translated(14, 10);
    QCOMPARE(fake->region, expected);
    QVERIFY(fake->region.contains(QPoint(15, 11)));  // under the owner's cut corner
    QVERIFY(!fake->region.contains(QPoint(20, 20))); // under the owner

    // An empty mask leaves the region as it was.
    m_style->maskRegion = QRegion();
    owner->repaint();
    QCoreApplication::processEvents();
    QCOMPARE(fake->region, expected);
}

void TestShadowFrame::marginsTakeEffectAtRebuild()
{
    QWidget* owner = makeOwner();
    auto* frame = new CQuorShadowFrame(owner);
    FakeShadowWindow* fake = FakeShadowWindow::forOwner(owner);
    owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(owner));
    QTRY_VERIFY_WITH_TIMEOUT(fake->visible, 30000);
    const int restacks = fake->restackCount;
    frame->setMargins({18, 10, 18, 32});
    QCOMPARE(fake->restackCount, restacks + 1);
    QCOMPARE(fake->rect, QRect(86, 90, 328, 228));
    owner->resize(301, 200);
    owner->repaint();
    QTRY_COMPARE_WITH_TIMEOUT(fake->rect, QRect(82, 90, 337, 242), 30000);
    QCOMPARE(fake->image.size(), QSize(337, 242));
}

void TestShadowFrame::menuFadesIn()
{
    QApplication::setEffectEnabled(Qt::UI_General, true);
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, true);
    auto menu = std::make_unique<QMenu>();
    menu->setStyle(m_style.get());
    menu->addAction(QStringLiteral("Open"));
    auto* frame = new CQuorShadowFrame(menu.get());
    QVERIFY(frame->animates());
    FakeShadowWindow* fake = FakeShadowWindow::forOwner(menu.get());
    QVERIFY(fake);
    menu->popup(QPoint(100, 100));
    QVERIFY(QTest::qWaitForWindowExposed(menu.get()));
    QTRY_VERIFY_WITH_TIMEOUT(fake->visible, 30000);
    // Timed by the fake from the show itself: a late look at it changes nothing.
    QVERIFY(fake->alphaWhenShown < 255);
    QTRY_COMPARE_WITH_TIMEOUT(fake->alpha, 255, 30000);
    QVERIFY2(fake->opaqueAfterMs >= CQuorShadowFrame::FadeDurationMs / 2,
             QByteArray::number(fake->opaqueAfterMs).constData());
    menu.reset();
}

void TestShadowFrame::restoreTimerChecksOwnerAgain()
{
    QApplication::setEffectEnabled(Qt::UI_General, true);
    QApplication::setEffectEnabled(Qt::UI_AnimateMenu, true);
    auto menu = std::make_unique<QMenu>();
    menu->setStyle(m_style.get());
    menu->addAction(QStringLiteral("Open"));
    new CQuorShadowFrame(menu.get());
    FakeShadowWindow* fake = FakeShadowWindow::forOwner(menu.get());
    menu->popup(QPoint(100, 100));
    QVERIFY(QTest::qWaitForWindowExposed(menu.get()));
    QTRY_COMPARE_WITH_TIMEOUT(fake->alpha, 255, 30000);

    menu->setWindowState(Qt::WindowMinimized);
    QVERIFY(!fake->visible);
    menu->setWindowState(Qt::WindowNoState);
    QVERIFY(!fake->visible); // animated shadows come back after a delay
    menu->setWindowState(Qt::WindowMinimized);
    QTest::qWait(CQuorShadowFrame::RestoreDelayMs + 200);
    QVERIFY(!fake->visible);

    menu->setWindowState(Qt::WindowNoState);
    QTRY_VERIFY_WITH_TIMEOUT(fake->visible, 30000);
    menu.reset();
}

void TestShadowFrame::ownerDeletionDestroysWindow()
{
    QWidget* owner = makeOwner();
    QPointer<CQuorShadowFrame> frame = new CQuorShadowFrame(owner);
    owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(owner));
    QCOMPARE(FakeShadowWindow::instances().size(), 1);
    m_owner.reset();
    QVERIFY(frame.isNull());
    QVERIFY(FakeShadowWindow::instances().isEmpty());
}

QTEST_MAIN(TestShadowFrame)
#include "tst_shadowframe.moc"
