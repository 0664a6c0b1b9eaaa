#include "effects/fadeeffect.h"
#include "windows/layeredwndsurface.h"
#include "windows/quortooltip.h"
#include "windows/quortooltiplabel.h"

#include <QApplication>
#include <QPointer>
#include <QStyle>
#include <QTest>
#include <QTimeLine>
#include <QTimerEvent>

namespace {
void setFading(bool on)
{
    QApplication::setEffectEnabled(Qt::UI_General, on);
    QApplication::setEffectEnabled(Qt::UI_FadeTooltip, on);
}

void runDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

CQuorToolTipLabel* shownLabel(const QString& text = QStringLiteral("tip"))
{
    CQuorToolTip::showText(QPoint(300, 300), text);
    auto* label = CQuorToolTipLabel::instance();
    if (label && !label->isVisible())
        return nullptr;
    return label;
}

QEvent* makeEvent(QEvent::Type type)
{
    const QPointF local(3, 3);
    const QPointF global(400, 400);
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return new QMouseEvent(type, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        return new QFocusEvent(type, Qt::MouseFocusReason);
    case QEvent::Wheel:
        return new QWheelEvent(local, global, QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                               Qt::NoScrollPhase, false);
    default:
        return new QEvent(type);
    }
}

QMouseEvent mouseMove(const QPoint& pos)
{
    return QMouseEvent(QEvent::MouseMove, pos, pos + QPoint(100, 100), Qt::NoButton, Qt::NoButton,
                       Qt::NoModifier);
}
} // namespace

class TestQuorToolTipLabel : public QObject
{
    Q_OBJECT
private:
    static int expireTimerId(CQuorToolTipLabel* label) { return label->m_expireTimer.timerId(); }

private slots:
    void init() { setFading(false); }
    void cleanup()
    {
        delete CQuorToolTipLabel::instance();
        runDeferredDeletes();
        QVERIFY(!CQuorToolTipLabel::instance());
        setFading(false);
    }

