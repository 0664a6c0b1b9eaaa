// The product's text edits and the comment editor built on them.

#include "fakeprovider.h"
#include "meskpostcommentwidget.h"
#include "mesktextedit.h"
#include "meskuistyle.h"
#include "widgets/quoranimationwidget.h"
#include "widgets/quorbuttons.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPaintEvent>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

const QString kPlaceholder = QStringLiteral("Write a comment...");

int redPixels(QWidget* widget)
{
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.red() > 180 && c.green() < 90 && c.blue() < 90;
        }
    }
    return count;
}

// Collects the regions of the paint events a widget receives.
class PaintRecorder : public QObject
{
public:
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

void showActive(QWidget* window)
{
    window->show();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
}

} // namespace

class TestMeskTextEdit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void placeholderShows_data();
    void placeholderShows();
    void placeholderRepaints();
    void errorTakesTheEditorsPlace();
    void sendIsRefused_data();
    void sendIsRefused();
    void sendingThenAnswer_data();
    void sendingThenAnswer();
    void focusOutCollapsesOnlyWhenEmpty_data();
    void focusOutCollapsesOnlyWhenEmpty();
    void posterGoneIsHarmless();
};

void TestMeskTextEdit::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
}

void TestMeskTextEdit::placeholderShows_data()
{
    QTest::addColumn<QString>("placeholder");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("focused");
    QTest::addColumn<bool>("shown");
    QTest::newRow("empty, unfocused") << kPlaceholder << QString() << false << true;
    QTest::newRow("focused") << kPlaceholder << QString() << true << false;
    QTest::newRow("not empty") << kPlaceholder << QStringLiteral("x") << false << false;
    QTest::newRow("empty placeholder") << QString() << QString() << false << false;
}

void TestMeskTextEdit::placeholderShows()
{
    QFETCH(QString, placeholder);
    QFETCH(QString, text);
    QFETCH(bool, focused);
    QFETCH(bool, shown);
    QWidget window;
    auto* other = new QLineEdit(&window);
    auto* edit = new CMeskTextEdit(&window);
    edit->setGeometry(0, 30, 240, 60);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(255, 0, 0));
    edit->setPalette(palette);
    edit->setPlainText(text);
    showActive(&window);
    other->setFocus();
    if (focused)
        edit->setFocus();
    edit->setPlaceholderText(placeholder);
    QCOMPARE(edit->placeholderText(), placeholder);
    // Qt's own placeholder stays empty: nothing is drawn twice.
    QVERIFY(edit->QTextEdit::placeholderText().isEmpty());
    QCOMPARE(redPixels(edit) > 0, shown);
}

void TestMeskTextEdit::placeholderRepaints()
{
    QWidget window;
    auto* other = new QLineEdit(&window);
    auto* edit = new CMeskTextEdit(&window);
    edit->setGeometry(0, 30, 240, 60);
    showActive(&window);
    other->setFocus();
    QCoreApplication::processEvents();
    PaintRecorder recorder;
    edit->viewport()->installEventFilter(&recorder);

    QFont italic = edit->font();
    italic.setItalic(true);
    const QRect textRect =
        QFontMetrics(italic).boundingRect(edit->rect().adjusted(3, 0, -3, 0), Qt::AlignLeft, kPlaceholder);
    const QRect placeholderArea = textRect.intersected(edit->viewport()->rect());
    // At once, within the call.
    edit->setPlaceholderText(kPlaceholder);
    QVERIFY(recorder.painted.contains(placeholderArea));
    // After each focus change, once the events are through.
    for (QWidget* target : {static_cast<QWidget*>(edit), static_cast<QWidget*>(other)}) {
        recorder.painted = QRegion();
        target->setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.painted.contains(placeholderArea), 30000);
    }
}

void TestMeskTextEdit::errorTakesTheEditorsPlace()
{
    CMeskTextEditWidget widget;
    widget.textEdit()->setPlainText(QStringLiteral("kept"));
    widget.show();
    widget.showError(QStringLiteral("It failed"));
    QVERIFY(widget.textEdit()->isHidden());
    QVERIFY(widget.errorLabel()->isVisible());
    QCOMPARE(widget.layout()->indexOf(widget.textEdit()), -1);
    widget.hideError();
    QVERIFY(widget.errorLabel()->isHidden());
    QVERIFY(widget.textEdit()->isVisible());
    QCOMPARE(widget.layout()->indexOf(widget.textEdit()), 0);
    QCOMPARE(widget.layout()->indexOf(widget.errorLabel()), -1);
    QCOMPARE(widget.textEdit()->plainText(), QStringLiteral("kept"));
}

void TestMeskTextEdit::sendIsRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("canPost");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("calls");
    QTest::newRow("empty editor") << QString() << true << true << 0;
    QTest::newRow("cannot post") << QStringLiteral("Hi") << false << true << 0;
    QTest::newRow("postComment refuses") << QStringLiteral("Hi") << true << false << 1;
}

void TestMeskTextEdit::sendIsRefused()
{
    QFETCH(QString, text);
    QFETCH(bool, canPost);
    QFETCH(bool, answer);
    QFETCH(int, calls);
    FakeCommentPoster poster;
    poster.setCanPost(canPost);
    poster.setPostCommentAnswer(answer);
    CMeskPostCommentWidget widget(&poster);
    widget.editor()->setPlainText(text);
    widget.sendButton()->click();
    QCOMPARE(poster.postedTexts.size(), calls);
    QVERIFY(widget.editor()->isEnabled());
    QVERIFY(widget.sendingLabel()->isHidden());
    QVERIFY(!widget.busyAnimation()->isRunning());
}

