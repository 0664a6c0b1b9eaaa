// The main window's resize frame: the window manager's resize keeps the cursor until it ends.

#include "fakesystemwindow.h"
#include "meskresizeframe.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QtTest>

namespace {

void sendMouse(QWidget* target, QEvent::Type type, const QPoint& local, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    const QPointF global = target->mapToGlobal(QPointF(local));
    QMouseEvent event(type, QPointF(local), global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void sendLeave(QWidget* target)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(target, &leave);
}

Qt::CursorShape overrideShape()
{
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::BlankCursor;
}

struct Window
{
    Window()
    {
        widget.setWindowFlags(Qt::FramelessWindowHint);
        widget.setGeometry(100, 100, 400, 300);
        frame.setWidget(&widget);
        widget.show();
    }
    QWidget widget;
    CMeskResizeFrame frame;
};

} // namespace

class TestMeskResizeFrame : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }

    void systemResizeKeepsCursorUntilItEnds_data()
    {
        QTest::addColumn<QString>("end");
        QTest::newRow("release on the ring") << QStringLiteral("release");
        QTest::newRow("move without a button on the ring") << QStringLiteral("move");
        QTest::newRow("enter on the window") << QStringLiteral("enter");
        QTest::newRow("endResize") << QStringLiteral("endResize");
    }
    void systemResizeKeepsCursorUntilItEnds()
    {
        QFETCH(QString, end);
        FakeSystemWindow system(true);
        Window window;
        QWidget* overlay = window.frame.overlay();
        const QPoint at(0, 10);
        sendMouse(overlay, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
        sendMouse(overlay, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(system.resizes().size(), 1);
        QCOMPARE(system.resizes().first().edges, Qt::Edges(Qt::TopEdge | Qt::LeftEdge));
        QVERIFY(window.frame.isSystemResizing());

        sendLeave(overlay);
        QCOMPARE(overrideShape(), Qt::SizeFDiagCursor);

        if (end == QLatin1String("release")) {
            sendMouse(overlay, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
        } else if (end == QLatin1String("move")) {
            sendMouse(overlay, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
        } else if (end == QLatin1String("enter")) {
            QEnterEvent enter(QPointF(200, 150), QPointF(200, 150),
                              window.widget.mapToGlobal(QPointF(200, 150)));
            QApplication::sendEvent(&window.widget, &enter);
        } else {
            window.frame.endResize();
        }
        QVERIFY(!window.frame.isSystemResizing());
        sendLeave(overlay);
        QVERIFY(!QApplication::overrideCursor());
    }

    void endResizeLeavesOthersCursor()
    {
        Window window;
        QApplication::setOverrideCursor(Qt::BusyCursor);
        window.frame.endResize();
        QCOMPARE(overrideShape(), Qt::BusyCursor);
        QApplication::restoreOverrideCursor();
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(TestMeskResizeFrame)
#include "tst_meskresizeframe.moc"
