#include "style/quorcommonstyle.h"
#include "tempstorage.h"

#include <QApplication>
#include <QSettings>
#include <QStyleFactory>
#include <QTest>

#include <memory>

namespace {

QPixmap styleImage(const QString& path)
{
    return QPixmap(CQuorCommonStyle::imageRoot() + path);
}

QStringList g_warnings;

void collectWarnings(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        g_warnings.append(message);
}

} // namespace

class TestCommonStyle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowsStyleIsBuiltIn();
    void installingWarnsNothing();
    void largeFontsFollowLanguage_data();
    void largeFontsFollowLanguage();
    void marginsTable_data();
    void marginsTable();
    void selectedSubmenuArrowIsCopied();
    void lightCloseIconHasTwoModes();
    void iconSizeIsLastImageThatLoaded();
    void applicationIcon();
    void titleBarIconsAreMarkedForMirroring();
    void dragAndDropImages();
    void gradientFaces_data();
    void gradientFaces();
    void directionalPixmap();
    void colourTable();
    void polishedPalette();
    void disabledRolesComeFromWindowsStyle();
    void setColorsReplacesOnlyGivenEntries();

private:
    std::unique_ptr<TempStorageRoot> m_storage;
};

void TestCommonStyle::initTestCase()
{
    m_storage = std::make_unique<TempStorageRoot>();
    QVERIFY(m_storage->isValid());
}

void TestCommonStyle::windowsStyleIsBuiltIn()
{
    QVERIFY(QStyleFactory::keys().contains(QStringLiteral("Windows")));
    CQuorCommonStyle style;
    QVERIFY(style.baseStyle());
    QCOMPARE(style.baseStyle()->name(), QStringLiteral("windows"));
}

void TestCommonStyle::installingWarnsNothing()
{
    g_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    QApplication::setStyle(new CQuorCommonStyle);
    qInstallMessageHandler(previous);
    QVERIFY2(g_warnings.isEmpty(), qPrintable(g_warnings.join(QLatin1Char('\n'))));
    QVERIFY(qobject_cast<CQuorCommonStyle*>(QApplication::style()));
    QCOMPARE(QApplication::palette().color(QPalette::Active, QPalette::Highlight), QColor(68, 170, 51));
}

void TestCommonStyle::largeFontsFollowLanguage_data()
{
    QTest::addColumn<QVariant>("language");
    QTest::addColumn<bool>("large");
    QTest::newRow("jpn") << QVariant(QStringLiteral("jpn")) << true;
    QTest::newRow("chi-hk") << QVariant(QStringLiteral("chi-hk")) << true;
    QTest::newRow("chi-sc") << QVariant(QStringLiteral("chi-sc")) << true;
    QTest::newRow("chi-tc") << QVariant(QStringLiteral("chi-tc")) << true;
    QTest::newRow("JPN") << QVariant(QStringLiteral("JPN")) << false;
    QTest::newRow("chi") << QVariant(QStringLiteral("chi")) << false;
    QTest::newRow("en-us") << QVariant(QStringLiteral("en-us")) << false;
    QTest::newRow("absent") << QVariant() << false;
}

void TestCommonStyle::largeFontsFollowLanguage()
{
    QFETCH(QVariant, language);
    QFETCH(bool, large);
    {
        QSettings settings(QStringLiteral("Velto"), QStringLiteral("Velto Lumesk"));
        if (language.isValid())
            settings.setValue(QStringLiteral("Current Language"), language);
        else
            settings.remove(QStringLiteral("Current Language"));
    }
    CQuorCommonStyle style;
    QCOMPARE(style.largeFonts(), large);
    QSettings(QStringLiteral("Velto"), QStringLiteral("Velto Lumesk"))
        .remove(QStringLiteral("Current Language"));
}

