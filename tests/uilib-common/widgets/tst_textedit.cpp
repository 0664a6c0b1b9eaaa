#include "widgets/quorcombobox.h"
#include "widgets/quortextedit.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFrame>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QProxyStyle>
#include <QStandardItemModel>
#include <QStyleOptionComboBox>
#include <QTextBlock>
#include <QTimer>
#include <QtTest>

namespace {

// Records what the widgets ask the style to draw and measure.
class RecordingStyle : public QProxyStyle
{
public:
    RecordingStyle() : QProxyStyle(QStringLiteral("Windows")) {}

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_ComboBoxLabel) {
            if (const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option))
                labels << combo->currentText;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    void drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette, bool enabled,
                      const QString& text, QPalette::ColorRole textRole) const override
    {
        itemTexts << text;
        itemTextRoles << textRole;
        QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, text, textRole);
    }
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_DefaultFrameWidth && widget && widget->inherits("CQuorTextEdit"))
            ++frameWidthQueries;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    mutable QStringList labels;
    mutable QStringList itemTexts;
    mutable QList<QPalette::ColorRole> itemTextRoles;
    mutable int frameWidthQueries = 0;
};

int frameWidth(CQuorTextEdit& edit)
{
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.lineWidth = edit.lineWidth();
    option.midLineWidth = edit.midLineWidth();
    return edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit);
}

int expectedHeight(CQuorTextEdit& edit)
{
    return int(edit.document()->documentLayout()->documentSize().height()) + 2 * frameWidth(edit);
}

} // namespace

class TestTextEdit : public QObject
{
    Q_OBJECT

private slots:
    void textEditDefaults();
    void autoResizeFollowsDocument();
    void autoResizeConnectsOnce();
    void backgroundVisible();
    void textEditContextMenu();

    void comboBoxRoles();
    void comboBoxLabel();

    void delegateSizeHint_data();
    void delegateSizeHint();
    void delegateSeparatorAndElidedText();
};

void TestTextEdit::textEditDefaults()
{
    CQuorTextEdit edit;
    QVERIFY(edit.backgroundVisible());
    QVERIFY(!edit.autoResize());
    QVERIFY(!edit.viewport()->autoFillBackground());
    QCOMPARE(edit.property("com_velto_qstyleRole").toString(), QString("quor.commonuilibrary.textedit"));
    QCOMPARE(edit.property("com_velto_fontRole").toString(),
             QString("widgetlibrary.textedit.textfield.text"));
}

void TestTextEdit::autoResizeFollowsDocument()
{
    CQuorTextEdit edit;
    edit.resize(200, 150);
    edit.show();
    edit.setPlainText("first line");
    QCOMPARE(edit.height(), 150);
    // Switching on fits the text there is at once.
    edit.setAutoResize(true);
    QVERIFY(edit.autoResize());
    const int oneLine = edit.height();
    QVERIFY(oneLine < 150);
    QCOMPARE(oneLine, expectedHeight(edit));
    QCOMPARE(edit.minimumHeight(), edit.maximumHeight());

    edit.moveCursor(QTextCursor::End);
    QTest::keyClick(edit.viewport(), Qt::Key_Return);
    QTest::keyClicks(edit.viewport(), "second");
    const int twoLines = edit.height();
    QCOMPARE(twoLines, expectedHeight(edit));
    const QTextBlock second = edit.document()->lastBlock();
    const int lineHeight = int(edit.document()->documentLayout()->blockBoundingRect(second).height());
    QVERIFY(lineHeight > 0);
    QVERIFY(qAbs(twoLines - oneLine - lineHeight) <= 1);

    for (int i = 0; i < 7; ++i)
        QTest::keyClick(edit.viewport(), Qt::Key_Backspace);
    QCOMPARE(edit.height(), oneLine);

    // Switched off, the height stays where it is.
    edit.setAutoResize(false);
    QTest::keyClick(edit.viewport(), Qt::Key_Return);
    QTest::keyClick(edit.viewport(), Qt::Key_Return);
    QCOMPARE(edit.height(), oneLine);
}

void TestTextEdit::autoResizeConnectsOnce()
{
    RecordingStyle style;
    CQuorTextEdit once;
    CQuorTextEdit twice;
    for (CQuorTextEdit* edit : {&once, &twice}) {
        edit->setStyle(&style);
        edit->resize(200, 100);
        edit->show();
    }
    once.setAutoResize(true);
    twice.setAutoResize(true);
    twice.setAutoResize(true);

    style.frameWidthQueries = 0;
    once.setPlainText("a\nb");
    const int onceQueries = style.frameWidthQueries;
    QVERIFY(onceQueries > 0);
    style.frameWidthQueries = 0;
    twice.setPlainText("a\nb");
    QCOMPARE(style.frameWidthQueries, onceQueries);
    QCOMPARE(twice.height(), once.height());
}

