#include "style/quorcommonstyle.h"
#include "stylerolewidget.h"
#include "tempstorage.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOption>
#include <QTest>

#include <functional>
#include <memory>

using styletest::image;
using styletest::roleWidget;

Q_DECLARE_METATYPE(QStyle::PrimitiveElement)

namespace {

const QSize kCanvas(160, 90);

QStyle::PrimitiveElement customPrimitive(int offset)
{
    return static_cast<QStyle::PrimitiveElement>(QStyle::PE_CustomBase + offset);
}

// Paints into a transparent ARGB image.
QImage paint(const std::function<void(QPainter*)>& draw, const QSize& size = kCanvas)
{
    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    draw(&painter);
    painter.end();
    return canvas;
}

QImage ninePatch(const QString& path, const QRect& rect, int l, int t, int r, int b)
{
    return paint([&](QPainter* p) { drawNinePatchPixmap(p, image(path), rect, l, t, r, b); });
}

bool isBlank(const QImage& canvas)
{
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (qAlpha(canvas.pixel(x, y)) != 0)
                return false;
    return true;
}

QColor pixelColor(const QImage& canvas, int x, int y)
{
    return canvas.pixelColor(x, y).toRgb();
}

} // namespace

class TestStylePrimitives : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void lineEditPanel_data();
    void lineEditPanel();
    void textEditFrame_data();
    void textEditFrame();
    void bottomFrames_data();
    void bottomFrames();
    void threePartBar();
    void lineBands_data();
    void lineBands();
    void filledFrames_data();
    void filledFrames();
    void penFrames_data();
    void penFrames();
    void imageFrames();
    void bridgeButton();
    void tabWidgetFrame();
    void popupFrames_data();
    void popupFrames();
    void homePanel();
    void notifyPanel();
    void hoverHandleMirrored();
    void triangles_data();
    void triangles();
    void downArrow();
    void indicators_data();
    void indicators();
    void readOnlyCheckBox();
    void toolTipFrames();
    void arrowedToolTip_data();
    void arrowedToolTip();
    void actionToolTip();
    void listPopupItem_data();
    void listPopupItem();
    void gradientFace();
    void stateImageIndex_data();
    void stateImageIndex();
    void plainOptionsDrawSafely_data();
    void plainOptionsDrawSafely();

private:
    QImage draw(QStyle::PrimitiveElement element, const QStyleOption* option, const QWidget* widget) const;

    std::unique_ptr<TempStorageRoot> m_storage;
    std::unique_ptr<CQuorCommonStyle> m_style;
};

QImage TestStylePrimitives::draw(QStyle::PrimitiveElement element, const QStyleOption* option,
                                 const QWidget* widget) const
{
    const QSize size =
        option ? kCanvas.expandedTo(QSize(option->rect.right() + 1, option->rect.bottom() + 1)) : kCanvas;
    return paint([&](QPainter* p) { m_style->drawPrimitive(element, option, p, widget); }, size);
}

void TestStylePrimitives::initTestCase()
{
    m_storage = std::make_unique<TempStorageRoot>();
    QVERIFY(m_storage->isValid());
    m_style = std::make_unique<CQuorCommonStyle>();
}

void TestStylePrimitives::cleanup()
{
    QApplication::setLayoutDirection(Qt::LeftToRight);
}

void TestStylePrimitives::lineEditPanel_data()
{
    QTest::addColumn<int>("lineWidth");
    QTest::addColumn<bool>("focus");
    QTest::addColumn<bool>("filter");
    QTest::addColumn<QString>("path"); // empty: nothing drawn
    QTest::addColumn<int>("margin");   // -1: the line-edit margins (10, 6, 10, 8)
    QTest::newRow("normal") << 1 << false << false << QStringLiteral("LineEdit/border_active.png") << -1;
    QTest::newRow("focus") << 1 << true << false << QStringLiteral("LineEdit/border_active_in.png") << -1;
    QTest::newRow("filter") << 1 << false << true << QStringLiteral("LineEdit/filterBorder.png") << 8;
    QTest::newRow("filter focus") << 2 << true << true << QStringLiteral("LineEdit/filterBorder.png") << 8;
    QTest::newRow("line width 0") << 0 << false << false << QString() << 0;
}

void TestStylePrimitives::lineEditPanel()
{
    QFETCH(int, lineWidth);
    QFETCH(bool, focus);
    QFETCH(bool, filter);
    QFETCH(QString, path);
    QFETCH(int, margin);
    const auto widget = roleWidget(QString());
    if (filter)
        widget->setProperty("filterLook", true);
    QStyleOptionFrame frame;
    frame.rect = QRect(4, 5, 120, 30);
    frame.lineWidth = lineWidth;
    frame.state = QStyle::State_Enabled | (focus ? QStyle::State_HasFocus : QStyle::State_None);
    const QImage drawn = draw(QStyle::PE_PanelLineEdit, &frame, widget.get());
    if (path.isEmpty()) {
        QVERIFY(isBlank(drawn));
        return;
    }
    const QImage expected = margin < 0 ? ninePatch(path, frame.rect, 10, 6, 10, 8)
                                       : ninePatch(path, frame.rect, margin, margin, margin, margin);
    QVERIFY(!isBlank(expected));
    QCOMPARE(drawn, expected);
    // A plain option is no frame option: nothing.
    QStyleOption plain;
    plain.rect = frame.rect;
    QVERIFY(isBlank(draw(QStyle::PE_PanelLineEdit, &plain, widget.get())));
}

