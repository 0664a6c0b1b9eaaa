#include "mesksmallwidgets.h"
#include "meskuistyle.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class TestMeskSmallWidgets : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void labelCombo();
    void colorAnimation_data();
    void colorAnimation();
    void filterBox();
};

namespace {

QList<bool> checks(const CMeskLabelCombo& combo)
{
    QList<bool> out;
    for (const QAction* action : combo.actions())
        out << action->isChecked();
    return out;
}

// Opens the combo's menu with a press and, once it shows, takes the action with that data
// (or dismisses the menu for -1).
void pressAndChoose(CMeskLabelCombo* combo, int id)
{
    bool seen = false;
    QTimer::singleShot(0, combo, [&seen, id] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        seen = true;
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions())
            if (action->data().toInt() == id)
                chosen = action;
        if (!chosen) {
            menu->close();
            return;
        }
        menu->setActiveAction(chosen);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::mousePress(combo, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(seen);
}

} // namespace

void TestMeskSmallWidgets::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
}

void TestMeskSmallWidgets::labelCombo()
{
    CMeskLabelCombo combo;
    combo.setText(QStringLiteral("Keep history for"));
    combo.addItem(0, QStringLiteral("One day"));
    combo.addItem(1, QStringLiteral("One week"));
    combo.addItem(2, QStringLiteral("One month"));
    combo.show();
    combo.setCurrentItem(2);
    QCOMPARE(checks(combo), (QList<bool>{false, false, true}));

    QSignalSpy changed(&combo, &CMeskLabelCombo::selectionChanged);
    pressAndChoose(&combo, 1);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 1);
    QCOMPARE(checks(combo), (QList<bool>{false, true, false}));

    pressAndChoose(&combo, -1);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(checks(combo), (QList<bool>{false, true, false}));
}

void TestMeskSmallWidgets::colorAnimation_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("stepSignals");
    QTest::newRow("10 steps") << 10 << 10;
    QTest::newRow("0 steps count as one") << 0 << 1;
    QTest::newRow("negative steps count as one") << -3 << 1;
}

void TestMeskSmallWidgets::colorAnimation()
{
    QFETCH(int, steps);
    QFETCH(int, stepSignals);
    const QColor from(250, 0, 0);
    const QColor to(0, 0, 250);
    CMeskColorAnimation animation(from, to, steps);
    QSignalSpy stepped(&animation, &CMeskColorAnimation::step);
    QSignalSpy done(&animation, &CMeskColorAnimation::done);
    const auto nearEnd = [&] {
        const QColor c = animation.currentColor();
        return c.isValid() && qAbs(c.red() - to.red()) <= 1 && qAbs(c.green() - to.green()) <= 1 &&
               qAbs(c.blue() - to.blue()) <= 1;
    };
    QColor lastStepColor;
    connect(&animation, &CMeskColorAnimation::step, &animation,
            [&] { lastStepColor = animation.currentColor(); });
    animation.start(1);
    QVERIFY(animation.isRunning());
    QCOMPARE(animation.currentColor(), from);
    // Driven tick by tick through its own timer.
    for (int i = 0; i < stepSignals; ++i)
        QMetaObject::invokeMethod(animation.timer(), "timeout", Qt::DirectConnection);
    QCOMPARE(stepped.count(), stepSignals);
    QCOMPARE(done.count(), 0);
    QVERIFY(nearEnd());
    QCOMPARE(lastStepColor, animation.currentColor());
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 30000);
    QVERIFY(!animation.isRunning());
    QCOMPARE(stepped.count(), stepSignals);
    QVERIFY(nearEnd());
}

void TestMeskSmallWidgets::filterBox()
{
    CMeskFilterBox box;
    box.show();
    QLineEdit* edit = box.lineEdit();
    QSignalSpy filtered(&box, &CMeskFilterBox::filterText);
    QSignalSpy cleared(&box, &CMeskFilterBox::clearFilter);

    // Return in an empty box clears any filter.
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(filtered.count(), 0);
    QCOMPARE(cleared.count(), 1);
    QTest::keyClicks(edit, QStringLiteral("abc"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(filtered.count(), 1);
    QCOMPARE(filtered.at(0).at(0).toString(), QStringLiteral("abc"));
    QCOMPARE(cleared.count(), 1);

    box.clear();
    QVERIFY(edit->text().isEmpty());
    QTest::keyClicks(edit, QStringLiteral("a"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(cleared.count(), 2);
    QTest::keyClicks(edit, QStringLiteral("b"));
    box.clear();
    QCOMPARE(cleared.count(), 2);
    QCOMPARE(filtered.count(), 1);
    QVERIFY(!box.icon().isNull());
    QCOMPARE(box.iconAlignment(), Qt::AlignLeft);
}

QTEST_MAIN(TestMeskSmallWidgets)
#include "tst_mesksmallwidgets.moc"
