#include "style/quorcommonstyle.h"
#include "stylerolewidget.h"
#include "tempstorage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStyleOption>
#include <QTest>

#include <memory>

using styletest::image;
using styletest::imageSize;
using styletest::roleWidget;

namespace {

QStyle::StyleHint customHint(int offset)
{
    return static_cast<QStyle::StyleHint>(QStyle::SH_CustomBase + offset);
}

QStyle::StandardPixmap customPixmap(int offset)
{
    return static_cast<QStyle::StandardPixmap>(QStyle::SP_CustomBase + offset);
}

// First and last x of a region row; (-1, -1) when the row is empty.
QPair<int, int> rowSpan(const QRegion& region, int y, int width)
{
    int first = -1;
    int last = -1;
    for (int x = 0; x < width; ++x) {
        if (region.contains(QPoint(x, y))) {
            if (first < 0)
                first = x;
            last = x;
        }
    }
    return {first, last};
}

bool sameImage(const QPixmap& a, const QPixmap& b)
{
    return a.size() == b.size() && a.toImage().convertToFormat(QImage::Format_ARGB32) ==
                                       b.toImage().convertToFormat(QImage::Format_ARGB32);
}

// A style that lets the test set the mnemonic flags kept by the event filter.
class CMnemonicStyle : public CQuorCommonStyle
{
public:
    void setFlags(bool shown, bool popup)
    {
        m_altKeyDown = shown;
        m_mnemonicsShown = popup;
    }
    // Replaces an icon of the table (the generated crosses are symmetric).
    void setTableIcon(quint32 key, const QIcon& icon) { m_icons.insert(key, icon); }
};

// A pixmap whose left half is red and right half blue.
QPixmap asymmetricPixmap(const QSize& size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width() / 2; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    return QPixmap::fromImage(image);
}

} // namespace

class TestStyleHints : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void fixedHints();
    void underlineShortcut_data();
    void underlineShortcut();
    void mainWindowMask();
    void dialogMask_data();
    void dialogMask();
    void roundedMasks_data();
    void roundedMasks();
    void masksFollowAnOffsetRectangle_data();
    void masksFollowAnOffsetRectangle();
    void maskFallbacks();
    void sizeHint();
    void marginsHint_data();
    void marginsHint();
    void fontHint();
    void plainHintRecordsAreNeverWritten_data();
    void plainHintRecordsAreNeverWritten();
    void shadowPixmaps_data();
    void shadowPixmaps();
    void waitFrames();
    void waitFramesFallBack_data();
    void waitFramesFallBack();
    void tablePixmaps();
    void standardIcons();
    void plainRecordsEverywhere_data();
    void plainRecordsEverywhere();

private:
    std::unique_ptr<TempStorageRoot> m_storage;
    std::unique_ptr<CMnemonicStyle> m_style;
};

void TestStyleHints::initTestCase()
{
    m_storage = std::make_unique<TempStorageRoot>();
    QVERIFY(m_storage->isValid());
    m_style = std::make_unique<CMnemonicStyle>();
}

void TestStyleHints::cleanup()
{
    QApplication::setLayoutDirection(Qt::LeftToRight);
}

void TestStyleHints::fixedHints()
{
    QCOMPARE(m_style->styleHint(QStyle::SH_EtchDisabledText), 0);
    QCOMPARE(m_style->styleHint(QStyle::SH_ToolTipLabel_Opacity), 235);
    QCOMPARE(static_cast<QRgb>(m_style->styleHint(customHint(1))), 0xFF838383u);
    QCOMPARE(static_cast<QRgb>(m_style->styleHint(customHint(2))), qRgba(218, 238, 214, 255));
    QCOMPARE(static_cast<QRgb>(m_style->styleHint(customHint(3))), qRgba(242, 242, 242, 255));
    // Colour 15 follows the colour table.
    CQuorCommonStyle style;
    style.setColors({{15, QColor(1, 2, 3)}});
    QCOMPARE(static_cast<QRgb>(style.styleHint(customHint(1))), qRgb(1, 2, 3));
}

void TestStyleHints::underlineShortcut_data()
{
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("popup");
    QTest::newRow("neither") << false << false;
    QTest::newRow("shown") << true << false;
    QTest::newRow("popup") << false << true;
    QTest::newRow("both") << true << true;
}

