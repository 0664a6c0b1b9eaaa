#include "fakesystemwindow.h"
#include "style/quorstyleoptions.h"
#include "windows/quordialog.h"
#include "windows/quordialogtitlebar.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleHintReturnMask>
#include <QStyleOptionToolButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// Answers the window mask and the close crosses the way the tests choose.
class TestStyle : public QProxyStyle
{
public:
    enum class Mask
    {
        None,
        Rounded
    };
    explicit TestStyle(Mask mask = Mask::None) : QProxyStyle(QStringLiteral("Windows")), m_mask(mask) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_CustomBase && hintSize.isValid()) {
            if (auto* size = qstyleoption_cast<SQuorSizeHintReturn*>(returnData)) {
                if (size->pixmapId == int(SP_CustomBase) + 10 || size->pixmapId == int(SP_CustomBase) + 3) {
                    size->size = hintSize;
                    return 1;
                }
            }
        }
        if (hint == SH_WindowFrame_Mask) {
            if (m_mask == Mask::None)
                return 0;
            if (auto* mask = qstyleoption_cast<QStyleHintReturnMask*>(returnData)) {
                mask->region = QRegion(option->rect.adjusted(6, 0, 0, 0));
                return 1;
            }
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
    QPixmap standardPixmap(StandardPixmap sp, const QStyleOption* option,
                           const QWidget* widget) const override
    {
        if (sp == SP_CustomBase + 3 || sp == SP_CustomBase + 10) {
            QPixmap pixmap(14, 14);
            pixmap.fill(sp == SP_CustomBase + 3 ? Qt::black : Qt::white);
            return pixmap;
        }
        return QProxyStyle::standardPixmap(sp, option, widget);
    }
    QIcon standardIcon(StandardPixmap sp, const QStyleOption* option, const QWidget* widget) const override
    {
        if (sp == SP_CustomBase + 3 || sp == SP_CustomBase + 10)
            return QIcon(standardPixmap(sp, option, widget));
        return QProxyStyle::standardIcon(sp, option, widget);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override
    {
        if (control == CC_ToolButton) {
            if (const auto* tool = qstyleoption_cast<const QStyleOptionToolButton*>(option))
                toolButtonTexts << tool->text;
        }
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }

    QSize hintSize;
    mutable QStringList toolButtonTexts;

private:
    Mask m_mask;
};

QColor iconColour(const QIcon& icon)
{
    return icon.pixmap(QSize(14, 14)).toImage().pixelColor(7, 7);
}

QFrame* namedFrame(QWidget* parent, const QString& name)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    return frame;
}

void sendMouse(QWidget* widget, QEvent::Type type, const QPoint& local, Qt::MouseButton button)
{
    QMouseEvent event(type, QPointF(local), QPointF(widget->mapToGlobal(local)), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class TestDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_appStyle = new TestStyle;
        QApplication::setStyle(m_appStyle);
    }

    void roleAndFlags();
    void missingFrameIsSearchedAgain();
    void firstFrameInChildOrderIsKept();
    void deletedFrameIsNotReturned();
    void titleBarFoundWhenNested();
    void maskFromStyle();
    void styleWithoutMaskLeavesDialogUnmasked();

    void titleBarRoleAndCloseIcon();
    void closeButton();
    void closeButtonTakesTheStyleHint();
    void closeButtonClosesDialog();
    void contextMenuClosesDialog();
    void leftPressStillDrags();
    void nestedTitleBarLeavesWindowAlone();

private:
    TestStyle* m_appStyle = nullptr;
};

void TestDialog::roleAndFlags()
{
    CQuorDialog dialog;
    QCOMPARE(dialog.property("com_velto_qstyleRole").toString(),
             QString("quor.commonuilibrary.window.dialog"));
    QCOMPARE(dialog.windowType(), Qt::Dialog);
    QVERIFY(dialog.windowFlags() & Qt::CustomizeWindowHint);
    QVERIFY(!dialog.titleBar());
    QVERIFY(!dialog.bottomFrame());
}

