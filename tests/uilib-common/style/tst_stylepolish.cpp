#include "fakeshadowwindow.h"
#include "shadowteststyle.h"
#include "tempstorage.h"
#include "windows/quorshadowframe.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

namespace {

const char* const kRole = "com_velto_qstyleRole";
const char* const kFontRole = "com_velto_fontRole";

QString roleOf(const QWidget* w)
{
    return w->property(kRole).toString();
}

void setRole(QWidget* w, const QString& role)
{
    w->setProperty(kRole, QStringLiteral("quor.commonuilibrary.") + role);
}

QList<int> marginsList(const QMargins& m)
{
    return {m.left(), m.top(), m.right(), m.bottom()};
}

QList<int> marginsList(const SNinePatchMargins& m)
{
    return {m.left, m.top, m.right, m.bottom};
}

QList<CQuorShadowFrame*> shadowsOf(const QWidget* w)
{
    QList<CQuorShadowFrame*> live;
    for (CQuorShadowFrame* frame : w->findChildren<CQuorShadowFrame*>(Qt::FindDirectChildrenOnly)) {
        if (frame->isActive())
            live.append(frame);
    }
    return live;
}

QPixmap styleImage(const QString& path)
{
    return QPixmap(CQuorCommonStyle::imageRoot() + path);
}

} // namespace

class TestStylePolish : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void applicationFont_data();
    void applicationFont();
    void foreignFontsSurvive();
    void menuWithoutRole();
    void menuWithRole();
    void menuBarsAreTracked();
    void classRoles();
    void popupButton();
    void lineFrames();
    void contentsMargins_data();
    void contentsMargins();
    void layoutMargins_data();
    void layoutMargins();
    void restoreTooltipHeight();
    void palettes();
    void windowShadows_data();
    void windowShadows();
    void shadowSurvivesRepolish();
    void listPopupFrame();
    void splitterHandles();
    void fixedSizes();
    void fontRoleInSameCall();
    void lineEditHeight();
    void hoverAttributes();
    void popupsKeepOneShadowAcrossStyleChanges();

private:
    std::unique_ptr<TempStorageRoot> m_storage;
    std::unique_ptr<FakeShadowWindowScope> m_fakes;
    ShadowTestStyle* m_style = nullptr;
};

void TestStylePolish::initTestCase()
{
    m_storage = std::make_unique<TempStorageRoot>();
    m_fakes = std::make_unique<FakeShadowWindowScope>();
    m_style = new ShadowTestStyle;
    QApplication::setStyle(m_style);
}

void TestStylePolish::cleanupTestCase()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(FakeShadowWindow::instances().isEmpty());
}

void TestStylePolish::applicationFont_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("points");
    QTest::newRow("english") << QStringLiteral("en-us") << 10;
    QTest::newRow("japanese") << QStringLiteral("jpn") << 12;
}

void TestStylePolish::applicationFont()
{
    QFETCH(QString, language);
    QFETCH(int, points);
    QSettings(QStringLiteral("Velto"), QStringLiteral("Velto Lumesk"))
        .setValue(QStringLiteral("Current Language"), language);
    QFont italic = QApplication::font();
    italic.setItalic(true);
    QApplication::setFont(italic);
    QApplication::setStyle(new ShadowTestStyle);
    const QFont font = QApplication::font();
    QCOMPARE(font.pointSize(), points);
    QCOMPARE(font.style(), QFont::StyleNormal);
    QCOMPARE(int(font.styleStrategy()), 0x44);
    QCOMPARE(QApplication::font("QPushButton").pointSize(), points);
    QSettings(QStringLiteral("Velto"), QStringLiteral("Velto Lumesk"))
        .remove(QStringLiteral("Current Language"));
    m_style = new ShadowTestStyle;
    QApplication::setStyle(m_style);
    QCOMPARE(QApplication::font().pointSize(), 10);
}

void TestStylePolish::foreignFontsSurvive()
{
    const int id =
        QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    if (id < 0)
        QSKIP("DejaVu Sans is not installed");
    m_style = new ShadowTestStyle;
    QApplication::setStyle(m_style);
    QVERIFY(!QFontDatabase::applicationFontFamilies(id).isEmpty());
    m_style->polish(qApp);
    QVERIFY(!QFontDatabase::applicationFontFamilies(id).isEmpty());
    QVERIFY(m_style->registeredFontIds().isEmpty()); // no font files ship
    QFontDatabase::removeApplicationFont(id);
}

