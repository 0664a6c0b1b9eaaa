// The product style: its metrics, pixmaps and colours over the common style, the post dialogs'
// window mask, and the product images compiled into the library.

#include "meskuistyle.h"
#include "style/quorimages.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QRegion>
#include <QStyleHintReturnMask>
#include <QStyleOption>
#include <QTest>
#include <QWidget>

#include <memory>

class TestMeskUiStyle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void metrics_data();
    void metrics();
    void pixmaps();
    void colors_data();
    void colors();
    void postDialogMask_data();
    void postDialogMask();
    void maskPassesOtherWidgetsOn_data();
    void maskPassesOtherWidgetsOn();
    void maskNeedsMaskReturnAndOption();
    void tableImagesLoad_data();
    void tableImagesLoad();
    void iconHoldsThreeSizes();
    void shadowsAreRings_data();
    void shadowsAreRings();

private:
    std::unique_ptr<CMeskUiStyle> m_style;
    std::unique_ptr<CQuorCommonStyle> m_common;
};

void TestMeskUiStyle::initTestCase()
{
    m_style = std::make_unique<CMeskUiStyle>();
    m_common = std::make_unique<CQuorCommonStyle>();
}

void TestMeskUiStyle::metrics_data()
{
    QTest::addColumn<quint32>("metric");
    QTest::addColumn<int>("expected"); // -1: what the common style answers
    QTest::newRow("column width") << 0xF0000065u << 360;
    QTest::newRow("thumbnail inner margin") << 0xF000008Cu << 2;
    QTest::newRow("small outer margin") << 0xF000008Fu << 2;
    QTest::newRow("strip pixmap") << 0xF00000D0u << 25;
    QTest::newRow("separator height") << 0xF000012Cu << 15;
    QTest::newRow("0x69 is not the product's") << 0xF0000069u << -1;
    QTest::newRow("common custom metric") << quint32(CQuorCommonStyle::PM_QuorMainToolBarHeight) << -1;
    QTest::newRow("default frame width") << quint32(QStyle::PM_DefaultFrameWidth) << -1;
    QTest::newRow("scroll bar extent") << quint32(QStyle::PM_ScrollBarExtent) << -1;
}

void TestMeskUiStyle::metrics()
{
    QFETCH(quint32, metric);
    QFETCH(int, expected);
    const auto pm = static_cast<QStyle::PixelMetric>(metric);
    if (expected < 0)
        expected = m_common->pixelMetric(pm);
    QCOMPARE(m_style->pixelMetric(pm), expected);
}

void TestMeskUiStyle::pixmaps()
{
    // The application icon is the 16 x 16 entry of the icon file; then the three shadows.
    const QList<QPair<quint32, int>> own = {{quint32(QStyle::SP_TitleBarMenuButton), 16},
                                            {CMeskUiStyle::SP_MeskSmallAvatarShadow, 38},
                                            {CMeskUiStyle::SP_MeskNormalAvatarShadow, 60},
                                            {CMeskUiStyle::SP_MeskThumbnailShadow, 85}};
    for (const auto& [id, size] : own) {
        const QPixmap pixmap = m_style->standardPixmap(static_cast<QStyle::StandardPixmap>(id));
        QCOMPARE(pixmap.deviceIndependentSize().toSize(), QSize(size, size));
    }
    // Ids the product does not own are the common style's.
    for (const quint32 id :
         {0xF0000068u, quint32(CQuorCommonStyle::SP_QuorAdd), quint32(QStyle::SP_TitleBarCloseButton)}) {
        const auto sp = static_cast<QStyle::StandardPixmap>(id);
        const QImage ours = m_style->standardPixmap(sp).toImage();
        const QImage theirs = m_common->standardPixmap(sp).toImage();
        QCOMPARE(ours, theirs);
    }
}

void TestMeskUiStyle::colors_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("0") << 0 << QColor(0xF9, 0xF9, 0xF9);
    QTest::newRow("6 product green") << 6 << QColor(0x81, 0xC1, 0x19);
    QTest::newRow("12 links") << 12 << QColor(129, 193, 25);
    QTest::newRow("17 is role 0") << 17 << QColor(0xF9, 0xF9, 0xF9);
    QTest::newRow("18 filter matches") << 18 << QColor(214, 243, 163);
    QTest::newRow("23") << 23 << QColor(0x00, 0x80, 0x00);
    QTest::newRow("38") << 38 << QColor(0xEC, 0xEF, 0xF5);
    QTest::newRow("48") << 48 << QColor(0xFF, 0xFF, 0xCC);
    QTest::newRow("50 last") << 50 << QColor(0xFF, 0x00, 0x00);
    QTest::newRow("51 invalid") << 51 << QColor();
    QTest::newRow("-1 invalid") << -1 << QColor();
}

