#include "meskuistyle.h"
#include "meskvscrollarea.h"

#include <QApplication>
#include <QHash>
#include <QKeyEvent>
#include <QPointer>
#include <QSet>
#include <QTest>
#include <QWheelEvent>

class TestMeskVScrollArea : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void geometry_data();
    void geometry();
    void scrolling_data();
    void scrolling();
    void shortBars_data();
    void shortBars();
    void inputReachesParent_data();
    void inputReachesParent();
    void contentShrinks();
    void reserveAndReplace();
    void wrappingContent_data();
    void wrappingContent();
};

namespace {

// Content with a fixed preferred height.
class Content : public QWidget
{
public:
    explicit Content(int height) : m_height(height) {}
    QSize sizeHint() const override { return {200, m_height}; }

private:
    int m_height;
};

// Content that wraps like text: area = width x height stays constant; remembers the widths asked.
class WrapContent : public QWidget
{
public:
    explicit WrapContent(int area) : m_area(area) {}
    QSize sizeHint() const override { return {100, m_area / 100}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        widths << width;
        return width > 0 ? m_area / width : 0;
    }
    mutable QSet<int> widths;

private:
    int m_area;
};

struct Fixture
{
    explicit Fixture(int contentHeight, int areaHeight = 400)
    {
        area.resize(300, areaHeight);
        area.setWidget(new Content(contentHeight));
        area.show();
    }
    QWidget* content() const { return area.widget(); }
    CMeskVScrollBar* bar() const { return area.scrollBar(); }
    CMeskVScrollArea area;
};

bool send(QWidget* to, QEvent* event)
{
    QApplication::sendEvent(to, event);
    return event->isAccepted();
}

bool wheel(QWidget* to, int x, int y)
{
    QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(x, y), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    return send(to, &event);
}

bool key(QWidget* to, Qt::Key code)
{
    QKeyEvent event(QEvent::KeyPress, code, Qt::NoModifier);
    return send(to, &event);
}

void mouse(QWidget* to, QEvent::Type type, int y)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(5, y), QPointF(5, y), button, buttons, Qt::NoModifier);
    send(to, &event);
}

// Runs "wheel X Y", "key down|up|pagedown|pageup|a", "press Y", "move Y", "release Y"; returns
// whether the last wheel or key event was taken.
bool run(Fixture& f, const QStringList& operations)
{
    bool accepted = true;
    for (const QString& operation : operations) {
        const QStringList parts = operation.split(QLatin1Char(' '));
        const QString& verb = parts.at(0);
        if (verb == QLatin1String("wheel")) {
            accepted = wheel(&f.area, parts.at(1).toInt(), parts.at(2).toInt());
        } else if (verb == QLatin1String("key")) {
            static const QHash<QString, Qt::Key> keys = {{"down", Qt::Key_Down},
                                                         {"up", Qt::Key_Up},
                                                         {"pagedown", Qt::Key_PageDown},
                                                         {"pageup", Qt::Key_PageUp},
                                                         {"a", Qt::Key_A}};
            accepted = key(&f.area, keys.value(parts.at(1)));
        } else {
            const QEvent::Type type = verb == QLatin1String("press")  ? QEvent::MouseButtonPress
                                      : verb == QLatin1String("move") ? QEvent::MouseMove
                                                                      : QEvent::MouseButtonRelease;
            mouse(f.bar(), type, parts.at(1).toInt());
        }
    }
    return accepted;
}

} // namespace

void TestMeskVScrollArea::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
}

void TestMeskVScrollArea::geometry_data()
{
    QTest::addColumn<int>("contentHeight");
    QTest::addColumn<int>("handle");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<int>("lineStep");
    QTest::newRow("1000") << 1000 << 160 << 2.5 << 20;
    QTest::newRow("4000: shortest handle") << 4000 << 50 << 3600.0 / 350 << 20;
    QTest::newRow("40000: step above ratio") << 40000 << 50 << 39600.0 / 350 << 114;
}

void TestMeskVScrollArea::geometry()
{
    QFETCH(int, contentHeight);
    QFETCH(int, handle);
    QFETCH(double, ratio);
    QFETCH(int, lineStep);
    Fixture f(contentHeight);
    QVERIFY(f.bar()->isVisible());
    QCOMPARE(f.bar()->geometry(), QRect(290, 0, 10, 400));
    QCOMPARE(f.content()->geometry(), QRect(0, 0, 290, contentHeight));
    QCOMPARE(f.bar()->handleLength(), handle);
    QCOMPARE(f.bar()->ratio(), ratio);
    QCOMPARE(f.bar()->lineStep(), lineStep);
    QVERIFY(!f.bar()->grab().isNull());
}