void TestStylePolish::menuWithoutRole()
{
    QMenu menu;
    menu.ensurePolished();
    QCOMPARE(roleOf(&menu), QStringLiteral("quor.commonuilibrary.menu"));
    QCOMPARE(menu.property(kFontRole).toString(), QStringLiteral("widgetlibrary.menu.item.text"));
    QCOMPARE(marginsList(menu.contentsMargins()), (QList<int>{0, 0, 1, 0}));
    QVERIFY(menu.hasMouseTracking());
    QVERIFY(menu.windowFlags() & Qt::NoDropShadowWindowHint);
    const auto shadows = shadowsOf(&menu);
    QCOMPARE(shadows.size(), 1);
    QCOMPARE(marginsList(shadows.first()->margins()), (QList<int>{18, 10, 18, 32}));

    // Unpolish and polish again (as a role change does): still one shadow.
    m_style->unpolish(&menu);
    m_style->polish(&menu);
    QCOMPARE(shadowsOf(&menu).size(), 1);

    menu.addAction(QStringLiteral("Open"));
    menu.popup(QPoint(50, 50));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    FakeShadowWindow* fake = FakeShadowWindow::forOwner(&menu);
    QVERIFY(fake);
    QTRY_VERIFY_WITH_TIMEOUT(fake->visible, 30000);
    int windows = 0;
    for (FakeShadowWindow* f : FakeShadowWindow::instances())
        windows += f->owner == &menu ? 1 : 0;
    QCOMPARE(windows, 1);
}

void TestStylePolish::menuWithRole()
{
    QMenu menu;
    setRole(&menu, QStringLiteral("menu.combobox"));
    menu.ensurePolished();
    QCOMPARE(roleOf(&menu), QStringLiteral("quor.commonuilibrary.menu.combobox"));
    QVERIFY(menu.property(kFontRole).isNull());
    QVERIFY(menu.hasMouseTracking());
    QCOMPARE(marginsList(menu.contentsMargins()), (QList<int>{0, 0, 5, 0}));
    const auto shadows = shadowsOf(&menu);
    QCOMPARE(shadows.size(), 1);
    QCOMPARE(marginsList(shadows.first()->margins()), (QList<int>{7, 6, 7, 11}));
}

void TestStylePolish::menuBarsAreTracked()
{
    auto bar = std::make_unique<QMenuBar>();
    bar->ensurePolished();
    QCOMPARE(roleOf(bar.get()), QStringLiteral("quor.commonuilibrary.menubar"));
    QCOMPARE(bar->property(kFontRole).toString(), QStringLiteral("widgetlibrary.menu.item.text"));
    QVERIFY(m_style->isTrackedMenuBar(bar.get()));
    m_style->polish(bar.get());
    QVERIFY(m_style->isTrackedMenuBar(bar.get()));
    m_style->unpolish(bar.get());
    QVERIFY(!m_style->isTrackedMenuBar(bar.get()));

    // A menu bar destroyed while tracked leaves the set: Alt no longer touches it.
    m_style->polish(bar.get());
    QWidget* raw = bar.get();
    bar.reset();
    QVERIFY(!m_style->isTrackedMenuBar(raw));
    QWidget target;
    QTest::keyPress(&target, Qt::Key_Alt);
    QTest::keyRelease(&target, Qt::Key_Alt);
}

void TestStylePolish::classRoles()
{
    QScrollBar scrollBar;
    QTabWidget tabs;
    QTabBar tabBar;
    scrollBar.ensurePolished();
    tabs.ensurePolished();
    tabBar.ensurePolished();
    QCOMPARE(roleOf(&scrollBar), QStringLiteral("quor.commonuilibrary.scrollbar"));
    QCOMPARE(roleOf(&tabs), QStringLiteral("quor.commonuilibrary.default"));
    QCOMPARE(roleOf(&tabBar), QStringLiteral("quor.commonuilibrary.default"));
}

void TestStylePolish::popupButton()
{
    QPushButton button;
    button.setObjectName(QStringLiteral("popupButton"));
    button.ensurePolished();
    QCOMPARE(roleOf(&button), QStringLiteral("quor.commonuilibrary.toolbutton.popup"));
    QCOMPARE(button.width(), styleImage(QStringLiteral("Carousel/phonepaneBall.png")).width());
    QCOMPARE(button.minimumWidth(), button.maximumWidth());
}