void TestStylePrimitives::textEditFrame_data()
{
    QTest::addColumn<QVariant>("backgroundVisible");
    QTest::addColumn<bool>("focus");
    QTest::newRow("visible") << QVariant(true) << false;
    QTest::newRow("visible focus") << QVariant(true) << true;
    QTest::newRow("hidden") << QVariant(false) << false;
    QTest::newRow("absent") << QVariant() << true;
}

void TestStylePrimitives::textEditFrame()
{
    QFETCH(QVariant, backgroundVisible);
    QFETCH(bool, focus);
    const auto edit = roleWidget(QStringLiteral("textedit"));
    if (backgroundVisible.isValid())
        edit->setProperty("backgroundVisible", backgroundVisible);
    QStyleOptionFrame frame;
    frame.rect = QRect(0, 0, 150, 80);
    frame.lineWidth = 0; // the frame draws the panel with line width 1 whatever it is given
    frame.state = QStyle::State_Enabled | (focus ? QStyle::State_HasFocus : QStyle::State_None);
    const QImage drawn = draw(QStyle::PE_Frame, &frame, edit.get());
    if (!backgroundVisible.toBool()) {
        QVERIFY(isBlank(drawn));
        return;
    }
    QStyleOptionFrame panel = frame;
    panel.lineWidth = 1;
    const auto lineEdit = roleWidget(QString());
    QCOMPARE(drawn, draw(QStyle::PE_PanelLineEdit, &panel, lineEdit.get()));
    QCOMPARE(drawn, ninePatch(focus ? QStringLiteral("LineEdit/border_active_in.png")
                                    : QStringLiteral("LineEdit/border_active.png"),
                              frame.rect, 10, 6, 10, 8));
    // A plain option works as well.
    QStyleOption plain;
    plain.rect = frame.rect;
    plain.state = frame.state;
    QCOMPARE(draw(QStyle::PE_Frame, &plain, edit.get()), drawn);
}

void TestStylePrimitives::bottomFrames_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<int>("kind"); // 0 nothing, 1 secondary bottom, 2 main bar
    QTest::newRow("dialog") << QStringLiteral("window.dialog.bottomFrame") << 1;
    QTest::newRow("secondary") << QStringLiteral("window.secondary.bottomFrame") << 1;
    QTest::newRow("main") << QStringLiteral("window.main.bottomFrame") << 2;
    QTest::newRow("other") << QStringLiteral("window.x.bottomFrame") << 0;
    QTest::newRow("other window role") << QStringLiteral("window.x") << 0;
}

void TestStylePrimitives::bottomFrames()
{
    QFETCH(QString, role);
    QFETCH(int, kind);
    const auto widget = roleWidget(role);
    QStyleOption option;
    option.rect = QRect(0, 10, 150, 40);
    const QImage drawn = draw(QStyle::PE_Frame, &option, widget.get());
    if (kind == 0)
        QVERIFY(isBlank(drawn));
    else if (kind == 1)
        QCOMPARE(drawn, ninePatch(QStringLiteral("SecondaryWindow/Bottom.png"), option.rect, 18, 0, 18, 0));
    else
        QCOMPARE(drawn, draw(customPrimitive(0), &option, nullptr));
}

void TestStylePrimitives::threePartBar()
{
    const QPixmap left = image(QStringLiteral("MainWindow/mainframeBottomL.png"));
    const QPixmap middle = image(QStringLiteral("MainWindow/mainframeBottomM.png"));
    const QPixmap right = image(QStringLiteral("MainWindow/mainframeBottomR.png"));
    QStyleOption option;
    option.rect = QRect(3, 2, 150, middle.height());
    const QImage expected = paint([&](QPainter* p) {
        p->drawPixmap(QRect(option.rect.topLeft(), left.size()), left);
        p->drawPixmap(QRect(option.rect.left() + left.width(), option.rect.top(),
                            option.rect.width() - left.width() - right.width(), middle.height()),
                      middle);
        // The right end is flush with the rectangle's right edge.
        p->drawPixmap(QRect(QPoint(option.rect.right() - right.width() + 1, option.rect.top()), right.size()),
                      right);
    });
    QCOMPARE(draw(customPrimitive(0), &option, nullptr), expected);
}

void TestStylePrimitives::lineBands_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QColor>("band"); // invalid: no band
    QTest::newRow("yellow") << QStringLiteral("line.top.yellow") << QColor(254, 238, 18);
    QTest::newRow("purple") << QStringLiteral("line.purple") << QColor(187, 1, 136);
    QTest::newRow("green") << QStringLiteral("line.green") << QColor(68, 170, 51);
    QTest::newRow("blue") << QStringLiteral("line.blue") << QColor();
    QTest::newRow("unnamed") << QStringLiteral("line.") << QColor();
}

void TestStylePrimitives::lineBands()
{
    QFETCH(QString, role);
    QFETCH(QColor, band);
    const auto widget = roleWidget(role);
    QStyleOption option;
    option.rect = QRect(5, 10, 100, 20);
    const QImage drawn = draw(QStyle::PE_Frame, &option, widget.get());
    for (int y = 10; y < 13; ++y) {
        if (band.isValid())
            QCOMPARE(pixelColor(drawn, 50, y), band);
        else
            QCOMPARE(qAlpha(drawn.pixel(50, y)), 0); // an unknown colour leaves the band empty, never black
    }
    QCOMPARE(qAlpha(drawn.pixel(50, 13)), 0);
    QCOMPARE(qAlpha(drawn.pixel(50, 28)), 0);
    QCOMPARE(pixelColor(drawn, 5, 29), QColor(235, 235, 235));
    QCOMPARE(pixelColor(drawn, 104, 29), QColor(235, 235, 235));
    QCOMPARE(qAlpha(drawn.pixel(105, 29)), 0);
}

