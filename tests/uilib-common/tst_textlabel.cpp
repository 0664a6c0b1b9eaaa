#include "quortextlabel.h"

#include <QtTest>

namespace {

class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
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
    QTRY_VERIFY(counter.paints > 0);
}

QTEST_MAIN(TestTextLabel)
#include "tst_textlabel.moc"