void TestStylePolish::lineFrames()
{
    QFrame hline;
    hline.setFrameShape(QFrame::HLine);
    hline.ensurePolished();
    QCOMPARE(hline.height(), 1);
    QCOMPARE(hline.maximumHeight(), 1);
    QCOMPARE(hline.frameShape(), QFrame::StyledPanel);
    QCOMPARE(roleOf(&hline), QStringLiteral("quor.commonuilibrary.line"));
    // The role it now has puts it under the "line" rule.
    m_style->polish(&hline);
    QCOMPARE(hline.maximumHeight(), 5);

    QFrame vline;
    vline.setFrameShape(QFrame::VLine);
    vline.ensurePolished();
    QCOMPARE(vline.maximumWidth(), 1);
    QCOMPARE(vline.frameShape(), QFrame::StyledPanel);
}

void TestStylePolish::contentsMargins_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QList<int>>("margins");
    QTest::newRow("tooltip") << QStringLiteral("tooltip") << QList<int>{6, 3, 6, 9};
    QTest::newRow("toast") << QStringLiteral("popup.message.toast") << QList<int>{4, 3, 8, 11};
    QTest::newRow("menu.combobox") << QStringLiteral("menu.combobox") << QList<int>{0, 0, 5, 0};
    QTest::newRow("other") << QStringLiteral("button.gradient") << QList<int>{0, 0, 0, 0};
}

void TestStylePolish::contentsMargins()
{
    QFETCH(QString, role);
    QFETCH(QList<int>, margins);
    QWidget w;
    setRole(&w, role);
    w.ensurePolished();
    QCOMPARE(marginsList(w.contentsMargins()), margins);
}

void TestStylePolish::layoutMargins_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("rtl");
    QTest::addColumn<QList<int>>("margins");
    QTest::newRow("textfield") << QStringLiteral("tooltip.textfield") << false << QList<int>{21, 27, 23, 33};
    QTest::newRow("restore ltr") << QStringLiteral("tooltip.restore") << false << QList<int>{35, 12, 20, 16};
    QTest::newRow("restore rtl") << QStringLiteral("tooltip.restore") << true << QList<int>{20, 12, 35, 16};
    QTest::newRow("popup itemlist") << QStringLiteral("popup.itemlist") << false << QList<int>{14, 9, 14, 18};
    QTest::newRow("home") << QStringLiteral("placeholder.homewidget") << false << QList<int>{12, 12, 12, 12};
    QTest::newRow("notify") << QStringLiteral("placeholder.notifywidget") << false << QList<int>{1, 1, 1, 1};
    QTest::newRow("other placeholder") << QStringLiteral("placeholder.x") << false << QList<int>{7, 7, 7, 7};
}

void TestStylePolish::layoutMargins()
{
    QFETCH(QString, role);
    QFETCH(bool, rtl);
    QFETCH(QList<int>, margins);
    QWidget w;
    auto* layout = new QVBoxLayout(&w);
    layout->setContentsMargins(7, 7, 7, 7);
    w.setLayoutDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    setRole(&w, role);
    w.ensurePolished();
    QCOMPARE(marginsList(layout->contentsMargins()), margins);
}

void TestStylePolish::restoreTooltipHeight()
{
    QWidget w;
    new QVBoxLayout(&w);
    setRole(&w, QStringLiteral("tooltip.restore"));
    w.ensurePolished();
    QCOMPARE(w.maximumHeight(), styleImage(QStringLiteral("RestoreToolTip/restore_arrow.png")).height());
    // Without a layout the rule does nothing.
    QWidget bare;
    setRole(&bare, QStringLiteral("tooltip.restore"));
    bare.ensurePolished();
    QCOMPARE(bare.maximumHeight(), QWIDGETSIZE_MAX);
}

void TestStylePolish::palettes()
{
    QWidget dashboard;
    setRole(&dashboard, QStringLiteral("dashboard"));
    dashboard.ensurePolished();
    QCOMPARE(dashboard.palette().color(QPalette::Base), QColor(235, 235, 235));
    QWidget sendMessage;
    setRole(&sendMessage, QStringLiteral("frame.sendmessage"));
    sendMessage.ensurePolished();
    QCOMPARE(sendMessage.palette().color(QPalette::Window), QColor(247, 247, 248));
    QWidget editContact;
    setRole(&editContact, QStringLiteral("frame.editcontact"));
    editContact.ensurePolished();
    QCOMPARE(editContact.palette().color(QPalette::Window), QColor(247, 247, 248));
}

