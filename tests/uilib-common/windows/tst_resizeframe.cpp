#include "fakesystemwindow.h"
#include "windows/quorresizeframe.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QVBoxLayout>
#include <QtTest>

using Edges = CQuorResizeFrame::Edges;

namespace {

void sendMouse(QWidget* overlay, QEvent::Type type, const QPoint& global,
               Qt::MouseButton button = Qt::NoButton)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonPress || type == QEvent::MouseMove
                                         ? Qt::MouseButtons(button)
                                         : Qt::MouseButtons();
    QMouseEvent event(type, overlay->mapFromGlobal(QPointF(global)), QPointF(global), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(overlay, &event);
}

void hover(CQuorResizeFrame& frame, const QPoint& local)
{
    sendMouse(frame.overlay(), QEvent::MouseMove, frame.overlay()->mapToGlobal(local));
}

void press(CQuorResizeFrame& frame, const QPoint& local)
{
    sendMouse(frame.overlay(), QEvent::MouseButtonPress, frame.overlay()->mapToGlobal(local), Qt::LeftButton);
}

void dragTo(CQuorResizeFrame& frame, const QPoint& global)
{
    sendMouse(frame.overlay(), QEvent::MouseMove, global, Qt::LeftButton);
}

void release(CQuorResizeFrame& frame, const QPoint& global)
{
    sendMouse(frame.overlay(), QEvent::MouseButtonRelease, global, Qt::LeftButton);
}

int dropAllOverrideCursors()
{
    int depth = 0;
    while (QApplication::overrideCursor()) {
        QApplication::restoreOverrideCursor();
        ++depth;
    }
    return depth;
}

struct Window
{
    explicit Window(const QSize& size = QSize(400, 300))
    {
        widget.setWindowFlags(Qt::FramelessWindowHint);
        widget.setGeometry(QRect(QPoint(100, 100), size));
        frame.setWidget(&widget);
        widget.show();
    }
    QWidget widget;
    CQuorResizeFrame frame;
};

} // namespace

class TestResizeFrame : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { dropAllOverrideCursors(); }

    void hoverPicksEdgesAndCursor_data();
    void hoverPicksEdgesAndCursor();
    void pressEdges_data();
    void pressEdges();
    void shortWindowDetectsTopAndBottom();
    void windowManagerTakesTheResize();
    void manualResizeKeepsOppositeEdge_data();
    void manualResizeKeepsOppositeEdge();
    void manualResizeRespectsLayoutMinimum();
    void heightForWidthResizesManually();
    void childWidgetResizesInParentCoordinates();
    void maximisedHidesRing();
    void ringMask();
    void leaveRestoresOnlyOwnCursor();
    void deletedBeforeSetWidgetFreesOverlay();
    void windowDeletedBeforeFrame();
    void newWindowAfterDeletedOne();
    void maximisingEndsManualResize();
};

void TestResizeFrame::hoverPicksEdgesAndCursor_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<Edges>("edges");
    QTest::addColumn<Qt::CursorShape>("shape");
    QTest::newRow("left") << QPoint(0, 150) << Edges(CQuorResizeFrame::LeftEdge) << Qt::SizeHorCursor;
    QTest::newRow("top-left") << QPoint(0, 10) << (CQuorResizeFrame::TopEdge | CQuorResizeFrame::LeftEdge)
                              << Qt::SizeFDiagCursor;
    QTest::newRow("top-right") << QPoint(399, 10) << (CQuorResizeFrame::TopEdge | CQuorResizeFrame::RightEdge)
                               << Qt::SizeBDiagCursor;
    QTest::newRow("top") << QPoint(200, 0) << Edges(CQuorResizeFrame::TopEdge) << Qt::SizeVerCursor;
    QTest::newRow("bottom-right") << QPoint(399, 299)
                                  << (CQuorResizeFrame::RightEdge | CQuorResizeFrame::BottomEdge)
                                  << Qt::SizeFDiagCursor;
    QTest::newRow("bottom-left") << QPoint(0, 290)
                                 << (CQuorResizeFrame::BottomEdge | CQuorResizeFrame::LeftEdge)
                                 << Qt::SizeBDiagCursor;
    QTest::newRow("right") << QPoint(398, 150) << Edges(CQuorResizeFrame::RightEdge) << Qt::SizeHorCursor;
    QTest::newRow("bottom") << QPoint(200, 298) << Edges(CQuorResizeFrame::BottomEdge) << Qt::SizeVerCursor;
}

