#include "style/quorcommonstyle.h"
#include "stylerolewidget.h"
#include "tempstorage.h"

#include <QApplication>
#include <QSettings>
#include <QStyleOption>
#include <QTest>

#include <memory>

using styletest::imageSize;
using styletest::roleWidget;

Q_DECLARE_METATYPE(QStyle::PixelMetric)
Q_DECLARE_METATYPE(QStyle::ContentsType)
Q_DECLARE_METATYPE(QStyle::SubElement)

namespace {

QStyle::PixelMetric custom(int offset)
{
    return static_cast<QStyle::PixelMetric>(QStyle::PM_CustomBase + offset);
}

QSize checkedIndicator(const QString& role)
{
    return role == QLatin1String("checkbox.special")
               ? imageSize(QStringLiteral("CheckBoxSpecial/checkboxspecial_checked.png"))
               : imageSize(QStringLiteral("CheckBox/checkbox_checked.png"));
}

} // namespace

class TestStyleMetrics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fixedMetrics_data();
    void fixedMetrics();
    void largeFontMetrics();
    void defaultFrameWidth_data();
    void defaultFrameWidth();
    void imageMetrics_data();
    void imageMetrics();
    void metricsWithoutOption();
    void arrowOffset_data();
    void arrowOffset();
    void buttonSizes_data();
    void buttonSizes();
    void checkAndRadioSizes();
    void comboAndMusicSizes();
    void progressBarSize();
    void comboMenuItemSize();
    void lineEditAndItemSizes();
    void buttonRects_data();
    void buttonRects();
    void indicatorRects_data();
    void indicatorRects();
    void progressBarContents();
    void itemListRects();
    void itemListRectsInRightToLeft_data();
    void itemListRectsInRightToLeft();
    void frameAndCustomRects();
    void listItemIconRect();
    void comboBoxRects();
    void titleBarSysMenu();
    void sliderRects_data();
    void sliderRects();

private:
    std::unique_ptr<TempStorageRoot> m_storage;
    std::unique_ptr<CQuorCommonStyle> m_style;
};

void TestStyleMetrics::initTestCase()
{
    m_storage = std::make_unique<TempStorageRoot>();
    QVERIFY(m_storage->isValid());
    m_style = std::make_unique<CQuorCommonStyle>();
}

void TestStyleMetrics::fixedMetrics_data()
{
    QTest::addColumn<QStyle::PixelMetric>("metric");
    QTest::addColumn<int>("expected");
    QTest::newRow("menu button indicator") << QStyle::PM_MenuButtonIndicator << 13;
    QTest::newRow("shift horizontal") << QStyle::PM_ButtonShiftHorizontal << 0;
    QTest::newRow("shift vertical") << QStyle::PM_ButtonShiftVertical << 0;
    QTest::newRow("small icon") << QStyle::PM_SmallIconSize << 16;
    QTest::newRow("button icon") << QStyle::PM_ButtonIconSize << 16;
    QTest::newRow("label spacing") << QStyle::PM_CheckBoxLabelSpacing << 12;
    QTest::newRow("menu panel") << QStyle::PM_MenuPanelWidth << 0;
    QTest::newRow("menu bar margin") << QStyle::PM_MenuBarVMargin << 0;
    QTest::newRow("mdi frame") << QStyle::PM_MdiSubWindowFrameWidth << 0;
    QTest::newRow("chunk") << QStyle::PM_ProgressBarChunkWidth << 1;
    QTest::newRow("custom 2 wait frames") << custom(2) << 8;
    QTest::newRow("custom 10") << custom(10) << 7;
    QTest::newRow("custom 11") << custom(11) << 11;
    QTest::newRow("custom 12") << custom(12) << 10;
    QTest::newRow("custom 13") << custom(13) << 41;
    QTest::newRow("custom 14") << custom(14) << 7;
    QTest::newRow("custom 16") << custom(16) << 8;
    QTest::newRow("custom 17") << custom(17) << 2;
    QTest::newRow("custom 18") << custom(18) << 7;
}

void TestStyleMetrics::fixedMetrics()
{
    QFETCH(QStyle::PixelMetric, metric);
    QFETCH(int, expected);
    QCOMPARE(m_style->pixelMetric(metric), expected);
    QStyleOption option;
    const auto widget = roleWidget(QStringLiteral("button.gradient"));
    QCOMPARE(m_style->pixelMetric(metric, &option, widget.get()), expected);
}

void TestStyleMetrics::largeFontMetrics()
{
    QSettings(QStringLiteral("Velto"), QStringLiteral("Velto Lumesk"))
        .setValue(QStringLiteral("Current Language"), QStringLiteral("jpn"));
    CQuorCommonStyle style;
    QSettings(QStringLiteral("Velto"), QStringLiteral("Velto Lumesk"))
        .remove(QStringLiteral("Current Language"));
    QVERIFY(style.largeFonts());
    QCOMPARE(style.pixelMetric(custom(11)), 13);
    QCOMPARE(style.pixelMetric(custom(12)), 12);
    QCOMPARE(style.pixelMetric(custom(13)), 41);
}

