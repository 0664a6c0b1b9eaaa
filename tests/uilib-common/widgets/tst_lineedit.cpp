#include "style/quorwidgetstyle.h"
#include "widgets/quorlineedit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProxyStyle>
#include <QStyleOptionFrame>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {

QIcon testIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::blue);
    return QIcon(pixmap);
}

QMargins margins(const CQuorLineEdit& edit)
{
    return edit.layout()->contentsMargins();
}

// Runs the context menu of the inner editor and notes the menu it showed.
struct ContextMenuProbe
{
    QStringList submenuClasses;
    QStringList texts;
    bool shown = false;

    void run(QWidget* target)
    {
        QTimer::singleShot(0, [this] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                shown = true;
                for (QAction* action : menu->actions()) {
                    texts << action->text();
                    if (action->menu())
                        submenuClasses << QString::fromLatin1(action->menu()->metaObject()->className());
                }
                menu->close();
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), target->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(target, &event);
    }
};

// Draws nothing for a frameless line-edit panel, as the common style does, so the inner
// editor lets the outer panel's guide text show through.
class TransparentFieldStyle : public QProxyStyle
{
public:
    TransparentFieldStyle() : QProxyStyle(QStringLiteral("Windows")) {}
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element == PE_PanelLineEdit) {
            const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
            if (!frame || frame->lineWidth == 0)
                return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

} // namespace

// The standard menus of Qt add this submenu where right-to-left input is in use.
class QUnicodeControlCharacterMenu : public QMenu
{
    Q_OBJECT
public:
    using QMenu::QMenu;
};

class TestLineEdit : public QObject
{
    Q_OBJECT

private slots:
    void freshField();
    void innerHeightFollowsIconSize();
    void innerHeightFollowsFont();
    void autoHide();
    void iconWithoutAutoHide();
    void iconAlignment_data();
    void iconAlignment();
    void guideTextOnlyWhileEmpty();
    void filterLook();
    void propertiesReachInnerEditor();
    void contextMenuLacksUnicodeSubmenu();
    void unicodeSubmenuRemoved();
    void styleReachesChildren();
};

void TestLineEdit::freshField()
{
    CQuorLineEdit edit;
    QVERIFY(edit.filterIcon()->isHidden());
    QVERIFY(edit.button()->isHidden());
    QCOMPARE(margins(edit), QMargins(7, 4, 7, 4));
    QCOMPARE(edit.layout()->spacing(), 0);
    QCOMPARE(edit.iconAlignment(), Qt::AlignRight);
    QCOMPARE(edit.focusProxy(), edit.lineEdit());
    QVERIFY(!edit.lineEdit()->hasFrame());
    QCOMPARE(edit.button()->focusPolicy(), Qt::NoFocus);
    QVERIFY(edit.testAttribute(Qt::WA_Hover));
    QCOMPARE(edit.property("com_velto_qstyleRole").toString(),
             QString("quor.commonuilibrary.lineedit.iconized"));
    QCOMPARE(edit.property("com_velto_fontRole").toString(),
             QString("widgetlibrary.lineedit.textfield.text"));
    QCOMPARE(edit.lineEdit()->property("com_velto_qstyleRole").toString(),
             QString("quor.commonuilibrary.lineedit.textfield"));
    QCOMPARE(edit.button()->property("com_velto_qstyleRole").toString(),
             QString("quor.commonuilibrary.toolbutton.icononly"));
    // Label, editor, button.
    QCOMPARE(edit.layout()->indexOf(edit.filterIcon()), 0);
    QCOMPARE(edit.layout()->indexOf(edit.lineEdit()), 1);
    QCOMPARE(edit.layout()->indexOf(edit.button()), 2);
}

void TestLineEdit::innerHeightFollowsIconSize()
{
    CQuorLineEdit edit;
    const int fontHeight = edit.lineEdit()->fontMetrics().height();
    QCOMPARE(edit.lineEdit()->height(), qMax(fontHeight, edit.iconSize().height()));
    QCOMPARE(edit.lineEdit()->minimumHeight(), edit.lineEdit()->maximumHeight());
    edit.setIconSize(QSize(16, 32));
    QCOMPARE(edit.iconSize(), QSize(16, 32));
    QCOMPARE(edit.lineEdit()->height(), qMax(fontHeight, 32));
    edit.setIconSize(QSize(4, 4));
    QCOMPARE(edit.lineEdit()->height(), fontHeight);
}