void TestMeskUiStyle::colors()
{
    QFETCH(int, role);
    QFETCH(QColor, expected);
    const QColor c = CMeskUiStyle::color(role);
    QCOMPARE(c.isValid(), expected.isValid());
    if (expected.isValid()) {
        QCOMPARE(c, expected);
        QCOMPARE(c.alpha(), 255);
    }
}

namespace {

std::unique_ptr<QWidget> dialogWidget(const QVariant& role)
{
    auto widget = std::make_unique<QWidget>();
    if (role.isValid())
        widget->setProperty("com_velto_mesk_qstyleRole", role);
    widget->setProperty("tabWidth", 120);
    widget->setProperty("tabHeight", 30);
    return widget;
}

// The [first, last] x span of a region's row; (-1, -1) for an empty row; (-2, -2) for a row with a gap.
QPair<int, int> rowSpan(const QRegion& region, int y, int width)
{
    int first = -1, last = -1;
    for (int x = 0; x < width; ++x) {
        if (region.contains(QPoint(x, y))) {
            if (first < 0)
                first = x;
            else if (last != x - 1)
                return {-2, -2};
            last = x;
        }
    }
    return {first, last};
}

} // namespace

void TestMeskUiStyle::postDialogMask_data()
{
    QTest::addColumn<QString>("role");
    QTest::newRow("post update") << QStringLiteral("mesk.uilibrary.postupdatewidget");
    QTest::newRow("post sms") << QStringLiteral("mesk.uilibrary.postsmswidget");
}

void TestMeskUiStyle::postDialogMask()
{
    QFETCH(QString, role);
    const auto widget = dialogWidget(role);
    QStyleOption option;
    option.rect = QRect(0, 0, 360, 250);
    QStyleHintReturnMask mask;
    QCOMPARE(m_style->styleHint(QStyle::SH_WindowFrame_Mask, &option, widget.get(), &mask), 1);

    QList<QPair<int, int>> expected(250, {0, 359});
    const QList<QPair<int, int>> tab = {{6, 113}, {4, 115}, {3, 116}, {2, 117}, {1, 118}, {1, 118}};
    for (int y = 0; y < 30; ++y)
        expected[y] = y < tab.size() ? tab[y] : QPair<int, int>(0, 119);
    const QList<QPair<int, int>> bottom = {{1, 358}, {1, 358}, {2, 357}, {3, 356}, {4, 355}, {6, 353}};
    for (int i = 0; i < bottom.size(); ++i)
        expected[244 + i] = bottom[i];
    for (int y = 0; y < 250; ++y)
        QVERIFY2(rowSpan(mask.region, y, 400) == expected[y], qPrintable(QStringLiteral("row %1").arg(y)));
    QVERIFY(!mask.region.contains(QPoint(0, 250)));
}

void TestMeskUiStyle::maskPassesOtherWidgetsOn_data()
{
    QTest::addColumn<QVariant>("role");
    QTest::newRow("no prefix") << QVariant(QStringLiteral("postupdatewidget"));
    QTest::newRow("prefix in other case") << QVariant(QStringLiteral("Mesk.uilibrary.postupdatewidget"));
    QTest::newRow("other product role") << QVariant(QStringLiteral("mesk.uilibrary.itembutton"));
    QTest::newRow("common property only") << QVariant();
}

void TestMeskUiStyle::maskPassesOtherWidgetsOn()
{
    QFETCH(QVariant, role);
    const auto widget = dialogWidget(role);
    if (!role.isValid())
        widget->setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.window.main"));
    QStyleOption option;
    option.rect = QRect(0, 0, 360, 250);
    QStyleHintReturnMask ours;
    QStyleHintReturnMask theirs;
    const int answer = m_style->styleHint(QStyle::SH_WindowFrame_Mask, &option, widget.get(), &ours);
    QCOMPARE(answer, m_common->styleHint(QStyle::SH_WindowFrame_Mask, &option, widget.get(), &theirs));
    QCOMPARE(ours.region, theirs.region);
}