void TestStylePrimitives::filledFrames_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QColor>("fill");
    QTest::newRow("line") << QStringLiteral("line") << QColor(235, 235, 236);
    QTest::newRow("contentpane hline")
        << QStringLiteral("messages.contentpane.hline") << QColor(235, 235, 236);
    QTest::newRow("itemlist hline") << QStringLiteral("itemlist.hline") << QColor(187, 188, 186);
    QTest::newRow("alternate") << QStringLiteral("pane.frame.alternatebackground") << QColor(248, 248, 248);
    QTest::newRow("test frame") << QStringLiteral("debug.testFrame") << QColor(Qt::red);
}

void TestStylePrimitives::filledFrames()
{
    QFETCH(QString, role);
    QFETCH(QColor, fill);
    const auto widget = roleWidget(role);
    QStyleOption option;
    option.rect = QRect(5, 10, 100, 20);
    const QImage drawn = draw(QStyle::PE_Frame, &option, widget.get());
    QCOMPARE(drawn, paint([&](QPainter* p) { p->fillRect(option.rect, fill); }));
}

void TestStylePrimitives::penFrames_data()
{
    QTest::addColumn<QStyle::PrimitiveElement>("element");
    QTest::addColumn<QString>("role");
    QTest::addColumn<QColor>("pen");
    QTest::addColumn<QPoint>("onEdge");
    QTest::addColumn<QPoint>("corner"); // outside the rounded outline: untouched
    // Option rectangle (0, 0, 100, 50).
    QTest::newRow("group box") << QStyle::PE_FrameGroupBox << QString() << QColor(214, 213, 211)
                               << QPoint(50, 0) << QPoint(0, 0);
    QTest::newRow("menu") << QStyle::PE_FrameMenu << QStringLiteral("menu") << QColor(186, 186, 186)
                          << QPoint(0, 0) << QPoint(50, 25);
    QTest::newRow("itemlist") << QStyle::PE_Frame << QStringLiteral("itemlist") << QColor(187, 188, 186)
                              << QPoint(50, 49) << QPoint(0, 0);
}

void TestStylePrimitives::penFrames()
{
    QFETCH(QStyle::PrimitiveElement, element);
    QFETCH(QString, role);
    QFETCH(QColor, pen);
    QFETCH(QPoint, onEdge);
    QFETCH(QPoint, corner);
    const auto widget = roleWidget(role);
    QStyleOption option;
    option.rect = QRect(0, 0, 100, 50);
    const QImage drawn = draw(element, &option, widget.get());
    QCOMPARE(pixelColor(drawn, onEdge.x(), onEdge.y()), pen);
    QCOMPARE(qAlpha(drawn.pixel(corner)), 0);
    // The outline of the rectangle shrunk by one reaches the option's right edge, not beyond.
    QCOMPARE(pixelColor(drawn, 99, 25), pen);
    QCOMPARE(qAlpha(drawn.pixel(100, 25)), 0);
    QCOMPARE(qAlpha(drawn.pixel(50, 50)), 0);
}

void TestStylePrimitives::imageFrames()
{
    QStyleOption option;
    option.rect = QRect(0, 0, 120, 60);
    option.palette.setColor(QPalette::Window, QColor(1, 100, 200));

    const auto list = roleWidget(QStringLiteral("itemlist"));
    list->setObjectName(QStringLiteral("widgetLibrary.itemList"));
    QCOMPARE(draw(QStyle::PE_Frame, &option, list.get()),
             ninePatch(QStringLiteral("Backgrounds/recipient_popup.png"), option.rect, 28, 28, 28, 28));

    const auto header = roleWidget(QStringLiteral("frame.pane.header"));
    QCOMPARE(draw(QStyle::PE_Frame, &option, header.get()),
             ninePatch(QStringLiteral("Backgrounds/pane_header_bg.png"), option.rect, 0, 0, 0, 0));

    const QPixmap makkara = image(QStringLiteral("Backgrounds/vertical_makkara.png"));
    const auto sausage = roleWidget(QStringLiteral("frame.vertical.makkara"));
    QCOMPARE(draw(QStyle::PE_Frame, &option, sausage.get()),
             paint([&](QPainter* p) { p->drawPixmap(QRect(60, 0, makkara.width(), 60), makkara); }));

    const QPixmap toolBar = image(QStringLiteral("MainWindow/toolBar.png"));
    const auto bar = roleWidget(QStringLiteral("window.main.toolBar"));
    QCOMPARE(draw(QStyle::PE_Frame, &option, bar.get()), paint([&](QPainter* p) {
                 p->setPen(QColor(187, 188, 186));
                 p->drawRect(option.rect.adjusted(0, -1, -1, 1));
                 p->drawPixmap(option.rect.adjusted(1, 0, -1, 0), toolBar);
             }));

    const auto content = roleWidget(QStringLiteral("window.secondary.contentFrame"));
    QCOMPARE(draw(QStyle::PE_Frame, &option, content.get()),
             paint([&](QPainter* p) { p->fillRect(option.rect, QColor(1, 100, 200)); }));
    const auto main = roleWidget(QStringLiteral("window.main"));
    QCOMPARE(draw(QStyle::PE_Frame, &option, main.get()), paint([&](QPainter* p) {
                 p->fillRect(option.rect, QColor(1, 100, 200));
                 p->setPen(QColor(187, 188, 186));
                 p->drawRect(option.rect.adjusted(0, -1, -1, 1));
             }));

    // Item-list rows draw nothing; other roles keep the base style's rows.
    const auto view = roleWidget(QStringLiteral("itemlist.view"));
    QStyleOptionViewItem item;
    item.rect = option.rect;
    item.features = QStyleOptionViewItem::Alternate;
    item.palette.setColor(QPalette::AlternateBase, Qt::red);
    QVERIFY(isBlank(draw(QStyle::PE_PanelItemViewRow, &item, view.get())));
    const auto plainView = roleWidget(QString());
    QVERIFY(!isBlank(draw(QStyle::PE_PanelItemViewRow, &item, plainView.get())));
}