void TestCommonStyle::marginsTable_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QList<int>>("margins");
    QTest::newRow("0 window shadow") << 0 << QList<int>{18, 10, 18, 32};
    QTest::newRow("1 combo box") << 1 << QList<int>{12, 5, 25, 5};
    QTest::newRow("2 list shadow") << 2 << QList<int>{7, 6, 7, 11};
    QTest::newRow("3 sync button") << 3 << QList<int>{16, 0, 16, 0};
    QTest::newRow("4 restore arrow") << 4 << QList<int>{35, 0, 20, 0};
    QTest::newRow("5 small sync button") << 5 << QList<int>{14, 0, 14, 0};
    QTest::newRow("6 tooltip") << 6 << QList<int>{9, 5, 8, 11};
    QTest::newRow("7 arrowed tooltip") << 7 << QList<int>{11, 18, 13, 22};
    QTest::newRow("8 line edit") << 8 << QList<int>{10, 6, 10, 8};
    QTest::newRow("9 option group") << 9 << QList<int>{6, 0, 6, 0};
    QTest::newRow("10 unknown") << 10 << QList<int>{0, 0, 0, 0};
    QTest::newRow("-1 unknown") << -1 << QList<int>{0, 0, 0, 0};
}

void TestCommonStyle::marginsTable()
{
    QFETCH(int, key);
    QFETCH(QList<int>, margins);
    CQuorCommonStyle style;
    const SNinePatchMargins m = style.ninePatchMargins(key);
    QCOMPARE((QList<int>{m.left, m.top, m.right, m.bottom}), margins);
}

void TestCommonStyle::selectedSubmenuArrowIsCopied()
{
    CQuorCommonStyle style;
    QVERIFY(!style.submenuArrow(1).isNull());
    QCOMPARE(style.submenuArrow(2).toImage(), style.submenuArrow(1).toImage());
    QCOMPARE(style.submenuArrow(0).toImage(),
             styleImage(QStringLiteral("Menu/arrow_to_right_normal.png")).toImage());
    QCOMPARE(style.submenuArrow(3).toImage(),
             styleImage(QStringLiteral("Menu/arrow_to_right_disabled.png")).toImage());
}

void TestCommonStyle::lightCloseIconHasTwoModes()
{
    CQuorCommonStyle style;
    const QIcon icon = style.tableIcon(CQuorCommonStyle::SP_QuorCloseLight);
    QVERIFY(!icon.availableSizes(QIcon::Normal).isEmpty());
    QVERIFY(!icon.availableSizes(QIcon::Active).isEmpty());
    QVERIFY(icon.availableSizes(QIcon::Selected).isEmpty());
    QVERIFY(icon.availableSizes(QIcon::Disabled).isEmpty());
    QCOMPARE(style.tableIconSize(CQuorCommonStyle::SP_QuorCloseLight),
             styleImage(QStringLiteral("CommonIcons/close_alone_light_hover.png")).size());
}

void TestCommonStyle::iconSizeIsLastImageThatLoaded()
{
    // The close button has no disabled image: its size entry is that of the pressed image, not 0x0.
    CQuorCommonStyle style;
    const QSize pressed = styleImage(QStringLiteral("MainWindow/title_close_pressed.png")).size();
    QVERIFY(!pressed.isEmpty());
    QCOMPARE(style.tableIconSize(QStyle::SP_TitleBarCloseButton), pressed);
    QCOMPARE(style.tableIconSize(CQuorCommonStyle::SP_QuorTitleClose), pressed);
    QCOMPARE(style.tableIconSize(CQuorCommonStyle::SP_QuorAdd), QSize(17, 17));
    QCOMPARE(style.tableIconSize(QStyle::SP_TrashIcon), QSize(16, 16));
    QCOMPARE(style.tableIconSize(CQuorCommonStyle::SP_QuorDelete),
             styleImage(QStringLiteral("CommonIcons/Delete_hover.png")).size());
    const QIcon textLink = style.tableIcon(CQuorCommonStyle::SP_QuorTextLink);
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Active, QIcon::Selected, QIcon::Disabled})
        QVERIFY(!textLink.availableSizes(mode).isEmpty());
}

