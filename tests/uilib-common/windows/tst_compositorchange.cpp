// A compositing manager that starts and stops while windows are shown: shadows come and go,
// floating windows switch between per-pixel alpha and a mask.

#include "fakecompositor.h"
#include "fakeshadowwindow.h"
#include "linuxshadowwindow.h"
#include "style/quorcommonstyle.h"
#include "widgets/quorcombobox.h"
#include "windows/layeredwndsurface.h"
#include "windows/quorarrowtooltip.h"
#include "windows/quordialog.h"
#include "windows/quorpopupwidget.h"
#include "windows/quorshadowframe.h"
#include "windows/quortooltiplabel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>
#include <optional>

namespace {

std::unique_ptr<QWidget> makeFloatingWindow(const QString& kind)
{
    if (kind == QLatin1String("popup")) {
        auto popup = std::make_unique<CQuorPopupWidget>(nullptr, Qt::Tool);
        popup->resize(160, 120);
        popup->move(100, 100);
        return popup;
    }
    if (kind == QLatin1String("tooltip label")) {
        auto label = std::make_unique<CQuorToolTipLabel>(QStringLiteral("A tooltip"));
        label->move(100, 100);
        return label;
    }
    auto bubble = std::make_unique<CQuorArrowToolTip>();
    bubble->setText(QStringLiteral("An arrow tooltip"));
    bubble->adjustSize();
    bubble->move(100, 100);
    return bubble;
}

// Records the window's geometry at every Show event.
class EventRecorder : public QObject
{
public:
    EventRecorder(QWidget* window, QList<QRect>* shownAt) : m_shownAt(shownAt)
    {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            m_shownAt->append(static_cast<QWidget*>(watched)->geometry());
        return false;
    }

private:
    QList<QRect>* m_shownAt;
};

} // namespace