void TestStyleHints::underlineShortcut()
{
    QFETCH(bool, shown);
    QFETCH(bool, popup);
    const int base = m_style->baseStyle()->styleHint(QStyle::SH_UnderlineShortcut);
    m_style->setFlags(shown, popup);
    QCOMPARE(m_style->styleHint(QStyle::SH_UnderlineShortcut), (shown || popup || base == 1) ? 1 : 0);
    m_style->setFlags(false, false);
}

void TestStyleHints::mainWindowMask()
{
    const auto widget = roleWidget(QStringLiteral("window.main"));
    widget->resize(100, 50);
    QStyleHintReturnMask mask;
    QStyleOption option;
    option.rect = QRect(0, 0, 10, 10); // the main window's mask follows the widget, not the option
    QCOMPARE(m_style->styleHint(QStyle::SH_WindowFrame_Mask, &option, widget.get(), &mask), 1);
    const QList<QPair<int, int>> rows = {{4, 99}, {2, 99}, {1, 99}, {1, 99}, {0, 99}};
    for (int y = 0; y < rows.size(); ++y)
        QCOMPARE(rowSpan(mask.region, y, 100), rows.at(y));
    QCOMPARE(rowSpan(mask.region, 25, 100), qMakePair(0, 99));
    QCOMPARE(rowSpan(mask.region, 45, 100), qMakePair(0, 99));
    QCOMPARE(rowSpan(mask.region, 46, 100), qMakePair(1, 98));
    QCOMPARE(rowSpan(mask.region, 47, 100), qMakePair(1, 98));
    QCOMPARE(rowSpan(mask.region, 48, 100), qMakePair(2, 97));
    QCOMPARE(rowSpan(mask.region, 49, 100), qMakePair(4, 95));
    QCOMPARE(rowSpan(mask.region, 50, 100), qMakePair(-1, -1));
}

void TestStyleHints::dialogMask_data()
{
    QTest::addColumn<QString>("role");
    QTest::newRow("dialog") << QStringLiteral("window.dialog");
    QTest::newRow("secondary") << QStringLiteral("window.secondary");
}

void TestStyleHints::dialogMask()
{
    QFETCH(QString, role);
    const auto widget = roleWidget(role);
    QStyleOption option;
    option.rect = QRect(0, 0, 60, 40);
    QStyleHintReturnMask mask;
    QCOMPARE(m_style->styleHint(QStyle::SH_WindowFrame_Mask, &option, widget.get(), &mask), 1);
    const int w = 60;
    for (int y = 6; y <= 33; ++y)
        QCOMPARE(rowSpan(mask.region, y, w), qMakePair(0, w - 1));
    QVERIFY(!mask.region.contains(QPoint(0, 0)));
    QVERIFY(!mask.region.contains(QPoint(5, 0)));
    QVERIFY(mask.region.contains(QPoint(6, 0)));
    // The top-right corner is rounded like the top-left one.
    QVERIFY(mask.region.contains(QPoint(w - 7, 0)));
    QVERIFY(!mask.region.contains(QPoint(w - 6, 0)));
    QVERIFY(!mask.region.contains(QPoint(w - 1, 0)));
    const QList<int> topInsets = {6, 4, 3, 2, 1, 1};
    for (int y = 0; y < 6; ++y)
        QCOMPARE(rowSpan(mask.region, y, w), qMakePair(topInsets.at(y), w - 1 - topInsets.at(y)));
    const QList<int> bottomInsets = {1, 1, 2, 3, 4, 6};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(rowSpan(mask.region, 34 + i, w), qMakePair(bottomInsets.at(i), w - 1 - bottomInsets.at(i)));
}

void TestStyleHints::roundedMasks_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QList<int>>("topInsets");    // per row from the top, both sides
    QTest::addColumn<QList<int>>("bottomInsets"); // per row, the last row last
    QTest::newRow("itemlist") << QStringLiteral("itemlist") << QList<int>{3, 2, 1, 0}
                              << QList<int>{0, 1, 2, 3};
    QTest::newRow("gradient.dynamic")
        << QStringLiteral("gradient.dynamic") << QList<int>{0, 0} << QList<int>{0, 1, 1, 1, 2, 3, 4, 5, 6, 9};
    QTest::newRow("menu") << QStringLiteral("menu") << QList<int>{0} << QList<int>{0};
    QTest::newRow("listpopup frame") << QStringLiteral("listpopup.view.frame") << QList<int>{0}
                                     << QList<int>{0};
}