void TestStyleMetrics::defaultFrameWidth_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QVariant>("backgroundVisible");
    QTest::addColumn<int>("expected");
    QTest::newRow("no role") << QString() << QVariant() << 2;
    QTest::newRow("no role, visible") << QString() << QVariant(true) << 2;
    QTest::newRow("textedit") << QStringLiteral("textedit") << QVariant() << 2;
    QTest::newRow("textedit false") << QStringLiteral("textedit") << QVariant(false) << 2;
    QTest::newRow("textedit true") << QStringLiteral("textedit") << QVariant(true) << 6;
    QTest::newRow("textedit.x true") << QStringLiteral("textedit.x") << QVariant(true) << 2;
}

void TestStyleMetrics::defaultFrameWidth()
{
    QFETCH(QString, role);
    QFETCH(QVariant, backgroundVisible);
    QFETCH(int, expected);
    const auto widget = roleWidget(role);
    if (backgroundVisible.isValid())
        widget->setProperty("backgroundVisible", backgroundVisible);
    QCOMPARE(m_style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, widget.get()), expected);
}

void TestStyleMetrics::imageMetrics_data()
{
    QTest::addColumn<QStyle::PixelMetric>("metric");
    QTest::addColumn<QString>("role");
    QTest::addColumn<int>("orientation"); // 0: no slider option
    QTest::addColumn<int>("expected");

    const auto h = [](const char* path) { return imageSize(QLatin1String(path)).height(); };
    const auto w = [](const char* path) { return imageSize(QLatin1String(path)).width(); };
    QTest::newRow("extent horizontal") << QStyle::PM_ScrollBarExtent << QString() << int(Qt::Horizontal)
                                       << h("ScrollBar/Horizontal/Horizontal_Background_normal.png");
    QTest::newRow("extent vertical") << QStyle::PM_ScrollBarExtent << QString() << int(Qt::Vertical)
                                     << w("ScrollBar/Vertical/Vertical_Background_normal.png");
    QTest::newRow("slider min horizontal")
        << QStyle::PM_ScrollBarSliderMin << QString() << int(Qt::Horizontal)
        << w("ScrollBar/Vertical/Vertical_Slider_normal.png");
    QTest::newRow("slider min vertical") << QStyle::PM_ScrollBarSliderMin << QString() << int(Qt::Vertical)
                                         << h("ScrollBar/Horizontal/Horizontal_Background_normal.png");
    QTest::newRow("slider length") << QStyle::PM_SliderLength << QString() << 0
                                   << w("Slider/Handle_normal.png");
    QTest::newRow("title bar main") << QStyle::PM_TitleBarHeight << QStringLiteral("mainWindow.titleBar") << 0
                                    << h("MainWindow/mainframeTopM.png");
    QTest::newRow("title bar dialog") << QStyle::PM_TitleBarHeight << QStringLiteral("window.dialog") << 0
                                      << h("MainWindow/mainframeTopM.png");
    QTest::newRow("title bar secondary")
        << QStyle::PM_TitleBarHeight << QStringLiteral("window.secondary.titleBar") << 0
        << h("SecondaryWindow/WizardTop.png");
    QTest::newRow("indicator width") << QStyle::PM_IndicatorWidth << QStringLiteral("checkbox") << 0
                                     << checkedIndicator(QStringLiteral("checkbox")).width();
    QTest::newRow("indicator height")
        << QStyle::PM_IndicatorHeight << QString() << 0 << checkedIndicator(QString()).height();
    QTest::newRow("special width") << QStyle::PM_IndicatorWidth << QStringLiteral("checkbox.special") << 0
                                   << checkedIndicator(QStringLiteral("checkbox.special")).width();
    QTest::newRow("special height") << QStyle::PM_IndicatorHeight << QStringLiteral("checkbox.special") << 0
                                    << checkedIndicator(QStringLiteral("checkbox.special")).height();
    QTest::newRow("radio width") << QStyle::PM_ExclusiveIndicatorWidth << QString() << 0
                                 << w("RadioButton/radiobutton_checked.png");
    QTest::newRow("radio height") << QStyle::PM_ExclusiveIndicatorHeight << QString() << 0
                                  << h("RadioButton/radiobutton_checked.png");
    QTest::newRow("custom 0") << custom(0) << QString() << 0 << h("MainWindow/mainframeBottomM.png");
    QTest::newRow("custom 1") << custom(1) << QString() << 0 << h("MainWindow/toolBar.png");
    QTest::newRow("custom 3") << custom(3) << QString() << 0 << h("SecondaryWindow/Bottom.png");
    QTest::newRow("custom 4") << custom(4) << QString() << 0 << h("Carousel/phonepaneBall.png");
    QTest::newRow("custom 5") << custom(5) << QString() << 0 << h("ActionToolTip/ActionToolTip_Pointer.png");
    QTest::newRow("custom 6") << custom(6) << QString() << 0
                              << w("ActionToolTip/ActionToolTip_Left.png") +
                                     w("ActionToolTip/ActionToolTip_Pointer.png") +
                                     w("ActionToolTip/ActionToolTip_Right.png");
    QTest::newRow("custom 8") << custom(8) << QString() << 0 << h("Backgrounds/pane_header_bg.png");
    QTest::newRow("custom 9") << custom(9) << QString() << 0 << h("PhasedProgressBar/CurrentDark_middle.png");
    QTest::newRow("custom 15") << custom(15) << QString() << 0 << w("Splitters/hoverHandle.png");
}

