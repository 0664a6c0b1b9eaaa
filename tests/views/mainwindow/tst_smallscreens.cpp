// Small and scaled screens (a screen file of this test's own: 960 × 540, 1024 × 600, 960 × 540 at
// device pixel ratio 2 and a 1366 × 768 one that holds three columns). Every wizard, dialog and
// popup window opened on a small screen lies wholly inside the screen's available area, each of
// its buttons whole and in view; the wizards' buttons stay outside their scrolled page bodies.
// The main toolbar's filter field is as wide in every window as in a three-column one. On an X
// display the screenshots entry photographs a wizard and the column view on the display's screen.
#include "facebookapi.h"
#include "facebookauth.h"
#include "fakeautostart.h"
#include "fakebrowserbackend.h"
#include "fakepowerevents.h"
#include "flickrapi.h"
#include "flickrauth.h"
#include "mainwindow/meskbottombar.h"
#include "mainwindow/meskmainwindow.h"
#include "mainwindow/mesktoolbar.h"
#include "media/meskdeepdiveview.h"
#include "meskitemwidgets.h"
#include "meskmessagebox.h"
#include "mesknotification.h"
#include "meskservicesetupwidget.h"
#include "mesksmallwidgets.h"
#include "meskuistyle.h"
#include "post/meskpostsmswidget.h"
#include "post/meskpostupdatewidget.h"
#include "settings/mesksettings.h"
#include "testengine.h"
#include "twitterapi.h"
#include "twitterauth.h"
#include "ui/facebooksetupwidget.h"
#include "ui/flickrsetupwidget.h"
#include "ui/twittersetupwidget.h"
#include "widgets/quorbuttons.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <memory>

namespace {

QRect globalRect(const QWidget* w)
{
    return QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
}

// What keeps the window or one of its buttons from being seen whole on the area; empty when
// nothing does.
QString unreachable(QWidget* window, const QRect& area)
{
    const auto text = [](const QRect& r) {
        return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };
    // A full-screen window shows no frame (the offscreen platform reports one all the same).
    const QRect frame = window->isFullScreen() ? window->geometry() : window->frameGeometry();
    if (!area.contains(frame))
        return QStringLiteral("window %1 outside %2").arg(text(frame), text(area));
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(window) || button->window() != window)
            continue;
        const QString name = button->text().isEmpty() ? QString::fromLatin1(button->metaObject()->className())
                                                      : button->text();
        const QRect r = globalRect(button);
        // The least a layout gives it: its own minimum where it has one, else its hint's.
        QSize least = button->minimumSizeHint();
        if (button->minimumWidth() > 0)
            least.setWidth(button->minimumWidth());
        if (button->minimumHeight() > 0)
            least.setHeight(button->minimumHeight());
        least = least.boundedTo(button->maximumSize());
        if (r.width() < least.width() || r.height() < least.height())
            return QStringLiteral("button %1 squeezed to %2").arg(name, text(r));
        // Every parent up to the window shows the whole button: nothing cuts it off. A button in a
        // scrolled list is reached by scrolling.
        for (QWidget* p = button->parentWidget(); p; p = p->isWindow() ? nullptr : p->parentWidget()) {
            if (auto* scrolled = qobject_cast<QAbstractScrollArea*>(p->parentWidget());
                scrolled && scrolled->viewport() == p)
                break;
            if (!globalRect(p).contains(r))
                return QStringLiteral("button %1 at %2 cut by %3").arg(name, text(r), text(globalRect(p)));
        }
    }
    return {};
}

// The display's picture once the window system has drawn what it was given: two grabs alike.
QImage settledGrab(QScreen* screen)
{
    QImage last;
    QImage now;
    const bool settled = QTest::qWaitFor(
        [&] {
            last = now;
            now = screen->grabWindow(0).toImage();
            return !last.isNull() && last == now;
        },
        10000);
    return settled ? now : QImage();
}

QSettings store()
{
    return QSettings(QStringLiteral("Velto"), QStringLiteral("Velto Lumesk"));
}

} // namespace

class TestSmallScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        auto* style = new CMeskUiStyle;
        style->setLargeFonts(qEnvironmentVariableIsSet("TST_LARGE_FONTS"));
        QApplication::setStyle(style);
    }
    void init()
    {
        m_power = std::make_unique<FakePowerEventsScope>();
        m_autostart = std::make_unique<FakeAutostartScope>();
        m_browsers = std::make_unique<FakeBrowserBackendScope>();
        m_env = std::make_unique<TestEngine>();
    }
    void cleanup()
    {
        m_window.reset();
        m_env.reset();
        m_browsers.reset();
        m_autostart.reset();
        m_power.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void windowsFit_data();
    void windowsFit();
    void filterFieldKeepsItsWidth_data();
    void filterFieldKeepsItsWidth();
    void screenshots();

private:
    // The main window in the column view on the screen named, as wide as the screen allows.
    CMeskMainWindow* openMainWindow(QScreen* screen)
    {
        m_env->addProvider(2, QStringLiteral("Facebook"));
        m_env->addProvider(1, QStringLiteral("Twitter"));
        m_env->sms = true;
        store().setValue(CMeskSettings::keyName(16), false);
        store().setValue(CMeskSettings::keyName(7), 1);
        store().setValue(CMeskSettings::keyName(5), screen->availableGeometry().topLeft() + QPoint(20, 10));
        store().setValue(CMeskSettings::keyName(6), screen->availableGeometry().height() - 30);
        if (!m_env->init())
            return nullptr;
        m_window = std::make_unique<CMeskMainWindow>(m_env->engine());
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            return nullptr;
        return m_window.get();
    }

    std::unique_ptr<FakePowerEventsScope> m_power;
    std::unique_ptr<FakeAutostartScope> m_autostart;
    std::unique_ptr<FakeBrowserBackendScope> m_browsers;
    std::unique_ptr<TestEngine> m_env;
    std::unique_ptr<CMeskMainWindow> m_window;
};

void TestSmallScreens::windowsFit_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("window");
    const QStringList windows{QStringLiteral("Facebook wizard"),
                              QStringLiteral("Twitter wizard, PIN bar"),
                              QStringLiteral("Flickr wizard, Ready bar"),
                              QStringLiteral("wizard, long error"),
                              QStringLiteral("message box"),
                              QStringLiteral("post update"),
                              QStringLiteral("post SMS"),
                              QStringLiteral("toast"),
                              QStringLiteral("media browser"),
                              QStringLiteral("settings")};
    for (const QString screen : {"small", "netbook", "small scaled"}) {
        for (const QString& window : windows)
            QTest::addRow("%s, %s", qPrintable(screen), qPrintable(window)) << screen << window;
    }
}