void TestCommonStyle::applicationIcon()
{
    CQuorCommonStyle style;
    const QIcon icon = style.tableIcon(CQuorCommonStyle::SP_QuorApplicationIcon);
    const QList<QSize> sizes = icon.availableSizes(QIcon::Normal, QIcon::Off);
    QVERIFY(sizes.contains(QSize(16, 16)));
    QVERIFY(sizes.contains(QSize(48, 48)));
    QCOMPARE(style.tableIconSize(CQuorCommonStyle::SP_QuorApplicationIcon), QSize(48, 48));
}

void TestCommonStyle::titleBarIconsAreMarkedForMirroring()
{
    CQuorCommonStyle style;
    for (const auto key : {QStyle::SP_TitleBarCloseButton, QStyle::SP_TitleBarMinButton,
                           QStyle::SP_TitleBarMaxButton, QStyle::SP_TitleBarNormalButton})
        QVERIFY(style.isTitleBarPixmap(key));
    QVERIFY(!style.isTitleBarPixmap(CQuorCommonStyle::SP_QuorTitleClose));
    QVERIFY(!style.isTitleBarPixmap(CQuorCommonStyle::SP_QuorCloseDark));
}

void TestCommonStyle::dragAndDropImages()
{
    CQuorCommonStyle style;
    for (quint32 key = CQuorCommonStyle::SP_QuorDndBubble; key <= CQuorCommonStyle::SP_QuorDndSemiNotAllowed;
         ++key) {
        if (key == CQuorCommonStyle::SP_QuorSearch)
            QVERIFY(style.dragAndDropPixmap(key).isNull());
        else
            QVERIFY2(!style.dragAndDropPixmap(key).isNull(),
                     qPrintable(QString::number(key - QStyle::SP_CustomBase)));
    }
}

void TestCommonStyle::gradientFaces_data()
{
    QTest::addColumn<int>("face");
    QTest::addColumn<int>("state");
    QTest::addColumn<QColor>("top");
    QTest::addColumn<QColor>("bottom");
    const QColor dark(138, 138, 138), darker(67, 67, 67), white(255, 255, 255), grey(225, 225, 225);
    const struct
    {
        const char* name;
        int face;
        QColor top;
        QColor bottom;
    } faces[] = {{"Black", CQuorCommonStyle::FaceBlack, dark, darker},
                 {"White", CQuorCommonStyle::FaceWhite, white, grey},
                 {"Toolbar", CQuorCommonStyle::FaceToolbar, white, grey}};
    for (const auto& f : faces) {
        QColor dimTop = f.top, dimBottom = f.bottom;
        dimTop.setAlpha(102);
        dimBottom.setAlpha(102);
        QTest::addRow("%s normal", f.name)
            << f.face << int(CQuorCommonStyle::ImageNormal) << f.top << f.bottom;
        QTest::addRow("%s pressed", f.name)
            << f.face << int(CQuorCommonStyle::ImagePressed) << f.bottom << f.top;
        QTest::addRow("%s hover", f.name) << f.face << int(CQuorCommonStyle::ImageHover) << f.top << f.bottom;
        QTest::addRow("%s disabled", f.name)
            << f.face << int(CQuorCommonStyle::ImageDisabled) << dimTop << dimBottom;
    }
}

void TestCommonStyle::gradientFaces()
{
    QFETCH(int, face);
    QFETCH(int, state);
    QFETCH(QColor, top);
    QFETCH(QColor, bottom);
    CQuorCommonStyle style;
    const SGradientButtonImage& image = style.gradientButtonImage(CQuorCommonStyle::TGradientFace(face),
                                                                  CQuorCommonStyle::TImageState(state));
    QCOMPARE(image.topColor, top);
    QCOMPARE(image.bottomColor, bottom);
    QVERIFY(!image.pixmap.isNull());
}