void TestStyleMetrics::imageMetrics()
{
    QFETCH(QStyle::PixelMetric, metric);
    QFETCH(QString, role);
    QFETCH(int, orientation);
    QFETCH(int, expected);
    QVERIFY(expected > 0);
    const auto widget = roleWidget(role);
    QStyleOptionSlider slider;
    QStyleOption plain;
    const QStyleOption* option = &plain;
    if (orientation != 0) {
        slider.orientation = static_cast<Qt::Orientation>(orientation);
        option = &slider;
    }
    QCOMPARE(m_style->pixelMetric(metric, option, widget.get()), expected);
}

void TestStyleMetrics::metricsWithoutOption()
{
    const int pointer = m_style->pixelMetric(custom(5));
    QCOMPARE(pointer, imageSize(QStringLiteral("ActionToolTip/ActionToolTip_Pointer.png")).height());
    QCOMPARE(m_style->pixelMetric(QStyle::PM_ScrollBarExtent), pointer);
    QCOMPARE(m_style->pixelMetric(QStyle::PM_ScrollBarSliderMin), pointer);
    // A plain option is no slider option either.
    QStyleOption plain;
    QCOMPARE(m_style->pixelMetric(QStyle::PM_ScrollBarExtent, &plain), pointer);
}

void TestStyleMetrics::arrowOffset_data()
{
    QTest::addColumn<int>("alignment"); // -1: plain option, -2: no option
    QTest::addColumn<int>("expected");
    // The expectation is computed from the arrow image and the tooltip margins, so redrawn art moves it.
    const int arrow = imageSize(QStringLiteral("ToolTip/ToolTip_Arrow_Up.png")).width();
    const int base = 100 - arrow / 2 - 10;
    QTest::newRow("left") << int(Qt::AlignLeft) << base - 11;
    QTest::newRow("left top") << int(Qt::AlignLeft | Qt::AlignTop) << base - 11;
    QTest::newRow("right") << int(Qt::AlignRight) << -(base - 13);
    QTest::newRow("none") << 0 << -(base - 13);
    QTest::newRow("centre") << int(Qt::AlignHCenter) << 0;
    QTest::newRow("centre top") << int(Qt::AlignHCenter | Qt::AlignTop) << 0;
    const int header = imageSize(QStringLiteral("Backgrounds/pane_header_bg.png")).height();
    QTest::newRow("plain option") << -1 << header;
    QTest::newRow("no option") << -2 << header;
}

void TestStyleMetrics::arrowOffset()
{
    QFETCH(int, alignment);
    QFETCH(int, expected);
    CQuorStyleOptionArrowTip tip;
    tip.rect = QRect(0, 0, 200, 40);
    tip.arrowAlignment = Qt::Alignment(alignment);
    QStyleOption plain;
    plain.rect = tip.rect;
    const QStyleOption* option = alignment == -1 ? &plain : alignment == -2 ? nullptr : &tip;
    QCOMPARE(m_style->pixelMetric(custom(7), option), expected);
}