void TestMeskVScrollArea::scrolling_data()
{
    QTest::addColumn<int>("contentHeight");
    QTest::addColumn<QStringList>("operations");
    QTest::addColumn<int>("contentY");
    QTest::addColumn<int>("handlePosition");
    const QStringList eightUp(8, QStringLiteral("wheel 0 15"));
    const QStringList fourDown(4, QStringLiteral("wheel 0 -30"));
    QTest::newRow("one notch") << 1000 << QStringList{"wheel 0 -120"} << -20 << 8;
    QTest::newRow("diagonal notch") << 1000 << QStringList{"wheel 3 -120"} << -20 << 8;
    QTest::newRow("line down") << 1000 << QStringList{"key down"} << -20 << 8;
    QTest::newRow("line up at the top") << 1000 << QStringList{"key up"} << 0 << 0;
    QTest::newRow("page down") << 1000 << QStringList{"key pagedown"} << -400 << 160;
    QTest::newRow("page down, up") << 1000 << QStringList{"key pagedown", "key pageup"} << 0 << 0;
    QTest::newRow("press below the handle") << 1000 << QStringList{"press 300", "release 300"} << -400 << 160;
    QTest::newRow("drag 10 px") << 1000 << QStringList{"press 50", "move 60", "release 60"} << -25 << 10;
    QTest::newRow("notch in 4000") << 4000 << QStringList{"wheel 0 -120"} << -10 << 1;
    QTest::newRow("smooth wheel up") << 1000 << QStringList{"key pagedown"} + eightUp << -380 << 152;
    QTest::newRow("smooth wheel down")
        << 1000 << QStringList{"key pagedown"} + eightUp + fourDown << -400 << 160;
    // A turn the other way does not first pay back what was left of the last one.
    QTest::newRow("turn back") << 1000
                               << QStringList{"key pagedown", "wheel 0 -60", "wheel 0 90", "wheel 0 30"}
                               << -380 << 152;
    const QStringList outside = {"press 100", "move 450"};
    QTest::newRow("pointer below the bar") << 1000 << outside << -600 << 240;
    QTest::newRow("pointer stays below") << 1000 << outside + QStringList{"move 440"} << -600 << 240;
    QTest::newRow("pointer above the bar") << 1000 << outside + QStringList{"move 440", "move -10"} << 0 << 0;
    QTest::newRow("pointer back in") << 1000 << outside + QStringList{"move 440", "move -10", "move 300"}
                                     << -500 << 200;
    QTest::newRow("no drag after release")
        << 1000 << QStringList{"press 100", "release 100", "move 300"} << 0 << 0;
    QTest::newRow("end by dragging") << 4198 << QStringList{"press 10", "move 1000"} << -3798 << 350;
    QTest::newRow("end by wheel") << 4198 << QStringList{"wheel 0 -48000"} << -3798 << 350;
    QTest::newRow("end by pages") << 4198 << QStringList(20, QStringLiteral("key pagedown")) << -3798 << 350;
}

void TestMeskVScrollArea::scrolling()
{
    QFETCH(int, contentHeight);
    QFETCH(QStringList, operations);
    QFETCH(int, contentY);
    QFETCH(int, handlePosition);
    Fixture f(contentHeight);
    run(f, operations);
    QCOMPARE(f.content()->y(), contentY);
    QCOMPARE(f.bar()->handlePosition(), handlePosition);
    QCOMPARE(f.content()->x(), 0);
}

void TestMeskVScrollArea::shortBars_data()
{
    QTest::addColumn<int>("areaHeight");
    QTest::addColumn<int>("handle");
    QTest::newRow("40 px") << 40 << 39;
    QTest::newRow("3 px") << 3 << 2;
    QTest::newRow("2 px") << 2 << 1;
    QTest::newRow("1 px") << 1 << -1;
}

void TestMeskVScrollArea::shortBars()
{
    QFETCH(int, areaHeight);
    QFETCH(int, handle);
    Fixture f(1000, areaHeight);
    if (handle > 0)
        QCOMPARE(f.bar()->handleLength(), handle);
    const QStringList operations = {"wheel 0 -120", "key pagedown", "wheel 0 -1200", "press 0",
                                    "move 900",     "move -900",    "release 0",     "key down",
                                    "press 1",      "key pageup",   "wheel 0 360",   "key up"};
    for (const QString& operation : operations) {
        run(f, {operation});
        const int y = f.content()->y();
        QVERIFY2(y <= 0 && y >= areaHeight - 1000,
                 qPrintable(operation + QStringLiteral(": ") + QString::number(y)));
        if (areaHeight < 2)
            QCOMPARE(y, 0);
    }
    run(f, {"wheel 0 -120000"});
    if (areaHeight >= 2)
        QCOMPARE(f.content()->y(), areaHeight - 1000);
}