void TestCommonStyle::directionalPixmap()
{
    CQuorCommonStyle style;
    QPixmap arrow(4, 1);
    arrow.fill(Qt::white);
    QImage marked = arrow.toImage();
    marked.setPixelColor(0, 0, Qt::red);
    arrow = QPixmap::fromImage(marked);

    QCOMPARE(style.directionalPixmap(arrow).toImage().pixelColor(0, 0), QColor(Qt::red));
    QApplication::setLayoutDirection(Qt::RightToLeft);
    const QImage mirrored = style.directionalPixmap(arrow).toImage();
    QApplication::setLayoutDirection(Qt::LeftToRight);
    QCOMPARE(mirrored.pixelColor(3, 0), QColor(Qt::red));
    QCOMPARE(mirrored.pixelColor(0, 0), QColor(Qt::white));
}

void TestCommonStyle::colourTable()
{
    CQuorCommonStyle style;
    QCOMPARE(CQuorCommonStyle::defaultColors().size(), 19);
    for (int i = 0; i < 19; ++i) {
        QVERIFY(style.color(i).isValid());
        QCOMPARE(style.color(i).alpha(), 255);
    }
    QCOMPARE(style.color(6), QColor(68, 170, 51));
    QCOMPARE(style.color(16), QColor(51, 51, 51));
    QVERIFY(!style.color(19).isValid());
    QVERIFY(!style.color(-1).isValid());
}

void TestCommonStyle::polishedPalette()
{
    CQuorCommonStyle style;
    QPalette palette = style.standardPalette();
    style.polish(palette);
    const QPalette::ColorGroup all[] = {QPalette::Active, QPalette::Inactive, QPalette::Disabled};
    for (const QPalette::ColorGroup group : all) {
        QCOMPARE(palette.color(group, QPalette::Base), QColor(255, 255, 255));
        QCOMPARE(palette.color(group, QPalette::Window), QColor(255, 255, 255));
        QCOMPARE(palette.color(group, QPalette::AlternateBase), QColor(247, 247, 247));
        QCOMPARE(palette.color(group, QPalette::ButtonText), QColor(51, 51, 51));
        QCOMPARE(palette.color(group, QPalette::Mid), QColor(187, 188, 186));
    }
    QCOMPARE(palette.color(QPalette::Active, QPalette::Highlight), QColor(68, 170, 51));
    QCOMPARE(palette.color(QPalette::Inactive, QPalette::Highlight), QColor(124, 195, 112));
    QCOMPARE(palette.color(QPalette::Active, QPalette::HighlightedText), QColor(Qt::white));
    QCOMPARE(palette.color(QPalette::Inactive, QPalette::HighlightedText), QColor(Qt::white));
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        QCOMPARE(palette.color(group, QPalette::Text), QColor(51, 51, 51));
        QCOMPARE(palette.color(group, QPalette::WindowText), QColor(51, 51, 51));
    }
    QCOMPARE(palette.color(QPalette::Disabled, QPalette::WindowText), QColor(221, 221, 221));
}

void TestCommonStyle::disabledRolesComeFromWindowsStyle()
{
    std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
    QPalette expected = windows->standardPalette();
    windows->polish(expected);
    CQuorCommonStyle style;
    QPalette palette = style.standardPalette();
    style.polish(palette);
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText, QPalette::Text})
        QCOMPARE(palette.color(QPalette::Disabled, role), expected.color(QPalette::Disabled, role));
}

void TestCommonStyle::setColorsReplacesOnlyGivenEntries()
{
    CQuorCommonStyle style;
    style.setColors({{16, QColor(Qt::red)}});
    const QMap<int, QColor> defaults = CQuorCommonStyle::defaultColors();
    for (int i = 0; i < 19; ++i)
        QCOMPARE(style.color(i), i == 16 ? QColor(Qt::red) : defaults.value(i));
    QPalette palette = style.standardPalette();
    style.polish(palette);
    QCOMPARE(palette.color(QPalette::Active, QPalette::Text), QColor(Qt::red));
    QCOMPARE(palette.color(QPalette::Active, QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(palette.color(QPalette::Disabled, QPalette::ButtonText), QColor(Qt::red));
}

QTEST_MAIN(TestCommonStyle)
#include "tst_commonstyle.moc"