void TestStyleMetrics::buttonSizes_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QSize>("contents");
    QTest::addColumn<QSize>("expected"); // invalid: the base style's answer
    const QSize c(50, 13);
    QTest::newRow("gradient") << QStringLiteral("button.gradient.Positive") << c << QSize(80, 30);
    QTest::newRow("secondary") << QStringLiteral("button.secondary.x") << c << c;
    QTest::newRow("icon only") << QStringLiteral("toolbutton.icononly") << c << c;
    QTest::newRow("first") << QStringLiteral("button.optiongroup.first") << QSize(200, 100)
                           << imageSize(QStringLiteral("OptionGroup/toggle_left_normal.png"));
    QTest::newRow("middle") << QStringLiteral("button.optiongroup.middle") << QSize(1, 1)
                            << imageSize(QStringLiteral("OptionGroup/toggle_middle_normal.png"));
    QTest::newRow("last") << QStringLiteral("button.optiongroup.last") << c
                          << imageSize(QStringLiteral("OptionGroup/toggle_right_normal.png"));
    const QSize bridge = imageSize(QStringLiteral("Bridge/Bridge_mouseover_and_selected_bg.png"));
    QTest::newRow("bridge small") << QStringLiteral("button.bridge") << QSize(1, 1) << bridge;
    QTest::newRow("bridge wide") << QStringLiteral("button.bridge") << QSize(bridge.width() + 50, 1)
                                 << QSize(bridge.width() + 50, bridge.height());
    QTest::newRow("dashboard") << QStringLiteral("button.dashboard") << c
                               << QSize(50 + 32,
                                        imageSize(QStringLiteral("SyncButton/sync_normal.png")).height());
    QTest::newRow("syncall") << QStringLiteral("button.syncall") << c
                             << QSize(50 + 28,
                                      imageSize(QStringLiteral("SyncButton/smallsync_normal.png")).height());
    QTest::newRow("no role") << QString() << c << QSize();
}

void TestStyleMetrics::buttonSizes()
{
    QFETCH(QString, role);
    QFETCH(QSize, contents);
    QFETCH(QSize, expected);
    const auto widget = roleWidget(role);
    QStyleOptionButton option;
    option.rect = QRect(0, 0, 100, 30);
    option.fontMetrics = QFontMetrics(QApplication::font());
    if (!expected.isValid())
        expected =
            m_style->baseStyle()->sizeFromContents(QStyle::CT_PushButton, &option, contents, widget.get());
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_PushButton, &option, contents, widget.get()), expected);
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_ToolButton, &option, contents, widget.get()).isValid(),
             true);
}

void TestStyleMetrics::checkAndRadioSizes()
{
    const auto widget = roleWidget(QStringLiteral("checkbox"));
    QStyleOptionButton option;
    option.fontMetrics = QFontMetrics(QApplication::font());
    option.text = QStringLiteral("Label");
    const QSize contents(60, 14);
    const QSize base =
        m_style->baseStyle()->sizeFromContents(QStyle::CT_CheckBox, &option, contents, widget.get());
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_CheckBox, &option, contents, widget.get()), base);
    QPixmap icon(8, 8);
    icon.fill(Qt::red);
    option.icon = QIcon(icon);
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_CheckBox, &option, contents, widget.get()),
             base + QSize(8, 0));
    QVERIFY(!m_style->sizeFromContents(QStyle::CT_CheckBox, nullptr, contents, widget.get()).isValid());
    QStyleOption plain;
    QVERIFY(!m_style->sizeFromContents(QStyle::CT_CheckBox, &plain, contents, widget.get()).isValid());

    QStyleOptionButton radio;
    radio.fontMetrics = option.fontMetrics;
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_RadioButton, &radio, contents, widget.get()),
             imageSize(QStringLiteral("RadioButton/radiobutton_unchecked_rollover.png")));
    radio.text = QStringLiteral("Label");
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_RadioButton, &radio, contents, widget.get()),
             m_style->baseStyle()->sizeFromContents(QStyle::CT_RadioButton, &radio, contents, widget.get()));
}

void TestStyleMetrics::comboAndMusicSizes()
{
    QStyleOptionComboBox combo;
    combo.fontMetrics = QFontMetrics(QApplication::font());
    const QSize contents(80, 5);
    const QSize size = m_style->sizeFromContents(QStyle::CT_ComboBox, &combo, contents);
    QCOMPARE(size.height(), imageSize(QStringLiteral("ComboBox/ComboBox_normal.png")).height());
    QCOMPARE(size.width(),
             m_style->baseStyle()->sizeFromContents(QStyle::CT_ComboBox, &combo, contents).width());

    const auto music = roleWidget(QStringLiteral("progressbar.music.player"));
    const QSize expected(123, imageSize(QStringLiteral("Music/music_player_progress_bg.png")).height());
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_ProgressBar, nullptr, QSize(123, 50), music.get()),
             expected);
    QStyleOptionProgressBar bar;
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_ProgressBar, &bar, QSize(123, 50), music.get()), expected);
}