void TestSmallScreens::windowsFit()
{
    QFETCH(QString, screen);
    QFETCH(QString, window);
    QScreen* target = nullptr;
    for (QScreen* s : QGuiApplication::screens())
        target = s->name() == screen ? s : target;
    QVERIFY2(target, "the test's screen file is not in use");
    CMeskMainWindow* main = openMainWindow(target);
    QVERIFY(main);
    QCOMPARE(QGuiApplication::screenAt(main->frameGeometry().center()), target);
    const QRect area = target->availableGeometry();
    QVERIFY2(unreachable(main, area).isEmpty(), qPrintable(unreachable(main, area)));

    // Opens the window the row names, checked while it shows.
    QString problem;
    const auto check = [&](QWidget* shown) {
        QVERIFY(shown->isVisible());
        QScreen* on = QGuiApplication::screenAt(shown->frameGeometry().center());
        QVERIFY(on);
        problem = unreachable(shown, on->availableGeometry());
        if (problem.isEmpty() && on != target && window != QLatin1String("toast"))
            problem = QStringLiteral("shown on %1").arg(on->name());
    };
    const auto checkWizard = [&](CMeskServiceSetupWidget* wizard, QSize design) {
        wizard->show();
        QVERIFY(QTest::qWaitForWindowExposed(wizard));
        check(wizard);
        // Its own minimum where the screen has room for it, the screen's area where not.
        QCOMPARE(wizard->minimumSize(), design.boundedTo(area.size()));
        // The page's buttons and the instruction strip stay outside any scrolled part.
        for (QAbstractButton* button : wizard->findChildren<QAbstractButton*>()) {
            for (QWidget* p = button; p && p != wizard; p = p->parentWidget())
                QVERIFY2(!qobject_cast<QAbstractScrollArea*>(p), qPrintable(button->text()));
        }
        if (QWidget* strip = wizard->customPage())
            QCOMPARE(strip->width(), wizard->width());
    };

    if (window.endsWith(QLatin1String("wizard")) || window.contains(QLatin1String("wizard,"))) {
        if (window.startsWith(QLatin1String("Facebook"))) {
            CFacebookApi api;
            CFacebookAuth auth(&api);
            CFacebookSetupWidget wizard(&auth, main);
            checkWizard(&wizard, QSize(500, 470));
        } else if (window.startsWith(QLatin1String("Twitter"))) {
            CTwitterApi api;
            CTwitterAuth auth(&api, nullptr);
            CTwitterSetupWidget wizard(&auth, main);
            wizard.showWebPage(QStringLiteral("http://127.0.0.1/oauth/authorize"));
            wizard.onHtmlPageLoaded(QStringLiteral("http://127.0.0.1/oauth/authorize"));
            QVERIFY(wizard.customPage());
            checkWizard(&wizard, QSize(800, 500));
        } else {
            CFlickrApi api;
            CFlickrAuth auth(&api, nullptr);
            CFlickrSetupWidget wizard(&auth, main);
            wizard.showWebPage(auth.homeUrl());
            if (window.contains(QLatin1String("Ready"))) {
                wizard.onHtmlPageRequested(auth.homeUrl() + QStringLiteral("/services/auth/"));
                QVERIFY(wizard.customPage());
            } else {
                // A message longer than the page: it scrolls, its button stays in view.
                QString text;
                for (int i = 0; i < 40; ++i)
                    text += CMeskServiceSetupWidget::networkErrorText(QStringLiteral("Flickr")) +
                            QLatin1Char(' ');
                wizard.showErrorPage(text);
            }
            checkWizard(&wizard, QSize(950, 650));
            if (wizard.errorPage()->isVisible()) {
                QTRY_VERIFY(wizard.errorPage()->body()->verticalScrollBar()->maximum() > 0);
                // Scrolling reaches the whole message: the label is as high as its text.
                const QLabel* label = wizard.errorPage()->label();
                QVERIFY(label->height() >= label->heightForWidth(label->width()));
            }
        }
    } else if (window == QLatin1String("message box")) {
        CMeskMessageBox box(1, QStringLiteral("Velto Lumesk could not store the account. ").repeated(3),
                            QStringLiteral("Warning"), main);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        check(&box);
    } else if (window.startsWith(QLatin1String("post"))) {
        if (window == QLatin1String("post update"))
            emit main->toolBar()->newUpdate();
        else
            emit main->toolBar()->newTextMessage();
        QWidget* dialog = window == QLatin1String("post update")
                              ? static_cast<QWidget*>(main->findChild<CMeskPostUpdateWidget*>())
                              : static_cast<QWidget*>(main->findChild<CMeskPostSmsWidget*>());
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        check(dialog);
    } else if (window == QLatin1String("toast")) {
        CMeskNotification toast;
        toast.showNotification(QStringLiteral("Ann Example commented on your photo"), QPixmap(), QPixmap());
        QVERIFY(QTest::qWaitForWindowExposed(&toast));
        check(&toast);
    } else if (window == QLatin1String("media browser")) {
        QPointer<CMeskDeepDiveView> view;
        QTimer::singleShot(0, this, [&] {
            view = qobject_cast<CMeskDeepDiveView*>(QApplication::activeModalWidget());
            if (!view)
                return;
            check(view);
            view->exitButton()->click();
        });
        emit main->toolBar()->showDeepDiveView();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY(view.isNull()); // it ran and was closed
        return;
    } else {
        emit main->bottomBar()->settingsButton();
        QVERIFY(main->bottomBar()->saveButton()->isVisible());
        check(main);
    }
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void TestSmallScreens::filterFieldKeepsItsWidth_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<int>("columns");
    QTest::newRow("small") << "small" << 2;
    QTest::newRow("netbook") << "netbook" << 2;
    QTest::newRow("small scaled") << "small scaled" << 2;
    QTest::newRow("three columns") << "wide" << 3;
}

