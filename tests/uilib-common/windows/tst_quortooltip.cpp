#include "windows/quortooltip.h"
#include "windows/quortooltiplabel.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPointer>
#include <QTest>

namespace {
bool sendToolTip(QObject* filter, QWidget* widget, const QPoint& globalPos)
{
    QHelpEvent event(QEvent::ToolTip, QPoint(4, 4), globalPos);
    return filter->eventFilter(widget, &event);
}
} // namespace

class TestQuorToolTip : public QObject
{
    Q_OBJECT
private slots:
    void init() { QApplication::setEffectEnabled(Qt::UI_FadeTooltip, false); }
    void cleanup()
    {
        delete CQuorToolTipLabel::instance();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void tooltipEventShowsTheLabel()
    {
        QWidget widget;
        widget.setToolTip(QStringLiteral("A"));
        auto* filter = new CQuorToolTip(&widget);
        QVERIFY(sendToolTip(filter, &widget, QPoint(500, 500)));
        auto* label = CQuorToolTipLabel::instance();
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("A"));
        QVERIFY(label->isVisible());
        QCOMPARE(label->tipWidget(), &widget);
        const QRect screen = CQuorToolTipLabel::tipScreenGeometry(QPoint(500, 500), &widget);
        QCOMPARE(label->pos(),
                 CQuorToolTipLabel::tipPosition(QPoint(500, 500), label->size(), screen, Qt::LeftToRight));
    }

    void installedOnItsParent()
    {
        QWidget widget;
        widget.setToolTip(QStringLiteral("A"));
        new CQuorToolTip(&widget);
        QHelpEvent event(QEvent::ToolTip, QPoint(4, 4), QPoint(200, 200));
        QVERIFY(QCoreApplication::sendEvent(&widget, &event));
        QVERIFY(CQuorToolTipLabel::instance());
    }

    void emptyTooltipPasses()
    {
        QWidget widget;
        CQuorToolTip filter(&widget);
        QVERIFY(!sendToolTip(&filter, &widget, QPoint(500, 500)));
        QCOMPARE(CQuorToolTipLabel::instance(), nullptr);
        QEvent notHelp(QEvent::ToolTip);
        widget.setToolTip(QStringLiteral("A"));
        QVERIFY(!static_cast<QObject&>(filter).eventFilter(&widget, &notHelp));
        QEvent other(QEvent::Enter);
        QVERIFY(!static_cast<QObject&>(filter).eventFilter(&widget, &other));
        QObject plain;
        QHelpEvent help(QEvent::ToolTip, QPoint(), QPoint());
        QVERIFY(!static_cast<QObject&>(filter).eventFilter(&plain, &help));
        QCOMPARE(CQuorToolTipLabel::instance(), nullptr);
    }

    void movingToAnotherWidgetReusesTheLabel()
    {
        QWidget parent;
        auto* a = new QWidget(&parent);
        auto* b = new QWidget(&parent);
        a->setToolTip(QStringLiteral("A"));
        b->setToolTip(QStringLiteral("B"));
        CQuorToolTip filterA(a);
        CQuorToolTip filterB(b);
        QVERIFY(sendToolTip(&filterA, a, QPoint(300, 300)));
        QPointer<CQuorToolTipLabel> label = CQuorToolTipLabel::instance();
        QVERIFY(label);
        const QPoint firstPos = label->pos();
        QVERIFY(sendToolTip(&filterB, b, QPoint(340, 300)));
        QCOMPARE(CQuorToolTipLabel::instance(), label.data());
        QCOMPARE(label->text(), QStringLiteral("B"));
        QCOMPARE(label->tipWidget(), b);
        QCOMPARE(label->pos(), firstPos + QPoint(40, 0));
        QVERIFY(label->isVisible());
    }

    void emptyTextHidesOnlyAShownTip()
    {
        CQuorToolTip::showText(QPoint(100, 100), QString());
        QCOMPARE(CQuorToolTipLabel::instance(), nullptr);
        CQuorToolTip::showText(QPoint(100, 100), QStringLiteral("tip"));
        QPointer<CQuorToolTipLabel> label = CQuorToolTipLabel::instance();
        QVERIFY(label && label->isVisible());
        CQuorToolTip::showText(QPoint(100, 100), QString());
        QVERIFY(!label->isVisible());
        CQuorToolTip::hideText();
        QCOMPARE(CQuorToolTipLabel::instance(), nullptr);
    }

    void sameTipIsLeftAlone()
    {
        CQuorToolTip::showText(QPoint(100, 100), QStringLiteral("tip"));
        QPointer<CQuorToolTipLabel> label = CQuorToolTipLabel::instance();
        QVERIFY(label);
        const QPoint pos = label->pos();
        CQuorToolTip::showText(QPoint(180, 100), QStringLiteral("tip"));
        QCOMPARE(label->pos(), pos);
        QWidget widget;
        CQuorToolTip::showText(QPoint(180, 100), QStringLiteral("tip"), &widget, QRect(0, 0, 10, 10));
        QCOMPARE(label->tipRect(), QRect(0, 0, 10, 10));
        QCOMPARE(label->pos(), pos + QPoint(80, 0));
    }

    void destroyingTheFilterLetsTheLabelGo()
    {
        auto* widget = new QWidget;
        widget->setToolTip(QStringLiteral("A"));
        auto* filter = new CQuorToolTip(widget);
        QVERIFY(sendToolTip(filter, widget, QPoint(300, 300)));
        QPointer<CQuorToolTipLabel> label = CQuorToolTipLabel::instance();
        delete filter;
        QCOMPARE(CQuorToolTipLabel::instance(), nullptr);
        QHelpEvent event(QEvent::ToolTip, QPoint(4, 4), QPoint(300, 300));
        QCoreApplication::sendEvent(widget, &event); // no filter any more: Qt's own tooltip
        QCOMPARE(CQuorToolTipLabel::instance(), nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(label.isNull());
        delete widget;
    }
};

QTEST_MAIN(TestQuorToolTip)
#include "tst_quortooltip.moc"
