// Floating windows, dialogs and combo lists on a real X display without a compositing manager
// (Xvfb as it starts), and the same desktop once a compositing manager runs.

#include "compositingwatch.h"
#include "linuxshadowwindow.h"
#include "style/quorcommonstyle.h"
#include "widgets/quorcombobox.h"
#include "windows/quordialog.h"
#include "windows/quordialogtitlebar.h"
#include "windows/quorpopupwidget.h"
#include "windows/quorshadowframe.h"
#include "windows/quortooltiplabel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QVBoxLayout>

#include <csignal>
#include <memory>

namespace {

const QColor kBackdrop(96, 144, 200);

// A full-screen window of one plain colour behind everything the test shows: Xvfb's root is
// black, so a black pixel near a window is then the window's own.
class Backdrop : public QWidget
{
public:
    Backdrop() : QWidget(nullptr, Qt::FramelessWindowHint)
    {
        QPalette palette;
        palette.setColor(QPalette::Window, kBackdrop);
        setPalette(palette);
        setAutoFillBackground(true);
        setGeometry(QGuiApplication::primaryScreen()->geometry());
    }
};

QImage grabScreen(const QRect& area)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// Pure black pixels within 40 px around the frames, not counting the frames' insides (where text
// may be black): corners and edges of each frame are checked down to 3 px deep.
QList<QPoint> blackPixelsAround(const QList<QRect>& frames)
{
    QRect area;
    for (const QRect& frame : frames)
        area |= frame.adjusted(-40, -40, 40, 40);
    area &= QGuiApplication::primaryScreen()->geometry();
    const QImage picture = grabScreen(area);
    QList<QPoint> found;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QPoint at = area.topLeft() + QPoint(x, y);
            bool inside = false;
            for (const QRect& frame : frames)
                inside = inside || frame.adjusted(3, 3, -3, -3).contains(at);
            if (!inside && (picture.pixel(x, y) & 0xffffff) == 0)
                found.append(at);
        }
    }
    return found;
}

bool anyShadowWindow()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(),
                       [](QWidget* w) { return qobject_cast<CLinuxShadowWindow*>(w) != nullptr; });
}