void TestStyleMetrics::progressBarSize()
{
    const auto phased = roleWidget(QStringLiteral("progressbar.phased"));
    QStyleOptionProgressBar bar;
    bar.fontMetrics = QFontMetrics(QApplication::font());
    bar.text = QStringLiteral("Phase 1");
    bar.textVisible = true;
    const int middle = imageSize(QStringLiteral("PhasedProgressBar/CurrentDark_middle.png")).height();
    const int needed = 7 + middle + bar.fontMetrics.boundingRect(bar.text).height();
    QSize size = m_style->sizeFromContents(QStyle::CT_ProgressBar, &bar, QSize(300, 2), phased.get());
    QCOMPARE(size, QSize(300, needed));
    size = m_style->sizeFromContents(QStyle::CT_ProgressBar, &bar, QSize(400, needed + 20), phased.get());
    QCOMPARE(size, QSize(400, needed + 20));

    // Hidden or empty text adds nothing.
    bar.textVisible = false;
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_ProgressBar, &bar, QSize(300, 2), phased.get()),
             QSize(300, 7 + middle));
    bar.textVisible = true;
    bar.text.clear();
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_ProgressBar, &bar, QSize(300, 2), phased.get()),
             QSize(300, 7 + middle));

    // Our phased option is still a progress-bar option for the size.
    CQuorStyleOptionPhasedProgressBar phasedOption;
    phasedOption.fontMetrics = bar.fontMetrics;
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_ProgressBar, &phasedOption, QSize(300, 2), phased.get()),
             QSize(300, 7 + middle));

    const auto plain = roleWidget(QStringLiteral("progressbar"));
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_ProgressBar, &bar, QSize(300, 2), plain.get()),
             QSize(300, 7 + imageSize(QStringLiteral("ProgressBar/progbar_bg.png")).height()));
    const auto other = roleWidget(QString());
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_ProgressBar, &bar, QSize(300, 2), other.get()),
             QSize(300, 7));
    QVERIFY(
        !m_style->sizeFromContents(QStyle::CT_ProgressBar, nullptr, QSize(300, 2), phased.get()).isValid());
}

void TestStyleMetrics::comboMenuItemSize()
{
    QWidget parent;
    parent.resize(300, 200);
    auto* menu = new QWidget(&parent);
    menu->setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.menu.combobox"));
    QStyleOptionMenuItem item;
    item.fontMetrics = QFontMetrics(QApplication::font());
    item.text = QStringLiteral("Entry");
    item.menuItemType = QStyleOptionMenuItem::Normal;
    const QSize contents(40, 18);
    const QSize base = m_style->baseStyle()->sizeFromContents(QStyle::CT_MenuItem, &item, contents, menu);
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_MenuItem, &item, contents, menu),
             QSize(286, base.height()));
    menu->setProperty("subMenu", true);
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_MenuItem, &item, contents, menu), base);
    menu->setProperty("subMenu", false);
    item.menuItemType = QStyleOptionMenuItem::Separator;
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_MenuItem, &item, contents, menu).height(), 1);
    QVERIFY(!m_style->sizeFromContents(QStyle::CT_MenuItem, nullptr, contents, menu).isValid());

    // Without a parent the width is the base width.
    const auto alone = roleWidget(QStringLiteral("menu.combobox"));
    item.menuItemType = QStyleOptionMenuItem::Normal;
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_MenuItem, &item, contents, alone.get()), base);
}

void TestStyleMetrics::lineEditAndItemSizes()
{
    const auto field = roleWidget(QStringLiteral("lineedit.textfield"));
    QStyleOptionFrame frame;
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_LineEdit, &frame, QSize(120, 40), field.get()),
             QSize(120, 21));

    const auto list = roleWidget(QStringLiteral("itemlist.view"));
    QStyleOptionViewItem item;
    item.fontMetrics = QFontMetrics(QApplication::font());
    item.text = QStringLiteral("Item");
    item.features = QStyleOptionViewItem::HasDisplay;
    const QSize base =
        m_style->baseStyle()->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), list.get());
    QCOMPARE(m_style->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), list.get()),
             base + QSize(23, 8));
}

void TestStyleMetrics::buttonRects_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QStyle::SubElement>("element");
    QTest::addColumn<QRect>("expected"); // null: the base style's answer
    const QRect r(10, 20, 100, 40);
    QTest::newRow("gradient contents")
        << QStringLiteral("button.gradient.x") << QStyle::SE_PushButtonContents << r.adjusted(15, 5, -15, -7);
    QTest::newRow("gradient focus") << QStringLiteral("button.gradient") << QStyle::SE_PushButtonFocusRect
                                    << r.adjusted(6, 7, -6, -7);
    QTest::newRow("secondary contents")
        << QStringLiteral("button.secondary") << QStyle::SE_PushButtonContents << r;
    QTest::newRow("secondary focus") << QStringLiteral("button.secondary.y") << QStyle::SE_PushButtonFocusRect
                                     << r;
    QTest::newRow("other contents") << QStringLiteral("button") << QStyle::SE_PushButtonContents << QRect();
    QTest::newRow("custom 1") << QString() << static_cast<QStyle::SubElement>(QStyle::SE_CustomBase + 1)
                              << r.adjusted(11, 8, -11, -10);
}

void TestStyleMetrics::buttonRects()
{
    QFETCH(QString, role);
    QFETCH(QStyle::SubElement, element);
    QFETCH(QRect, expected);
    const auto widget = roleWidget(role);
    QStyleOptionButton option;
    option.rect = QRect(10, 20, 100, 40);
    if (expected.isNull())
        expected = m_style->baseStyle()->subElementRect(element, &option, widget.get());
    QCOMPARE(m_style->subElementRect(element, &option, widget.get()), expected);
}