void TestStylePrimitives::bridgeButton()
{
    const auto widget = roleWidget(QStringLiteral("button.bridge"));
    QStyleOption option;
    option.rect = QRect(0, 0, 100, 40);
    option.state = QStyle::State_Enabled | QStyle::State_MouseOver;
    QVERIFY(isBlank(draw(QStyle::PE_PanelButtonTool, &option, widget.get())));
    option.state |= QStyle::State_On;
    QCOMPARE(draw(QStyle::PE_PanelButtonTool, &option, widget.get()), paint([&](QPainter* p) {
                 p->drawPixmap(option.rect,
                               image(QStringLiteral("Bridge/Bridge_mouseover_and_selected_bg.png")));
             }));
}

void TestStylePrimitives::tabWidgetFrame()
{
    QStyleOptionTabWidgetFrame frame;
    frame.rect = QRect(0, 0, 100, 60);
    frame.tabBarSize = QSize(0, 0);
    QImage drawn = draw(QStyle::PE_FrameTabWidget, &frame, nullptr);
    QCOMPARE(drawn, paint([&](QPainter* p) { p->fillRect(frame.rect, Qt::white); }));
    frame.tabBarSize = QSize(80, 20);
    drawn = draw(QStyle::PE_FrameTabWidget, &frame, nullptr);
    // r = (0, 2, 99, 57), outlined from y 2 to 59: square top corners, rounded bottom corners.
    QCOMPARE(pixelColor(drawn, 0, 2), QColor(190, 190, 190));
    QCOMPARE(pixelColor(drawn, 98, 2), QColor(190, 190, 190));
    QCOMPARE(pixelColor(drawn, 0, 59), QColor(Qt::white));
    QCOMPARE(pixelColor(drawn, 50, 59), QColor(190, 190, 190));
    QCOMPARE(pixelColor(drawn, 50, 30), QColor(Qt::white));
}

void TestStylePrimitives::popupFrames_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<int>("optionKind");   // 0 none, 1 plain, 2 popup with pixmap, 3 popup with null pixmap
    QTest::addColumn<int>("expectedKind"); // 0 nothing, 1 toast, 2 option pixmap, 3 recipient popup
    QTest::addColumn<int>("element");
    for (int element : {2, 3}) {
        QTest::addRow("%d toast", element) << QStringLiteral("popup.toast") << 0 << 1 << element;
        QTest::addRow("%d toast with option", element) << QStringLiteral("popup.toast") << 2 << 1 << element;
        QTest::addRow("%d option pixmap", element) << QStringLiteral("popup") << 2 << 2 << element;
        QTest::addRow("%d null pixmap", element) << QStringLiteral("popup") << 3 << 3 << element;
        QTest::addRow("%d plain option", element) << QStringLiteral("popup") << 1 << 0 << element;
        QTest::addRow("%d no option", element) << QStringLiteral("popup") << 0 << 0 << element;
    }
}

void TestStylePrimitives::popupFrames()
{
    QFETCH(QString, role);
    QFETCH(int, optionKind);
    QFETCH(int, expectedKind);
    QFETCH(int, element);
    const auto widget = roleWidget(role);
    const QRect rect(0, 0, 150, 90);
    QPixmap own(30, 30);
    own.fill(QColor(10, 200, 30));
    CQuorStyleOptionPopupFrame popup;
    popup.rect = rect;
    popup.backgroundMargins = {5, 6, 7, 8};
    if (optionKind == 2)
        popup.backgroundPixmap = own;
    QStyleOption plain;
    plain.rect = rect;
    const QStyleOption* option = optionKind == 1 ? &plain : optionKind >= 2 ? &popup : nullptr;
    if (optionKind == 0 && expectedKind == 1)
        option = &plain; // the toast needs only the rectangle
    const QImage drawn = draw(customPrimitive(element), option, widget.get());
    switch (expectedKind) {
    case 0:
        QVERIFY(isBlank(drawn));
        break;
    case 1:
        QCOMPARE(drawn, ninePatch(QStringLiteral("Toast/Background.png"), rect, 40, 46, 40, 46));
        break;
    case 2:
        QCOMPARE(drawn, paint([&](QPainter* p) { drawNinePatchPixmap(p, own, rect, 5, 6, 7, 8); }));
        break;
    default:
        QCOMPARE(drawn, ninePatch(QStringLiteral("Backgrounds/recipient_popup.png"), rect, 28, 28, 28, 28));
        break;
    }
}