class TestCompositorChange : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QApplication::setStyle(new CQuorCommonStyle);
        QApplication::setEffectEnabled(Qt::UI_FadeTooltip, false);
    }

    void overrideAnswersAndSignals()
    {
        CCompositingWatch* watch = CCompositingWatch::instance();
        QCOMPARE(watch->isActive(), false); // the offscreen platform never composites
        QSignalSpy spy(watch, &CCompositingWatch::changed);
        {
            FakeCompositorScope outer(true);
            QVERIFY(watch->isActive());
            {
                FakeCompositorScope inner(false);
                QVERIFY(!watch->isActive());
            }
            QVERIFY(watch->isActive());
            outer.set(true); // no change, no signal
        }
        QVERIFY(!watch->isActive());
        QCOMPARE(spy.size(), 4);
        const QList<bool> answers = {spy.at(0).at(0).toBool(), spy.at(1).at(0).toBool(),
                                     spy.at(2).at(0).toBool(), spy.at(3).at(0).toBool()};
        QCOMPARE(answers, (QList<bool>{true, false, true, false}));
    }

    void platformFactoryNeedsACompositor()
    {
        QWidget owner;
        {
            FakeCompositorScope compositor(false);
            QVERIFY(!IShadowWindow::create(&owner));
            FakeShadowWindowScope fakes; // a factory a test installs runs whatever the desktop
            QVERIFY(IShadowWindow::create(&owner));
        }
        FakeCompositorScope compositor(true);
        auto window = IShadowWindow::create(&owner);
        QVERIFY(dynamic_cast<CLinuxShadowWindow*>(window.get()));
    }

    void dialogShadowFollowsTheCompositor_data()
    {
        QTest::addColumn<bool>("fakeWindows");
        QTest::newRow("platform shadow window") << false;
        QTest::newRow("test's shadow window") << true;
    }
    void dialogShadowFollowsTheCompositor()
    {
        QFETCH(bool, fakeWindows);
        std::optional<FakeShadowWindowScope> fakes;
        if (fakeWindows)
            fakes.emplace();
        FakeCompositorScope compositor(true);
        CQuorDialog dialog;
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(new QLabel(QStringLiteral("Content")));
        dialog.setGeometry(200, 150, 300, 200);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* frame = dialog.findChild<CQuorShadowFrame*>();
        QVERIFY(frame && frame->isActive());

        for (const bool active : {true, false, true, false, true}) {
            compositor.set(active);
            QCOMPARE(bool(frame->shadowWindow()), active);
            if (!active)
                continue;
            QTRY_VERIFY_WITH_TIMEOUT(frame->shadowWindow()->isVisible(), 30000);
            QTRY_COMPARE_WITH_TIMEOUT(frame->shadowWindow()->geometry(),
                                      dialog.frameGeometry().adjusted(-18, -10, 18, 32), 30000);
            // The frame keeps following its owner with the new window.
            dialog.move(dialog.pos() + QPoint(7, 5));
            QTRY_COMPARE_WITH_TIMEOUT(frame->shadowWindow()->geometry().topLeft(),
                                      dialog.frameGeometry().topLeft() - QPoint(18, 10), 30000);
        }

        // A compositor that starts while the dialog is hidden shows the shadow with it.
        compositor.set(false);
        dialog.hide();
        compositor.set(true);
        QVERIFY(frame->shadowWindow());
        QVERIFY(!frame->shadowWindow()->isVisible());
        dialog.show();
        QTRY_VERIFY_WITH_TIMEOUT(frame->shadowWindow()->isVisible(), 30000);
    }

    // Without a compositor menus and combo lists show their outermost pixels in the frame colour;
    // with one their shadow marks the edge and the pixels are the window's own.
    void edgeWithoutCompositor_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("compositing");
        QTest::addColumn<qreal>("scale");
        for (const char* kind : {"menu", "combo list"}) {
            for (qreal scale : {1.0, 2.0}) {
                const QString name = QStringLiteral("%1 @%2").arg(QLatin1String(kind)).arg(scale);
                QTest::newRow(qPrintable(name + QStringLiteral(", no compositor"))) << kind << false << scale;
                QTest::newRow(qPrintable(name + QStringLiteral(", compositor"))) << kind << true << scale;
            }
        }
    }
    void edgeWithoutCompositor()
    {
        QFETCH(QString, kind);
        QFETCH(bool, compositing);
        QFETCH(qreal, scale);
        FakeCompositorScope compositor(compositing);
        QMenu menu;
        menu.addAction(QStringLiteral("First"));
        menu.addAction(QStringLiteral("Second"));
        CQuorComboBox list;
        list.addItems({QStringLiteral("Alpha"), QStringLiteral("Beta")});
        QWidget* window = &menu;
        if (kind == QLatin1String("combo list")) {
            list.showPopup();
            window = list.view()->window();
        } else {
            menu.popup(QPoint(100, 100));
        }
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QImage image((QSizeF(window->size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        window->render(&image);
        const QColor line = qobject_cast<CQuorCommonStyle*>(QApplication::style())->color(10);
        const int w = image.width() - 1;
        const int h = image.height() - 1;
        const int mid = image.height() / 2;
        // Each edge in the middle and each corner, and on the second device pixel at scale 2.
        const QList<QPoint> outline{{w / 2, 0}, {w, mid}, {w / 2, h},           {0, mid},
                                    {0, 0},     {w, h},   {int(scale) - 1, mid}};
        for (const QPoint& p : outline) {
            if (compositing)
                QVERIFY2(QColor(image.pixel(p)) != line,
                         qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
            else
                QCOMPARE(QColor(image.pixel(p)), line);
        }
        // Only the outermost logical pixel.
        QVERIFY(QColor(image.pixel(int(scale) + 1, mid)) != line);
        // The compositor stops or starts while the window is shown: the edge follows.
        compositor.set(!compositing);
        image.fill(Qt::transparent);
        window->render(&image);
        QCOMPARE(QColor(image.pixel(0, mid)) == line, compositing);
        window->hide();
    }

    void floatingWindowMaskFollowsTheCompositor_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("popup") << QStringLiteral("popup");
        QTest::newRow("tooltip label") << QStringLiteral("tooltip label");
        QTest::newRow("arrow tooltip") << QStringLiteral("arrow tooltip");
    }
    void floatingWindowMaskFollowsTheCompositor()
    {
        QFETCH(QString, kind);
        FakeCompositorScope compositor(false);
        std::unique_ptr<QWidget> window = makeFloatingWindow(kind);
        CLayeredWndSurface* surface = CLayeredWndSurface::of(window.get());
        QVERIFY(surface);
        QVERIFY(!surface->isTranslucent());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));

        for (const bool active : {false, true, false, true, false}) {
            compositor.set(active);
            QCOMPARE(surface->isTranslucent(), active);
            QCOMPARE(window->mask().isEmpty(), active);
            if (active)
                continue;
            // The mask is the frame's outline: the corner is cut, the middle shows.
            const QRegion mask = window->mask();
            QVERIFY(!mask.contains(QPoint(0, 0)));
            QVERIFY(mask.contains(window->rect().center()));
            QVERIFY(mask.boundingRect().width() > window->width() / 2);
            // Painted over the window colour: no transparent pixel inside the mask.
            const QImage picture = window->grab().toImage();
            const QPoint centre = window->rect().center();
            QCOMPARE(qAlpha(picture.pixel(centre.x(), 2)), 255);
        }

        // Resizing re-masks for the new size.
        if (kind == QLatin1String("popup")) {
            window->resize(240, 180);
            QVERIFY(window->mask().boundingRect().width() > 200);
        }
    }

    // Without a compositor a transparent window is not invisible: the bubble is shown only where it
    // belongs, never first at its old place.
    void hiddenBubbleShowsOnlyAtItsPlace_data()
    {
        QTest::addColumn<bool>("active");
        QTest::newRow("no compositor") << false;
        QTest::newRow("compositor") << true;
    }
    void hiddenBubbleShowsOnlyAtItsPlace()
    {
        QFETCH(bool, active);
        FakeCompositorScope compositor(active);
        CQuorArrowToolTip bubble;
        bubble.setText(QStringLiteral("A bubble"));
        bubble.move(10, 10);
        QList<QRect> shownAt;
        EventRecorder recorder(&bubble, &shownAt);
        bubble.showAt(QPoint(300, 200));
        QTRY_VERIFY_WITH_TIMEOUT(bubble.isVisible(), 30000);
        QVERIFY(!shownAt.isEmpty());
        if (!active) {
            QCOMPARE(shownAt.size(), 1);
            QCOMPARE(shownAt.first(), bubble.geometry());
        }
    }

    void arrowSideChangeReMasks()
    {
        FakeCompositorScope compositor(false);
        QApplication::setLayoutDirection(Qt::RightToLeft);
        CQuorArrowToolTip bubble;
        bubble.setText(QStringLiteral("A bubble near the left edge"));
        bubble.setAlignment(Qt::AlignLeft | Qt::AlignTop); // right to left: the arrow at the right
        const QRect area = bubble.screen()->availableGeometry();
        bubble.showAt(QPoint(area.right() - 40, area.center().y()));
        QTRY_VERIFY_WITH_TIMEOUT(bubble.isVisible(), 30000);
        QVERIFY(bubble.alignment() & Qt::AlignRight);
        const QRegion right = bubble.mask();
        bubble.showAt(QPoint(area.left() + 40, area.center().y()));
        QVERIFY(bubble.alignment() & Qt::AlignLeft);
        QVERIFY(!bubble.mask().isEmpty());
        QVERIFY(bubble.mask() != right);
        QApplication::setLayoutDirection(Qt::LeftToRight);
    }
};

QTEST_MAIN(TestCompositorChange)
#include "tst_compositorchange.moc"