void TestTextEdit::backgroundVisible()
{
    CQuorTextEdit edit;
    edit.setBackgroundVisible(false);
    QVERIFY(!edit.backgroundVisible());
    QCOMPARE(edit.palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
    edit.setBackgroundVisible(true);
    QVERIFY(edit.property("backgroundVisible").toBool());
    QCOMPARE(edit.palette().color(QPalette::Base).alpha(), 0);
    edit.setBackgroundVisible(false);
    QCOMPARE(edit.palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
}

void TestTextEdit::textEditContextMenu()
{
    CQuorTextEdit edit;
    edit.setPlainText("some text");
    edit.show();
    QMenu* standard = edit.createStandardContextMenu();
    int standardEntries = 0;
    for (QAction* action : standard->actions())
        standardEntries += action->isSeparator() ? 0 : 1;
    delete standard;

    bool shown = false;
    int entries = 0;
    bool unicodeMenu = false;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            shown = true;
            for (QAction* action : menu->actions()) {
                entries += action->isSeparator() ? 0 : 1;
                unicodeMenu |= action->menu() && qstrcmp(action->menu()->metaObject()->className(),
                                                         "QUnicodeControlCharacterMenu") == 0;
            }
            menu->close();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            edit.viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(edit.viewport(), &event);
    QVERIFY(shown);
    QVERIFY(!unicodeMenu);
    // The standard entries stay (less the Unicode submenu where the platform adds one).
    QVERIFY(entries >= standardEntries - 1);
    QVERIFY(entries > 0);
    QVERIFY(edit.findChildren<QMenu*>().isEmpty());
}

void TestTextEdit::comboBoxRoles()
{
    CQuorComboBox combo;
    QCOMPARE(combo.property("com_velto_qstyleRole").toString(), QString("quor.commonuilibrary.combobox"));
    QCOMPARE(combo.property("com_velto_fontRole").toString(), QString("widgetlibrary.combobox.frame.text"));
    QVERIFY(combo.testAttribute(Qt::WA_Hover));
    QVERIFY(combo.hintText().isEmpty());
    auto* view = qobject_cast<QListView*>(combo.view());
    QVERIFY(view);
    QCOMPARE(view->property("com_velto_qstyleRole").toString(),
             QString("quor.commonuilibrary.listpopup.view"));
    QCOMPARE(view->property("com_velto_fontRole").toString(), QString("widgetlibrary.listpopup.view.text"));
    auto* delegate = qobject_cast<CQuorListPopupDelegate*>(view->itemDelegate());
    QVERIFY(delegate);
    QCOMPARE(delegate->parent(), view);
    auto* container = qobject_cast<QFrame*>(view->parentWidget());
    QVERIFY(container);
    QCOMPARE(container->property("com_velto_qstyleRole").toString(),
             QString("quor.commonuilibrary.listpopup.view.frame"));
}

void TestTextEdit::comboBoxLabel()
{
    RecordingStyle style;
    CQuorComboBox combo;
    combo.setStyle(&style);
    combo.resize(160, 24);
    combo.addItems({"Alpha", "Beta"});

    combo.setCurrentIndex(-1);
    combo.setHintText("Pick a contact");
    QCOMPARE(combo.property("hintText").toString(), QString("Pick a contact"));
    style.labels.clear();
    combo.grab();
    QCOMPARE(style.labels, QStringList({"Pick a contact"}));

    combo.setHintText(QString());
    style.labels.clear();
    combo.grab();
    QCOMPARE(style.labels, QStringList({QString()}));

    combo.setCurrentIndex(0);
    style.labels.clear();
    combo.grab();
    QCOMPARE(style.labels, QStringList({"Alpha"}));

    combo.setEditable(true);
    combo.setCurrentIndex(1);
    style.labels.clear();
    combo.grab();
    QVERIFY(style.labels.isEmpty());
    QCOMPARE(combo.lineEdit()->text(), QString("Beta"));
}

void TestTextEdit::delegateSizeHint_data()
{
    QTest::addColumn<int>("pixelSize");
    QTest::newRow("small font") << 8;
    QTest::newRow("large font") << 30;
}

void TestTextEdit::delegateSizeHint()
{
    QFETCH(int, pixelSize);
    QStandardItemModel model;
    model.appendRow(new QStandardItem("row"));
    CQuorListPopupDelegate delegate;
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 140, 10);
    option.font.setPixelSize(pixelSize);
    const QSize hint = delegate.sizeHint(option, model.index(0, 0));
    QCOMPARE(hint, QSize(140, qMax(19, QFontMetrics(option.font).height())));
    QCOMPARE(delegate.sizeHint(option, QModelIndex()), QSize(0, 0));
}

void TestTextEdit::delegateSeparatorAndElidedText()
{
    RecordingStyle style;
    QListView view;
    view.setStyle(&style);
    view.resize(120, 100);
    QStandardItemModel model;
    model.appendRow(new QStandardItem("First"));
    model.appendRow(new QStandardItem("A very long entry that cannot fit in the narrow list"));
    view.setModel(&model);
    CQuorListPopupDelegate delegate(&view);

    QImage image(100, 40, QImage::Format_ARGB32);
    for (int row = 0; row < 2; ++row) {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setPen(Qt::magenta);
        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.rect = QRect(0, 10, 100, 20);
        option.font = view.font();
        option.state |= QStyle::State_Enabled;
        if (row == 1)
            option.state |= QStyle::State_Selected;
        style.itemTexts.clear();
        style.itemTextRoles.clear();
        delegate.paint(&painter, option, model.index(row, 0));
        // The painter's pen is put back.
        QCOMPARE(painter.pen().color(), QColor(Qt::magenta));
        painter.end();

        QCOMPARE(image.pixelColor(50, 10) == CQuorListPopupDelegate::separatorColor(), row != 0);
        QCOMPARE(image.pixelColor(50, 9), QColor(Qt::white));
        QCOMPARE(style.itemTexts.size(), 1);
        if (row == 0) {
            QCOMPARE(style.itemTexts.first(), QString("First"));
            QCOMPARE(style.itemTextRoles.first(), QPalette::WindowText);
        } else {
            QVERIFY(style.itemTexts.first().endsWith(QChar(0x2026)));
            QVERIFY(style.itemTexts.first().startsWith("A very"));
            QCOMPARE(style.itemTextRoles.first(), QPalette::HighlightedText);
        }
    }

    // An invalid index paints nothing.
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 10, 100, 20);
    delegate.paint(&painter, option, QModelIndex());
    painter.end();
    QCOMPARE(image.pixelColor(50, 10), QColor(Qt::white));
}

QTEST_MAIN(TestTextEdit)
#include "tst_textedit.moc"
