#include "paintcounter.h"
#include "widgets/quorbuttons.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionButton>
#include <QtTest>

namespace {

QIcon testIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::darkGreen);
    return QIcon(pixmap);
}

int countColour(const QImage& image, const QColor& colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == colour ? 1 : 0;
    return count;
}

} // namespace

class TestButtons : public QObject
{
    Q_OBJECT

private slots:
    void gradientRoles_data();
    void gradientRoles();
    void setButtonTypeRepaints();
    void sizeHintWithIconOnly();
    void sizeHintWithText();
    void keysClick_data();
    void keysClick();
    void toolButton();
    void readOnlyCheckBox();
    void readOnlyCheckBoxPaintsActiveColours();
    void menuHovers();
};

void TestButtons::gradientRoles_data()
{
    QTest::addColumn<CQuorGradientButton::ButtonType>("type");
    QTest::addColumn<QString>("role");
    QTest::newRow("positive") << CQuorGradientButton::Positive
                              << "quor.commonuilibrary.button.gradient.Positive";
    QTest::newRow("negative") << CQuorGradientButton::Negative
                              << "quor.commonuilibrary.button.gradient.Negative";
    QTest::newRow("tool") << CQuorGradientButton::Tool << "quor.commonuilibrary.button.gradient.Tool";
}

void TestButtons::gradientRoles()
{
    QFETCH(CQuorGradientButton::ButtonType, type);
    QFETCH(QString, role);
    CQuorGradientButton button(nullptr, type);
    QCOMPARE(button.buttonType(), type);
    QCOMPARE(button.property("com_velto_qstyleRole").toString(), role);
    QCOMPARE(button.property("com_velto_fontRole").toString(),
             QString("widgetlibrary.button.gradient.label"));

    CQuorGradientButton other;
    QCOMPARE(other.buttonType(), CQuorGradientButton::Positive);
    QVERIFY(other.setProperty("buttonType", QVariant::fromValue(type)));
    QCOMPARE(other.qstyleRole(), role);
}

void TestButtons::setButtonTypeRepaints()
{
    CQuorGradientButton button(nullptr, CQuorGradientButton::Positive);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QCoreApplication::processEvents();
    PaintCounter counter;
    button.installEventFilter(&counter);
    button.setButtonType(CQuorGradientButton::Negative);
    QTRY_VERIFY_WITH_TIMEOUT(counter.paints > 0, 30000);
    QCOMPARE(button.qstyleRole(), QString("quor.commonuilibrary.button.gradient.Negative"));
}

void TestButtons::sizeHintWithIconOnly()
{
    CQuorGradientButton button;
    button.setIcon(testIcon(16));
    button.setIconSize(QSize(16, 16));
    QStyleOptionButton option;
    option.initFrom(&button);
    option.icon = button.icon();
    option.iconSize = button.iconSize();
    const QSize expected =
        button.style()->sizeFromContents(QStyle::CT_PushButton, &option, QSize(26, 16), &button);
    QCOMPARE(button.sizeHint(), expected);
    QCOMPARE(button.minimumSizeHint(), expected);
    // Not the size of "XXXX".
    const QSize xxxx = button.fontMetrics().size(Qt::TextShowMnemonic, "XXXX");
    QVERIFY(xxxx.width() != 26);
}

void TestButtons::sizeHintWithText()
{
    CQuorGradientButton empty;
    QStyleOptionButton option;
    option.initFrom(&empty);
    const QSize xxxx = empty.fontMetrics().size(Qt::TextShowMnemonic, "XXXX");
    QCOMPARE(empty.sizeHint(), empty.style()->sizeFromContents(QStyle::CT_PushButton, &option, xxxx, &empty));

    CQuorGradientButton labelled;
    labelled.setText("&Save changes");
    labelled.setIcon(testIcon(16));
    labelled.setIconSize(QSize(16, 16));
    const QSize text = labelled.fontMetrics().size(Qt::TextShowMnemonic, "&Save changes");
    option.initFrom(&labelled);
    const QSize contents(26 + text.width(), qMax(16, text.height()));
    QCOMPARE(labelled.sizeHint(),
             labelled.style()->sizeFromContents(QStyle::CT_PushButton, &option, contents, &labelled));
}

