// The product's dialog title bar and message box.

#include "meskdialogtitlebar.h"
#include "meskmessagebox.h"
#include "meskuistyle.h"
#include "widgets/quorbuttons.h"
#include "windows/quordialogtitlebar.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMetaEnum>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

namespace {

QImage iconImage(const QIcon& icon)
{
    return icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage closeImage(QWidget* widget, CMeskDialogTitleBar::Color color)
{
    const auto id = CQuorDialogTitleBar::closePixmapFor(CQuorDialogTitleBar::Color(color));
    return iconImage(widget->style()->standardIcon(id, nullptr, widget));
}

// Runs the action on the modal dialog once its run has begun.
void onModal(std::function<void(QWidget*)> action)
{
    QTimer::singleShot(0, [action] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        action(modal);
    });
}

QRect opaqueBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

QRect differingBox(const QImage& a, const QImage& b)
{
    QRect box;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

} // namespace

class TestMeskMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void colourSetsRoleAndIcon();
    void menuClosesWithoutAccepting();
    void closeIconIsCentred_data();
    void closeIconIsCentred();
    void staticAnswers_data();
    void staticAnswers();
    void colourByType_data();
    void colourByType();
};

void TestMeskMessageBox::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
}

void TestMeskMessageBox::colourSetsRoleAndIcon()
{
    QWidget window;
    CMeskDialogTitleBar bar(&window, QStringLiteral("Title"), false);
    QCOMPARE(bar.color(), CMeskDialogTitleBar::Purple);
    QCOMPARE(bar.title(), QStringLiteral("Title"));
    QCOMPARE(iconImage(bar.closeButton()->defaultAction()->icon()),
             closeImage(&bar, CMeskDialogTitleBar::Purple));
    QVERIFY(closeImage(&bar, CMeskDialogTitleBar::Purple) != closeImage(&bar, CMeskDialogTitleBar::Gray));
    bar.setColor(CMeskDialogTitleBar::Gray);
    QCOMPARE(bar.property("com_velto_qstyleRole").toString(),
             QStringLiteral("quor.commonuilibrary.window.dialog.titleBar.Gray"));
    QCOMPARE(iconImage(bar.closeButton()->defaultAction()->icon()),
             closeImage(&bar, CMeskDialogTitleBar::Gray));
    QCOMPARE(bar.height(), bar.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &bar));
    QCOMPARE(bar.closeButton()->focusPolicy(), Qt::NoFocus);
}