void TestStylePrimitives::homePanel()
{
    const auto widget = roleWidget(QStringLiteral("dashboard.homewidget"));
    QStyleOption option;
    option.rect = QRect(0, 0, 150, 90);
    const QImage normal = ninePatch(QStringLiteral("Backgrounds/home_bg.png"), option.rect, 18, 20, 18, 22);
    QCOMPARE(draw(customPrimitive(4), &option, widget.get()), normal);
    option.state |= QStyle::State_MouseOver;
    const QImage hover = paint([&](QPainter* p) {
        drawNinePatchPixmap(p, image(QStringLiteral("Backgrounds/home_bg.png")), option.rect, 18, 20, 18, 22);
        drawNinePatchPixmap(p, image(QStringLiteral("Backgrounds/home_bg_mouseover.png")), option.rect, 18,
                            20, 18, 22);
    });
    QVERIFY(hover != normal);
    QCOMPARE(draw(customPrimitive(5), &option, widget.get()), hover);
    const auto other = roleWidget(QStringLiteral("dashboard"));
    QVERIFY(isBlank(draw(customPrimitive(4), &option, other.get())));
}

void TestStylePrimitives::notifyPanel()
{
    const auto widget = roleWidget(QStringLiteral("x.notifywidget"));
    QStyleOption option;
    option.rect = QRect(0, 0, 120, 200);
    const QImage drawn = draw(customPrimitive(4), &option, widget.get());
    // r = (1, 1, 118, 198); its outline is the pen colour, its straight edges between the corners.
    QCOMPARE(pixelColor(drawn, 60, 1), QColor(194, 231, 255));
    QCOMPARE(pixelColor(drawn, 1, 100), QColor(194, 231, 255));
    QCOMPARE(pixelColor(drawn, 60, 198), QColor(194, 231, 255));
    QCOMPARE(pixelColor(drawn, 118, 100), QColor(194, 231, 255));
    // Outside r and in the rounded corner: nothing.
    QCOMPARE(qAlpha(drawn.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(drawn.pixel(119, 199)), 0);
    QCOMPARE(qAlpha(drawn.pixel(1, 1)), 0);
    // The body: white at the top, (243, 250, 255) at the bottom, the step just past 0.65.
    QCOMPARE(pixelColor(drawn, 60, 2), QColor(Qt::white));
    const QColor bottom = pixelColor(drawn, 60, 197);
    QVERIFY(qAbs(bottom.red() - 243) <= 1 && bottom.green() == 250 && bottom.blue() == 255);
    const QColor past = pixelColor(drawn, 60, 2 + qRound(0.66 * 195));
    QVERIFY2(past.red() <= 251 && past.red() >= 249, qPrintable(past.name()));
}

void TestStylePrimitives::hoverHandleMirrored()
{
    const QPixmap handle = image(QStringLiteral("Splitters/hoverHandle.png"));
    QStyleOption option;
    option.rect = QRect(10, 0, handle.width(), 60);
    QCOMPARE(draw(customPrimitive(6), &option, nullptr),
             paint([&](QPainter* p) { p->drawPixmap(option.rect, handle); }));
    QApplication::setLayoutDirection(Qt::RightToLeft);
    QCOMPARE(draw(customPrimitive(6), &option, nullptr),
             paint([&](QPainter* p) { p->drawPixmap(option.rect, mirroredPixmap(handle)); }));
}

void TestStylePrimitives::triangles_data()
{
    QTest::addColumn<QStyle::PrimitiveElement>("element");
    QTest::addColumn<QPolygonF>("points");
    QTest::newRow("left") << QStyle::PE_IndicatorArrowLeft << QPolygonF({{1, -2}, {1, 2}, {-1, 0}});
    QTest::newRow("right") << QStyle::PE_IndicatorArrowRight << QPolygonF({{-1, -2}, {1, 0}, {-1, 2}});
    QTest::newRow("up") << QStyle::PE_IndicatorArrowUp << QPolygonF({{-2, 1}, {2, 1}, {0, -1}});
}

void TestStylePrimitives::triangles()
{
    QFETCH(QStyle::PrimitiveElement, element);
    QFETCH(QPolygonF, points);
    QStyleOption option;
    option.rect = QRect(10, 10, 21, 15);
    option.palette.setColor(QPalette::ButtonText, QColor(20, 40, 200));
    const QImage expected = paint([&](QPainter* p) {
        p->translate(10 + 21 / 2.0, 10 + 15 / 2.0);
        p->setPen(QColor(20, 40, 200));
        p->setBrush(QColor(20, 40, 200));
        p->drawPolygon(points, Qt::OddEvenFill);
    });
    QVERIFY(!isBlank(expected));
    QCOMPARE(draw(element, &option, nullptr), expected);
    // The painter is left as it was.
    paint([&](QPainter* p) {
        m_style->drawPrimitive(element, &option, p, nullptr);
        QCOMPARE(p->transform(), QTransform());
        QCOMPARE(p->brush().style(), Qt::NoBrush);
    });
}

void TestStylePrimitives::downArrow()
{
    const QPixmap arrow = image(QStringLiteral("MenuButton/arrow_down.png"));
    QStyleOption option;
    option.rect = QRect(10, 10, 40, 30);
    QRect target(QPoint(0, 0), arrow.size());
    target.moveCenter(option.rect.center());
    target.translate(0, 3);
    QCOMPARE(draw(QStyle::PE_IndicatorArrowDown, &option, nullptr),
             paint([&](QPainter* p) { p->drawPixmap(target, arrow); }));
}

void TestStylePrimitives::indicators_data()
{
    QTest::addColumn<QStyle::PrimitiveElement>("element");
    QTest::addColumn<QString>("role");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("path");
    const int on = QStyle::State_Enabled | QStyle::State_On;
    const int off = QStyle::State_Enabled | QStyle::State_Off;
    const int hover = QStyle::State_MouseOver;
    const auto check = QStyle::PE_IndicatorCheckBox;
    QTest::newRow("on") << check << QStringLiteral("checkbox") << on
                        << QStringLiteral("CheckBox/checkbox_checked.png");
    QTest::newRow("on hover") << check << QString() << (on | hover)
                              << QStringLiteral("CheckBox/checkbox_checked_rollover.png");
    QTest::newRow("off") << check << QString() << off << QStringLiteral("CheckBox/checkbox_unchecked.png");
    QTest::newRow("off hover") << check << QString() << (off | hover)
                               << QStringLiteral("CheckBox/checkbox_unchecked_rollover.png");
    QTest::newRow("disabled") << check << QString() << int(QStyle::State_On)
                              << QStringLiteral("CheckBox/checkbox_disabled.png");
    QTest::newRow("special") << check << QStringLiteral("checkbox.special") << on
                             << QStringLiteral("CheckBoxSpecial/checkboxspecial_checked.png");
    QTest::newRow("view item") << QStyle::PE_IndicatorItemViewItemCheck << QString() << off
                               << QStringLiteral("CheckBox/checkbox_unchecked.png");
    QTest::newRow("radio on hover") << QStyle::PE_IndicatorRadioButton << QStringLiteral("checkbox.special")
                                    << (on | hover)
                                    << QStringLiteral("RadioButton/radiobutton_checked_rollover.png");
    QTest::newRow("radio disabled") << QStyle::PE_IndicatorRadioButton << QString() << 0
                                    << QStringLiteral("RadioButton/radiobutton_disabled.png");
}

void TestStylePrimitives::indicators()
{
    QFETCH(QStyle::PrimitiveElement, element);
    QFETCH(QString, role);
    QFETCH(int, state);
    QFETCH(QString, path);
    const auto widget = roleWidget(role);
    QStyleOptionButton button;
    button.rect = QRect(3, 4, 20, 18);
    button.state = QStyle::State(state);
    QCOMPARE(draw(element, &button, widget.get()),
             paint([&](QPainter* p) { p->drawPixmap(button.rect, image(path)); }));
    QStyleOption plain;
    plain.rect = button.rect;
    plain.state = button.state;
    QVERIFY(isBlank(draw(element, &plain, widget.get())));
}

void TestStylePrimitives::readOnlyCheckBox()
{
    const auto widget = roleWidget(QStringLiteral("checkbox"));
    widget->setProperty("readOnly", true);
    QStyleOptionButton button;
    button.rect = QRect(3, 4, 16, 16);
    button.state = QStyle::State_MouseOver | QStyle::State_Off; // disabled and hovered
    const QImage expected = paint([&](QPainter* p) {
        p->setOpacity(0.4);
        p->drawPixmap(button.rect, image(QStringLiteral("CheckBox/checkbox_unchecked.png")));
    });
    QCOMPARE(draw(QStyle::PE_IndicatorCheckBox, &button, widget.get()), expected);
    paint([&](QPainter* p) {
        p->setOpacity(0.8);
        m_style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &button, p, widget.get());
        QCOMPARE(p->opacity(), 0.8);
    });
    // Read-only counts only for the plain check-box role.
    const auto special = roleWidget(QStringLiteral("checkbox.special"));
    special->setProperty("readOnly", true);
    QCOMPARE(draw(QStyle::PE_IndicatorCheckBox, &button, special.get()), paint([&](QPainter* p) {
                 p->drawPixmap(button.rect,
                               image(QStringLiteral("CheckBoxSpecial/checkboxspecial_disabled.png")));
             }));
}

