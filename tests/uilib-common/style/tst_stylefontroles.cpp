#include "style/quorcommonstyle.h"
#include "tempstorage.h"

#include <QApplication>
#include <QFontInfo>
#include <QSettings>
#include <QTest>
#include <QWidget>

#include <memory>

namespace {

// A style built with or without the large-font languages.
std::unique_ptr<CQuorCommonStyle> makeStyle(bool largeFonts)
{
    QSettings settings(QStringLiteral("Velto"), QStringLiteral("Velto Lumesk"));
    settings.setValue(QStringLiteral("Current Language"),
                      largeFonts ? QStringLiteral("jpn") : QStringLiteral("en-us"));
    settings.sync();
    auto style = std::make_unique<CQuorCommonStyle>();
    settings.remove(QStringLiteral("Current Language"));
    return style;
}

QFont startFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(9);
    font.setItalic(true);
    font.setWeight(QFont::Light);
    return font;
}

} // namespace

class TestStyleFontRoles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void styleRole_data();
    void styleRole();
    void styleRoleOfNoWidget();
    void rolesWithTooFewPartsChangeNothing_data();
    void rolesWithTooFewPartsChangeNothing();
    void fonts_data();
    void fonts();
    void roleWithoutRowOnlyFinishes_data();
    void roleWithoutRowOnlyFinishes();
    void hintTextColours();
    void gradientButtonLabel();
    void fifthComponentIsIgnored();
    void pixelSizedFontKeepsItsSize();
    void styleFamilyRendersInDejaVuSans();

private:
    std::unique_ptr<TempStorageRoot> m_storage;
};

void TestStyleFontRoles::initTestCase()
{
    m_storage = std::make_unique<TempStorageRoot>();
    QVERIFY(m_storage->isValid());
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
}

void TestStyleFontRoles::styleRole_data()
{
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("role");
    QTest::newRow("prefixed") << "quor.commonuilibrary.window.main"
                              << "window.main";
    QTest::newRow("prefix only") << "quor.commonuilibrary."
                                 << "";
    QTest::newRow("no prefix") << "window.main"
                               << "";
    QTest::newRow("prefix in other case") << "Quor.commonuilibrary.menu"
                                          << "";
    QTest::newRow("prefix inside") << "x.quor.commonuilibrary.menu"
                                   << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestStyleFontRoles::styleRole()
{
    QFETCH(QString, property);
    QFETCH(QString, role);
    QWidget widget;
    widget.setProperty("com_velto_qstyleRole", property);
    QCOMPARE(CQuorCommonStyle::styleRole(&widget), role);
}

void TestStyleFontRoles::styleRoleOfNoWidget()
{
    QWidget plain;
    QCOMPARE(CQuorCommonStyle::styleRole(&plain), QString());
    QCOMPARE(CQuorCommonStyle::styleRole(nullptr), QString());
}

void TestStyleFontRoles::rolesWithTooFewPartsChangeNothing_data()
{
    QTest::addColumn<QString>("role");
    QTest::newRow("empty") << "";
    QTest::newRow("two parts") << "widgetlibrary.button";
    QTest::newRow("three parts") << "widgetlibrary.button.gradient";
}

void TestStyleFontRoles::rolesWithTooFewPartsChangeNothing()
{
    QFETCH(QString, role);
    const auto style = makeStyle(true);
    QPalette palette;
    QFont font = startFont();
    const QPalette palettBefore = palette;
    QVERIFY(!style->resolveFontRole(role, palette, font));
    QCOMPARE(font, startFont());
    QVERIFY(palette == palettBefore);
}

void TestStyleFontRoles::fonts_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("large");
    QTest::addColumn<qreal>("points");
    QTest::addColumn<int>("weight");
    QTest::addColumn<QString>("family");
    const QString dejaVu = QStringLiteral("DejaVu Sans");
    const QString styleFamily = QStringLiteral("Velto Standard Multiscript");
    QTest::newRow("tooltip label") << "widgetlibrary.tooltip.normal.label" << false << 8.0
                                   << int(QFont::DemiBold) << dejaVu;
    QTest::newRow("tooltip label, large")
        << "widgetlibrary.tooltip.normal.label" << true << 10.0 << int(QFont::DemiBold) << dejaVu;
    QTest::newRow("application name")
        << "common.dashboard.home.applicationname" << false << 10.5 << int(QFont::Bold) << styleFamily;
    QTest::newRow("application name, large")
        << "common.dashboard.home.applicationname" << true << 13.0 << int(QFont::Bold) << styleFamily;
    QTest::newRow("dialog header") << "common.dialog.header.label" << false << 16.0 << int(QFont::Normal)
                                   << styleFamily;
    QTest::newRow("window title") << "widgetlibrary.window.main.title" << false << 8.0 << int(QFont::Normal)
                                  << dejaVu;
    QTest::newRow("line edit text") << "widgetlibrary.lineedit.textfield.text" << false << 10.0
                                    << int(QFont::Normal) << dejaVu;
    QTest::newRow("combo frame") << "widgetlibrary.combobox.frame.text" << false << 10.0 << int(QFont::Normal)
                                 << dejaVu;
    QTest::newRow("menu item") << "widgetlibrary.menu.item.text" << false << 8.0 << int(QFont::Normal)
                               << dejaVu;
    QTest::newRow("sync all") << "common.mainframe.button.syncall" << false << 8.0 << int(QFont::Bold)
                              << styleFamily;
    QTest::newRow("account popup header")
        << "quoraccount.popup.header.x" << false << 13.5 << int(QFont::Normal) << styleFamily;
    QTest::newRow("carousel, any row")
        << "carousel.a.b.c" << false << 9.0 << int(QFont::Normal) << styleFamily;
    QTest::newRow("radio button keeps size")
        << "widgetlibrary.button.radio.x" << false << 9.0 << int(QFont::Bold) << dejaVu;
}