void TestStylePolish::windowShadows_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("window");
    QTest::addColumn<QList<int>>("margins"); // empty: no shadow
    QTest::newRow("dialog") << QStringLiteral("window.dialog") << QString() << true
                            << QList<int>{18, 10, 18, 32};
    QTest::newRow("main") << QStringLiteral("window.main") << QString() << true << QList<int>{18, 10, 18, 32};
    QTest::newRow("secondary") << QStringLiteral("window.secondary") << QString() << true
                               << QList<int>{18, 10, 18, 32};
    QTest::newRow("dialog child") << QStringLiteral("window.dialog") << QString() << false << QList<int>{};
    QTest::newRow("itemlist") << QStringLiteral("itemlist") << QString() << true
                              << QList<int>{14, 10, 14, 18};
    QTest::newRow("named itemlist") << QStringLiteral("itemlist") << QStringLiteral("widgetLibrary.itemList")
                                    << true << QList<int>{};
    QTest::newRow("titlebar") << QStringLiteral("window.main.titleBar") << QString() << true << QList<int>{};
}

void TestStylePolish::windowShadows()
{
    QFETCH(QString, role);
    QFETCH(QString, name);
    QFETCH(bool, window);
    QFETCH(QList<int>, margins);
    QWidget parent;
    auto* w = window ? new QWidget(&parent, Qt::Window | Qt::FramelessWindowHint) : new QWidget(&parent);
    w->setObjectName(name);
    setRole(w, role);
    w->ensurePolished();
    const auto shadows = shadowsOf(w);
    if (margins.isEmpty()) {
        QVERIFY(shadows.isEmpty());
        QVERIFY(!FakeShadowWindow::forOwner(w));
    } else {
        QCOMPARE(shadows.size(), 1);
        QCOMPARE(marginsList(shadows.first()->margins()), margins);
        QVERIFY(FakeShadowWindow::forOwner(w));
    }
    if (!name.isEmpty())
        QVERIFY(w->windowFlags() & Qt::NoDropShadowWindowHint);
}

void TestStylePolish::shadowSurvivesRepolish()
{
    ShadowTestStyle otherStyle;
    QWidget w(nullptr, Qt::FramelessWindowHint);
    setRole(&w, QStringLiteral("window.dialog"));
    w.ensurePolished();
    m_style->polish(&w);
    w.setStyle(&otherStyle); // a style change unpolishes and polishes again
    QCOMPARE(shadowsOf(&w).size(), 1);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    int windows = 0;
    for (FakeShadowWindow* f : FakeShadowWindow::instances())
        windows += f->owner == &w ? 1 : 0;
    QCOMPARE(windows, 1);
}

void TestStylePolish::listPopupFrame()
{
    QFrame frame(nullptr, Qt::Popup);
    frame.setFrameStyle(QFrame::Box | QFrame::Raised);
    frame.setLineWidth(3);
    frame.setMidLineWidth(2);
    setRole(&frame, QStringLiteral("listpopup.view.frame"));
    frame.ensurePolished();
    QCOMPARE(frame.frameStyle(), 0x10);
    QCOMPARE(frame.lineWidth(), 0);
    QCOMPARE(frame.midLineWidth(), 0);
    QVERIFY(frame.windowFlags() & Qt::NoDropShadowWindowHint);
    const auto shadows = shadowsOf(&frame);
    QCOMPARE(shadows.size(), 1);
    QCOMPARE(marginsList(shadows.first()->margins()), (QList<int>{7, 6, 7, 11}));
}

void TestStylePolish::splitterHandles()
{
    QSplitter navigation;
    setRole(&navigation, QStringLiteral("navigation.splitter"));
    navigation.ensurePolished();
    QCOMPARE(navigation.handleWidth(), styleImage(QStringLiteral("Splitters/carouselHandle.png")).height());
    QSplitter other;
    setRole(&other, QStringLiteral("window.main.splitter"));
    other.ensurePolished();
    QCOMPARE(other.handleWidth(), 1);
}