void TestStylePrimitives::toolTipFrames()
{
    QStyleOption option;
    option.rect = QRect(0, 0, 150, 60);
    const auto tip = roleWidget(QStringLiteral("tooltip"));
    const QImage plainTip = ninePatch(QStringLiteral("ToolTip/ToolTip.png"), option.rect, 9, 5, 8, 11);
    QCOMPARE(draw(QStyle::PE_PanelTipLabel, &option, tip.get()), plainTip);
    QCOMPARE(draw(customPrimitive(1), &option, tip.get()), plainTip);

    const auto restore = roleWidget(QStringLiteral("tooltip.restore"));
    const QPixmap arrow = image(QStringLiteral("RestoreToolTip/restore_arrow.png"));
    QCOMPARE(draw(QStyle::PE_PanelTipLabel, &option, restore.get()),
             paint([&](QPainter* p) { drawNinePatchPixmap(p, arrow, option.rect, 35, 0, 20, 0); }));
    QApplication::setLayoutDirection(Qt::RightToLeft);
    option.direction = Qt::RightToLeft;
    const QImage mirrored =
        paint([&](QPainter* p) { drawNinePatchPixmap(p, mirroredPixmap(arrow), option.rect, 20, 0, 35, 0); });
    QCOMPARE(draw(QStyle::PE_PanelTipLabel, &option, restore.get()), mirrored);

    const auto other = roleWidget(QStringLiteral("tooltip.other"));
    QVERIFY(isBlank(draw(QStyle::PE_PanelTipLabel, &option, other.get())));
    // The arrowed tooltip needs its arrow option.
    const auto field = roleWidget(QStringLiteral("tooltip.textfield"));
    QVERIFY(isBlank(draw(QStyle::PE_PanelTipLabel, &option, field.get())));
}

void TestStylePrimitives::arrowedToolTip_data()
{
    QTest::addColumn<int>("alignment");
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("where"); // 0 left, 1 right, 2 centre
    QTest::newRow("left top") << int(Qt::AlignLeft | Qt::AlignTop) << true << 0;
    QTest::newRow("left bottom") << int(Qt::AlignLeft | Qt::AlignBottom) << false << 0;
    QTest::newRow("right top") << int(Qt::AlignRight | Qt::AlignTop) << true << 1;
    QTest::newRow("right bottom") << 0 << false << 1;
    QTest::newRow("centre top") << int(Qt::AlignHCenter | Qt::AlignTop) << true << 2;
}