void TestButtons::keysClick_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("clicks");
    QTest::newRow("return") << int(Qt::Key_Return) << 1;
    QTest::newRow("enter") << int(Qt::Key_Enter) << 1;
    QTest::newRow("space") << int(Qt::Key_Space) << 1; // the base class clicks on release
    QTest::newRow("letter") << int(Qt::Key_A) << 0;
}

void TestButtons::keysClick()
{
    QFETCH(int, key);
    QFETCH(int, clicks);
    CQuorGradientButton gradient;
    CQuorToolButton tool;
    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(&gradient), static_cast<QAbstractButton*>(&tool)}) {
        QSignalSpy spy(button, &QAbstractButton::clicked);
        button->setFocusPolicy(Qt::StrongFocus);
        button->show();
        QVERIFY(QTest::qWaitForWindowActive(button));
        button->setFocus();
        QTest::keyClick(button, Qt::Key(key));
        QCOMPARE(spy.size(), clicks);
        button->hide();
    }
}

void TestButtons::toolButton()
{
    CQuorToolButton button;
    QCOMPARE(button.property("com_velto_qstyleRole").toString(),
             QString("quor.commonuilibrary.button.gradient.Tool"));
    QCOMPARE(button.property("com_velto_fontRole").toString(),
             QString("widgetlibrary.button.gradient.label"));
}

void TestButtons::readOnlyCheckBox()
{
    CQuorCheckBox box;
    box.setText("Remember");
    QCOMPARE(box.property("com_velto_qstyleRole").toString(), QString("quor.commonuilibrary.checkbox"));
    QVERIFY(!box.readOnly());
    box.show();
    box.setReadOnly(true);
    QVERIFY(box.readOnly());
    QVERIFY(!box.isEnabled());
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, box.height() / 2));
    QVERIFY(!box.isChecked());

    box.setReadOnly(false);
    QVERIFY(box.isEnabled());
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, box.height() / 2));
    QVERIFY(box.isChecked());

    // Enabling a read-only box from outside ends the read-only mode.
    box.setReadOnly(true);
    box.setEnabled(true);
    QVERIFY(!box.readOnly());
    QVERIFY(box.isEnabled());
    // Disabling a box that is not read-only does not make it read-only.
    box.setEnabled(false);
    QVERIFY(!box.readOnly());
    QCOMPARE(box.property("readOnly").toBool(), false);
}

void TestButtons::readOnlyCheckBoxPaintsActiveColours()
{
    QPalette palette;
    palette.setColor(QPalette::Active, QPalette::WindowText, QColor(0, 0, 255));
    palette.setColor(QPalette::Inactive, QPalette::WindowText, QColor(0, 0, 255));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(255, 0, 0));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(255, 0, 0));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(255, 0, 0));
    palette.setColor(QPalette::Disabled, QPalette::Light, QColor(255, 0, 0));

    CQuorCheckBox readOnly;
    CQuorCheckBox disabled;
    for (CQuorCheckBox* box : {&readOnly, &disabled}) {
        box->setPalette(palette);
        box->setText("WWWW");
        box->resize(box->sizeHint());
    }
    readOnly.setReadOnly(true);
    disabled.setEnabled(false);
    const QImage readOnlyImage = readOnly.grab().toImage();
    const QImage disabledImage = disabled.grab().toImage();
    QVERIFY(countColour(disabledImage, QColor(255, 0, 0)) > 0);
    QCOMPARE(countColour(readOnlyImage, QColor(255, 0, 0)), 0);
    QVERIFY(countColour(readOnlyImage, QColor(0, 0, 255)) > 0);
}

void TestButtons::menuHovers()
{
    CQuorMenu menu;
    QVERIFY(menu.testAttribute(Qt::WA_Hover));
}

QTEST_MAIN(TestButtons)
#include "tst_buttons.moc"
