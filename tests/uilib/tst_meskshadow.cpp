// The post dialogs' shadows on fake shadow windows: geometry, image, region, following the
// dialog, lifetime, and the compositor coming and going.

#include "fakecompositor.h"
#include "fakeshadowwindow.h"
#include "meskshadow.h"
#include "meskuistyle.h"
#include "style/quorpainting.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QtTest>

#include <memory>

namespace {

// The product style without a shadow image.
class NoShadowStyle : public CMeskUiStyle
{
public:
    QPixmap standardPixmap(StandardPixmap id, const QStyleOption* option,
                           const QWidget* widget) const override
    {
        if (id == QStyle::SP_CustomBase)
            return {};
        return CMeskUiStyle::standardPixmap(id, option, widget);
    }
};

std::unique_ptr<QWidget> makeTarget(bool visible = true)
{
    auto target = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
    target->setGeometry(100, 100, 360, 250);
    if (visible)
        target->show();
    return target;
}

QList<FakeShadowWindow*> fakes()
{
    return FakeShadowWindow::instances();
}

QImage expectedImage(const QWidget* target, const QSize& size)
{
    const QPixmap shadow = QApplication::style()->standardPixmap(QStyle::SP_CustomBase, nullptr, target);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawNinePatchPixmap(&painter, shadow, QRect(QPoint(0, 0), size), 24, 20, 24, 28);
    return image;
}

} // namespace

class TestMeskShadow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(new CMeskUiStyle); }
    void cleanup() { QCOMPARE(fakes().size(), 0); }

    void followsTarget_data()
    {
        QTest::addColumn<bool>("visible");
        QTest::newRow("visible target") << true;
        QTest::newRow("hidden target") << false;
    }
    void followsTarget()
    {
        QFETCH(bool, visible);
        FakeShadowWindowScope scope;
        std::unique_ptr<QWidget> target = makeTarget(visible);
        CMeskComplexShadow shadow(target.get());
        shadow.addShadow(QRect(0, 0, 120, 30));
        QCOMPARE(fakes().size(), 1);
        FakeShadowWindow* fake = fakes().first();
        QCOMPARE(fake->rect, QRect(86, 90, 148, 58));
        // A shadow made for a visible window shows at once; a hidden window's waits for Show.
        QCOMPARE(fake->visible, visible);
        if (!visible) {
            target->show();
            QVERIFY(fake->visible);
        }
        QCOMPARE(fake->alpha, 255);
        QCOMPARE(fake->image, expectedImage(target.get(), QSize(148, 58)));
        QVERIFY(fake->region.isEmpty());

        target->move(150, 120);
        QCOMPARE(fake->rect, QRect(136, 110, 148, 58));
        target->hide();
        QVERIFY(!fake->visible);
        const int restacks = fake->restackCount;
        target->show();
        QVERIFY(fake->visible);
        QVERIFY(fake->restackCount > restacks);
    }

    void lifetime_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("clear") << QStringLiteral("clear");
        QTest::newRow("target deleted") << QStringLiteral("target");
        QTest::newRow("complex shadow deleted") << QStringLiteral("shadow");
    }
    void lifetime()
    {
        QFETCH(QString, ending);
        FakeShadowWindowScope scope;
        std::unique_ptr<QWidget> target = makeTarget();
        QPointer<CMeskComplexShadow> shadow = new CMeskComplexShadow(target.get());
        shadow->addShadow(QRect(0, 0, 120, 30));
        shadow->addShadow(QRect(0, 30, 360, 220));
        QCOMPARE(fakes().size(), 2);
        if (ending == QLatin1String("clear"))
            shadow->clear();
        else if (ending == QLatin1String("target"))
            target.reset();
        else
            delete shadow;
        QCOMPARE(fakes().size(), 0);
        if (target) {
            target->move(10, 10);
            target->hide();
            target->show();
        } else {
            QVERIFY(!shadow);
        }
        QCOMPARE(fakes().size(), 0);
    }

    void postDialogShadow()
    {
        FakeShadowWindowScope scope;
        std::unique_ptr<QWidget> target = makeTarget();
        target->setProperty("com_velto_mesk_qstyleRole", QStringLiteral("mesk.uilibrary.postupdatewidget"));
        target->setProperty("tabWidth", 120);
        target->setProperty("tabHeight", 30);
        CMeskComplexShadow shadow(target.get());
        shadow.addShadow(QRect(0, 30, 360, 220));
        QCOMPARE(fakes().size(), 1);
        const FakeShadowWindow* fake = fakes().first();
        QCOMPARE(fake->rect, QRect(86, 120, 388, 248));
        // The dialog's own shape is cut out of the shadow.
        QVERIFY(fake->region.contains(QPoint(5, 5)));
        QVERIFY(!fake->region.contains(QPoint(24, 30)));
        // The shadow shows below the body (the common window shadow lies under it there).
        const QImage image = fake->image;
        const int belowBody = qAlpha(image.pixel(image.width() / 2, 10 + 220 + 2));
        QVERIFY2(belowBody >= 40, qPrintable(QString::number(belowBody)));
    }

    void nothingToShow_data()
    {
        QTest::addColumn<QString>("lack");
        QTest::newRow("no style image") << QStringLiteral("image");
        QTest::newRow("no shadow window") << QStringLiteral("window");
    }
    void nothingToShow()
    {
        QFETCH(QString, lack);
        FakeShadowWindowScope scope;
        IShadowWindow::Factory previous;
        if (lack == QLatin1String("image"))
            QApplication::setStyle(new NoShadowStyle);
        else
            previous = IShadowWindow::setFactory([](QWidget*) { return std::unique_ptr<IShadowWindow>(); });
        std::unique_ptr<QWidget> target = makeTarget(false);
        {
            CMeskComplexShadow shadow(target.get());
            shadow.addShadow(QRect(0, 0, 120, 30));
            QCOMPARE(shadow.shadows().size(), 1);
            QVERIFY(!shadow.shadows().first()->shadowWindow());
            target->show();
            target->move(20, 20);
            target->hide();
            shadow.shadows().first()->follow();
        }
        if (lack == QLatin1String("image"))
            QApplication::setStyle(new CMeskUiStyle);
        else
            IShadowWindow::setFactory(std::move(previous));
        QCOMPARE(fakes().size(), 0);
    }

    void followsCompositor()
    {
        FakeShadowWindowScope scope;
        FakeCompositorScope compositor(true);
        std::unique_ptr<QWidget> target = makeTarget();
        CMeskComplexShadow shadow(target.get());
        shadow.addShadow(QRect(0, 0, 120, 30));
        shadow.addShadow(QRect(0, 30, 360, 220));
        QCOMPARE(fakes().size(), 2);
        compositor.set(false);
        QCOMPARE(fakes().size(), 0);
        compositor.set(true);
        QCOMPARE(fakes().size(), 2);
        for (CMeskShadowWindow* window : shadow.shadows()) {
            auto* fake = static_cast<FakeShadowWindow*>(window->shadowWindow());
            QVERIFY(fake && fake->visible);
            QCOMPARE(fake->rect, window->rect().translated(100, 100).adjusted(-14, -10, 14, 18));
            QVERIFY(!fake->image.isNull());
        }
    }
};

QTEST_MAIN(TestMeskShadow)
#include "tst_meskshadow.moc"