void TestLineEdit::innerHeightFollowsFont()
{
    // A larger font (set on the field or reaching it from its parent) must not clip the text.
    QWidget parent;
    auto* edit = new CQuorLineEdit(&parent);
    QFont font = parent.font();
    font.setPixelSize(40);
    parent.setFont(font);
    QCOMPARE(edit->lineEdit()->height(),
             qMax(edit->lineEdit()->fontMetrics().height(), edit->iconSize().height()));
    QVERIFY(edit->lineEdit()->height() >= QFontMetrics(font).height());
    font.setPixelSize(8);
    edit->setFont(font);
    QCOMPARE(edit->lineEdit()->height(),
             qMax(edit->lineEdit()->fontMetrics().height(), edit->iconSize().height()));
}

void TestLineEdit::autoHide()
{
    CQuorLineEdit edit;
    edit.show();
    edit.setIcon(testIcon());
    QVERIFY(!edit.button()->isHidden());
    edit.setIconAutoHide(true);
    QVERIFY(edit.iconAutoHide());
    QVERIFY(edit.button()->isHidden());

    QTest::keyClick(edit.lineEdit(), Qt::Key_A);
    QCOMPARE(edit.text(), QString("a"));
    QVERIFY(!edit.button()->isHidden());
    QTest::keyClick(edit.lineEdit(), Qt::Key_Backspace);
    QVERIFY(edit.text().isEmpty());
    QVERIFY(edit.button()->isHidden());

    // A null icon keeps the button hidden whatever the text.
    edit.setIcon(QIcon());
    edit.setText("abc");
    QVERIFY(edit.button()->isHidden());

    // With auto-hide off, the button keeps its visibility.
    edit.setIcon(testIcon());
    QVERIFY(edit.button()->isHidden()); // waits for the next text change
    edit.setText("abcd");
    QVERIFY(!edit.button()->isHidden());
    edit.setIconAutoHide(false);
    edit.setText("");
    QVERIFY(!edit.button()->isHidden());
}

void TestLineEdit::iconWithoutAutoHide()
{
    CQuorLineEdit edit;
    edit.setIcon(testIcon());
    QVERIFY(!edit.button()->isHidden());
    QVERIFY(!edit.icon().isNull());
    edit.setIcon(QIcon());
    QVERIFY(edit.button()->isHidden());
}

void TestLineEdit::iconAlignment_data()
{
    QTest::addColumn<Qt::Alignment>("alignment");
    QTest::addColumn<int>("index");
    QTest::addColumn<Qt::Alignment>("answer");
    QTest::newRow("left") << Qt::Alignment(Qt::AlignLeft) << 1 << Qt::Alignment(Qt::AlignLeft);
    QTest::newRow("left, vcenter") << (Qt::AlignLeft | Qt::AlignVCenter) << 1 << Qt::Alignment(Qt::AlignLeft);
    QTest::newRow("left and right") << (Qt::AlignLeft | Qt::AlignRight) << 2 << Qt::Alignment(Qt::AlignRight);
    QTest::newRow("right") << Qt::Alignment(Qt::AlignRight) << 2 << Qt::Alignment(Qt::AlignRight);
    QTest::newRow("hcenter") << Qt::Alignment(Qt::AlignHCenter) << 2 << Qt::Alignment(Qt::AlignRight);
}

void TestLineEdit::iconAlignment()
{
    QFETCH(Qt::Alignment, alignment);
    QFETCH(int, index);
    QFETCH(Qt::Alignment, answer);
    CQuorLineEdit edit;
    edit.setIconAlignment(Qt::AlignLeft); // start from the other side once
    edit.setIconAlignment(alignment);
    QCOMPARE(edit.layout()->indexOf(edit.button()), index);
    QCOMPARE(edit.layout()->count(), 3);
    QCOMPARE(edit.iconAlignment(), answer);
    QVERIFY(edit.layout()->isEnabled());
}

void TestLineEdit::guideTextOnlyWhileEmpty()
{
    QPalette palette;
    palette.setColor(QPalette::Active, QPalette::Light, Qt::red);
    palette.setColor(QPalette::Inactive, QPalette::Light, Qt::red);
    TransparentFieldStyle style;
    CQuorLineEdit plain;
    CQuorLineEdit guided;
    for (CQuorLineEdit* edit : {&plain, &guided}) {
        edit->setStyle(&style);
        edit->setPalette(palette);
        edit->resize(200, 30);
        edit->show();
    }
    guided.setGuideText("Search");
    QCOMPARE(guided.guideText(), QString("Search"));
    QVERIFY(plain.grab().toImage() != guided.grab().toImage());

    plain.setText("x");
    guided.setText("x");
    QCOMPARE(plain.grab().toImage(), guided.grab().toImage());

    plain.setText("");
    guided.setText("");
    QVERIFY(plain.grab().toImage() != guided.grab().toImage());
    guided.setGuideText("");
    QCOMPARE(plain.grab().toImage(), guided.grab().toImage());
}