void TestStyleMetrics::indicatorRects_data()
{
    QTest::addColumn<QStyle::SubElement>("element");
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("rtl");
    QTest::addColumn<QSize>("size");
    const QSize check = checkedIndicator(QString());
    const QSize special = checkedIndicator(QStringLiteral("checkbox.special"));
    const QSize radio = imageSize(QStringLiteral("RadioButton/radiobutton_checked.png"));
    QTest::newRow("check ltr") << QStyle::SE_CheckBoxIndicator << QStringLiteral("checkbox") << false
                               << check;
    QTest::newRow("check rtl") << QStyle::SE_CheckBoxIndicator << QStringLiteral("checkbox") << true << check;
    QTest::newRow("special") << QStyle::SE_CheckBoxIndicator << QStringLiteral("checkbox.special") << false
                             << special;
    QTest::newRow("radio ltr") << QStyle::SE_RadioButtonIndicator << QString() << false << radio;
    QTest::newRow("radio rtl") << QStyle::SE_RadioButtonIndicator << QString() << true << radio;
}

void TestStyleMetrics::indicatorRects()
{
    QFETCH(QStyle::SubElement, element);
    QFETCH(QString, role);
    QFETCH(bool, rtl);
    QFETCH(QSize, size);
    const auto widget = roleWidget(role);
    QStyleOptionButton option;
    option.rect = QRect(5, 10, 120, 41);
    option.direction = rtl ? Qt::RightToLeft : Qt::LeftToRight;
    const QRect r = m_style->subElementRect(element, &option, widget.get());
    QCOMPARE(r.size(), size);
    if (rtl)
        QCOMPARE(r.right(), option.rect.right());
    else
        QCOMPARE(r.left(), option.rect.left());
    QCOMPARE(r.center().y(), option.rect.center().y());
}

void TestStyleMetrics::progressBarContents()
{
    const int h = imageSize(QStringLiteral("ProgressBar/ProgressBarV2_bg.png")).height();
    const auto bar = roleWidget(QStringLiteral("progressbar"));
    QStyleOptionProgressBar option;
    option.rect = QRect(4, 10, 150, 41);
    QCOMPARE(m_style->subElementRect(QStyle::SE_ProgressBarContents, &option, bar.get()),
             QRect(4, 10 + 41 / 2 - h / 2, 150, h));
    QVERIFY(m_style->subElementRect(QStyle::SE_ProgressBarContents, nullptr, bar.get()).isNull());
    QStyleOption plain;
    QVERIFY(m_style->subElementRect(QStyle::SE_ProgressBarContents, &plain, bar.get()).isNull());
    const auto empty = roleWidget(QString());
    QVERIFY(m_style->subElementRect(QStyle::SE_ProgressBarContents, &option, empty.get()).isNull());
    const auto music = roleWidget(QStringLiteral("progressbar.music.player"));
    QCOMPARE(m_style->subElementRect(QStyle::SE_ProgressBarContents, &option, music.get()),
             QRect(0, 0, 0, imageSize(QStringLiteral("Music/music_player_progress_bg.png")).height()));
}

void TestStyleMetrics::itemListRects()
{
    const auto list = roleWidget(QStringLiteral("itemlist.view"));
    QStyleOptionViewItem item;
    item.rect = QRect(0, 30, 200, 40);
    item.fontMetrics = QFontMetrics(QApplication::font());
    item.text = QStringLiteral("Item");
    item.features = QStyleOptionViewItem::HasDisplay;

    const QRect base = m_style->baseStyle()->subElementRect(QStyle::SE_ItemViewItemText, &item, list.get());
    // The text (and the selection behind it) starts past the inset and runs to the item's far
    // edge less 9, however short the text is.
    QRect expected = base.adjusted(10, 0, 0, 0);
    expected.setRight(item.rect.right() - 9);
    QCOMPARE(m_style->subElementRect(QStyle::SE_ItemViewItemText, &item, list.get()), expected);
    QVERIFY(m_style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &item, list.get()).isNull());

    item.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect baseChecked =
        m_style->baseStyle()->subElementRect(QStyle::SE_ItemViewItemText, &item, list.get());
    expected = baseChecked.adjusted(20, 0, 0, 0);
    expected.setRight(item.rect.right() - 9);
    QCOMPARE(m_style->subElementRect(QStyle::SE_ItemViewItemText, &item, list.get()), expected);

    // Right to left, the text runs to the left edge less 9.
    QStyleOptionViewItem rtl = item;
    rtl.direction = Qt::RightToLeft;
    QCOMPARE(m_style->subElementRect(QStyle::SE_ItemViewItemText, &rtl, list.get()).left(),
             rtl.rect.left() + 9);
    const QRect check = m_style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &item, list.get());
    QCOMPARE(check.size(), imageSize(QStringLiteral("CheckBox/checkbox_checked.png")));
    QCOMPARE(check.left(), 10);
    QCOMPARE(check.center().y(), item.rect.center().y());
    QVERIFY(m_style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, nullptr, list.get()).isNull());

    const auto popup = roleWidget(QStringLiteral("listpopup.view"));
    QCOMPARE(m_style->subElementRect(QStyle::SE_ItemViewItemText, &item, popup.get()),
             item.rect.adjusted(3, 0, -3, 0));
}