void TestStyleHints::roundedMasks()
{
    QFETCH(QString, role);
    QFETCH(QList<int>, topInsets);
    QFETCH(QList<int>, bottomInsets);
    const auto widget = roleWidget(role);
    QStyleOption option;
    option.rect = QRect(0, 0, 50, 30);
    QStyleHintReturnMask mask;
    QCOMPARE(m_style->styleHint(QStyle::SH_WindowFrame_Mask, &option, widget.get(), &mask), 1);
    for (int y = 0; y < topInsets.size(); ++y)
        QCOMPARE(rowSpan(mask.region, y, 50), qMakePair(topInsets.at(y), 49 - topInsets.at(y)));
    const int first = 30 - bottomInsets.size();
    for (int i = 0; i < bottomInsets.size(); ++i)
        QCOMPARE(rowSpan(mask.region, first + i, 50), qMakePair(bottomInsets.at(i), 49 - bottomInsets.at(i)));
    QVERIFY(mask.region.boundingRect().bottom() <= 29);
}

void TestStyleHints::masksFollowAnOffsetRectangle_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<int>("radius");
    QTest::newRow("itemlist") << QStringLiteral("itemlist") << 3;
    QTest::newRow("dialog") << QStringLiteral("window.dialog") << 6;
    QTest::newRow("gradient.dynamic") << QStringLiteral("gradient.dynamic") << 9;
}

void TestStyleHints::masksFollowAnOffsetRectangle()
{
    QFETCH(QString, role);
    QFETCH(int, radius);
    // The bottom corners are cut from the rectangle's own last rows, wherever it lies.
    const auto widget = roleWidget(role);
    QStyleOption option;
    option.rect = QRect(0, 0, 50, 30);
    QStyleHintReturnMask atOrigin;
    QCOMPARE(m_style->styleHint(QStyle::SH_WindowFrame_Mask, &option, widget.get(), &atOrigin), 1);
    option.rect = QRect(7, 20, 50, 30);
    QStyleHintReturnMask moved;
    QCOMPARE(m_style->styleHint(QStyle::SH_WindowFrame_Mask, &option, widget.get(), &moved), 1);
    QCOMPARE(moved.region, atOrigin.region.translated(7, 20));
    QVERIFY(option.rect.contains(moved.region.boundingRect()));
    QVERIFY(!moved.region.contains(option.rect.bottomLeft()));
    QVERIFY(moved.region.contains(option.rect.bottomLeft() + QPoint(radius, 0)));
}

void TestStyleHints::maskFallbacks()
{
    QStyleOption option;
    option.rect = QRect(0, 0, 50, 30);
    const auto plainWidget = roleWidget(QStringLiteral("frame"));
    QStyleHintReturnMask mask;
    QStyleHintReturnMask baseMask;
    QCOMPARE(
        m_style->styleHint(QStyle::SH_WindowFrame_Mask, &option, plainWidget.get(), &mask),
        m_style->baseStyle()->styleHint(QStyle::SH_WindowFrame_Mask, &option, plainWidget.get(), &baseMask));
    QCOMPARE(mask.region, baseMask.region);

    const auto main = roleWidget(QStringLiteral("window.main"));
    QStyleHintReturnVariant variant;
    QCOMPARE(m_style->styleHint(QStyle::SH_WindowFrame_Mask, &option, main.get(), &variant), 0);
    QVERIFY(!variant.variant.isValid());
    QStyleHintReturn plain;
    QCOMPARE(m_style->styleHint(QStyle::SH_WindowFrame_Mask, &option, main.get(), &plain), 0);
    // No return data or no widget: the base style.
    QCOMPARE(m_style->styleHint(QStyle::SH_WindowFrame_Mask, &option, main.get(), nullptr),
             m_style->baseStyle()->styleHint(QStyle::SH_WindowFrame_Mask, &option, main.get(), nullptr));
    QStyleHintReturnMask noWidget;
    m_style->styleHint(QStyle::SH_WindowFrame_Mask, &option, nullptr, &noWidget);
    QVERIFY(noWidget.region.isEmpty());
}

