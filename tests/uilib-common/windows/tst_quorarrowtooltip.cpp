#include "effects/fadeeffect.h"
#include "style/quorcommonstyle.h"
#include "style/quorstyleoptions.h"
#include "windows/layeredwndsurface.h"
#include "windows/quorarrowtooltip.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLayout>
#include <QPointer>
#include <QTest>
#include <QTimeLine>

namespace {
constexpr auto kArrowOffset = QStyle::PixelMetric(QStyle::PM_CustomBase + 7);
constexpr auto kAboveOffset = QStyle::PixelMetric(QStyle::PM_CustomBase + 18);

// A tooltip event on a top-level widget at (0, 0), so local and global points agree.
bool sendToolTip(CQuorArrowToolTip* bubble, QWidget* widget, const QPoint& pos)
{
    QHelpEvent event(QEvent::ToolTip, pos, pos);
    return bubble->eventFilter(widget, &event);
}

int arrowShift(CQuorArrowToolTip* bubble)
{
    CQuorStyleOptionArrowTip option;
    option.initFrom(bubble);
    option.rect = QRect(QPoint(), bubble->size());
    option.arrowAlignment = bubble->alignment();
    return bubble->style()->pixelMetric(kArrowOffset, &option, bubble);
}
} // namespace

class TestQuorArrowToolTip : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(new CQuorCommonStyle); }
    void cleanup() { QApplication::setLayoutDirection(Qt::LeftToRight); }

    void buildsLayeredBubble()
    {
        CQuorArrowToolTip bubble;
        QCOMPARE(bubble.windowType(), Qt::ToolTip);
        QCOMPARE(bubble.property("com_velto_qstyleRole").toString(),
                 QStringLiteral("quor.commonuilibrary.tooltip.textfield"));
        QVERIFY(CLayeredWndSurface::of(&bubble));
        QVERIFY(bubble.fadeEffect());
        QCOMPARE(bubble.alignment(), Qt::AlignLeft | Qt::AlignTop);
        QCOMPARE(bubble.layout()->sizeConstraint(), QLayout::SetFixedSize);
        QCOMPARE(bubble.layout()->itemAt(0)->widget(), bubble.iconLabel());
        QCOMPARE(bubble.layout()->itemAt(1)->widget(), bubble.textLabel());
        QVERIFY(bubble.iconLabel()->isHidden());
        QVERIFY(bubble.textLabel()->wordWrap());
    }

    void rightToLeftPutsTheTextFirst()
    {
        QApplication::setLayoutDirection(Qt::RightToLeft);
        CQuorArrowToolTip bubble;
        QCOMPARE(bubble.layout()->itemAt(0)->widget(), bubble.textLabel());
        QCOMPARE(bubble.layout()->itemAt(1)->widget(), bubble.iconLabel());
        bubble.setAlignment(Qt::AlignLeft | Qt::AlignTop);
        QVERIFY(bubble.alignment().testFlag(Qt::AlignRight));
        QVERIFY(!bubble.alignment().testFlag(Qt::AlignLeft));
        QVERIFY(bubble.alignment().testFlag(Qt::AlignTop));
    }

    void placedAtTheTooltipPoint_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::newRow("below, arrow left") << int(Qt::AlignLeft | Qt::AlignTop);
        QTest::newRow("below, arrow centred") << int(Qt::AlignHCenter | Qt::AlignTop);
        QTest::newRow("above, arrow left") << int(Qt::AlignLeft | Qt::AlignBottom);
        QTest::newRow("above, arrow right") << int(Qt::AlignRight | Qt::AlignBottom);
    }
    void placedAtTheTooltipPoint()
    {
        QFETCH(int, alignment);
        QWidget owner;
        owner.move(0, 0);
        CQuorArrowToolTip bubble;
        bubble.setText(QStringLiteral("A bubble with a few words in it"));
        bubble.setAlignment(Qt::Alignment(alignment));
        QVERIFY(sendToolTip(&bubble, &owner, QPoint(400, 500)));
        QVERIFY(bubble.isVisible());
        QVERIFY(bubble.fadeEffect()->isRunning());
        QVERIFY(!bubble.fadeEffect()->isBackward());
        const QRect geometry = bubble.geometry();
        QCOMPARE(geometry.size(), bubble.sizeHint());
        if (alignment & Qt::AlignBottom)
            QCOMPARE(geometry.bottom(), 500 - 2 + bubble.style()->pixelMetric(kAboveOffset));
        else
            QCOMPARE(geometry.top(), 502);
        QRect centred(QPoint(), geometry.size());
        centred.moveCenter(QPoint(400, 500));
        QCOMPARE(geometry.left(), centred.left() + arrowShift(&bubble));
    }

    // Near each screen edge the bubble stays inside the available area; where the preferred side
    // does not fit the arrow goes to the other one and still points at the point.
    void staysOnScreen_data()
    {
        QTest::addColumn<int>("edge");
        QTest::addColumn<bool>("rightToLeft");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("shownSide");
        const int belowLeft = int(Qt::AlignLeft | Qt::AlignTop);
        QTest::newRow("left edge, right to left")
            << int(Qt::LeftEdge) << true << belowLeft << int(Qt::AlignLeft);
        QTest::newRow("left edge, left to right")
            << int(Qt::LeftEdge) << false << belowLeft << int(Qt::AlignLeft);
        QTest::newRow("right edge, left to right")
            << int(Qt::RightEdge) << false << belowLeft << int(Qt::AlignRight);
        QTest::newRow("right edge, right to left")
            << int(Qt::RightEdge) << true << belowLeft << int(Qt::AlignRight);
        QTest::newRow("top edge, bubble above")
            << int(Qt::TopEdge) << false << int(Qt::AlignLeft | Qt::AlignBottom) << int(Qt::AlignTop);
        QTest::newRow("bottom edge, bubble below")
            << int(Qt::BottomEdge) << true << belowLeft << int(Qt::AlignBottom);
        QTest::newRow("bottom left corner, right to left, above")
            << int(Qt::BottomEdge | Qt::LeftEdge) << true << int(Qt::AlignLeft | Qt::AlignBottom)
            << int(Qt::AlignLeft | Qt::AlignBottom);
    }
    void staysOnScreen()
    {
        QFETCH(int, edge);
        QFETCH(bool, rightToLeft);
        QFETCH(int, alignment);
        QFETCH(int, shownSide);
        QApplication::setLayoutDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        CQuorArrowToolTip bubble;
        bubble.setText(QStringLiteral("A bubble with a few words in it, near the edge"));
        bubble.setAlignment(Qt::Alignment(alignment));
        const QRect area = bubble.screen()->availableGeometry();
        QPoint point = area.center();
        if (edge & Qt::LeftEdge)
            point.setX(area.left() + 40);
        if (edge & Qt::RightEdge)
            point.setX(area.right() - 40);
        if (edge & Qt::TopEdge)
            point.setY(area.top() + 5);
        if (edge & Qt::BottomEdge)
            point.setY(area.bottom() - 10);
        bubble.showAt(point);
        const QRect geometry = bubble.geometry();
        QVERIFY2(area.contains(geometry), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                         .arg(geometry.x())
                                                         .arg(geometry.y())
                                                         .arg(geometry.width())
                                                         .arg(geometry.height())));
        QCOMPARE(bubble.alignment() & Qt::Alignment(shownSide), Qt::Alignment(shownSide));
        // The arrow points at the point: the bubble sits where the shown side puts it.
        QRect centred(QPoint(), geometry.size());
        centred.moveCenter(point);
        QCOMPARE(geometry.left(), centred.left() + arrowShift(&bubble));
        if (bubble.alignment() & Qt::AlignBottom)
            QCOMPARE(geometry.bottom(), point.y() + bubble.style()->pixelMetric(kAboveOffset));
        else
            QCOMPARE(geometry.top(), point.y());
    }

    void tooLargeForTheScreenSlidesInside()
    {
        CQuorArrowToolTip bubble;
        auto* wide = new QWidget;
        const QRect area = bubble.screen()->availableGeometry();
        wide->setFixedSize(area.width() / 2 + 40, 30);
        bubble.setWidget(wide);
        bubble.showAt(QPoint(area.center().x(), area.center().y()));
        QVERIFY(area.contains(bubble.geometry()));
    }

    void commonStyleOffsets()
    {
        QWidget owner;
        CQuorArrowToolTip bubble;
        bubble.setText(QStringLiteral("tip"));
        bubble.setAlignment(Qt::AlignBottom);
        sendToolTip(&bubble, &owner, QPoint(300, 500));
        QCOMPARE(bubble.geometry().bottom(), 505);
        bubble.setAlignment(Qt::AlignTop);
        sendToolTip(&bubble, &owner, QPoint(300, 500));
        QCOMPARE(bubble.geometry().top(), 502);
    }

    void showTipIsShowAt()
    {
        CQuorArrowToolTip bubble;
        bubble.setText(QStringLiteral("tip"));
        bubble.setText(QStringLiteral("A longer text that the label wraps"));
        bubble.showAt(QPoint(200, 200));
        const QRect first = bubble.geometry();
        QCOMPARE(first.top(), 200);
        bubble.showTip(QPoint(200, 200));
        QCOMPARE(bubble.geometry(), first);
        bubble.showAt(QPoint(200, 200));
        QCOMPARE(bubble.geometry(), first);
        QVERIFY(bubble.isVisible());
    }

    void disabledBubbleSwallowsTheEvent()
    {
        QWidget owner;
        CQuorArrowToolTip bubble;
        bubble.setText(QStringLiteral("tip"));
        bubble.setEnabled(false);
        QVERIFY(sendToolTip(&bubble, &owner, QPoint(100, 100)));
        QVERIFY(!bubble.isVisible());
        QVERIFY(!bubble.fadeEffect()->isRunning());
    }

    void otherEventsPass()
    {
        QWidget owner;
        CQuorArrowToolTip bubble;
        QEvent enter(QEvent::Enter);
        QVERIFY(!bubble.eventFilter(&owner, &enter));
        QEvent notHelp(QEvent::ToolTip);
        QVERIFY(!bubble.eventFilter(&owner, &notHelp));
        QVERIFY(!bubble.isVisible());
    }

    void textFromTheWidget()
    {
        QWidget owner;
        owner.setToolTip(QStringLiteral("from the widget"));
        CQuorArrowToolTip bubble;
        bubble.setText(QStringLiteral("own"));
        sendToolTip(&bubble, &owner, QPoint(100, 100));
        QCOMPARE(bubble.text(), QStringLiteral("own"));
        bubble.setTextFromWidget(true);
        sendToolTip(&bubble, &owner, QPoint(100, 100));
        QCOMPARE(bubble.text(), QStringLiteral("from the widget"));
    }

    void leaveFadesOut()
    {
        QWidget owner;
        owner.setMouseTracking(true);
        CQuorArrowToolTip bubble;
        owner.installEventFilter(&bubble);
        bubble.setText(QStringLiteral("tip"));
        QHelpEvent help(QEvent::ToolTip, QPoint(50, 50), QPoint(50, 50));
        QVERIFY(QCoreApplication::sendEvent(&owner, &help));
        QTimeLine* timeLine = bubble.fadeEffect()->timeLine();
        timeLine->setCurrentTime(300);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&owner, &leave);
        QVERIFY(bubble.fadeEffect()->isBackward());
        QVERIFY(bubble.fadeEffect()->isRunning());
        QCOMPARE(timeLine->duration(), 300);
        QVERIFY(bubble.isVisible());
        timeLine->setCurrentTime(0);
        QVERIFY(!bubble.isVisible());
        QCOMPARE(CLayeredWndSurface::of(&bubble)->alpha(), quint8(255));
    }

    void goesAwayWithItsWidget_data()
    {
        QTest::addColumn<bool>("child");
        QTest::newRow("own window") << false;
        QTest::newRow("child of the widget") << true;
    }
    void goesAwayWithItsWidget()
    {
        QFETCH(bool, child);
        auto* owner = new QWidget;
        QPointer<CQuorArrowToolTip> bubble = new CQuorArrowToolTip(child ? owner : nullptr);
        owner->installEventFilter(bubble);
        bubble->setText(QStringLiteral("tip"));
        bubble->showAt(QPoint(100, 100));
        delete owner;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(bubble.isNull());
    }

    void showHideAndDeleteInEveryOrder()
    {
        auto* owner = new QWidget;
        owner->setToolTip(QStringLiteral("tip"));
        QPointer<CQuorArrowToolTip> bubble = new CQuorArrowToolTip;
        owner->installEventFilter(bubble);
        bubble->setTextFromWidget(true);
        QTimeLine* timeLine = bubble->fadeEffect()->timeLine();

        // Shown again while fading out: it fades back in from where it stood.
        sendToolTip(bubble, owner, QPoint(100, 100));
        timeLine->setCurrentTime(200);
        bubble->hideTip();
        QVERIFY(bubble->fadeEffect()->isBackward());
        sendToolTip(bubble, owner, QPoint(140, 100));
        QVERIFY(bubble->isVisible());
        QVERIFY(!bubble->fadeEffect()->isBackward());
        QVERIFY(bubble->fadeEffect()->isRunning());
        timeLine->setCurrentTime(300);
        QCOMPARE(CLayeredWndSurface::of(bubble)->alpha(), quint8(255));

        // Hidden twice, hidden while hidden, then the widget goes in the middle of a fade.
        bubble->hideTip();
        timeLine->setCurrentTime(0);
        QVERIFY(!bubble->isVisible());
        bubble->hideTip();
        bubble->hide();
        sendToolTip(bubble, owner, QPoint(100, 100));
        timeLine->setCurrentTime(100);
        delete owner;
        QVERIFY(bubble);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(bubble.isNull());
    }

    void bubbleGoesFirst()
    {
        QWidget owner;
        auto* bubble = new CQuorArrowToolTip;
        owner.installEventFilter(bubble);
        bubble->setText(QStringLiteral("tip"));
        bubble->showAt(QPoint(50, 50));
        delete bubble;
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&owner, &leave);
        QHelpEvent help(QEvent::ToolTip, QPoint(1, 1), QPoint(1, 1));
        QCoreApplication::sendEvent(&owner, &help);
    }

    void customWidgetReplacesTheLabels()
    {
        CQuorArrowToolTip bubble;
        bubble.setText(QStringLiteral("text"));
        QPointer<QWidget> a = new QWidget;
        QPointer<QWidget> b = new QWidget;
        bubble.setWidget(a);
        QCOMPARE(bubble.layout()->count(), 3);
        QCOMPARE(bubble.layout()->itemAt(0)->widget(), a.data());
        QVERIFY(bubble.textLabel()->isHidden());
        QVERIFY(bubble.iconLabel()->isHidden());
        bubble.setWidget(b);
        QCOMPARE(bubble.layout()->count(), 3);
        QCOMPARE(bubble.layout()->itemAt(0)->widget(), b.data());
        QCOMPARE(bubble.layout()->indexOf(a), -1);
        QVERIFY(a);
        QVERIFY(a->isHidden());
        QCOMPARE(bubble.widget(), b.data());
        bubble.setText(QStringLiteral("still hidden"));
        QVERIFY(bubble.textLabel()->isHidden());
        bubble.setWidget(nullptr);
        QCOMPARE(bubble.layout()->count(), 2);
        QVERIFY(b);
        QVERIFY(b->isHidden());
        QVERIFY(!bubble.textLabel()->isHidden());
        QVERIFY(bubble.iconLabel()->isHidden());
        QCOMPARE(bubble.widget(), nullptr);
        delete a;
        delete b;
    }

    void nullWidgetRestoresOnlyLabelsWithContent_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("withPixmap");
        QTest::newRow("text") << QStringLiteral("t") << false;
        QTest::newRow("icon") << QString() << true;
        QTest::newRow("both") << QStringLiteral("t") << true;
        QTest::newRow("none") << QString() << false;
    }
    void nullWidgetRestoresOnlyLabelsWithContent()
    {
        QFETCH(QString, text);
        QFETCH(bool, withPixmap);
        CQuorArrowToolTip bubble;
        bubble.setText(text);
        QPixmap icon(16, 16);
        icon.fill(Qt::green);
        bubble.setPixmap(withPixmap ? icon : QPixmap());
        QWidget custom;
        bubble.setWidget(&custom);
        bubble.setWidget(nullptr);
        QCOMPARE(!bubble.textLabel()->isHidden(), !text.isEmpty());
        QCOMPARE(!bubble.iconLabel()->isHidden(), withPixmap);
        custom.setParent(nullptr);
    }
};

QTEST_MAIN(TestQuorArrowToolTip)
#include "tst_quorarrowtooltip.moc"