void TestStylePolish::fixedSizes()
{
    const int bottom = styleImage(QStringLiteral("SecondaryWindow/Bottom.png")).height();
    QFrame secondaryBottom;
    setRole(&secondaryBottom, QStringLiteral("window.secondary.bottomFrame"));
    secondaryBottom.ensurePolished();
    QCOMPARE(secondaryBottom.maximumHeight(), bottom);
    QFrame dialogBottom;
    setRole(&dialogBottom, QStringLiteral("window.dialog.bottomFrame"));
    dialogBottom.ensurePolished();
    QCOMPARE(dialogBottom.maximumHeight(), bottom);

    QFrame line;
    setRole(&line, QStringLiteral("line.x"));
    line.ensurePolished();
    QCOMPARE(line.maximumHeight(), 5);
    QCOMPARE(line.frameShape(), QFrame::StyledPanel);

    QFrame hline;
    setRole(&hline, QStringLiteral("itemlist.hline"));
    hline.ensurePolished();
    QCOMPARE(hline.maximumHeight(), 1);

    QFrame makkara;
    setRole(&makkara, QStringLiteral("frame.vertical.makkara"));
    makkara.ensurePolished();
    QCOMPARE(makkara.minimumWidth(),
             2 * styleImage(QStringLiteral("Backgrounds/vertical_makkara.png")).width());

    QFrame textEdit;
    textEdit.setFrameStyle(QFrame::Box);
    textEdit.setLineWidth(2);
    setRole(&textEdit, QStringLiteral("textedit"));
    textEdit.ensurePolished();
    QCOMPARE(textEdit.lineWidth(), 0);
}

void TestStylePolish::fontRoleInSameCall()
{
    QPushButton button;
    setRole(&button, QStringLiteral("button.dashboard"));
    button.ensurePolished();
    QCOMPARE(button.property(kFontRole).toString(), QStringLiteral("common.dashboard.button.label"));
    QPalette palette = QApplication::palette(&button);
    QFont font = QApplication::font(&button);
    QVERIFY(m_style->resolveFontRole(QStringLiteral("common.dashboard.button.label"), palette, font));
    QCOMPARE(button.font().pointSizeF(), font.pointSizeF());
    QCOMPARE(button.font().family(), font.family());

    QFrame frame; // the rule is for widgets that are not frames
    setRole(&frame, QStringLiteral("button.dashboard"));
    frame.ensurePolished();
    QVERIFY(frame.property(kFontRole).isNull());
}

void TestStylePolish::lineEditHeight()
{
    QLineEdit edit;
    setRole(&edit, QStringLiteral("lineedit.textfield"));
    edit.setProperty(kFontRole, QStringLiteral("widgetlibrary.menu.item.text"));
    edit.ensurePolished();
    QCOMPARE(edit.maximumHeight(), QFontMetrics(edit.font()).height());
    QCOMPARE(edit.minimumHeight(), edit.maximumHeight());
}

void TestStylePolish::hoverAttributes()
{
    QPushButton button;
    QScrollBar bar;
    QWidget plain;
    button.ensurePolished();
    bar.ensurePolished();
    plain.ensurePolished();
    QVERIFY(button.testAttribute(Qt::WA_Hover));
    QVERIFY(bar.testAttribute(Qt::WA_Hover));
    QVERIFY(!plain.testAttribute(Qt::WA_Hover));
}

void TestStylePolish::popupsKeepOneShadowAcrossStyleChanges()
{
    QMenu menu;
    menu.addAction(QStringLiteral("Open"));
    QWidget dialog(nullptr, Qt::FramelessWindowHint);
    setRole(&dialog, QStringLiteral("window.dialog"));
    dialog.resize(200, 120);
    QFrame listPopup(nullptr, Qt::Popup);
    setRole(&listPopup, QStringLiteral("listpopup.view.frame"));
    listPopup.resize(120, 80);

    auto windowsOf = [](const QWidget* owner) {
        int count = 0;
        for (FakeShadowWindow* fake : FakeShadowWindow::instances())
            count += fake->owner == owner ? 1 : 0;
        return count;
    };
    auto checkAll = [&] {
        for (QWidget* w : {static_cast<QWidget*>(&menu), &dialog, static_cast<QWidget*>(&listPopup)}) {
            QCOMPARE(shadowsOf(w).size(), 1);
            QCOMPARE(windowsOf(w), 1);
        }
    };
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    menu.popup(QPoint(20, 20));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    checkAll();
    QTRY_VERIFY_WITH_TIMEOUT(FakeShadowWindow::forOwner(&menu)->visible, 30000);
    menu.hide();
    listPopup.show();
    QVERIFY(QTest::qWaitForWindowExposed(&listPopup));
    QTRY_VERIFY_WITH_TIMEOUT(FakeShadowWindow::forOwner(&listPopup)->visible, 30000);
    checkAll();

    // A new application style unpolishes and polishes every widget again.
    m_style = new ShadowTestStyle;
    QApplication::setStyle(m_style);
    checkAll();
    m_style->unpolish(&dialog);
    m_style->polish(&dialog);
    checkAll();
    listPopup.hide();
}

QTEST_MAIN(TestStylePolish)
#include "tst_stylepolish.moc"