void TestStyleFontRoles::fonts()
{
    QFETCH(QString, role);
    QFETCH(bool, large);
    QFETCH(qreal, points);
    QFETCH(int, weight);
    QFETCH(QString, family);
    const auto style = makeStyle(large);
    QCOMPARE(style->largeFonts(), large);
    QPalette palette;
    QFont font = startFont();
    QVERIFY(style->resolveFontRole(role, palette, font));
    QCOMPARE(font.pointSizeF(), points);
    QCOMPARE(int(font.weight()), weight);
    QCOMPARE(font.family(), family);
    QVERIFY(!font.italic());
}

void TestStyleFontRoles::roleWithoutRowOnlyFinishes_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("large");
    QTest::addColumn<int>("points");
    QTest::newRow("list popup") << "widgetlibrary.listpopup.view.text" << false << 9;
    QTest::newRow("list popup, large") << "widgetlibrary.listpopup.view.text" << true << 11;
    QTest::newRow("phased bar, other element") << "widgetlibrary.progressbar.phased.value" << false << 9;
    QTest::newRow("unknown area") << "nowhere.a.b.c" << false << 9;
    QTest::newRow("empty parts") << "..." << true << 11;
}

void TestStyleFontRoles::roleWithoutRowOnlyFinishes()
{
    QFETCH(QString, role);
    QFETCH(bool, large);
    QFETCH(int, points);
    const auto style = makeStyle(large);
    QPalette palette;
    const QPalette before = palette;
    QFont font = startFont();
    QVERIFY(style->resolveFontRole(role, palette, font));
    QVERIFY(!font.italic());
    QCOMPARE(font.weight(), QFont::Normal);
    QCOMPARE(font.pointSize(), points);
    QCOMPARE(font.family(), QStringLiteral("DejaVu Sans"));
    QVERIFY(palette == before);
}

void TestStyleFontRoles::hintTextColours()
{
    const auto style = makeStyle(false);
    QPalette palette;
    QFont font = startFont();
    QVERIFY(style->resolveFontRole(QStringLiteral("common.wizard.body.hinttext"), palette, font));
    QCOMPARE(palette.color(QPalette::Active, QPalette::WindowText), QColor(131, 131, 131));
    QCOMPARE(palette.color(QPalette::Inactive, QPalette::WindowText), QColor(131, 131, 131));
    QCOMPARE(palette.color(QPalette::Disabled, QPalette::WindowText), QColor(131, 131, 131, 85));
    QCOMPARE(font.pointSize(), 10);
}

void TestStyleFontRoles::gradientButtonLabel()
{
    const auto style = makeStyle(false);
    QPalette palette;
    QFont font = startFont();
    QVERIFY(style->resolveFontRole(QStringLiteral("widgetlibrary.button.gradient.label"), palette, font));
    QCOMPARE(font.pointSize(), 8);
    QCOMPARE(font.weight(), QFont::Bold);
    QCOMPARE(palette.color(QPalette::Active, QPalette::ButtonText), QColor(51, 51, 51));
    QCOMPARE(palette.color(QPalette::Inactive, QPalette::ButtonText), QColor(51, 51, 51));
    QCOMPARE(palette.color(QPalette::Disabled, QPalette::ButtonText), QColor(51, 51, 51, 102));
    QCOMPARE(palette.color(QPalette::Active, QPalette::Light), QColor(255, 255, 255));
    QCOMPARE(palette.color(QPalette::Disabled, QPalette::Light), QColor(255, 255, 255, 102));

    // Table colours follow the style's colour table.
    style->setColors({{16, QColor(Qt::red)}});
    QVERIFY(style->resolveFontRole(QStringLiteral("widgetlibrary.button.gradient.label"), palette, font));
    QCOMPARE(palette.color(QPalette::Active, QPalette::ButtonText), QColor(Qt::red));
}

void TestStyleFontRoles::fifthComponentIsIgnored()
{
    const auto style = makeStyle(false);
    QPalette four, five;
    QFont fourFont = startFont(), fiveFont = startFont();
    QVERIFY(style->resolveFontRole(QStringLiteral("widgetlibrary.button.gradient.label"), four, fourFont));
    QVERIFY(style->resolveFontRole(QStringLiteral("widgetlibrary.button.gradient.label.extra.more"), five,
                                   fiveFont));
    QCOMPARE(fiveFont, fourFont);
    QVERIFY(five == four);
}

void TestStyleFontRoles::pixelSizedFontKeepsItsSize()
{
    const auto style = makeStyle(true);
    QPalette palette;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    QVERIFY(style->resolveFontRole(QStringLiteral("widgetlibrary.listpopup.view.text"), palette, font));
    QCOMPARE(font.pixelSize(), 14);
}

void TestStyleFontRoles::styleFamilyRendersInDejaVuSans()
{
    CQuorCommonStyle style;
    QFont font(QStringLiteral("Velto Standard Multiscript"));
    font.setPointSize(10);
    QCOMPARE(font.family(), QStringLiteral("Velto Standard Multiscript"));
    QCOMPARE(QFontInfo(font).family(), QStringLiteral("DejaVu Sans"));
}

QTEST_MAIN(TestStyleFontRoles)
#include "tst_stylefontroles.moc"