void TestStylePrimitives::arrowedToolTip()
{
    QFETCH(int, alignment);
    QFETCH(bool, up);
    QFETCH(int, where);
    const auto field = roleWidget(QStringLiteral("tooltip.textfield"));
    CQuorStyleOptionArrowTip tip;
    tip.rect = QRect(5, 3, 150, 80);
    tip.arrowAlignment = Qt::Alignment(alignment);
    const QPixmap upArrow = image(QStringLiteral("ToolTip/ToolTip_Arrow_Up.png"));
    const QPixmap arrow = up ? upArrow : image(QStringLiteral("ToolTip/ToolTip_Arrow_Down.png"));
    QRect a(QPoint(0, 0), upArrow.size());
    if (where == 0)
        a.moveLeft(tip.rect.left() + 10 + 11);
    else if (where == 1)
        a.moveRight(tip.rect.right() - 10 - 13);
    else
        a.moveCenter(tip.rect.center());
    if (up)
        a.moveTop(tip.rect.top());
    else
        a.moveBottom(tip.rect.bottom());
    const QImage expected = paint([&](QPainter* p) {
        drawNinePatchPixmap(p, image(QStringLiteral("ToolTip/ToolTip_Arrowed.png")), tip.rect, 11, 18, 13,
                            22);
        p->drawPixmap(a, arrow);
    });
    QCOMPARE(draw(QStyle::PE_PanelTipLabel, &tip, field.get()), expected);
}

void TestStylePrimitives::actionToolTip()
{
    const QPixmap left = image(QStringLiteral("ActionToolTip/ActionToolTip_Left.png"));
    const QPixmap middle = image(QStringLiteral("ActionToolTip/ActionToolTip_Middle.png"));
    const QPixmap right = image(QStringLiteral("ActionToolTip/ActionToolTip_Right.png"));
    const QPixmap pointer = image(QStringLiteral("ActionToolTip/ActionToolTip_Pointer.png"));
    QStyleOption option;
    option.rect = QRect(0, 0, 120, pointer.height());
    // Left end, middle up to the centred pointer, pointer, middle again, right end.
    const int pointerLeft = (120 - pointer.width()) / 2;
    const int middleWidth = pointerLeft - left.width();
    const QImage expected = paint([&](QPainter* p) {
        p->drawPixmap(0, 0, left);
        p->drawPixmap(QRect(left.width(), 0, middleWidth, middle.height()), middle);
        p->drawPixmap(QRect(pointerLeft, 0, pointer.width(), pointer.height()), pointer);
        p->drawPixmap(QRect(pointerLeft + pointer.width(), 0, middleWidth, middle.height()), middle);
        p->drawPixmap(pointerLeft + pointer.width() + middleWidth, 0, right);
    });
    const auto widget = roleWidget(QStringLiteral("tooltip.action"));
    QCOMPARE(draw(QStyle::PE_Widget, &option, widget.get()), expected);
    const auto other = roleWidget(QStringLiteral("tooltip"));
    QVERIFY(isBlank(draw(QStyle::PE_Widget, &option, other.get())));
    QVERIFY(isBlank(draw(QStyle::PE_Widget, &option, nullptr)));
}

void TestStylePrimitives::listPopupItem_data()
{
    QTest::addColumn<bool>("decorationSelected");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("highlight"); // 0 none, 1 whole rectangle, 2 text rectangle
    const int enabled = QStyle::State_Enabled | QStyle::State_Active;
    QTest::newRow("selected, decoration") << true << (enabled | QStyle::State_Selected) << 1;
    QTest::newRow("focused, decoration") << true << (enabled | QStyle::State_HasFocus) << 1;
    QTest::newRow("focused") << false << (enabled | QStyle::State_HasFocus) << 0;
    QTest::newRow("selected") << false << (enabled | QStyle::State_Selected) << 2;
    QTest::newRow("plain") << true << enabled << 0;
}

void TestStylePrimitives::listPopupItem()
{
    QFETCH(bool, decorationSelected);
    QFETCH(int, state);
    QFETCH(int, highlight);
    const auto widget = roleWidget(QStringLiteral("listpopup.view"));
    QStyleOptionViewItem item;
    item.rect = QRect(0, 10, 150, 24);
    item.state = QStyle::State(state);
    item.showDecorationSelected = decorationSelected;
    item.palette.setColor(QPalette::Active, QPalette::Highlight, QColor(10, 120, 30));
    const QImage drawn = draw(QStyle::PE_PanelItemViewItem, &item, widget.get());
    if (highlight == 0) {
        QVERIFY(isBlank(drawn));
        return;
    }
    const QRect area = highlight == 1 ? item.rect : item.rect.adjusted(3, 0, -3, 0);
    QCOMPARE(drawn, paint([&](QPainter* p) { p->fillRect(area, QColor(10, 120, 30)); }));
}