void TestMeskTextEdit::sendingThenAnswer_data()
{
    QTest::addColumn<bool>("posted");
    QTest::newRow("posted") << true;
    QTest::newRow("failed") << false;
}

void TestMeskTextEdit::sendingThenAnswer()
{
    QFETCH(bool, posted);
    FakeCommentPoster poster;
    CMeskPostCommentWidget widget(&poster);
    showActive(&widget);
    widget.editor()->setFocus();
    QCOMPARE(widget.editor()->height(), 70);
    QTest::keyClicks(widget.editor(), QStringLiteral("Nice"));
    widget.sendButton()->click();

    QCOMPARE(poster.postedTexts, QStringList{QStringLiteral("Nice")});
    QVERIFY(widget.busyAnimation()->isVisible());
    QVERIFY(widget.busyAnimation()->isRunning());
    QVERIFY(widget.sendingLabel()->isVisible());
    QCOMPARE(widget.sendingLabel()->text(), QStringLiteral("Sending your comment..."));
    QVERIFY(!widget.editor()->isEnabled());
    QVERIFY(!widget.sendButton()->isEnabled());
    QVERIFY(!widget.clearButton()->isEnabled());

    if (posted)
        poster.finishPosted();
    else
        poster.finishFailed();
    QVERIFY(widget.busyAnimation()->isHidden());
    QVERIFY(widget.sendingLabel()->isHidden());
    QVERIFY(widget.editor()->isEnabled());
    QVERIFY(widget.sendButton()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(widget.editor()->hasFocus(), 30000);
    QCOMPARE(widget.editor()->height(), 70);
    QCOMPARE(widget.editor()->plainText(), posted ? QString() : QStringLiteral("Nice"));
    QCOMPARE(widget.failedLabel()->isVisible(), !posted);
    QCOMPARE(widget.failedIcon()->isVisible(), !posted);
    if (!posted) {
        QCOMPARE(widget.failedLabel()->text(), QStringLiteral("Failed "));
        QTest::keyClick(widget.editor(), Qt::Key_X);
        QVERIFY(widget.failedLabel()->isHidden());
        QVERIFY(widget.failedIcon()->isHidden());
    }
}

void TestMeskTextEdit::focusOutCollapsesOnlyWhenEmpty_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("toSend");
    QTest::addColumn<int>("height");
    QTest::newRow("empty") << QString() << false << 28;
    QTest::newRow("not empty") << QStringLiteral("Hi") << false << 70;
    QTest::newRow("empty, focus to Send") << QString() << true << 70;
}

void TestMeskTextEdit::focusOutCollapsesOnlyWhenEmpty()
{
    QFETCH(QString, text);
    QFETCH(bool, toSend);
    QFETCH(int, height);
    FakeCommentPoster poster;
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* other = new QLineEdit;
    layout->addWidget(other);
    auto* widget = new CMeskPostCommentWidget(&poster);
    layout->addWidget(widget);
    showActive(&window);
    other->setFocus();
    QCOMPARE(widget->editor()->height(), 28);
    QVERIFY(widget->sendButton()->isHidden());
    widget->editor()->setFocus();
    QVERIFY(widget->sendButton()->isVisible());
    widget->editor()->setPlainText(text);
    if (toSend)
        widget->sendButton()->setFocus(Qt::MouseFocusReason);
    else
        other->setFocus();
    QCOMPARE(widget->editor()->height(), height);
    QCOMPARE(widget->sendButton()->isVisible(), height == 70);
}

void TestMeskTextEdit::posterGoneIsHarmless()
{
    for (const bool deleted : {false, true}) {
        auto* poster = new FakeCommentPoster;
        CMeskPostCommentWidget widget(deleted ? poster : nullptr);
        widget.editor()->setPlainText(QStringLiteral("Hi"));
        delete poster;
        widget.sendButton()->click();
        QVERIFY(widget.editor()->isEnabled());
        QVERIFY(widget.sendingLabel()->isHidden());
    }
    // A poster that goes while its comment is on the way gives the controls back.
    auto* poster = new FakeCommentPoster;
    CMeskPostCommentWidget widget(poster);
    widget.editor()->setPlainText(QStringLiteral("Hi"));
    widget.sendButton()->click();
    QVERIFY(!widget.editor()->isEnabled());
    delete poster;
    QVERIFY(widget.editor()->isEnabled());
    QVERIFY(widget.failedLabel()->isVisibleTo(&widget));

    // A poster that answers within postComment leaves nothing to wait for.
    struct AtOncePoster : FakeCommentPoster
    {
        bool postComment(const QString& text) override
        {
            FakeCommentPoster::postComment(text);
            finishPosted();
            return true;
        }
    } atOnce;
    CMeskPostCommentWidget quick(&atOnce);
    quick.editor()->setPlainText(QStringLiteral("Hi"));
    quick.sendButton()->click();
    QVERIFY(quick.editor()->isEnabled());
    QVERIFY(quick.sendingLabel()->isHidden());
    QVERIFY(quick.editor()->isEmpty());
}

QTEST_MAIN(TestMeskTextEdit)
#include "tst_mesktextedit.moc"