void TestStyleHints::sizeHint()
{
    SQuorSizeHintReturn close(QStyle::SP_TitleBarCloseButton);
    QVERIFY(!close.size.isValid());
    QCOMPARE(m_style->styleHint(customHint(0), nullptr, nullptr, &close), 1);
    QCOMPARE(close.size, m_style->tableIconSize(QStyle::SP_TitleBarCloseButton));
    QCOMPARE(close.size, imageSize(QStringLiteral("MainWindow/title_close_normal.png")));

    SQuorSizeHintReturn unknown(QStyle::SP_DirIcon);
    QCOMPARE(m_style->styleHint(customHint(0), nullptr, nullptr, &unknown),
             m_style->baseStyle()->styleHint(customHint(0), nullptr, nullptr, nullptr));
    QVERIFY(!unknown.size.isValid());

    SQuorSizeHintReturn app(customPixmap(23));
    QCOMPARE(m_style->styleHint(customHint(0), nullptr, nullptr, &app), 1);
    QCOMPARE(app.size, QSize(48, 48));
}

void TestStyleHints::marginsHint_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("margin");
    QTest::newRow("iconized") << QStringLiteral("lineedit.iconized") << 1 << 3;
    QTest::newRow("textfield") << QStringLiteral("lineedit.textfield") << 0 << -5;
    QTest::newRow("no role") << QString() << 0 << -5;
}

void TestStyleHints::marginsHint()
{
    QFETCH(QString, role);
    QFETCH(int, answer);
    QFETCH(int, margin);
    const auto widget = roleWidget(role);
    SQuorMarginsHintReturn margins;
    margins.left = margins.top = margins.right = margins.bottom = -5;
    QCOMPARE(m_style->styleHint(customHint(4), nullptr, widget.get(), &margins), answer);
    QCOMPARE(QList<int>({margins.left, margins.top, margins.right, margins.bottom}),
             QList<int>({margin, margin, margin, margin}));
    QCOMPARE(m_style->styleHint(customHint(4), nullptr, widget.get(), nullptr), 0);
}

void TestStyleHints::fontHint()
{
    SQuorFontHintReturn font(QStringLiteral("widgetlibrary.tooltip.normal.label"), QApplication::font(),
                             QApplication::palette());
    QCOMPARE(m_style->styleHint(customHint(5), nullptr, nullptr, &font), 1);
    QCOMPARE(font.font.pointSize(), 8);
    QCOMPARE(font.font.weight(), QFont::DemiBold);

    SQuorFontHintReturn bad(QStringLiteral("too.short"), QApplication::font(), QApplication::palette());
    QCOMPARE(m_style->styleHint(customHint(5), nullptr, nullptr, &bad), 0);
    QCOMPARE(bad.font, QApplication::font());
    QCOMPARE(m_style->styleHint(customHint(5)), 0);
}

void TestStyleHints::plainHintRecordsAreNeverWritten_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("role");
    QTest::newRow("0 size") << 0 << QString();
    QTest::newRow("4 margins") << 4 << QStringLiteral("lineedit.iconized");
    QTest::newRow("5 font") << 5 << QStringLiteral("widgetlibrary.tooltip.normal.label");
}

void TestStyleHints::plainHintRecordsAreNeverWritten()
{
    QFETCH(int, offset);
    QFETCH(QString, role);
    const auto widget = roleWidget(role);
    // Heap records of the base size only: a write past them is a sanitizer finding.
    auto plain = std::make_unique<QStyleHintReturn>();
    auto mask = std::make_unique<QStyleHintReturnMask>();
    auto variant = std::make_unique<QStyleHintReturnVariant>();
    const int base = m_style->baseStyle()->styleHint(customHint(offset), nullptr, widget.get(), nullptr);
    const int expected = offset == 0 ? base : 0;
    QCOMPARE(m_style->styleHint(customHint(offset), nullptr, widget.get(), plain.get()), expected);
    QCOMPARE(m_style->styleHint(customHint(offset), nullptr, widget.get(), mask.get()), expected);
    QCOMPARE(m_style->styleHint(customHint(offset), nullptr, widget.get(), variant.get()), expected);
    QVERIFY(mask->region.isEmpty());
    QVERIFY(!variant->variant.isValid());
    // A record of another custom hint is no match either.
    SQuorMarginsHintReturn margins;
    if (offset != 4) {
        QCOMPARE(m_style->styleHint(customHint(offset), nullptr, widget.get(), &margins), expected);
        QCOMPARE(margins.left + margins.top + margins.right + margins.bottom, 0);
    }
}