void TestLineEdit::filterLook()
{
    CQuorLineEdit edit;
    edit.setFilterLook(true);
    QVERIFY(edit.filterLook());
    const int margin = edit.style()->pixelMetric(static_cast<QStyle::PixelMetric>(QStyle::PM_CustomBase + 17),
                                                 nullptr, nullptr) +
                       4;
    QCOMPARE(margins(edit), QMargins(margin, margin, margin, margin));
    QVERIFY(!edit.filterIcon()->isHidden());
    QCOMPARE(edit.property("filterLook").toBool(), true);
    edit.setFilterLook(false);
    QCOMPARE(margins(edit), QMargins(7, 4, 7, 4));
    QVERIFY(edit.filterIcon()->isHidden());
}

void TestLineEdit::propertiesReachInnerEditor()
{
    CQuorLineEdit edit;
    QVERIFY(edit.setProperty("text", "hello"));
    QCOMPARE(edit.lineEdit()->text(), QString("hello"));
    QCOMPARE(edit.metaObject()->userProperty().name(), "text");
    QVERIFY(edit.setProperty("readOnly", true));
    QVERIFY(edit.lineEdit()->isReadOnly());
    QVERIFY(edit.setProperty("inputMask", "999"));
    QVERIFY(!edit.lineEdit()->inputMask().isEmpty());
    QCOMPARE(edit.property("inputMask").toString(), edit.lineEdit()->inputMask());
    QVERIFY(edit.setProperty("alignment", QVariant::fromValue(Qt::Alignment(Qt::AlignRight))));
    QCOMPARE(edit.lineEdit()->alignment(), Qt::Alignment(Qt::AlignRight));
    QCOMPARE(edit.property("alignment").value<Qt::Alignment>(), Qt::Alignment(Qt::AlignRight));
}

void TestLineEdit::contextMenuLacksUnicodeSubmenu()
{
    CQuorLineEdit edit;
    edit.show();
    // The inner editor's own menu has the submenu, and some standard actions.
    QMenu* standard = edit.lineEdit()->createStandardContextMenu();
    QStringList standardClasses;
    int standardActions = 0;
    for (QAction* action : standard->actions()) {
        if (action->menu())
            standardClasses << QString::fromLatin1(action->menu()->metaObject()->className());
        else if (!action->isSeparator())
            ++standardActions;
    }
    delete standard;

    ContextMenuProbe probe;
    probe.run(edit.lineEdit());
    QVERIFY(probe.shown);
    QVERIFY(!probe.submenuClasses.contains("QUnicodeControlCharacterMenu"));
    int actions = 0;
    for (const QString& text : std::as_const(probe.texts))
        actions += text.isEmpty() ? 0 : 1;
    QCOMPARE(actions, standardActions);
    // The menu was deleted afterwards.
    QVERIFY(edit.lineEdit()->findChildren<QMenu*>().isEmpty());
}

void TestLineEdit::unicodeSubmenuRemoved()
{
    QMenu menu;
    menu.addAction("Undo");
    auto* first = new QUnicodeControlCharacterMenu("Insert Unicode control character", &menu);
    menu.addMenu(first);
    QPointer<QMenu> firstGuard(first);
    auto* second = new QUnicodeControlCharacterMenu("Second", &menu);
    menu.addMenu(second);
    auto* other = new QMenu("Other", &menu);
    menu.addMenu(other);
    menu.addAction("Select All");

    QuorWidgetStyle::removeUnicodeControlMenu(&menu);
    QVERIFY(firstGuard.isNull());
    QStringList texts;
    for (QAction* action : menu.actions())
        texts << action->text();
    QCOMPARE(texts, QStringList({"Undo", "Second", "Other", "Select All"}));
    QuorWidgetStyle::removeUnicodeControlMenu(nullptr);
}

void TestLineEdit::styleReachesChildren()
{
    QProxyStyle style(QStringLiteral("Windows"));
    CQuorLineEdit edit;
    edit.setStyle(&style);
    QCOMPARE(edit.lineEdit()->style(), &style);
    QCOMPARE(edit.button()->style(), &style);
    QCOMPARE(edit.filterIcon()->style(), &style);
    auto* added = new QLabel(&edit);
    QCOMPARE(added->style(), &style);
}

QTEST_MAIN(TestLineEdit)
#include "tst_lineedit.moc"