    void expiryGrowsWithText_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("expiry");
        QTest::newRow("empty") << 0 << 10000;
        QTest::newRow("100") << 100 << 10000;
        QTest::newRow("101") << 101 << 10040;
        QTest::newRow("150") << 150 << 12000;
    }
    void expiryGrowsWithText()
    {
        QFETCH(int, length);
        QFETCH(int, expiry);
        QCOMPARE(CQuorToolTipLabel::expiryTime(QString(length, QLatin1Char('x'))), expiry);
    }

    void placementStaysOnScreen_data()
    {
        QTest::addColumn<QPoint>("mouse");
        QTest::addColumn<bool>("rightToLeft");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("free") << QPoint(500, 500) << false << QPoint(502, 521);
        QTest::newRow("right edge") << QPoint(1250, 500) << false << QPoint(1148, 521);
        QTest::newRow("bottom edge") << QPoint(500, 1000) << false << QPoint(502, 967);
        QTest::newRow("off top left") << QPoint(-50, -50) << false << QPoint(0, 0);
        QTest::newRow("corner") << QPoint(1279, 1023) << false << QPoint(1177, 990);
        QTest::newRow("rtl") << QPoint(500, 500) << true << QPoint(398, 521);
        QTest::newRow("rtl left edge") << QPoint(50, 500) << true << QPoint(0, 521);
    }
    void placementStaysOnScreen()
    {
        QFETCH(QPoint, mouse);
        QFETCH(bool, rightToLeft);
        QFETCH(QPoint, expected);
        const QPoint p = CQuorToolTipLabel::tipPosition(mouse, QSize(100, 30), QRect(0, 0, 1280, 1024),
                                                        rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        QCOMPARE(p, expected);
    }

    void placeTipMovesOnTheWidgetsScreen()
    {
        QWidget widget;
        CQuorToolTipLabel label(QStringLiteral("tip"));
        label.resize(100, 30);
        const QRect screen = CQuorToolTipLabel::tipScreenGeometry(QPoint(10, 10), &widget);
        QCOMPARE(screen, widget.screen()->geometry());
        label.placeTip(QPoint(10, 10), &widget);
        QCOMPARE(label.pos(),
                 CQuorToolTipLabel::tipPosition(QPoint(10, 10), label.size(), screen, Qt::LeftToRight));
        widget.setLayoutDirection(Qt::RightToLeft);
        label.placeTip(QPoint(500, 300), &widget);
        QCOMPARE(label.pos(),
                 CQuorToolTipLabel::tipPosition(QPoint(500, 300), label.size(), screen, Qt::RightToLeft));
    }

    void buildsLayeredTooltipWindow()
    {
        auto* label = new CQuorToolTipLabel(QStringLiteral("plain"));
        QCOMPARE(CQuorToolTipLabel::instance(), label);
        QCOMPARE(label->windowType(), Qt::ToolTip);
        QVERIFY(label->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(label->testAttribute(Qt::WA_TranslucentBackground));
        QVERIFY(CLayeredWndSurface::of(label));
        QVERIFY(label->fadeEffect());
        QCOMPARE(label->fadeEffect()->timeLine()->duration(), 300);
        QCOMPARE(label->property("com_velto_qstyleRole").toString(),
                 QStringLiteral("quor.commonuilibrary.tooltip"));
        QCOMPARE(label->property("com_velto_fontRole").toString(),
                 QStringLiteral("widgetlibrary.tooltip.normal.label"));
        QCOMPARE(label->margin(),
                 1 + label->style()->pixelMetric(QStyle::PM_ToolTipLabelFrameWidth, nullptr, label));
        QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
        QCOMPARE(label->indent(), 1);
        QVERIFY(label->hasMouseTracking());
        QVERIFY(label->width() > label->sizeHint().width());
        QVERIFY(!label->isVisible());
    }

    void wordWrapOnlyForRichText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("wrap");
        QTest::newRow("plain") << QStringLiteral("a plain tip") << false;
        QTest::newRow("rich") << QStringLiteral("<b>bold</b> tip") << true;
    }
    void wordWrapOnlyForRichText()
    {
        QFETCH(QString, text);
        QFETCH(bool, wrap);
        CQuorToolTipLabel label(text);
        QCOMPARE(label.wordWrap(), wrap);
    }

    void newLabelReplacesThePrevious()
    {
        QPointer<CQuorToolTipLabel> first = new CQuorToolTipLabel(QStringLiteral("one"));
        auto* second = new CQuorToolTipLabel(QStringLiteral("two"));
        QVERIFY(first.isNull());
        QCOMPARE(CQuorToolTipLabel::instance(), second);
        delete second;
        QCOMPARE(CQuorToolTipLabel::instance(), nullptr);
    }

    void hiddenByActivityAnywhere_data()
    {
        QTest::addColumn<int>("type");
        for (QEvent::Type type :
             {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
              QEvent::FocusIn, QEvent::FocusOut, QEvent::Leave, QEvent::WindowActivate,
              QEvent::WindowDeactivate, QEvent::Wheel})
            QTest::newRow(QByteArray::number(int(type)).constData()) << int(type);
    }
    void hiddenByActivityAnywhere()
    {
        QFETCH(int, type);
        QWidget elsewhere;
        QPointer<CQuorToolTipLabel> label = shownLabel();
        QVERIFY(label);
        std::unique_ptr<QEvent> event(makeEvent(QEvent::Type(type)));
        QCoreApplication::sendEvent(&elsewhere, event.get());
        QVERIFY(!label->isVisible());
        QCOMPARE(CQuorToolTipLabel::instance(), nullptr);
        runDeferredDeletes();
        QVERIFY(label.isNull());
    }

    void otherEventsKeepTheTip()
    {
        QWidget elsewhere;
        QPointer<CQuorToolTipLabel> label = shownLabel();
        QVERIFY(label);
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(&elsewhere, &enter);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QCoreApplication::sendEvent(&elsewhere, &key);
        QVERIFY(label->isVisible());
        QCOMPARE(CQuorToolTipLabel::instance(), label.data());
    }

    void pressOnTheLabelHides()
    {
        QPointer<CQuorToolTipLabel> label = shownLabel();
        QVERIFY(label);
        QTest::mousePress(label.data(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
        QVERIFY(!label->isVisible());
    }

    void expiryHides()
    {
        QPointer<CQuorToolTipLabel> label = shownLabel();
        QVERIFY(label);
        const int id = expireTimerId(label);
        QVERIFY(id > 0);
        QTimerEvent other(id + 1000);
        QCoreApplication::sendEvent(label, &other);
        QVERIFY(label->isVisible());
        QTimerEvent expiry(id);
        QCoreApplication::sendEvent(label, &expiry);
        QVERIFY(!label->isVisible());
        QCOMPARE(expireTimerId(label), 0);
    }

    void reuseRestartsTheReadingTime()
    {
        QPointer<CQuorToolTipLabel> label = shownLabel(QStringLiteral("short"));
        QVERIFY(label);
        label->reuseTip(QString(160, QLatin1Char('w')));
        QCOMPARE(label->text(), QString(160, QLatin1Char('w')));
        QVERIFY(expireTimerId(label) > 0);
        QVERIFY(label->width() > 100);
    }

    void mouseMoveOutsideTheTipRectHides()
    {
        QWidget owner;
        owner.resize(200, 200);
        QWidget other;
        CQuorToolTip::showText(QPoint(300, 300), QStringLiteral("tip"), &owner, QRect(10, 10, 50, 50));
        QPointer<CQuorToolTipLabel> label = CQuorToolTipLabel::instance();
        QVERIFY(label && label->isVisible());
        QCOMPARE(label->tipWidget(), &owner);
        auto inside = mouseMove(QPoint(20, 20));
        QCoreApplication::sendEvent(&owner, &inside);
        QVERIFY(label->isVisible());
        auto elsewhere = mouseMove(QPoint(150, 150));
        QCoreApplication::sendEvent(&other, &elsewhere);
        QVERIFY(label->isVisible());
        auto outside = mouseMove(QPoint(150, 150));
        QCoreApplication::sendEvent(&owner, &outside);
        QVERIFY(!label->isVisible());
    }

    void mouseMoveWithoutTipRectKeepsTheTip()
    {
        QWidget owner;
        CQuorToolTip::showText(QPoint(300, 300), QStringLiteral("tip"), &owner);
        QPointer<CQuorToolTipLabel> label = CQuorToolTipLabel::instance();
        QVERIFY(label);
        auto move = mouseMove(QPoint(150, 150));
        QCoreApplication::sendEvent(&owner, &move);
        QVERIFY(label->isVisible());
    }

    void hiddenLabelIsDeletedLater()
    {
        QPointer<CQuorToolTipLabel> label = shownLabel();
        QVERIFY(label);
        label->hide();
        QCOMPARE(CQuorToolTipLabel::instance(), nullptr);
        QVERIFY(!label.isNull());
        runDeferredDeletes();
        QVERIFY(label.isNull());
        QCOMPARE(CQuorToolTipLabel::instance(), nullptr);
    }

    void showAfterHideBuildsNewLabel()
    {
        QPointer<CQuorToolTipLabel> old = shownLabel(QStringLiteral("old"));
        QVERIFY(old);
        CQuorToolTip::hideText();
        QVERIFY(!old->isVisible());
        CQuorToolTip::showText(QPoint(300, 300), QStringLiteral("new"));
        QPointer<CQuorToolTipLabel> fresh = CQuorToolTipLabel::instance();
        QVERIFY(fresh);
        QVERIFY(fresh != old);
        runDeferredDeletes();
        QVERIFY(old.isNull());
        QCOMPARE(CQuorToolTipLabel::instance(), fresh.data());
        QVERIFY(fresh->isVisible());
        QCOMPARE(fresh->text(), QStringLiteral("new"));
    }

    void deletingTheShownLabelClearsInstance()
    {
        QPointer<CQuorToolTipLabel> label = shownLabel();
        QVERIFY(label);
        delete label.data();
        QCOMPARE(CQuorToolTipLabel::instance(), nullptr);
        CQuorToolTip::hideText();
        QVERIFY(shownLabel(QStringLiteral("again")));
    }

    void nullWidgetWithRectSetOnlyWarns()
    {
        QWidget owner;
        CQuorToolTipLabel label(QStringLiteral("tip"));
        label.setTipRect(nullptr, QRect());
        QCOMPARE(label.tipWidget(), nullptr);
        label.setTipRect(&owner, QRect(1, 2, 30, 40));
        QTest::ignoreMessage(QtWarningMsg,
                             "CQuorToolTipLabel::setTipRect: Cannot pass null widget if rect is set");
        label.setTipRect(nullptr, QRect(5, 5, 5, 5));
        QCOMPARE(label.tipWidget(), &owner);
        QCOMPARE(label.tipRect(), QRect(1, 2, 30, 40));
        label.setTipRect(&owner, QRect());
        label.setTipRect(nullptr, QRect());
        QCOMPARE(label.tipWidget(), nullptr);
    }

    void tipChangedComparesTextWidgetAndRect()
    {
        QWidget a;
        QWidget b;
        CQuorToolTipLabel label(QStringLiteral("tip"));
        label.setTipRect(&a, QRect());
        QVERIFY(label.tipChanged(QPoint(5, 5), QStringLiteral("other"), &a));
        QVERIFY(label.tipChanged(QPoint(5, 5), QStringLiteral("tip"), &b));
        QVERIFY(!label.tipChanged(QPoint(5, 5), QStringLiteral("tip"), &a));
        label.setTipRect(&a, QRect(0, 0, 10, 10));
        QVERIFY(!label.tipChanged(QPoint(5, 5), QStringLiteral("tip"), &a));
        QVERIFY(label.tipChanged(QPoint(50, 5), QStringLiteral("tip"), &a));
    }

    void tipWidgetMayGoFirst()
    {
        auto* owner = new QWidget;
        CQuorToolTip::showText(QPoint(300, 300), QStringLiteral("tip"), owner, QRect(0, 0, 10, 10));
        QPointer<CQuorToolTipLabel> label = CQuorToolTipLabel::instance();
        QVERIFY(label);
        delete owner;
        QCOMPARE(label->tipWidget(), nullptr);
        auto move = mouseMove(QPoint(150, 150));
        QWidget other;
        QCoreApplication::sendEvent(&other, &move);
        QVERIFY(label->isVisible());
    }

    void fadesWhenTooltipEffectsAreOn()
    {
        setFading(true);
        if (!QApplication::isEffectEnabled(Qt::UI_FadeTooltip))
            QSKIP("the platform offers no tooltip effects");
        auto* label = new CQuorToolTipLabel(QStringLiteral("tip"));
        QTimeLine* timeLine = label->fadeEffect()->timeLine();
        timeLine->setEasingCurve(QEasingCurve::Linear);
        label->onShowTip();
        QVERIFY(label->isVisible());
        QVERIFY(label->isFadingIn());
        QVERIFY(!label->isFadingOut());
        QCOMPARE(CLayeredWndSurface::of(label)->alpha(), quint8(0));
        timeLine->setCurrentTime(150);
        const int frame = timeLine->currentFrame();
        QVERIFY(frame > 0 && frame < 255);
        label->onHideTip();
        QVERIFY(label->isFadingOut());
        QVERIFY(!label->isFadingIn());
        // Reversed where it stood (a backward time line rounds its frame up).
        QCOMPARE(timeLine->currentTime(), 150);
        QVERIFY(qAbs(timeLine->currentFrame() - frame) <= 1);
        QCOMPARE(CLayeredWndSurface::of(label)->alpha(), quint8(frame));
        timeLine->setCurrentTime(0);
        QVERIFY(!label->isVisible());
        QCOMPARE(CQuorToolTipLabel::instance(), nullptr);
    }

    void fadingOutLabelIsNotReused()
    {
        setFading(true);
        if (!QApplication::isEffectEnabled(Qt::UI_FadeTooltip))
            QSKIP("the platform offers no tooltip effects");
        CQuorToolTip::showText(QPoint(300, 300), QStringLiteral("one"));
        QPointer<CQuorToolTipLabel> old = CQuorToolTipLabel::instance();
        QVERIFY(old && old->isFadingIn());
        old->fadeEffect()->timeLine()->setCurrentTime(300);
        CQuorToolTip::showText(QPoint(300, 300), QString());
        QVERIFY(old->isFadingOut());
        CQuorToolTip::showText(QPoint(310, 300), QStringLiteral("two"));
        QVERIFY(old.isNull());
        QPointer<CQuorToolTipLabel> fresh = CQuorToolTipLabel::instance();
        QVERIFY(fresh);
        QCOMPARE(fresh->text(), QStringLiteral("two"));
        QVERIFY(fresh->isFadingIn());
        // A hide request while nothing is shown or fading leaves a new label alone.
        auto* idle = new CQuorToolTipLabel(QStringLiteral("idle"));
        idle->onHideTip();
        QVERIFY(!idle->fadeEffect()->isRunning());
        QCOMPARE(CQuorToolTipLabel::instance(), idle);
    }

    void showTipAtCentresAndHidesAfterItsTime_data()
    {
        QTest::addColumn<bool>("faded");
        QTest::newRow("at once") << false;
        QTest::newRow("faded") << true;
    }
    void showTipAtCentresAndHidesAfterItsTime()
    {
        QFETCH(bool, faded);
        setFading(faded);
        CQuorToolTipLabel::showTipAt(QStringLiteral("Saved"), QPoint(400, 300), 60, faded);
        QPointer<CQuorToolTipLabel> label = CQuorToolTipLabel::instance();
        QVERIFY(label);
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), QStringLiteral("Saved"));
        QCOMPARE(label->size(), label->minimumSizeHint());
        QVERIFY(qAbs(label->geometry().center().x() - 400) <= 1);
        QVERIFY(qAbs(label->geometry().center().y() - 300) <= 1);
        QTRY_VERIFY_WITH_TIMEOUT(label.isNull(), 30000);
        QCOMPARE(CQuorToolTipLabel::instance(), nullptr);
    }

    void hideReuseAndDeleteInEveryOrder()
    {
        // Filter gone while its label is shown, then a new tip before the deletion runs.
        auto* owner = new QWidget;
        new CQuorToolTip(owner);
        QPointer<CQuorToolTipLabel> first = shownLabel(QStringLiteral("first"));
        QVERIFY(first);
        delete owner;
        QCOMPARE(CQuorToolTipLabel::instance(), nullptr);
        QPointer<CQuorToolTipLabel> second = shownLabel(QStringLiteral("second"));
        QVERIFY(second && second != first);
        runDeferredDeletes();
        QVERIFY(first.isNull());
        QCOMPARE(CQuorToolTipLabel::instance(), second.data());
        // Hidden twice, shown again, replaced while a deletion is pending.
        second->hide();
        second->hide();
        QPointer<CQuorToolTipLabel> third = shownLabel(QStringLiteral("third"));
        auto* fourth = new CQuorToolTipLabel(QStringLiteral("fourth"));
        QVERIFY(third.isNull());
        runDeferredDeletes();
        QVERIFY(second.isNull());
        QCOMPARE(CQuorToolTipLabel::instance(), fourth);
    }
};

QTEST_MAIN(TestQuorToolTipLabel)
#include "tst_quortooltiplabel.moc"