void TestStyleHints::shadowPixmaps_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("path");
    QTest::newRow("menu") << QStringLiteral("menu") << QStringLiteral("Menu/menu.png");
    QTest::newRow("list frame") << QStringLiteral("listpopup.view.frame")
                                << QStringLiteral("ComboBox/ListShadow.png");
    QTest::newRow("combo menu") << QStringLiteral("menu.combobox")
                                << QStringLiteral("ComboBox/ListShadow.png");
    QTest::newRow("window") << QStringLiteral("window.main")
                            << QStringLiteral("MainWindow/mainframe-shadow.png");
    QTest::newRow("no role") << QString() << QStringLiteral("MainWindow/mainframe-shadow.png");
}

void TestStyleHints::shadowPixmaps()
{
    QFETCH(QString, role);
    QFETCH(QString, path);
    const auto widget = roleWidget(role);
    QVERIFY(sameImage(m_style->standardPixmap(customPixmap(0), nullptr, widget.get()), image(path)));
}

void TestStyleHints::waitFrames()
{
    CQuorStyleOptionAnimationFrame option;
    for (int frame = 0; frame < 8; ++frame) {
        option.frame = frame;
        option.direction = Qt::LeftToRight;
        const QPixmap expected = image(QStringLiteral("WaitAnimation/progress%1.png").arg(frame));
        QVERIFY(!expected.isNull());
        QVERIFY(sameImage(m_style->standardPixmap(customPixmap(2), &option), expected));
        option.direction = Qt::RightToLeft;
        QVERIFY(sameImage(m_style->standardPixmap(customPixmap(2), &option), mirroredPixmap(expected)));
    }
}

void TestStyleHints::waitFramesFallBack_data()
{
    QTest::addColumn<int>("frame"); // -100: no option, -200: a plain option, -300: a foreign version 1 option
    QTest::newRow("8") << 8;
    QTest::newRow("-1") << -1;
    QTest::newRow("no option") << -100;
    QTest::newRow("plain option") << -200;
    QTest::newRow("arrow option") << -300;
}

void TestStyleHints::waitFramesFallBack()
{
    QFETCH(int, frame);
    CQuorStyleOptionAnimationFrame animation;
    animation.frame = frame;
    auto plain = std::make_unique<QStyleOption>();
    CQuorStyleOptionArrowTip arrow;
    const QStyleOption* option = frame == -100   ? nullptr
                                 : frame == -200 ? plain.get()
                                 : frame == -300 ? static_cast<const QStyleOption*>(&arrow)
                                                 : &animation;
    const QPixmap pixmap = m_style->standardPixmap(customPixmap(2), option);
    QVERIFY(pixmap.isNull());
    QVERIFY(sameImage(pixmap, m_style->baseStyle()->standardPixmap(customPixmap(2), option)));
}

void TestStyleHints::tablePixmaps()
{
    QVERIFY(sameImage(m_style->standardPixmap(customPixmap(22)),
                      image(QStringLiteral("Backgrounds/textHighlightBubble.png"))));
    QVERIFY(sameImage(m_style->standardPixmap(QStyle::SP_TitleBarMenuButton),
                      image(QStringLiteral("MainWindow/titleBarIcon.png"))));
    QVERIFY(
        sameImage(m_style->standardPixmap(customPixmap(11)), image(QStringLiteral("DnD/DnD_Bubble.png"))));
    const QPixmap close = m_style->standardPixmap(QStyle::SP_TitleBarCloseButton);
    QVERIFY(sameImage(close, image(QStringLiteral("MainWindow/title_close_normal.png"))));
    QCOMPARE(m_style->standardPixmap(customPixmap(23)).size(), QSize(48, 48));
    QVERIFY(m_style->standardPixmap(customPixmap(40)).isNull());
}

