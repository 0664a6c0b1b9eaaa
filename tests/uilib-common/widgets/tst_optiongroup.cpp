#include "widgets/quoroptiongroup.h"

#include <QApplication>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

namespace {

QStringList roles(const CQuorOptionGroup& group)
{
    QStringList result;
    for (int index = 0; index < group.optionCount(); ++index)
        result << group.button(index)->property("com_velto_qstyleRole").toString().section('.', -1);
    return result;
}

} // namespace

class TestOptionGroup : public QObject
{
    Q_OBJECT

private slots:
    void threeSegments();
    void tooFewSegments_data();
    void tooFewSegments();
    void grow();
    void shrink();
    void shrinkAwayTheCheckedSegment();
    void tabFocusesCheckedSegment();
    void styleReachesEveryButton();
};

void TestOptionGroup::threeSegments()
{
    CQuorOptionGroup group(nullptr, 3);
    QCOMPARE(group.optionCount(), 3);
    QCOMPARE(roles(group), QStringList({"first", "middle", "last"}));
    QCOMPARE(group.button(0)->property("com_velto_qstyleRole").toString(),
             QString("quor.commonuilibrary.button.optiongroup.first"));
    QCOMPARE(group.property("com_velto_qstyleRole").toString(), QString("quor.commonuilibrary.optiongroup"));
    QVERIFY(group.button(0)->isChecked());
    QCOMPARE(group.selected(), 0);
    QVERIFY(!group.button(3));
    QVERIFY(!group.button(-1));
    QCOMPARE(group.focusPolicy(), Qt::StrongFocus);
    QCOMPARE(group.layout()->spacing(), 0);
    QCOMPARE(group.layout()->sizeConstraint(), QLayout::SetFixedSize);

    QSignalSpy spy(&group, qOverload<int>(&CQuorOptionGroup::selected));
    group.setSelected(1);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.first().first().toInt(), 1);
    QCOMPARE(group.selected(), 1);
    QVERIFY(!group.button(0)->isChecked());

    // A click by the user reports its segment too.
    group.button(2)->click();
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.last().first().toInt(), 2);
    group.setSelected(7);
    QCOMPARE(spy.size(), 2);
    QCOMPARE(group.selected(), 2);
}

void TestOptionGroup::tooFewSegments_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("none") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("negative") << -3;
}

void TestOptionGroup::tooFewSegments()
{
    QFETCH(int, count);
    CQuorOptionGroup group(nullptr, count);
    QCOMPARE(group.optionCount(), 0);
    QVERIFY(!group.button(0));
    QCOMPARE(group.selected(), -1);
    QSignalSpy spy(&group, qOverload<int>(&CQuorOptionGroup::selected));
    group.setSelected(0);
    QCOMPARE(spy.size(), 0);
    QCOMPARE(group.selected(), -1);
}

void TestOptionGroup::grow()
{
    CQuorOptionGroup group(nullptr, 2);
    QCOMPARE(roles(group), QStringList({"first", "last"}));
    group.setOptionCount(4);
    QCOMPARE(group.optionCount(), 4);
    QCOMPARE(roles(group), QStringList({"first", "middle", "middle", "last"}));
    QVERIFY(!group.button(2)->isChecked());
    QVERIFY(!group.button(3)->isChecked());
    QVERIFY(group.button(3)->isCheckable());
    QVERIFY(group.button(3)->autoExclusive());
    QCOMPARE(group.selected(), 0);

    // New segments report their own index.
    QSignalSpy spy(&group, qOverload<int>(&CQuorOptionGroup::selected));
    group.setSelected(3);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.first().first().toInt(), 3);
    QVERIFY(!group.button(0)->isChecked());
}

void TestOptionGroup::shrink()
{
    CQuorOptionGroup group(nullptr, 4);
    QPointer<QPushButton> third = group.button(2);
    QPointer<QPushButton> fourth = group.button(3);
    group.setOptionCount(2);
    QCOMPARE(group.optionCount(), 2);
    QVERIFY(third.isNull());
    QVERIFY(fourth.isNull());
    QCOMPARE(roles(group), QStringList({"first", "last"}));
    QCOMPARE(group.selected(), 0);
    // Below two nothing changes.
    group.setOptionCount(1);
    QCOMPARE(group.optionCount(), 2);
}

void TestOptionGroup::shrinkAwayTheCheckedSegment()
{
    CQuorOptionGroup group(nullptr, 3);
    group.setSelected(2);
    QSignalSpy spy(&group, qOverload<int>(&CQuorOptionGroup::selected));
    group.setOptionCount(2);
    QCOMPARE(group.selected(), -1);
    QCOMPARE(spy.size(), 0);
    QCOMPARE(roles(group), QStringList({"first", "last"}));
}

void TestOptionGroup::tabFocusesCheckedSegment()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit;
    layout->addWidget(edit);
    auto* group = new CQuorOptionGroup(nullptr, 3);
    layout->addWidget(group);
    group->setSelected(1);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QCOMPARE(QApplication::focusWidget(), edit);
    QTest::keyClick(edit, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), group->button(1));
}

void TestOptionGroup::styleReachesEveryButton()
{
    QProxyStyle style(QStringLiteral("Windows"));
    CQuorOptionGroup group(nullptr, 3);
    group.setStyle(&style);
    for (int index = 0; index < 3; ++index)
        QCOMPARE(group.button(index)->style(), &style);
    group.setOptionCount(4);
    QCOMPARE(group.button(3)->style(), &style);
}

QTEST_MAIN(TestOptionGroup)
#include "tst_optiongroup.moc"