void TestStyleMetrics::itemListRectsInRightToLeft_data()
{
    QTest::addColumn<bool>("checkable");
    QTest::newRow("with check indicator") << true;
    QTest::newRow("without check indicator") << false;
}

void TestStyleMetrics::itemListRectsInRightToLeft()
{
    // Right to left, an item is laid out as the mirror image of a left-to-right one: the check
    // indicator at the right, clear of the text and of the delete icon at the left.
    QFETCH(bool, checkable);
    const auto list = roleWidget(QStringLiteral("itemlist.view"));
    QStyleOptionViewItem ltr;
    ltr.rect = QRect(0, 30, 200, 40);
    ltr.fontMetrics = QFontMetrics(QApplication::font());
    ltr.text = QStringLiteral("A rather longer item text");
    ltr.features = QStyleOptionViewItem::HasDisplay;
    if (checkable)
        ltr.features |= QStyleOptionViewItem::HasCheckIndicator;
    QStyleOptionViewItem rtl = ltr;
    rtl.direction = Qt::RightToLeft;
    for (const QStyle::SubElement element :
         {QStyle::SE_ItemViewItemText, QStyle::SE_ItemViewItemCheckIndicator}) {
        const QRect left = m_style->subElementRect(element, &ltr, list.get());
        const QRect mirrored = left.isNull() ? left : QStyle::visualRect(Qt::RightToLeft, ltr.rect, left);
        QCOMPARE(m_style->subElementRect(element, &rtl, list.get()), mirrored);
    }
    const QRect check = m_style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &rtl, list.get());
    QVERIFY(!check.intersects(m_style->subElementRect(QStyle::SE_ItemViewItemText, &rtl, list.get())));
}

void TestStyleMetrics::frameAndCustomRects()
{
    QStyleOptionFrame frame;
    frame.rect = QRect(0, 0, 80, 60);
    frame.lineWidth = 1;
    frame.frameShape = QFrame::StyledPanel;
    const QRect base = m_style->baseStyle()->subElementRect(QStyle::SE_FrameContents, &frame, nullptr);
    QCOMPARE(m_style->subElementRect(QStyle::SE_FrameContents, &frame, nullptr), base.adjusted(-1, -1, 1, 1));
    QVERIFY(m_style->subElementRect(static_cast<QStyle::SubElement>(QStyle::SE_CustomBase + 1), nullptr)
                .isNull());
}

void TestStyleMetrics::listItemIconRect()
{
    const QSize icon =
        m_style->standardPixmap(static_cast<QStyle::StandardPixmap>(QStyle::SP_CustomBase + 9)).size();
    QVERIFY(!icon.isEmpty());
    const auto element = static_cast<QStyle::SubElement>(QStyle::SE_CustomBase + 0);
    CQuorStyleOptionListItem item;
    item.rect = QRect(20, 40, 300, 30);
    item.checkHovered = true;
    QRect r = m_style->subElementRect(element, &item);
    QCOMPARE(r.size(), icon);
    QCOMPARE(r.right(), item.rect.right() - 10);
    QCOMPARE(r.center().y(), item.rect.center().y());
    item.direction = Qt::RightToLeft;
    r = m_style->subElementRect(element, &item);
    QCOMPARE(r.left(), item.rect.left() + 10);

    item.checkHovered = false;
    QVERIFY(m_style->subElementRect(element, &item).isNull());
    QStyleOptionViewItem plain;
    plain.rect = item.rect;
    QVERIFY(m_style->subElementRect(element, &plain).isNull());
    QVERIFY(m_style->subElementRect(element, nullptr).isNull());
}

