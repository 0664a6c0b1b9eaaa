// The toolkit widgets under the common style: sizes, shapes and artwork come from its images.
#include "style/quorcommonstyle.h"
#include "style/quorstyleoptions.h"
#include "stylerolewidget.h"
#include "tempstorage.h"
#include "widgets/quoranimationwidget.h"
#include "widgets/quorbuttons.h"
#include "widgets/quorlineedit.h"
#include "widgets/quortextedit.h"
#include "widgets/quortextlabel.h"
#include "windows/quordialog.h"
#include "windows/quordialogtitlebar.h"
#include "windows/quordraggabletitlebar.h"
#include "windows/quorsystemmenu.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPalette>
#include <QToolButton>
#include <QtTest>

#include <memory>

using styletest::image;
using styletest::imageSize;

namespace {

QStyle::StandardPixmap customPixmap(int offset)
{
    return static_cast<QStyle::StandardPixmap>(QStyle::SP_CustomBase + offset);
}

QImage argb(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestWidgetsInCommonStyle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void titleBarIsAsHighAsTheMainTitleImage();
    void systemMenuIsAsLargeAsItsIcon();
    void dialogMask();
    void dialogTitleBarCloseIcons();
    void lineEditSearchIconAndFilterMargins();
    void iconOnlyGradientButtonWidth();
    void textEditFrameWidth_data();
    void textEditFrameWidth();
    void animationPlaysStyleFrames();
    void textLabelOpacityHalvesItsPaint();
    void readOnlyCheckBoxTextInActiveColours();

private:
    std::unique_ptr<TempStorageRoot> m_storage;
    CQuorCommonStyle* m_style = nullptr;
};

void TestWidgetsInCommonStyle::initTestCase()
{
    m_storage = std::make_unique<TempStorageRoot>();
    m_style = new CQuorCommonStyle;
    QApplication::setStyle(m_style);
}

void TestWidgetsInCommonStyle::cleanupTestCase()
{
    m_storage.reset();
}

void TestWidgetsInCommonStyle::titleBarIsAsHighAsTheMainTitleImage()
{
    const int height = imageSize("MainWindow/mainframeTopM.png").height();
    QVERIFY(height > 0);
    QWidget window;
    CQuorDraggableTitleBar bar(&window);
    QCOMPARE(bar.height(), height);
    CQuorDialog dialog;
    auto* dialogBar = new CQuorDialogTitleBar(&dialog);
    QCOMPARE(dialogBar->height(), height);
    QCOMPARE(imageSize("Dialog/purple_top.png").height(), height);
}

void TestWidgetsInCommonStyle::systemMenuIsAsLargeAsItsIcon()
{
    CQuorSystemMenu icon;
    QCOMPARE(icon.size(), imageSize("MainWindow/titleBarIcon.png"));
}

void TestWidgetsInCommonStyle::dialogMask()
{
    CQuorDialog dialog;
    dialog.resize(200, 100);
    dialog.show();
    QCOMPARE(dialog.size(), QSize(200, 100));
    const QRegion mask = dialog.mask();
    // Both top corners are rounded alike.
    QVERIFY(!mask.contains(QPoint(0, 0)));
    QVERIFY(mask.contains(QPoint(6, 0)));
    QVERIFY(mask.contains(QPoint(193, 0)));
    QVERIFY(!mask.contains(QPoint(194, 0)));
    QVERIFY(!mask.contains(QPoint(199, 0)));
    QVERIFY(!mask.contains(QPoint(199, 5)));
    QVERIFY(mask.contains(QPoint(198, 5)));
    for (int y = 6; y <= 93; ++y) {
        QVERIFY2(mask.contains(QPoint(0, y)), qPrintable(QString::number(y)));
        QVERIFY2(mask.contains(QPoint(199, y)), qPrintable(QString::number(y)));
    }
    dialog.resize(300, 150);
    QVERIFY(dialog.mask().contains(QPoint(299, 100)));
}

void TestWidgetsInCommonStyle::dialogTitleBarCloseIcons()
{
    CQuorDialog dialog;
    auto* bar = new CQuorDialogTitleBar(&dialog);
    QToolButton* button = bar->closeButton();
    const QPixmap light = m_style->standardPixmap(customPixmap(10), nullptr, button);
    const QPixmap dark = m_style->standardPixmap(customPixmap(3), nullptr, button);
    QVERIFY(!light.isNull());
    QVERIFY(!dark.isNull());
    QVERIFY(argb(light) != argb(dark));

    auto shown = [&] { return argb(button->defaultAction()->icon().pixmap(light.size())); };
    QCOMPARE(shown(), argb(light));
    bar->setColor(CQuorDialogTitleBar::Gray);
    QCOMPARE(shown(), argb(dark));
    bar->setColor(CQuorDialogTitleBar::Purple);
    QCOMPARE(shown(), argb(light));

    // The button is as large as the style says its image is.
    SQuorSizeHintReturn hint(customPixmap(10));
    QVERIFY(m_style->styleHint(QStyle::SH_CustomBase, nullptr, button, &hint));
    QVERIFY(hint.size.isValid());
    QCOMPARE(button->size(), hint.size);
    QCOMPARE(button->iconSize(), hint.size);
}

void TestWidgetsInCommonStyle::lineEditSearchIconAndFilterMargins()
{
    CQuorLineEdit edit;
    const QPixmap search = m_style->standardPixmap(customPixmap(17), nullptr, nullptr);
    QVERIFY(!search.isNull());
    QCOMPARE(argb(edit.filterIcon()->pixmap()), argb(search));
    edit.setFilterLook(true);
    QCOMPARE(edit.layout()->contentsMargins(), QMargins(6, 6, 6, 6));
    edit.setFilterLook(false);
    QCOMPARE(edit.layout()->contentsMargins(), QMargins(7, 4, 7, 4));
}

void TestWidgetsInCommonStyle::iconOnlyGradientButtonWidth()
{
    CQuorGradientButton button;
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::green);
    button.setIcon(QIcon(pixmap));
    button.setIconSize(QSize(16, 16));
    QCOMPARE(button.sizeHint().width(), 56);
    QStyleOptionButton option;
    option.initFrom(&button);
    QCOMPARE(button.sizeHint(),
             m_style->sizeFromContents(QStyle::CT_PushButton, &option, QSize(26, 16), &button));
}