void TestStyleHints::standardIcons()
{
    const QSize size = m_style->tableIconSize(QStyle::SP_TitleBarCloseButton);
    QVERIFY(!size.isEmpty());
    QVERIFY(sameImage(m_style->standardIcon(QStyle::SP_TitleBarCloseButton).pixmap(size),
                      image(QStringLiteral("MainWindow/title_close_normal.png"))));

    CMnemonicStyle style;
    const QPixmap loaded = asymmetricPixmap(size);
    style.setTableIcon(QStyle::SP_TitleBarCloseButton, QIcon(loaded));
    style.setTableIcon(customPixmap(3), QIcon(loaded));
    QVERIFY(sameImage(style.standardIcon(QStyle::SP_TitleBarCloseButton).pixmap(size), loaded));
    QApplication::setLayoutDirection(Qt::RightToLeft);
    QVERIFY(
        sameImage(style.standardIcon(QStyle::SP_TitleBarCloseButton).pixmap(size), mirroredPixmap(loaded)));
    // Mirrored once, then handed out again.
    QCOMPARE(style.standardIcon(QStyle::SP_TitleBarCloseButton).cacheKey(),
             style.standardIcon(QStyle::SP_TitleBarCloseButton).cacheKey());
    // The dark close cross is no title-bar icon: never mirrored.
    QVERIFY(sameImage(style.standardIcon(customPixmap(3)).pixmap(size), loaded));
    QApplication::setLayoutDirection(Qt::LeftToRight);
    QVERIFY(sameImage(style.standardIcon(customPixmap(3)).pixmap(size), loaded));

    // An id the style does not hold comes from the base style.
    QCOMPARE(m_style->standardIcon(QStyle::SP_DirIcon).isNull(),
             m_style->baseStyle()->standardIcon(QStyle::SP_DirIcon).isNull());
}

void TestStyleHints::plainRecordsEverywhere_data()
{
    QTest::addColumn<QString>("role");
    for (const char* role : {"", "menu", "menu.combobox", "listpopup.view.frame", "lineedit.iconized",
                             "lineedit.textfield", "tooltip.textfield", "itemlist.view", "progressbar",
                             "progressbar.phased", "window.main", "window.dialog"})
        QTest::newRow(*role ? role : "no role") << QString::fromLatin1(role);
}

void TestStyleHints::plainRecordsEverywhere()
{
    QFETCH(QString, role);
    const auto widget = roleWidget(role);
    widget->resize(80, 40);
    // Records of the base size only, on the heap, so that a read or write past them is a
    // sanitizer finding.
    auto option = std::make_unique<QStyleOption>();
    option->rect = QRect(0, 0, 80, 40);
    option->state = QStyle::State_Enabled;
    auto record = std::make_unique<QStyleHintReturn>();
    for (int offset = 0; offset <= 18; ++offset) {
        const auto metric = static_cast<QStyle::PixelMetric>(QStyle::PM_CustomBase + offset);
        m_style->pixelMetric(metric, option.get(), widget.get());
        m_style->pixelMetric(metric, nullptr, widget.get());
    }
    for (int offset = 0; offset <= 23; ++offset) {
        m_style->standardPixmap(customPixmap(offset), option.get(), widget.get());
        m_style->standardPixmap(customPixmap(offset), nullptr, widget.get());
        m_style->standardIcon(customPixmap(offset), option.get(), widget.get());
    }
    for (int offset = 0; offset <= 5; ++offset) {
        m_style->styleHint(customHint(offset), option.get(), widget.get(), record.get());
        m_style->styleHint(customHint(offset), nullptr, widget.get(), nullptr);
    }
    m_style->styleHint(QStyle::SH_WindowFrame_Mask, option.get(), widget.get(), record.get());
    for (int offset = 0; offset <= 1; ++offset) {
        const auto element = static_cast<QStyle::SubElement>(QStyle::SE_CustomBase + offset);
        m_style->subElementRect(element, option.get(), widget.get());
        m_style->subElementRect(element, nullptr, widget.get());
    }
    for (const auto element : {QStyle::SE_ProgressBarContents, QStyle::SE_ItemViewItemCheckIndicator,
                               QStyle::SE_ItemViewItemText, QStyle::SE_CheckBoxIndicator})
        m_style->subElementRect(element, option.get(), widget.get());
    for (const auto type : {QStyle::CT_CheckBox, QStyle::CT_RadioButton, QStyle::CT_ProgressBar,
                            QStyle::CT_MenuItem, QStyle::CT_PushButton, QStyle::CT_LineEdit}) {
        m_style->sizeFromContents(type, option.get(), QSize(30, 10), widget.get());
        m_style->sizeFromContents(type, nullptr, QSize(30, 10), widget.get());
    }
    QVERIFY(option->rect == QRect(0, 0, 80, 40));
}

QTEST_MAIN(TestStyleHints)
#include "tst_stylehints.moc"
