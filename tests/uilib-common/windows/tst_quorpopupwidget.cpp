#include "effects/fadeeffect.h"
#include "fakecompositor.h"
#include "style/quorcommonstyle.h"
#include "style/quorpainting.h"
#include "windows/layeredwndsurface.h"
#include "windows/quorpopupwidget.h"

#include <QApplication>
#include <QLayout>
#include <QPainter>
#include <QTest>
#include <QTimeLine>

namespace {
QImage transparentImage(const QSize& size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage rendered(QWidget* widget)
{
    QImage image = transparentImage(widget->size());
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return image;
}

QImage ninePatch(const QPixmap& pixmap, const QSize& size, const SNinePatchMargins& margins)
{
    QImage image = transparentImage(size);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    drawNinePatchPixmap(&painter, pixmap, QRect(QPoint(), size), margins);
    return image;
}
} // namespace

class TestQuorPopupWidget : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(new CQuorCommonStyle); }

    void windowsAreLayered_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("asChild");
        QTest::addColumn<bool>("layered");
        QTest::newRow("popup") << int(Qt::Popup) << false << true;
        QTest::newRow("tool") << int(Qt::Tool) << false << true;
        QTest::newRow("tool child") << int(Qt::Tool) << true << true;
        QTest::newRow("child") << 0 << true << false;
    }
    void windowsAreLayered()
    {
        QFETCH(int, flags);
        QFETCH(bool, asChild);
        QFETCH(bool, layered);
        QWidget parent;
        CQuorPopupWidget popup(asChild ? &parent : nullptr, Qt::WindowFlags(flags));
        QCOMPARE(CLayeredWndSurface::of(&popup) != nullptr, layered);
        QCOMPARE(popup.property("com_velto_qstyleRole").isValid(), layered);
        if (layered) {
            QCOMPARE(popup.property("com_velto_qstyleRole").toString(),
                     QStringLiteral("quor.commonuilibrary.popup.itemlist"));
            QVERIFY(popup.windowFlags().testFlag(Qt::FramelessWindowHint));
            QVERIFY(popup.testAttribute(Qt::WA_TranslucentBackground));
        }
    }

    void contentWidgetIsTheOnlyItem()
    {
        CQuorPopupWidget popup(nullptr, Qt::Tool);
        QVERIFY(popup.contentWidget());
        QCOMPARE(popup.contentWidget()->parentWidget(), &popup);
        QCOMPARE(popup.layout()->count(), 1);
        QCOMPARE(popup.layout()->itemAt(0)->widget(), popup.contentWidget());
        QCOMPARE(popup.layout()->contentsMargins(), QMargins());
    }

    void hideRemembersAndShowRestoresTheAlpha()
    {
        CQuorPopupWidget popup(nullptr, Qt::Tool);
        CLayeredWndSurface* surface = CLayeredWndSurface::of(&popup);
        popup.show();
        QCOMPARE(surface->alpha(), quint8(255));
        surface->setAlpha(180, true);
        popup.hide();
        QCOMPARE(surface->alpha(), quint8(0));
        popup.show();
        QCOMPARE(surface->alpha(), quint8(180));
    }

    void hidingTwiceKeepsTheAlpha()
    {
        CQuorPopupWidget popup(nullptr, Qt::Tool);
        CLayeredWndSurface* surface = CLayeredWndSurface::of(&popup);
        popup.show();
        popup.hide();
        popup.hide();
        popup.show();
        QVERIFY(popup.isVisible());
        QCOMPARE(surface->alpha(), quint8(255));
        CQuorPopupWidget never(nullptr, Qt::Tool);
        never.hide();
        never.show();
        QCOMPARE(CLayeredWndSurface::of(&never)->alpha(), quint8(255));
    }

    void afterAWindowFadeShowRestoresNothing()
    {
        CQuorPopupWidget popup(nullptr, Qt::Tool);
        CLayeredWndSurface* surface = CLayeredWndSurface::of(&popup);
        CWindowFadeEffect fade(&popup);
        fade.fade(300);
        fade.timeLine()->setCurrentTime(150);
        const quint8 faded = surface->alpha();
        QVERIFY(faded > 0);
        popup.hide();
        popup.show();
        // Nothing is restored, and the plain hide did not leave the popup invisible.
        QVERIFY(surface->isAlphaPinned());
        QCOMPARE(surface->alpha(), faded);

        // A fade that ends fully shown: later plain hides and shows keep the popup visible.
        fade.timeLine()->setCurrentTime(300);
        QCOMPARE(surface->alpha(), quint8(255));
        popup.hide();
        popup.show();
        QCOMPARE(surface->alpha(), quint8(255));
    }

    void childPopupBlendsOverItsParent()
    {
        QWidget parent;
        parent.resize(200, 150);
        parent.setAutoFillBackground(true);
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Window, Qt::white);
        parent.setPalette(palette);
        auto* popup = new CQuorPopupWidget(&parent);
        popup->setGeometry(20, 20, 120, 90);
        const QImage picture = parent.grab().toImage();
        // The frame art's transparent corner shows the parent's white, not a hole.
        const QColor corner = picture.pixelColor(20, 20);
        QCOMPARE(corner.alpha(), 255);
        QVERIFY2(corner.lightness() > 200, qPrintable(corner.name()));
    }

    void backgroundReplacesTheStylesFrame()
    {
        // With a compositor the window's picture is the art itself, alpha included.
        FakeCompositorScope compositor(true);
        CQuorPopupWidget popup(nullptr, Qt::Tool);
        popup.resize(120, 90);
        QPixmap art(30, 30);
        art.fill(Qt::transparent);
        {
            QPainter painter(&art);
            painter.fillRect(QRect(0, 0, 30, 30), QColor(20, 120, 200, 90));
            painter.fillRect(QRect(8, 8, 14, 14), QColor(250, 250, 250));
        }
        const SNinePatchMargins margins{8, 8, 8, 8};
        popup.setBackground(art, margins);
        QCOMPARE(popup.backgroundMargins(), margins);
        QCOMPARE(rendered(&popup), ninePatch(art, popup.size(), margins));

        popup.setBackground(QPixmap(), margins);
        const QPixmap frame(CQuorCommonStyle::imageRoot() +
                            QStringLiteral("Backgrounds/recipient_popup.png"));
        QVERIFY(!frame.isNull());
        QCOMPARE(rendered(&popup), ninePatch(frame, popup.size(), SNinePatchMargins{28, 28, 28, 28}));
    }
};

QTEST_MAIN(TestQuorPopupWidget)
#include "tst_quorpopupwidget.moc"