std::unique_ptr<CQuorDialog> makeDialog()
{
    auto dialog = std::make_unique<CQuorDialog>();
    auto* layout = new QVBoxLayout(dialog.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new CQuorDialogTitleBar(dialog.get()));
    auto* content = new QFrame;
    content->setObjectName(QStringLiteral("contentFrame"));
    auto* contentLayout = new QVBoxLayout(content);
    auto* combo = new CQuorComboBox;
    combo->addItems({QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Gamma")});
    contentLayout->addWidget(combo);
    contentLayout->addStretch();
    layout->addWidget(content, 1);
    dialog->setGeometry(300, 200, 360, 240);
    return dialog;
}

} // namespace

class TestNoCompositor : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display");
        QApplication::setStyle(new CQuorCommonStyle);
        QApplication::setEffectEnabled(Qt::UI_FadeTooltip, false);
        QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false);
        if (CCompositingWatch::instance()->isActive())
            QSKIP("a compositing manager runs on this display");
    }

    void cleanupTestCase()
    {
        if (m_compositor.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_compositor.processId()), SIGTERM);
            m_compositor.waitForFinished(3000);
        }
    }

    void noBlackAroundWindows_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("dialog") << QStringLiteral("dialog");
        QTest::newRow("open combo list") << QStringLiteral("combo list");
        QTest::newRow("tooltip label") << QStringLiteral("tooltip label");
        QTest::newRow("popup widget") << QStringLiteral("popup");
    }
    void noBlackAroundWindows()
    {
        QFETCH(QString, kind);
        Backdrop backdrop;
        backdrop.show();
        QVERIFY(QTest::qWaitForWindowExposed(&backdrop));
        const QRect probe(250, 150, 500, 400);
        QTRY_COMPARE_WITH_TIMEOUT(QColor(grabScreen(probe).pixel(10, 10)), kBackdrop, 30000);
        QVERIFY(blackPixelsAround({probe}).isEmpty());

        std::unique_ptr<QWidget> window;
        QList<QRect> frames;
        if (kind == QLatin1String("dialog") || kind == QLatin1String("combo list")) {
            std::unique_ptr<CQuorDialog> dialog = makeDialog();
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
            auto* frame = dialog->findChild<CQuorShadowFrame*>();
            QVERIFY(frame && frame->isActive());
            QVERIFY(!frame->shadowWindow());
            frames.append(dialog->frameGeometry());
            if (kind == QLatin1String("combo list")) {
                auto* combo = dialog->findChild<CQuorComboBox*>();
                combo->showPopup();
                QWidget* list = combo->view()->window();
                QVERIFY(list != dialog.get());
                QVERIFY(QTest::qWaitForWindowExposed(list));
                auto* listShadow = list->findChild<CQuorShadowFrame*>();
                QVERIFY(listShadow && listShadow->isActive());
                QVERIFY(!listShadow->shadowWindow());
                frames.append(list->frameGeometry());
            }
            window = std::move(dialog);
        } else if (kind == QLatin1String("tooltip label")) {
            auto* label = new CQuorToolTipLabel(QStringLiteral("A tooltip on a plain desktop"));
            window.reset(label);
            label->placeTip(QPoint(400, 300), nullptr);
            label->onShowTip();
            QVERIFY(QTest::qWaitForWindowExposed(label));
            frames.append(label->frameGeometry());
        } else {
            auto popup = std::make_unique<CQuorPopupWidget>(nullptr, Qt::Tool);
            auto* layout = new QVBoxLayout(popup->contentWidget());
            layout->addWidget(new QLabel(QStringLiteral("Popup content")));
            popup->setGeometry(350, 250, 220, 150);
            popup->show();
            QVERIFY(QTest::qWaitForWindowExposed(popup.get()));
            frames.append(popup->frameGeometry());
            window = std::move(popup);
        }
        QVERIFY(!anyShadowWindow());
        // The X server draws what the windows painted when it gets to it: a black shadow stays.
        QList<QPoint> black;
        QTRY_VERIFY_WITH_TIMEOUT((black = blackPixelsAround(frames)).isEmpty(), 30000);
        if (!black.isEmpty())
            qWarning() << black.size() << "black pixels, first at" << black.first();
        QVERIFY(black.isEmpty());
    }

    // The last test: it leaves a compositing manager running until it ends it.
    void realCompositorBringsTheShadow()
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("xcompmgr"));
        if (program.isEmpty())
            QSKIP("xcompmgr is not installed (scripts/install-deps.sh installs it)");
        std::unique_ptr<CQuorDialog> dialog = makeDialog();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        auto* frame = dialog->findChild<CQuorShadowFrame*>();
        QVERIFY(frame && !frame->shadowWindow());

        // The watch hears of the new owner of _NET_WM_CM_S0 through XFixes.
        m_compositor.start(program, {});
        QVERIFY(m_compositor.waitForStarted(30000));
        QTRY_VERIFY_WITH_TIMEOUT(CCompositingWatch::instance()->isActive(), 30000);
        auto* shadow = dynamic_cast<CLinuxShadowWindow*>(frame->shadowWindow());
        QVERIFY(shadow);
        QTRY_VERIFY_WITH_TIMEOUT(shadow->QWidget::isVisible(), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(shadow->frameGeometry(), dialog->frameGeometry().adjusted(-18, -10, 18, 32),
                                  30000);

        // A dialog shown while the compositor runs gets its shadow at once.
        std::unique_ptr<CQuorDialog> second = makeDialog();
        second->move(80, 80);
        second->show();
        QVERIFY(QTest::qWaitForWindowExposed(second.get()));
        auto* secondFrame = second->findChild<CQuorShadowFrame*>();
        QVERIFY(secondFrame && dynamic_cast<CLinuxShadowWindow*>(secondFrame->shadowWindow()));

        ::kill(pid_t(m_compositor.processId()), SIGTERM);
        QVERIFY(m_compositor.waitForFinished(30000));
        QTRY_VERIFY_WITH_TIMEOUT(!CCompositingWatch::instance()->isActive(), 30000);
        QVERIFY(!frame->shadowWindow());
        QVERIFY(!secondFrame->shadowWindow());
        QVERIFY(!anyShadowWindow());
    }

private:
    QProcess m_compositor;
};

QTEST_MAIN(TestNoCompositor)
#include "tst_nocompositor.moc"