void TestStyleMetrics::comboBoxRects()
{
    QStyleOptionComboBox combo;
    combo.rect = QRect(0, 0, 150, 24);
    combo.editable = true;
    combo.subControls = QStyle::SC_All;
    const QRect popup = m_style->QCommonStyle::subControlRect(QStyle::CC_ComboBox, &combo,
                                                              QStyle::SC_ComboBoxListBoxPopup, nullptr);
    QCOMPARE(m_style->subControlRect(QStyle::CC_ComboBox, &combo, QStyle::SC_ComboBoxListBoxPopup),
             popup.adjusted(7, 0, -7, -3));
    QCOMPARE(m_style->subControlRect(QStyle::CC_ComboBox, &combo, QStyle::SC_ComboBoxFrame), combo.rect);
    QCOMPARE(m_style->subControlRect(QStyle::CC_ComboBox, &combo, QStyle::SC_ComboBoxEditField),
             QRect(10, 3, 150 - 31, 24 - 8));
    combo.direction = Qt::RightToLeft;
    const QRect rtl = m_style->subControlRect(QStyle::CC_ComboBox, &combo, QStyle::SC_ComboBoxEditField);
    QCOMPARE(rtl.left(), 21);
    QCOMPARE(rtl.right(), 150 - 1 - 10);
}

void TestStyleMetrics::titleBarSysMenu()
{
    QStyleOptionTitleBar bar;
    bar.rect = QRect(0, 0, 300, 30);
    bar.subControls = QStyle::SC_All;
    bar.titleBarFlags = Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowTitleHint;
    const QRect base =
        m_style->QCommonStyle::subControlRect(QStyle::CC_TitleBar, &bar, QStyle::SC_TitleBarSysMenu, nullptr);
    QVERIFY(base.isValid());
    QCOMPARE(m_style->subControlRect(QStyle::CC_TitleBar, &bar, QStyle::SC_TitleBarSysMenu),
             base.translated(4, 2));
}

void TestStyleMetrics::sliderRects_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("rtl");
    QTest::addColumn<int>("minIcon");
    QTest::addColumn<int>("maxIcon");
    QTest::newRow("horizontal min icon") << int(Qt::Horizontal) << false << 16 << 0;
    QTest::newRow("horizontal both") << int(Qt::Horizontal) << false << 16 << 10;
    QTest::newRow("horizontal none") << int(Qt::Horizontal) << false << 0 << 0;
    QTest::newRow("horizontal rtl") << int(Qt::Horizontal) << true << 16 << 0;
    QTest::newRow("vertical min icon") << int(Qt::Vertical) << false << 16 << 0;
    QTest::newRow("vertical both") << int(Qt::Vertical) << false << 12 << 20;
}

void TestStyleMetrics::sliderRects()
{
    QFETCH(int, orientation);
    QFETCH(bool, rtl);
    QFETCH(int, minIcon);
    QFETCH(int, maxIcon);
    const bool horizontal = orientation == Qt::Horizontal;
    QWidget widget;
    if (minIcon)
        widget.setProperty("minimumIcon", QPixmap(minIcon, minIcon));
    if (maxIcon)
        widget.setProperty("maximumIcon", QPixmap(maxIcon, maxIcon));
    QStyleOptionSlider slider;
    slider.orientation = static_cast<Qt::Orientation>(orientation);
    slider.rect = horizontal ? QRect(0, 0, 200, 20) : QRect(0, 0, 20, 200);
    slider.direction = rtl ? Qt::RightToLeft : Qt::LeftToRight;
    slider.minimum = 0;
    slider.maximum = 100;
    slider.sliderPosition = 100;
    slider.subControls = QStyle::SC_All;

    const int tick = m_style->baseStyle()->pixelMetric(QStyle::PM_SliderTickmarkOffset, &slider, &widget);
    const int thickness =
        m_style->baseStyle()->pixelMetric(QStyle::PM_SliderControlThickness, &slider, &widget);
    const int length = imageSize(QStringLiteral("Slider/Handle_normal.png")).width();
    const int lead = minIcon ? minIcon + 2 : 0;
    const int trail = maxIcon ? maxIcon + 2 : 0;
    const int span = 200 - lead - trail;

    QRect groove = horizontal ? QRect(lead, tick, span, thickness) : QRect(tick, lead, thickness, span);
    // At the maximum the handle sits at the end of its range.
    QRect handle = horizontal ? QRect(lead + span - length, tick, length, thickness)
                              : QRect(tick, lead + span - length, thickness, length);
    if (rtl) {
        groove = QStyle::visualRect(Qt::RightToLeft, slider.rect, groove);
        handle = QStyle::visualRect(Qt::RightToLeft, slider.rect, handle);
    }
    QCOMPARE(m_style->subControlRect(QStyle::CC_Slider, &slider, QStyle::SC_SliderGroove, &widget), groove);
    QCOMPARE(m_style->subControlRect(QStyle::CC_Slider, &slider, QStyle::SC_SliderHandle, &widget), handle);
    slider.sliderPosition = 0;
    const QRect atMin = m_style->subControlRect(QStyle::CC_Slider, &slider, QStyle::SC_SliderHandle, &widget);
    if (horizontal)
        QCOMPARE(rtl ? 200 - 1 - atMin.right() : atMin.left(), lead);
    else
        QCOMPARE(atMin.top(), lead);
}

QTEST_MAIN(TestStyleMetrics)
#include "tst_stylemetrics.moc"