void TestResizeFrame::hoverPicksEdgesAndCursor()
{
    QFETCH(QPoint, point);
    QFETCH(Edges, edges);
    QFETCH(Qt::CursorShape, shape);
    Window w;
    hover(w.frame, point);
    QCOMPARE(w.frame.edges(), edges);
    QCOMPARE(CQuorResizeFrame::cursorShapeFor(edges), shape);
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), shape);

    // Hovering on inside the ring changes the cursor without stacking a second one.
    hover(w.frame, QPoint(200, 1));
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::SizeVerCursor);
    // A point off the ring keeps the last edges.
    hover(w.frame, QPoint(200, 150));
    QCOMPARE(w.frame.edges(), Edges(CQuorResizeFrame::TopEdge));
    QCOMPARE(dropAllOverrideCursors(), 1);
}

void TestResizeFrame::pressEdges_data()
{
    using F = CQuorResizeFrame;
    QTest::addColumn<Edges>("hovered");
    QTest::addColumn<Qt::Edges>("expected");
    QTest::newRow("none") << Edges() << Qt::Edges(Qt::RightEdge);
    QTest::newRow("top-left") << (F::TopEdge | F::LeftEdge) << (Qt::TopEdge | Qt::LeftEdge);
    QTest::newRow("top-right") << (F::TopEdge | F::RightEdge) << (Qt::TopEdge | Qt::RightEdge);
    QTest::newRow("top") << Edges(F::TopEdge) << Qt::Edges(Qt::TopEdge);
    QTest::newRow("bottom-left") << (F::BottomEdge | F::LeftEdge) << (Qt::BottomEdge | Qt::LeftEdge);
    QTest::newRow("bottom-right") << (F::BottomEdge | F::RightEdge) << (Qt::BottomEdge | Qt::RightEdge);
    QTest::newRow("bottom") << Edges(F::BottomEdge) << Qt::Edges(Qt::BottomEdge);
    QTest::newRow("left") << Edges(F::LeftEdge) << Qt::Edges(Qt::LeftEdge);
    QTest::newRow("right") << Edges(F::RightEdge) << Qt::Edges(Qt::RightEdge);
    QTest::newRow("top-bottom-left") << (F::TopEdge | F::BottomEdge | F::LeftEdge)
                                     << (Qt::TopEdge | Qt::LeftEdge);
    QTest::newRow("all") << (F::TopEdge | F::BottomEdge | F::LeftEdge | F::RightEdge)
                         << (Qt::TopEdge | Qt::LeftEdge);
}

void TestResizeFrame::pressEdges()
{
    QFETCH(Edges, hovered);
    QFETCH(Qt::Edges, expected);
    QCOMPARE(CQuorResizeFrame::systemEdgesFor(hovered), expected);
}

void TestResizeFrame::shortWindowDetectsTopAndBottom()
{
    FakeSystemWindow fake(false);
    Window w(QSize(400, 30));
    hover(w.frame, QPoint(0, 15));
    QCOMPARE(w.frame.edges(),
             CQuorResizeFrame::TopEdge | CQuorResizeFrame::BottomEdge | CQuorResizeFrame::LeftEdge);
    press(w.frame, QPoint(0, 15));
    QCOMPARE(fake.resizes().size(), 1);
    QCOMPARE(fake.resizes().first().edges, Qt::TopEdge | Qt::LeftEdge);

    // Done here, top wins for the vertical rule too: the bottom stays put.
    const QRect before = w.widget.geometry();
    dragTo(w.frame, w.frame.overlay()->mapToGlobal(QPoint(0, 15)) + QPoint(0, -10));
    QCOMPARE(w.widget.geometry().height(), 40);
    QCOMPARE(w.widget.geometry().bottom(), before.bottom());
}

void TestResizeFrame::windowManagerTakesTheResize()
{
    FakeSystemWindow fake(true);
    Window w;
    hover(w.frame, QPoint(0, 10));
    press(w.frame, QPoint(0, 10));
    QCOMPARE(fake.resizes().size(), 1);
    QCOMPARE(fake.resizes().first().window.data(), &w.widget);
    QCOMPARE(fake.resizes().first().edges, Qt::TopEdge | Qt::LeftEdge);
    QVERIFY(!w.frame.isPressed());

    const QRect before = w.widget.geometry();
    dragTo(w.frame, w.frame.overlay()->mapToGlobal(QPoint(-40, -30)));
    QCOMPARE(w.widget.geometry(), before);
    QCOMPARE(fake.resizes().size(), 1);
    QVERIFY(fake.moves().isEmpty());
}