void TestStylePrimitives::gradientFace()
{
    SGradientButtonImage face{QPixmap(), QColor(200, 10, 10), QColor(10, 10, 200)};
    QStyleOption option;
    option.rect = QRect(0, 0, 100, 40);
    const QImage drawn =
        paint([&](QPainter* p) { CQuorCommonStyle::drawGradientButtonFace(p, &option, face); });
    // r = (0, 1, 100, 39); body = (5, 6) .. (94, 33). The gradient is sampled at pixel centres, so
    // the end rows are within a few levels of the end colours.
    const auto near = [](const QColor& a, const QColor& b) {
        return qAbs(a.red() - b.red()) <= 8 && qAbs(a.green() - b.green()) <= 8 &&
               qAbs(a.blue() - b.blue()) <= 8;
    };
    QVERIFY(near(pixelColor(drawn, 50, 6), QColor(200, 10, 10)));
    QVERIFY(near(pixelColor(drawn, 5, 6), QColor(200, 10, 10)));
    QVERIFY(near(pixelColor(drawn, 94, 33), QColor(10, 10, 200)));
    QVERIFY(near(pixelColor(drawn, 50, 20), QColor(105, 10, 105)));
    QCOMPARE(qAlpha(drawn.pixel(50, 5)), 0);
    QCOMPARE(qAlpha(drawn.pixel(50, 34)), 0);
    QCOMPARE(qAlpha(drawn.pixel(4, 20)), 0);
    QCOMPARE(qAlpha(drawn.pixel(95, 20)), 0);

    // The frame goes over the body as a nine-patch into r.
    const SGradientButtonImage& black =
        m_style->gradientButtonImage(CQuorCommonStyle::FaceBlack, CQuorCommonStyle::ImageNormal);
    const QImage expected = paint([&](QPainter* p) {
        const QRect body(5, 6, 90, 28);
        QLinearGradient gradient(body.topLeft(), body.bottomLeft());
        gradient.setColorAt(0, black.topColor);
        gradient.setColorAt(1, black.bottomColor);
        p->fillRect(body, gradient);
        drawNinePatchPixmap(p, black.pixmap, QRect(0, 1, 100, 39), 10, 10, 10, 10);
    });
    QCOMPARE(paint([&](QPainter* p) { CQuorCommonStyle::drawGradientButtonFace(p, &option, black); }),
             expected);
}

void TestStylePrimitives::stateImageIndex_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("index");
    const int e = QStyle::State_Enabled;
    QTest::newRow("disabled") << 0 << 3;
    QTest::newRow("disabled sunken") << int(QStyle::State_Sunken) << 3;
    QTest::newRow("disabled hover") << int(QStyle::State_MouseOver) << 3;
    QTest::newRow("sunken") << (e | QStyle::State_Sunken) << 1;
    QTest::newRow("sunken hover") << (e | QStyle::State_Sunken | QStyle::State_MouseOver) << 1;
    QTest::newRow("hover") << (e | QStyle::State_MouseOver) << 2;
    QTest::newRow("normal") << e << 0;
}

void TestStylePrimitives::stateImageIndex()
{
    QFETCH(int, state);
    QFETCH(int, index);
    QCOMPARE(CQuorCommonStyle::stateImageIndex(QStyle::State(state)), index);
}

void TestStylePrimitives::plainOptionsDrawSafely_data()
{
    QTest::addColumn<QStyle::PrimitiveElement>("element");
    QTest::addColumn<QString>("role");
    for (int i = 0; i <= 6; ++i)
        QTest::newRow(qPrintable(QStringLiteral("custom %1").arg(i)))
            << customPrimitive(i) << QStringLiteral("popup");
    QTest::newRow("custom 1 textfield") << customPrimitive(1) << QStringLiteral("tooltip.textfield");
    QTest::newRow("custom 4 notify") << customPrimitive(4) << QStringLiteral("notifywidget");
    QTest::newRow("tip textfield") << QStyle::PE_PanelTipLabel << QStringLiteral("tooltip.textfield");
    QTest::newRow("line edit") << QStyle::PE_PanelLineEdit << QString();
    QTest::newRow("check") << QStyle::PE_IndicatorCheckBox << QStringLiteral("checkbox");
    QTest::newRow("radio") << QStyle::PE_IndicatorRadioButton << QString();
    QTest::newRow("item check") << QStyle::PE_IndicatorItemViewItemCheck << QString();
    QTest::newRow("list popup item") << QStyle::PE_PanelItemViewItem << QStringLiteral("listpopup.view");
    QTest::newRow("tab frame") << QStyle::PE_FrameTabWidget << QString();
    QTest::newRow("textedit") << QStyle::PE_Frame << QStringLiteral("textedit");
    QTest::newRow("widget") << QStyle::PE_Widget << QStringLiteral("tooltip.action");
}

void TestStylePrimitives::plainOptionsDrawSafely()
{
    QFETCH(QStyle::PrimitiveElement, element);
    QFETCH(QString, role);
    const auto widget = roleWidget(role);
    widget->setProperty("backgroundVisible", true);
    // Options of the base size only, on the heap: a read past them is a sanitizer finding.
    auto plain = std::make_unique<QStyleOption>();
    plain->rect = QRect(0, 0, 100, 50);
    plain->state = QStyle::State_Enabled | QStyle::State_Selected;
    paint([&](QPainter* p) {
        m_style->drawPrimitive(element, plain.get(), p, widget.get());
        m_style->drawPrimitive(element, nullptr, p, widget.get());
    });
    QVERIFY(isBlank(paint([&](QPainter* p) { m_style->drawPrimitive(element, nullptr, p, widget.get()); })));
    // A version-1 option of another custom type is no match either.
    CQuorStyleOptionAnimationFrame other;
    other.rect = plain->rect;
    paint([&](QPainter* p) { m_style->drawPrimitive(element, &other, p, widget.get()); });
    // No painter: nothing happens.
    m_style->drawPrimitive(element, plain.get(), nullptr, widget.get());
}

QTEST_MAIN(TestStylePrimitives)
#include "tst_styleprimitives.moc"