void TestDialog::missingFrameIsSearchedAgain()
{
    CQuorDialog dialog;
    QVERIFY(!dialog.contentFrame());
    QVERIFY(!dialog.contentFrame());
    namedFrame(&dialog, "somethingElse");
    QVERIFY(!dialog.contentFrame());
    auto* content = namedFrame(new QWidget(&dialog), "contentFrame");
    QCOMPARE(dialog.contentFrame(), content);
    auto* bottom = namedFrame(&dialog, "bottomFrame");
    QCOMPARE(dialog.bottomFrame(), bottom);
    QCOMPARE(dialog.contentFrame(), content);
}

void TestDialog::firstFrameInChildOrderIsKept()
{
    CQuorDialog dialog;
    auto* first = namedFrame(&dialog, "contentFrame");
    auto* second = namedFrame(&dialog, "contentFrame");
    QCOMPARE(dialog.contentFrame(), first);
    second->stackUnder(first); // now first in child order
    QCOMPARE(dialog.children().indexOf(second), dialog.children().indexOf(first) - 1);
    QCOMPARE(dialog.contentFrame(), first);
}

void TestDialog::deletedFrameIsNotReturned()
{
    CQuorDialog dialog;
    auto* first = namedFrame(&dialog, "bottomFrame");
    auto* second = namedFrame(&dialog, "bottomFrame");
    QCOMPARE(dialog.bottomFrame(), first);
    delete first;
    QCOMPARE(dialog.bottomFrame(), second);
    delete second;
    QVERIFY(!dialog.bottomFrame());
    QVERIFY(!dialog.bottomFrame());
}

void TestDialog::titleBarFoundWhenNested()
{
    CQuorDialog dialog;
    auto* holder = new QWidget(&dialog);
    auto* bar = new CQuorDialogTitleBar(new QWidget(holder));
    QCOMPARE(dialog.titleBar(), bar);
    delete bar;
    QVERIFY(!dialog.titleBar());
}

void TestDialog::maskFromStyle()
{
    TestStyle style(TestStyle::Mask::Rounded);
    CQuorDialog dialog;
    dialog.setStyle(&style);
    dialog.resize(200, 100);
    dialog.show();
    QCOMPARE(dialog.size(), QSize(200, 100));
    QCOMPARE(dialog.mask(), QRegion(6, 0, 194, 100));
    dialog.resize(150, 80);
    QCOMPARE(dialog.mask(), QRegion(6, 0, 144, 80));
}

void TestDialog::styleWithoutMaskLeavesDialogUnmasked()
{
    CQuorDialog dialog;
    dialog.resize(200, 100);
    dialog.show();
    QCOMPARE(dialog.size(), QSize(200, 100));
    QVERIFY(dialog.mask().isEmpty());
    dialog.resize(240, 130);
    QCOMPARE(dialog.size(), QSize(240, 130));
    QVERIFY(dialog.mask().isEmpty());
}

void TestDialog::titleBarRoleAndCloseIcon()
{
    CQuorDialog dialog;
    auto* bar = new CQuorDialogTitleBar(&dialog);
    QCOMPARE(bar->color(), CQuorDialogTitleBar::Purple);
    QCOMPARE(bar->property("com_velto_qstyleRole").toString(),
             QString("quor.commonuilibrary.window.dialog.titleBar.Purple"));
    QCOMPARE(iconColour(bar->closeButton()->defaultAction()->icon()), QColor(Qt::white));

    const QStringList keys = {"Gray", "Purple", "Blue", "Yellow"};
    for (int value = 0; value < keys.size(); ++value) {
        QVERIFY(bar->setProperty("color", value));
        QCOMPARE(int(bar->color()), value);
        QCOMPARE(bar->qstyleRole(), "quor.commonuilibrary.window.dialog.titleBar." + keys.at(value));
        const QColor expected = value == CQuorDialogTitleBar::Purple ? Qt::white : Qt::black;
        QCOMPARE(iconColour(bar->closeButton()->defaultAction()->icon()), expected);
    }
    bar->setColor(CQuorDialogTitleBar::Purple);
    QCOMPARE(iconColour(bar->closeButton()->defaultAction()->icon()), QColor(Qt::white));
}