void TestMeskUiStyle::maskNeedsMaskReturnAndOption()
{
    const auto widget = dialogWidget(QStringLiteral("mesk.uilibrary.postupdatewidget"));
    QStyleOption option;
    option.rect = QRect(0, 0, 360, 250);
    QStyleHintReturnVariant variant;
    QCOMPARE(m_style->styleHint(QStyle::SH_WindowFrame_Mask, &option, widget.get(), &variant), 0);
    QVERIFY(!variant.variant.isValid());
    QStyleHintReturnMask mask;
    QCOMPARE(m_style->styleHint(QStyle::SH_WindowFrame_Mask, nullptr, widget.get(), &mask), 0);
    QVERIFY(mask.region.isEmpty());
    QCOMPARE(m_style->styleHint(QStyle::SH_WindowFrame_Mask, &option, widget.get(), nullptr), 0);
}

void TestMeskUiStyle::tableImagesLoad_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    // The product style's table and the text-message images, both compiled into this library.
    const QList<QPair<QString, QString>> tables{
        {QStringLiteral(LUMESK_SOURCE_DIR "/resources/meskstyle-images.table"), CMeskUiStyle::imageRoot()},
        {QStringLiteral(LUMESK_SOURCE_DIR "/resources/sms-images.table"), QStringLiteral(":/images/sms/")}};
    for (const auto& [file, root] : tables) {
        QFile table(file);
        QVERIFY(table.open(QIODevice::ReadOnly | QIODevice::Text));
        while (!table.atEnd()) {
            const QString line = QString::fromUtf8(table.readLine()).trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            QVERIFY(f.size() >= 8);
            if (f[0].endsWith(QLatin1String(".ico")))
                continue;
            QTest::newRow(qPrintable(f[0])) << root + f[0] << QSize(f[1].toInt(), f[2].toInt());
        }
    }
}

void TestMeskUiStyle::tableImagesLoad()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage image(path);
    QCOMPARE(image.size(), size);
    const QImage high(QuorImages::highResolutionPath(path));
    QCOMPARE(high.size(), size * 2);
}

void TestMeskUiStyle::iconHoldsThreeSizes()
{
    QImageReader reader(CMeskUiStyle::imageRoot() + QStringLiteral("lumesk.ico"));
    QCOMPARE(reader.imageCount(), 3);
    const QList<int> sizes = {16, 32, 48};
    for (int i = 0; i < sizes.size(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QCOMPARE(image.size(), QSize(sizes[i], sizes[i]));
        // White tile, opaque at its centre.
        QCOMPARE(qAlpha(image.pixel(sizes[i] / 2, sizes[i] / 2)), 255);
    }
}

void TestMeskUiStyle::shadowsAreRings_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("ring");
    QTest::newRow("normal avatar") << QStringLiteral("avatar_shadow_normal.png") << 3;
    QTest::newRow("small avatar") << QStringLiteral("avatar_shadow_small.png") << 2;
    QTest::newRow("thumbnail") << QStringLiteral("thumbnail_shadow.png") << 3;
}

void TestMeskUiStyle::shadowsAreRings()
{
    QFETCH(QString, path);
    QFETCH(int, ring);
    const QImage image = QImage(CMeskUiStyle::imageRoot() + path).convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    const int mid = w / 2;
    // Clear inside the ring, where the photo frame lies.
    for (int y = ring; y < h - ring; ++y)
        for (int x = ring; x < w - ring; ++x)
            QCOMPARE(qAlpha(image.pixel(x, y)), 0);
    // Shadow in every pixel of the ring across each side's middle, strongest at its inner edge.
    for (int i = 0; i < ring; ++i) {
        QVERIFY(qAlpha(image.pixel(mid, i)) > 0);
        QVERIFY(qAlpha(image.pixel(i, mid)) > 0);
        QVERIFY(qAlpha(image.pixel(mid, h - 1 - i)) > 0);
        QVERIFY(qAlpha(image.pixel(w - 1 - i, mid)) > 0);
    }
    QVERIFY(qAlpha(image.pixel(mid, ring - 1)) > qAlpha(image.pixel(mid, 0)));
    // Darker along the bottom and right than along the top and left.
    QVERIFY(qAlpha(image.pixel(mid, h - ring)) > qAlpha(image.pixel(mid, ring - 1)));
    QVERIFY(qAlpha(image.pixel(w - ring, mid)) > qAlpha(image.pixel(ring - 1, mid)));
}

QTEST_MAIN(TestMeskUiStyle)
#include "tst_meskuistyle.moc"