void TestMeskVScrollArea::inputReachesParent_data()
{
    QTest::addColumn<int>("contentHeight");
    QTest::addColumn<QString>("input");
    QTest::newRow("horizontal wheel") << 1000 << QStringLiteral("wheel -120 0");
    QTest::newRow("wheel, content fits") << 300 << QStringLiteral("wheel 0 -120");
    QTest::newRow("key, content fits") << 300 << QStringLiteral("key down");
    QTest::newRow("page key, content fits") << 300 << QStringLiteral("key pagedown");
    QTest::newRow("other key") << 1000 << QStringLiteral("key a");
}

void TestMeskVScrollArea::inputReachesParent()
{
    QFETCH(int, contentHeight);
    QFETCH(QString, input);
    Fixture f(contentHeight);
    QVERIFY(!run(f, {input}));
    QCOMPARE(f.content()->pos(), QPoint(0, 0));
}

void TestMeskVScrollArea::contentShrinks()
{
    Fixture f(1000);
    run(f, {"key pagedown"});
    QCOMPARE(f.content()->y(), -400);
    f.content()->resize(f.content()->width(), 300);
    QVERIFY(f.bar()->isHidden());
    QVERIFY(!f.bar()->hasTarget());
    QCOMPARE(f.content()->pos(), QPoint(0, 0));
    QVERIFY(!wheel(&f.area, 0, -120));

    // Growing again brings the bar back at the top.
    f.content()->resize(f.content()->width(), 1000);
    QVERIFY(!f.bar()->isHidden());
    QCOMPARE(f.bar()->handlePosition(), 0);
    run(f, {"key down"});
    QCOMPARE(f.content()->y(), -20);
}

void TestMeskVScrollArea::reserveAndReplace()
{
    CMeskVScrollArea area;
    area.setReserveScrollBarWidth(true);
    area.resize(300, 400);
    QPointer<QWidget> first = new Content(200);
    area.setWidget(first);
    area.show();
    QCOMPARE(area.widget()->geometry(), QRect(0, 0, 290, 400));
    QCOMPARE(area.sizeHint(), QSize(200, 200));
    QVERIFY(area.scrollBar()->isHidden());

    area.setWidget(new Content(1000));
    QVERIFY(first.isNull());
    QVERIFY(!area.scrollBar()->isHidden());
    QCOMPARE(area.widget()->parentWidget(), static_cast<QWidget*>(&area));
    QCOMPARE(area.widget()->width(), 290);

    // Without the flag, short content takes the whole width once the bar goes.
    area.setReserveScrollBarWidth(false);
    area.setWidget(new Content(100));
    QCOMPARE(area.widget()->geometry(), QRect(0, 0, 300, 400));
    area.setWidget(nullptr);
    QVERIFY(area.widget() == nullptr);
}

// Wrapping content is as tall as it needs at the width it gets, and is measured at no other width.
void TestMeskVScrollArea::wrappingContent_data()
{
    QTest::addColumn<bool>("reserve");
    QTest::addColumn<int>("area");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<bool>("bar");
    QTest::newRow("scrolls") << false << 290000 << QRect(0, 0, 290, 1000) << true;
    QTest::newRow("scrolls, reserved") << true << 290000 << QRect(0, 0, 290, 1000) << true;
    QTest::newRow("fits") << false << 30000 << QRect(0, 0, 300, 400) << false;
    QTest::newRow("fits, reserved") << true << 29000 << QRect(0, 0, 290, 400) << false;
}

void TestMeskVScrollArea::wrappingContent()
{
    QFETCH(bool, reserve);
    QFETCH(int, area);
    QFETCH(QRect, geometry);
    QFETCH(bool, bar);
    CMeskVScrollArea scrollArea;
    scrollArea.setReserveScrollBarWidth(reserve);
    scrollArea.resize(300, 400);
    auto* content = new WrapContent(area);
    scrollArea.setWidget(content);
    scrollArea.show();
    QCoreApplication::processEvents();
    QCOMPARE(content->geometry(), geometry);
    QCOMPARE(scrollArea.scrollBar()->isVisible(), bar);
    QVERIFY2((content->widths - QSet<int>{290, 300}).isEmpty(), "measured at a width it never gets");
}

QTEST_MAIN(TestMeskVScrollArea)
#include "tst_meskvscrollarea.moc"