// The text field is as wide as in a three-column window; the View links yield where the
// strip has no room for them, never the field, and nothing in the strip overlaps.
void TestSmallScreens::filterFieldKeepsItsWidth()
{
    QFETCH(QString, screen);
    QFETCH(int, columns);
    QScreen* target = nullptr;
    for (QScreen* s : QGuiApplication::screens())
        target = s->name() == screen ? s : target;
    QVERIFY(target);
    CMeskMainWindow* main = openMainWindow(target);
    QVERIFY(main);
    QCOMPARE(main->width(), columns * 360 + 8);
    CMeskToolBar* bar = main->toolBar();
    QLineEdit* field = bar->filterBox()->lineEdit();
    QVERIFY(field->isVisible());
    QCOMPARE(field->width(), CMeskToolBar::FilterFieldWidth);
    const QString name = QStringLiteral("Chidi Okafor");
    QTest::keyClicks(field, name);
    QVERIFY(field->fontMetrics().horizontalAdvance(name) < field->width() - 8);

    // Left to right without overlaps, all inside the strip, none squeezed.
    QList<QWidget*> order{bar->newUpdateButton(), bar->newTextMessageButton(), bar->viewButton(),
                          bar->filterBox()};
    int right = 0;
    for (QWidget* w : order) {
        QVERIFY2(w->x() >= right, w->metaObject()->className());
        QVERIFY2(w->width() >= w->minimumSizeHint().width(), w->metaObject()->className());
        right = w->geometry().right() + 1;
    }
    QVERIFY(right <= bar->width());
    CMeskViewToolButton* view = bar->viewButton();
    if (view->menuMode()) {
        QVERIFY(view->imagesLink()->isHidden());
        QVERIFY(columns < 3); // three columns always have room for the links
    } else {
        QVERIFY(view->imagesLink()->isVisible() && view->linksLink()->isVisible());
        QVERIFY(view->linksLink()->geometry().right() < view->width());
    }
}

// On the X display's screen (run it on a small or scaled one, e.g. Xvfb 960x540, or
// QT_SCALE_FACTOR=2 on 1920x1080): the column view with the Flickr wizard and its Ready bar over
// it, photographed from the display.
void TestSmallScreens::screenshots()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("photographs the X display");
    QScreen* target = QGuiApplication::primaryScreen();
    const QRect area = target->availableGeometry();
    CMeskMainWindow* main = openMainWindow(target);
    QVERIFY(main);
    QVERIFY2(unreachable(main, area).isEmpty(), qPrintable(unreachable(main, area)));
    QTest::keyClicks(main->toolBar()->filterBox()->lineEdit(), QStringLiteral("Chidi Okafor"));
    const QString tag =
        QStringLiteral("%1x%2@%3%4")
            .arg(area.width())
            .arg(area.height())
            .arg(target->devicePixelRatio())
            .arg(qEnvironmentVariableIsSet("TST_LARGE_FONTS") ? QStringLiteral("-large-fonts") : QString());
    QDir dir(QStringLiteral(LUMESK_SCREENSHOT_DIR));
    QVERIFY(dir.mkpath(QStringLiteral(".")));
    QVERIFY(settledGrab(target).save(dir.filePath(QStringLiteral("small-screen-columns-%1.png").arg(tag))));

    CFlickrApi api;
    CFlickrAuth auth(&api, nullptr);
    CFlickrSetupWidget wizard(&auth, main);
    wizard.showWebPage(QStringLiteral("about:blank"));
    wizard.onHtmlPageRequested(auth.homeUrl() + QStringLiteral("/services/auth/"));
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    QVERIFY2(unreachable(&wizard, area).isEmpty(), qPrintable(unreachable(&wizard, area)));
    QVERIFY(settledGrab(target).save(dir.filePath(QStringLiteral("small-screen-wizard-%1.png").arg(tag))));
    wizard.showWelcomePage(CMeskServiceSetupWidget::welcomeText(QStringLiteral("Flickr")));
    wizard.removeCustomPage();
    QVERIFY(settledGrab(target).save(
        dir.filePath(QStringLiteral("small-screen-wizard-welcome-%1.png").arg(tag))));
    // A message longer than the page scrolls above its button.
    QString text;
    for (int i = 0; i < 40; ++i)
        text += CMeskServiceSetupWidget::networkErrorText(QStringLiteral("Flickr")) + QLatin1Char(' ');
    wizard.showErrorPage(text);
    QTRY_VERIFY(wizard.errorPage()->body()->verticalScrollBar()->maximum() > 0);
    QVERIFY2(unreachable(&wizard, area).isEmpty(), qPrintable(unreachable(&wizard, area)));
    QVERIFY(
        settledGrab(target).save(dir.filePath(QStringLiteral("small-screen-wizard-error-%1.png").arg(tag))));
}

QTEST_MAIN(TestSmallScreens)
#include "tst_smallscreens.moc"