void TestMeskMessageBox::menuClosesWithoutAccepting()
{
    for (const bool fromMenu : {true, false}) {
        QDialog dialog;
        auto* bar = new CMeskDialogTitleBar(&dialog, QStringLiteral("Title"), false);
        bar->resize(300, bar->height());
        onModal([bar, fromMenu](QWidget*) {
            if (!fromMenu) {
                bar->closeButton()->click();
                return;
            }
            const QPoint local(100, 5);
            QMouseEvent press(QEvent::MouseButtonPress, local, bar->mapToGlobal(local), Qt::RightButton,
                              Qt::RightButton, Qt::NoModifier);
            QApplication::sendEvent(bar, &press);
            QTimer::singleShot(0, [bar] {
                QVERIFY(bar->menu()->isVisible());
                const QList<QAction*> actions = bar->menu()->actions();
                QCOMPARE(actions.size(), 1);
                QCOMPARE(actions.first()->text(), QStringLiteral("Close"));
                actions.first()->trigger();
            });
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    }
}

void TestMeskMessageBox::closeIconIsCentred_data()
{
    QTest::addColumn<int>("color");
    for (int color = 0; color < 4; ++color)
        QTest::newRow(QMetaEnum::fromType<CMeskDialogTitleBar::Color>().valueToKey(color)) << color;
}

void TestMeskMessageBox::closeIconIsCentred()
{
    QFETCH(int, color);
    const auto barColor = CMeskDialogTitleBar::Color(color);
    QWidget window;
    CMeskDialogTitleBar bar(&window, QStringLiteral("Title"), false);
    bar.setColor(barColor);
    bar.resize(300, bar.height());
    bar.layout()->activate();
    const QImage withIcon = bar.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QRect button = bar.closeButton()->geometry();
    bar.closeButton()->hide();
    const QImage without = bar.grab().toImage().convertToFormat(QImage::Format_ARGB32);

    const auto id = CQuorDialogTitleBar::closePixmapFor(CQuorDialogTitleBar::Color(color));
    const QImage pixmap =
        bar.style()->standardPixmap(id, nullptr, &bar).toImage().convertToFormat(QImage::Format_ARGB32);
    const QPoint origin = button.topLeft() + QPoint((button.width() - pixmap.width()) / 2,
                                                    (button.height() - pixmap.height()) / 2);
    const QRect expected = opaqueBox(pixmap).translated(origin);
    const QRect actual = differingBox(withIcon, without);
    QVERIFY2(qAbs(actual.left() - expected.left()) <= 1 && qAbs(actual.top() - expected.top()) <= 1 &&
                 qAbs(actual.right() - expected.right()) <= 1 &&
                 qAbs(actual.bottom() - expected.bottom()) <= 1,
             qPrintable(QStringLiteral("icon drawn at (%1,%2 %3x%4), expected (%5,%6 %7x%8)")
                            .arg(actual.x())
                            .arg(actual.y())
                            .arg(actual.width())
                            .arg(actual.height())
                            .arg(expected.x())
                            .arg(expected.y())
                            .arg(expected.width())
                            .arg(expected.height())));
}

void TestMeskMessageBox::staticAnswers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("result");
    QTest::newRow("Ok") << QStringLiteral("Ok") << true;
    QTest::newRow("Cancel") << QStringLiteral("Cancel") << false;
    QTest::newRow("title bar Close") << QStringLiteral("Close") << false;
}

void TestMeskMessageBox::staticAnswers()
{
    QFETCH(QString, answer);
    QFETCH(bool, result);
    QString shownText;
    onModal([&](QWidget* modal) {
        auto* box = qobject_cast<CMeskMessageBox*>(modal);
        QVERIFY(box);
        shownText = box->textLabel()->text();
        QCOMPARE(box->messageTitleBar()->title(), QStringLiteral("Warning"));
        QCOMPARE(box->messageTitleBar()->color(), CMeskDialogTitleBar::Yellow);
        QVERIFY(box->bottomFrame());
        QVERIFY(box->contentFrame());
        QCOMPARE(box->bottomFrame()->height(),
                 box->style()->pixelMetric(QStyle::PixelMetric(QStyle::PM_CustomBase + 3)));
        if (answer == QLatin1String("Close")) {
            box->messageTitleBar()->closeButton()->click();
            return;
        }
        for (auto* button : box->findChildren<CQuorGradientButton*>()) {
            if (button->text() == answer)
                button->click();
        }
    });
    QCOMPARE(CMeskMessageBox::warning(QStringLiteral("Remove the account?")), result);
    QCOMPARE(shownText, QStringLiteral("Remove the account?"));
}

void TestMeskMessageBox::colourByType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("color");
    QTest::newRow("error") << 0 << int(CMeskDialogTitleBar::Purple);
    QTest::newRow("warning") << 1 << int(CMeskDialogTitleBar::Yellow);
    QTest::newRow("information") << 2 << int(CMeskDialogTitleBar::Yellow);
    QTest::newRow("type 7") << 7 << int(CMeskDialogTitleBar::Purple);
}

void TestMeskMessageBox::colourByType()
{
    QFETCH(int, type);
    QFETCH(int, color);
    CMeskMessageBox box(type, QStringLiteral("Text"), QStringLiteral("Title"));
    QCOMPARE(int(box.messageTitleBar()->color()), color);
    QCOMPARE(iconImage(box.messageTitleBar()->closeButton()->defaultAction()->icon()),
             closeImage(&box, CMeskDialogTitleBar::Color(color)));
}

QTEST_MAIN(TestMeskMessageBox)
#include "tst_meskmessagebox.moc"
