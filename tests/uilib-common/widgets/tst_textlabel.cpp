#include "paintcounter.h"
#include "style/quorstyleoptions.h"
#include "widgets/quortextlabel.h"

#include <QPainter>
#include <QProxyStyle>

#include <QtTest>

namespace {

// Draws a label as a solid black block where its text would go, and keeps the last option.
class LabelStyle : public QProxyStyle
{
public:
    LabelStyle() : QProxyStyle(QStringLiteral("Windows")) {}
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_CustomBase) {
            if (const auto* label = qstyleoption_cast<const CQuorTextLabelOption*>(option)) {
                last = *label;
                ++draws;
                painter->fillRect(QRect(2, 2, 10, 10), Qt::black);
                return;
            }
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    mutable CQuorTextLabelOption last;
    mutable int draws = 0;
};

} // namespace

class TestTextLabel : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void everySetTextReports();
    void sizeHints_data();
    void sizeHints();
    void heightForWidthWraps();
    void opacityAloneDoesNotRepaint();
    void paintsThroughTheStyle();
    void opacityPaintsHalfway();
};

void TestTextLabel::defaults()
{
    CQuorTextLabel label;
    QCOMPARE(label.alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(label.opacity(), 1.0);
    QVERIFY(!label.fade());
    QVERIFY(!label.shadow());
    QCOMPARE(label.property("com_velto_qstyleRole").toString(),
             QString("quor.commonuilibrary.custom.shadowlabel"));
    QCOMPARE(label.minimumWidth(), label.fontMetrics().size(Qt::TextShowMnemonic, "XX").width());
    QCOMPARE(label.metaObject()->userProperty().name(), "text");
}

void TestTextLabel::everySetTextReports()
{
    CQuorTextLabel label;
    QSignalSpy spy(&label, &CQuorTextLabel::textIsEmpty);
    label.setText("");
    label.setText("");
    label.setText("Lumesk");
    label.setText("Lumesk");
    QCOMPARE(spy.size(), 4);
    QCOMPARE(spy.at(0).first().toBool(), true);
    QCOMPARE(spy.at(1).first().toBool(), true);
    QCOMPARE(spy.at(2).first().toBool(), false);
    QCOMPARE(spy.at(3).first().toBool(), false);
    QCOMPARE(label.text(), QString("Lumesk"));
}

void TestTextLabel::sizeHints_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fade");
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("empty, fading") << QString() << true;
    QTest::newRow("text") << QString("A caption of some length") << false;
    QTest::newRow("text, fading") << QString("A caption of some length") << true;
}

void TestTextLabel::sizeHints()
{
    QFETCH(QString, text);
    QFETCH(bool, fade);
    CQuorTextLabel label;
    label.setText(text);
    label.setFade(fade);
    const QSize expected = label.fontMetrics().boundingRect(text.isEmpty() ? QString("XXXX") : text).size();
    QCOMPARE(label.sizeHint(), expected);
    QVERIFY(!label.sizeHint().isEmpty());
    const int xx = label.fontMetrics().size(Qt::TextShowMnemonic, "XX").width();
    QCOMPARE(label.minimumSizeHint(), QSize(fade ? xx : expected.width(), expected.height()));
}

void TestTextLabel::heightForWidthWraps()
{
    CQuorTextLabel label;
    label.setText("several words that wrap onto more than one line when narrow");
    const QFontMetrics metrics = label.fontMetrics();
    for (int width : {60, 120, 2000}) {
        const int expected =
            metrics.boundingRect(QRect(0, 0, width, 0), Qt::AlignLeft | Qt::TextWordWrap, label.text())
                .height();
        QCOMPARE(label.heightForWidth(width), expected);
    }
    QVERIFY(label.heightForWidth(60) > label.heightForWidth(2000));
    QCOMPARE(label.heightForWidth(2000), metrics.height());
}

void TestTextLabel::opacityAloneDoesNotRepaint()
{
    CQuorTextLabel label;
    label.setText("Text");
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QCoreApplication::processEvents();
    PaintCounter counter;
    label.installEventFilter(&counter);
    label.setOpacity(0.5);
    QCOMPARE(label.opacity(), 0.5);
    QTest::qWait(50);
    QCOMPARE(counter.paints, 0);
    label.setShadow(true);
    QTRY_VERIFY_WITH_TIMEOUT(counter.paints > 0, 30000);
}

void TestTextLabel::paintsThroughTheStyle()
{
    LabelStyle style;
    CQuorTextLabel label;
    label.setStyle(&style);
    label.setText("Caption");
    label.setFade(true);
    label.setShadow(true);
    label.setAlignment(Qt::AlignRight | Qt::AlignBottom);
    label.resize(80, 20);
    label.grab();
    QCOMPARE(style.draws, 1);
    QCOMPARE(style.last.text, QString("Caption"));
    QVERIFY(style.last.fade);
    QVERIFY(style.last.shadow);
    QCOMPARE(style.last.alignment, Qt::AlignRight | Qt::AlignBottom);
    QCOMPARE(style.last.rect, QRect(0, 0, 80, 20));
    QCOMPARE(style.last.type, int(CQuorTextLabelOption::Type));
}

void TestTextLabel::opacityPaintsHalfway()
{
    LabelStyle style;
    CQuorTextLabel label;
    label.setStyle(&style);
    label.setText("Caption");
    label.resize(40, 20);
    const QImage background = label.grab().toImage();
    const QColor backdrop = background.pixelColor(30, 15);
    QCOMPARE(background.pixelColor(5, 5), QColor(Qt::black));

    label.setOpacity(0.5);
    const QColor half = label.grab().toImage().pixelColor(5, 5);
    QVERIFY(qAbs(half.red() - backdrop.red() / 2) <= 1);
    QVERIFY(qAbs(half.green() - backdrop.green() / 2) <= 1);
    QVERIFY(qAbs(half.blue() - backdrop.blue() / 2) <= 1);
    QCOMPARE(label.grab().toImage().pixelColor(30, 15), backdrop);
}

QTEST_MAIN(TestTextLabel)
#include "tst_textlabel.moc"