void TestWidgetsInCommonStyle::textEditFrameWidth_data()
{
    QTest::addColumn<bool>("backgroundVisible");
    QTest::addColumn<int>("frame");
    QTest::newRow("background visible") << true << 6;
    QTest::newRow("no background") << false << 2;
}

void TestWidgetsInCommonStyle::textEditFrameWidth()
{
    QFETCH(bool, backgroundVisible);
    QFETCH(int, frame);
    CQuorTextEdit edit;
    edit.resize(200, 150);
    edit.setBackgroundVisible(backgroundVisible);
    edit.setPlainText("one line");
    edit.show();
    edit.setAutoResize(true);
    const int document = int(edit.document()->size().height());
    QCOMPARE(edit.height(), document + 2 * frame);
}

void TestWidgetsInCommonStyle::animationPlaysStyleFrames()
{
    CQuorAnimationWidget widget;
    QCOMPARE(widget.frameCount(), 8);
    QVERIFY(!widget.sizeHint().isEmpty());
    CQuorStyleOptionAnimationFrame option;
    option.initFrom(&widget);
    option.frame = 3;
    const QPixmap third = m_style->standardPixmap(customPixmap(2), &option, &widget);
    QVERIFY(!third.isNull());
    QCOMPARE(widget.sizeHint(), third.size());
    for (int i = 0; i < 3; ++i)
        QVERIFY(QMetaObject::invokeMethod(&widget, "onFrameChange"));
    QCOMPARE(widget.currentFrame(), 3);
    widget.resize(third.size());
    CQuorAnimationWidget reference(nullptr, {third});
    reference.resize(third.size());
    QCOMPARE(argb(widget.grab()), argb(reference.grab()));
    option.frame = 4;
    CQuorAnimationWidget other(nullptr, {m_style->standardPixmap(customPixmap(2), &option, &widget)});
    other.resize(third.size());
    QVERIFY(argb(widget.grab()) != argb(other.grab()));

    // Emptied, it takes the style's frames again on the next style change.
    widget.clearFrames();
    QCOMPARE(widget.frameCount(), 0);
    CQuorCommonStyle second;
    widget.setStyle(&second);
    QCOMPARE(widget.frameCount(), 8);
    // Frames of its own are kept.
    widget.setStyle(m_style);
    QCOMPARE(widget.frameCount(), 8);
}

void TestWidgetsInCommonStyle::textLabelOpacityHalvesItsPaint()
{
    CQuorTextLabel label;
    label.setText("Caption");
    label.setShadow(true);
    label.resize(label.sizeHint() + QSize(10, 6));
    label.setAutoFillBackground(true);
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window, QColor(200, 220, 240));
    label.setPalette(palette);

    const QImage blank = [&] {
        CQuorTextLabel empty;
        empty.resize(label.size());
        empty.setAutoFillBackground(true);
        empty.setPalette(palette);
        empty.setText("");
        return empty.grab().toImage();
    }();
    const QImage full = label.grab().toImage();
    label.setOpacity(0.5);
    const QImage half = label.grab().toImage();
    QCOMPARE(full.size(), half.size());

    int textPixels = 0;
    for (int y = 0; y < full.height(); ++y) {
        for (int x = 0; x < full.width(); ++x) {
            const QColor background = blank.pixelColor(x, y);
            const QColor ink = full.pixelColor(x, y);
            if (ink == background)
                continue;
            ++textPixels;
            const QColor mixed = half.pixelColor(x, y);
            QVERIFY(qAbs(mixed.red() - (ink.red() + background.red()) / 2) <= 2);
            QVERIFY(qAbs(mixed.green() - (ink.green() + background.green()) / 2) <= 2);
            QVERIFY(qAbs(mixed.blue() - (ink.blue() + background.blue()) / 2) <= 2);
        }
    }
    QVERIFY(textPixels > 20);
}

void TestWidgetsInCommonStyle::readOnlyCheckBoxTextInActiveColours()
{
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, QColor(0, 0, 200));
    palette.setColor(QPalette::Inactive, QPalette::WindowText, QColor(0, 0, 200));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(200, 0, 0));
    CQuorCheckBox readOnly;
    CQuorCheckBox disabled;
    for (CQuorCheckBox* box : {&readOnly, &disabled}) {
        box->setPalette(palette);
        box->setText("WWWW");
        box->resize(box->sizeHint());
    }
    readOnly.setReadOnly(true);
    disabled.setEnabled(false);
    auto reddish = [](const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                count += c.red() > 150 && c.green() < 120 && c.blue() < 120 ? 1 : 0;
            }
        return count;
    };
    QVERIFY(reddish(disabled.grab().toImage()) > 0);
    QCOMPARE(reddish(readOnly.grab().toImage()), 0);
}

QTEST_MAIN(TestWidgetsInCommonStyle)
#include "tst_widgetsincommonstyle.moc"