void TestResizeFrame::manualResizeKeepsOppositeEdge_data()
{
    QTest::addColumn<QPoint>("hovered");
    QTest::addColumn<QPoint>("travel");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("fixedEdge");
    QTest::newRow("left outwards") << QPoint(0, 150) << QPoint(-50, 0) << QSize(450, 300) << "right";
    QTest::newRow("left inwards") << QPoint(0, 150) << QPoint(30, 7) << QSize(370, 300) << "right";
    QTest::newRow("top inwards") << QPoint(200, 0) << QPoint(0, 20) << QSize(400, 280) << "bottom";
    QTest::newRow("right outwards") << QPoint(399, 150) << QPoint(25, 0) << QSize(425, 300) << "left";
    QTest::newRow("bottom inwards") << QPoint(200, 299) << QPoint(0, -40) << QSize(400, 260) << "top";
    QTest::newRow("top-left corner") << QPoint(1, 1) << QPoint(-10, -20) << QSize(410, 320) << "bottomright";
}

void TestResizeFrame::manualResizeKeepsOppositeEdge()
{
    QFETCH(QPoint, hovered);
    QFETCH(QPoint, travel);
    QFETCH(QSize, size);
    QFETCH(QString, fixedEdge);
    FakeSystemWindow fake(false);
    Window w;
    const QRect before = w.widget.geometry();
    hover(w.frame, hovered);
    press(w.frame, hovered);
    QCOMPARE(fake.resizes().size(), 1);
    QVERIFY(w.frame.isPressed());

    // Two steps: each step counts from the position of the last one.
    const QPoint start = w.frame.overlay()->mapToGlobal(hovered);
    dragTo(w.frame, start + travel / 2);
    dragTo(w.frame, start + travel);
    const QRect after = w.widget.geometry();
    QCOMPARE(after.size(), size);
    if (fixedEdge == "right") {
        QCOMPARE(after.right(), before.right());
        QCOMPARE(after.top(), before.top());
    } else if (fixedEdge == "bottom") {
        QCOMPARE(after.bottom(), before.bottom());
        QCOMPARE(after.left(), before.left());
    } else if (fixedEdge == "left" || fixedEdge == "top") {
        QCOMPARE(after.topLeft(), before.topLeft());
    } else {
        QCOMPARE(after.bottomRight(), before.bottomRight());
    }
    // The ring follows the new size.
    QCOMPARE(w.frame.overlay()->size(), size);

    release(w.frame, start + travel);
    QVERIFY(!w.frame.isPressed());
    dragTo(w.frame, start + travel * 2);
    QCOMPARE(w.widget.geometry(), after);
}

void TestResizeFrame::manualResizeRespectsLayoutMinimum()
{
    FakeSystemWindow fake(false);
    Window w;
    auto* layout = new QVBoxLayout(&w.widget);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* child = new QWidget;
    child->setMinimumSize(300, 200);
    layout->addWidget(child);
    child->show(); // added to a visible window
    layout->activate();

    hover(w.frame, QPoint(399, 299));
    press(w.frame, QPoint(399, 299));
    const QPoint start = w.frame.overlay()->mapToGlobal(QPoint(399, 299));
    dragTo(w.frame, start + QPoint(-250, -250));
    QCOMPARE(w.widget.size(), QSize(300, 200));
}

void TestResizeFrame::heightForWidthResizesManually()
{
    FakeSystemWindow fake(true);
    Window w;
    QSizePolicy policy = w.widget.sizePolicy();
    policy.setHeightForWidth(true);
    w.widget.setSizePolicy(policy);

    hover(w.frame, QPoint(399, 150));
    press(w.frame, QPoint(399, 150));
    QVERIFY(fake.resizes().isEmpty());
    QVERIFY(w.frame.isPressed());
    dragTo(w.frame, w.frame.overlay()->mapToGlobal(QPoint(419, 150)));
    QCOMPARE(w.widget.width(), 420);
}

void TestResizeFrame::childWidgetResizesInParentCoordinates()
{
    FakeSystemWindow fake(true);
    QWidget parent;
    parent.setGeometry(100, 100, 600, 500);
    auto* child = new QWidget(&parent);
    child->setGeometry(50, 40, 200, 150);
    CQuorResizeFrame frame;
    frame.setWidget(child);
    parent.show();

    hover(frame, QPoint(0, 75));
    press(frame, QPoint(0, 75));
    QVERIFY(fake.resizes().isEmpty());
    dragTo(frame, frame.overlay()->mapToGlobal(QPoint(-20, 75)));
    QCOMPARE(child->geometry(), QRect(30, 40, 220, 150));
}