void TestDialog::closeButton()
{
    CQuorDialog dialog;
    auto* bar = new CQuorDialogTitleBar(&dialog);
    QToolButton* button = bar->closeButton();
    QVERIFY(button);
    QCOMPARE(button->parentWidget(), bar);
    QCOMPARE(button->property("com_velto_qstyleRole").toString(),
             QString("quor.commonuilibrary.secondaryWindow.toolButton"));
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    QVERIFY(button->testAttribute(Qt::WA_Hover));
    QVERIFY(button->hasMouseTracking());
    QCOMPARE(button->size(), QSize(14, 14));
    QCOMPARE(button->iconSize(), QSize(14, 14));
    QCOMPARE(button->minimumSize(), button->maximumSize());
    QCOMPARE(button->defaultAction()->text(), QString("Close"));
    QCOMPARE(button->toolTip(), QString("Close"));
    QCOMPARE(bar->height(), bar->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, bar));

    // Spacer, button, then 5 pixels to the right edge.
    bar->resize(300, bar->height());
    bar->layout()->activate();
    QCOMPARE(button->geometry().right(), 300 - 1 - 5);

    // Drawn as an icon only, whatever the style does with a tool button's text.
    m_appStyle->toolButtonTexts.clear();
    button->grab();
    QCOMPARE(m_appStyle->toolButtonTexts, QStringList({QString()}));
    bar->setColor(CQuorDialogTitleBar::Blue);
    m_appStyle->toolButtonTexts.clear();
    button->grab();
    QCOMPARE(m_appStyle->toolButtonTexts, QStringList({QString()}));
}

void TestDialog::closeButtonTakesTheStyleHint()
{
    m_appStyle->hintSize = QSize(12, 12);
    CQuorDialog dialog;
    auto* bar = new CQuorDialogTitleBar(&dialog);
    m_appStyle->hintSize = QSize();
    QCOMPARE(bar->closeButton()->size(), QSize(12, 12));
    QCOMPARE(bar->closeButton()->iconSize(), QSize(12, 12));
    // The pixmap itself is larger.
    QCOMPARE(m_appStyle->standardPixmap(QStyle::StandardPixmap(QStyle::SP_CustomBase + 10), nullptr, nullptr)
                 .size(),
             QSize(14, 14));
}

void TestDialog::closeButtonClosesDialog()
{
    CQuorDialog dialog;
    auto* bar = new CQuorDialogTitleBar(&dialog);
    dialog.show();
    QVERIFY(dialog.isVisible());
    bar->closeButton()->click();
    QVERIFY(!dialog.isVisible());
}

void TestDialog::contextMenuClosesDialog()
{
    CQuorDialog dialog;
    auto* bar = new CQuorDialogTitleBar(&dialog);
    bar->setGeometry(0, 0, 200, bar->height());
    dialog.show();
    QMenu* menu = bar->menu();
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions().first()->text(), QString("Close"));

    sendMouse(bar, QEvent::MouseButtonPress, QPoint(40, 5), Qt::RightButton);
    QVERIFY(menu->isVisible());
    QVERIFY(!menu->activeAction());
    QVERIFY(!bar->isDragging());
    menu->actions().first()->trigger();
    menu->close();
    QVERIFY(!dialog.isVisible());
}

void TestDialog::leftPressStillDrags()
{
    FakeSystemWindow fake(false);
    CQuorDialog dialog;
    dialog.setGeometry(100, 100, 200, 120);
    auto* bar = new CQuorDialogTitleBar(&dialog);
    bar->setGeometry(0, 0, 200, bar->height());
    dialog.show();
    const QPoint before = dialog.pos();
    sendMouse(bar, QEvent::MouseButtonPress, QPoint(40, 5), Qt::LeftButton);
    QVERIFY(bar->isDragging());
    QVERIFY(!bar->menu()->isVisible());
    sendMouse(bar, QEvent::MouseMove, QPoint(50, 25), Qt::LeftButton);
    QCOMPARE(fake.moves().size(), 1);
    QCOMPARE(dialog.pos(), before + QPoint(10, 20));
}

void TestDialog::nestedTitleBarLeavesWindowAlone()
{
    CQuorDialog dialog;
    auto* inner = new QWidget(&dialog);
    const Qt::WindowFlags flags = dialog.windowFlags();
    auto* bar = new CQuorDialogTitleBar(inner);
    QCOMPARE(dialog.windowFlags(), flags);
    QCOMPARE(dialog.titleBar(), bar);
    // Its close action closes the widget it sits in.
    dialog.show();
    bar->closeButton()->click();
    QVERIFY(!inner->isVisible());
    QVERIFY(dialog.isVisible());
}

QTEST_MAIN(TestDialog)
#include "tst_dialog.moc"