void TestResizeFrame::maximisedHidesRing()
{
    FakeSystemWindow fake(true);
    Window w;
    QVERIFY(w.frame.overlay()->isVisible());
    w.widget.setWindowState(Qt::WindowMaximized);
    QVERIFY(!w.frame.isResizable());
    QVERIFY(!w.frame.overlay()->isVisible());
    press(w.frame, QPoint(0, 150));
    QVERIFY(fake.resizes().isEmpty());
    QVERIFY(!w.frame.isPressed());

    w.widget.setWindowState(Qt::WindowNoState);
    QVERIFY(w.frame.isResizable());
    QVERIFY(w.frame.overlay()->isVisible());
    hover(w.frame, QPoint(0, 150));
    press(w.frame, QPoint(0, 150));
    QCOMPARE(fake.resizes().size(), 1);
}

void TestResizeFrame::ringMask()
{
    Window w;
    const QRect rect(0, 0, 400, 300);
    QCOMPARE(w.frame.overlay()->geometry(), rect);
    QCOMPARE(w.frame.overlay()->mask(), QRegion(rect).subtracted(QRegion(rect.adjusted(2, 2, -2, -2))));
    w.widget.resize(250, 120);
    const QRect smaller(0, 0, 250, 120);
    QCOMPARE(w.frame.overlay()->mask(), QRegion(smaller).subtracted(QRegion(smaller.adjusted(2, 2, -2, -2))));
    QVERIFY(!w.frame.overlay()->mask().contains(QPoint(2, 2)));
    QVERIFY(w.frame.overlay()->mask().contains(QPoint(249, 119)));
}

void TestResizeFrame::leaveRestoresOnlyOwnCursor()
{
    Window w;
    QApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    hover(w.frame, QPoint(0, 150));
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::SizeHorCursor);
    hover(w.frame, QPoint(0, 5));
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::SizeFDiagCursor);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(w.frame.overlay(), &leave);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    // A second leave takes nothing more off the stack.
    QApplication::sendEvent(w.frame.overlay(), &leave);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);

    // A frame destroyed while its cursor is on leaves the others' cursor too.
    {
        Window other;
        hover(other.frame, QPoint(200, 0));
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::SizeVerCursor);
    }
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    QCOMPARE(dropAllOverrideCursors(), 1);
}

void TestResizeFrame::deletedBeforeSetWidgetFreesOverlay()
{
    QPointer<QWidget> overlay;
    {
        CQuorResizeFrame frame;
        overlay = frame.overlay();
        QVERIFY(overlay);
        frame.setWidget(nullptr);
    }
    QVERIFY(overlay.isNull());

    // Once laid over a window, the overlay lives and dies with the window.
    QWidget window;
    {
        CQuorResizeFrame frame;
        frame.setWidget(&window);
        overlay = frame.overlay();
    }
    QVERIFY(!overlay.isNull());
    QCOMPARE(overlay->parentWidget(), &window);
}

void TestResizeFrame::windowDeletedBeforeFrame()
{
    CQuorResizeFrame frame;
    auto* window = new QWidget;
    window->resize(200, 100);
    frame.setWidget(window);
    window->show();
    hover(frame, QPoint(0, 50));
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::SizeHorCursor);
    delete window;
    QVERIFY(!frame.widget());
    QVERIFY(!frame.overlay());
    // A null window is ignored; the frame's own cursor still comes off with it.
    frame.setWidget(nullptr);
}

void TestResizeFrame::newWindowAfterDeletedOne()
{
    // The overlay went with the first window; the next window still gets a working ring.
    CQuorResizeFrame frame;
    auto* first = new QWidget;
    frame.setWidget(first);
    delete first;
    QWidget second;
    second.resize(200, 100);
    frame.setWidget(&second);
    QCOMPARE(frame.widget(), &second);
    QVERIFY(frame.overlay());
    QCOMPARE(frame.overlay()->parentWidget(), &second);
    QCOMPARE(frame.overlay()->geometry(), QRect(0, 0, 200, 100));
    second.show();
    hover(frame, QPoint(0, 50));
    QCOMPARE(frame.edges(), CQuorResizeFrame::Edges(CQuorResizeFrame::LeftEdge));
}

void TestResizeFrame::maximisingEndsManualResize()
{
    FakeSystemWindow fake(false);
    Window w;
    hover(w.frame, QPoint(0, 150));
    press(w.frame, QPoint(0, 150));
    QVERIFY(w.frame.isPressed());
    w.widget.setWindowState(Qt::WindowMaximized);
    QVERIFY(!w.frame.isPressed());
    QVERIFY(!QApplication::overrideCursor());
    const QRect maximised = w.widget.geometry();
    dragTo(w.frame, w.frame.overlay()->mapToGlobal(QPoint(-30, 150)));
    QCOMPARE(w.widget.geometry(), maximised);
}

QTEST_MAIN(TestResizeFrame)
#include "tst_resizeframe.moc"
