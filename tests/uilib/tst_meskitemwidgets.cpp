#include "meskitemwidgets.h"
#include "mesktexts.h"
#include "meskuistyle.h"
#include "testclock.h"
#include "urlcatcher.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLayout>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

class TestMeskItemWidgets : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void dateLabelText();
    void dateLabelPress_data();
    void dateLabelPress();
    void linkGroup();
    void filterRule_data();
    void filterRule();
    void highlightOfEscapedCaption();
    void captionHeightsFollowChanges_data();
    void captionHeightsFollowChanges();
};

void TestMeskItemWidgets::initTestCase()
{
    QApplication::setStyle(new CMeskUiStyle);
}

void TestMeskItemWidgets::dateLabelText()
{
    TestClock clock(QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC));
    CMeskItemDateLabel label{QDateTime()};
    QCOMPARE(label.text(), QStringLiteral("Right now"));
    QCOMPARE(label.time(), clock.now());
    QCOMPARE(label.font().pointSize(), 8);
    QCOMPARE(label.palette().color(QPalette::Inactive, QPalette::WindowText), CMeskUiStyle::color(14));
    clock.advanceSecs(120);
    QCOMPARE(label.text(), QStringLiteral("Right now"));
    label.updateText();
    QCOMPARE(label.text(), QStringLiteral("2 minutes ago"));
}

void TestMeskItemWidgets::dateLabelPress_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("opens");
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("http") << QStringLiteral("http://x.org/p") << true;
    QTest::newRow("https") << QStringLiteral("https://x.org/p?q=1") << true;
    QTest::newRow("file") << QStringLiteral("file:///x") << false;
    QTest::newRow("other scheme") << QStringLiteral("mailto:a@x.org") << false;
    QTest::newRow("no scheme") << QStringLiteral("x.org/p") << false;
}

void TestMeskItemWidgets::dateLabelPress()
{
    QFETCH(QString, url);
    QFETCH(bool, opens);
    UrlCatcher catcher;
    QWidget parent;
    CMeskItemDateLabel label(QDateTime::currentDateTime(), url, &parent);
    parent.show();
    QCOMPARE(label.cursor().shape(), opens ? Qt::PointingHandCursor : Qt::ArrowCursor);
    QTest::mouseClick(&label, Qt::LeftButton);
    QCOMPARE(catcher.opened, opens ? QList<QUrl>{QUrl(url)} : QList<QUrl>{});

    // The address can change later; the cursor follows.
    label.setUrl(QString());
    QCOMPARE(label.cursor().shape(), Qt::ArrowCursor);
}

void TestMeskItemWidgets::linkGroup()
{
    CMeskItemLinkGroup group;
    group.addLink(QStringLiteral("Comment"), 5);
    group.addLink(QStringLiteral("Like"), 7);
    group.addLink(QStringLiteral("Share"), 9);
    group.show();
    QLayout* row = group.layout();
    QCOMPARE(row->spacing(), 3);
    QCOMPARE(row->contentsMargins(), QMargins());
    QStringList texts;
    for (int i = 0; i < row->count(); ++i)
        texts << qobject_cast<QLabel*>(row->itemAt(i)->widget())->text();
    QCOMPARE(texts, (QStringList{"Comment", "-", "Like", "-", "Share"}));
    const QLabel* separator = qobject_cast<QLabel*>(row->itemAt(1)->widget());
    QCOMPARE(separator->palette().color(QPalette::Active, QPalette::WindowText), CMeskUiStyle::color(12));

    QSignalSpy clicked(&group, &CMeskItemLinkGroup::clicked);
    QTest::mouseClick(row->itemAt(2)->widget(), Qt::LeftButton);
    QTest::mouseClick(row->itemAt(2)->widget(), Qt::RightButton);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toInt(), 7);

    group.setLinkText(42, QStringLiteral("x"));
    group.setLinkText(7, QStringLiteral("Unlike"));
    texts.clear();
    for (int i = 0; i < row->count(); ++i)
        texts << qobject_cast<QLabel*>(row->itemAt(i)->widget())->text();
    QCOMPARE(texts, (QStringList{"Comment", "-", "Unlike", "-", "Share"}));

    // A second link under an existing id takes the id over; the old link stays in the row.
    CMeskItemLinkButton* old = group.link(5);
    group.addLink(QStringLiteral("Again"), 5);
    QCOMPARE(row->count(), 7);
    QVERIFY(group.link(5) != old);
    QCOMPARE(group.link(5)->text(), QStringLiteral("Again"));
    QCOMPARE(row->itemAt(0)->widget(), static_cast<QWidget*>(old));
}

void TestMeskItemWidgets::filterRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("matches");
    const QString bold = QStringLiteral("<b>Ann</b> wrote");
    QTest::newRow("tag characters") << bold << QStringLiteral("b>") << false;
    QTest::newRow("name in any case") << bold << QStringLiteral("ANN") << true;
    QTest::newRow("empty filter") << bold << QString() << true;
    QTest::newRow("escaped <") << QStringLiteral("a &lt; b") << QStringLiteral("<") << true;
    QTest::newRow("entity name") << QStringLiteral("a &lt; b") << QStringLiteral("lt") << false;
    QTest::newRow("entities decoded")
        << QStringLiteral("Tom &amp; Ann&#39;s &#x3E;") << QStringLiteral("& Ann's >") << true;
    QTest::newRow("decoded once") << QStringLiteral("a &amp;lt; b") << QStringLiteral("&lt;") << true;
    QTest::newRow("no such code point")
        << QStringLiteral("x &#0; &#x110000;") << QStringLiteral("&#0;") << true;
    const QString linked = CMeskTexts::linkifyText(QStringLiteral("see http://x.org now"));
    QTest::newRow("style sheet of links") << linked << QStringLiteral("color") << false;
    QTest::newRow("decoration of links") << linked << QStringLiteral("none") << false;
    QTest::newRow("linked address") << linked << QStringLiteral("X.ORG") << true;
}

void TestMeskItemWidgets::filterRule()
{
    QFETCH(QString, text);
    QFETCH(QString, filter);
    QFETCH(bool, matches);
    QCOMPARE(meskFilterMatches(text, filter), matches);
}

void TestMeskItemWidgets::highlightOfEscapedCaption()
{
    // A fully escaped caption takes the filter escaped the same way: "&" marks "&amp;" whole.
    const QString marked =
        CMeskTexts::highlightText(QStringLiteral("a &amp; b"), QStringLiteral("&").toHtmlEscaped(), false);
    QVERIFY2(marked.contains(QStringLiteral("&amp;</font>")), qPrintable(marked));
    QVERIFY(marked.endsWith(QStringLiteral("</font> b")));
    // An empty filter leaves a text unmarked.
    QCOMPARE(CMeskTexts::highlightText(QStringLiteral("<b>Ann</b>"), QString(), true),
             QStringLiteral("<b>Ann</b>"));
}

// A caption remembers its heights; after any change that moves the text it must answer what a
// plain label with the same settings answers, at every width (more widths than it remembers).
void TestMeskItemWidgets::captionHeightsFollowChanges_data()
{
    QTest::addColumn<int>("change");
    QTest::newRow("unchanged") << 0;
    QTest::newRow("text") << 1;
    QTest::newRow("font") << 2;
    QTest::newRow("margin") << 3;
    QTest::newRow("indent") << 4;
    QTest::newRow("contents margins") << 5;
    QTest::newRow("no wrapping") << 6;
}

void TestMeskItemWidgets::captionHeightsFollowChanges()
{
    QFETCH(int, change);
    const auto configure = [change](QLabel& label, bool changed) {
        label.setTextFormat(Qt::RichText);
        label.setWordWrap(true);
        label.setText(QStringLiteral("<b>Someone</b> wrote a caption that wraps at narrow widths"));
        if (!changed)
            return;
        switch (change) {
        case 1:
            label.setText(QStringLiteral("<b>Someone else</b> wrote a much longer caption, one that "
                                         "wraps over many more lines at every one of these widths"));
            break;
        case 2: {
            QFont font = label.font();
            font.setPointSize(font.pointSize() * 2);
            label.setFont(font);
            break;
        }
        case 3:
            label.setMargin(9);
            break;
        case 4:
            label.setIndent(30);
            break;
        case 5:
            label.setContentsMargins(5, 3, 25, 7);
            break;
        case 6:
            label.setWordWrap(false);
            break;
        default:
            break;
        }
    };
    const QList<int> widths{40, 70, 110, 160, 230, 330};
    CMeskCaptionLabel caption;
    configure(caption, false);
    for (int round = 0; round < 2; ++round) {
        for (int width : widths)
            caption.heightForWidth(width);
    }
    configure(caption, true);
    QLabel plain;
    configure(plain, true);
    for (int round = 0; round < 2; ++round) {
        for (int width : widths)
            QCOMPARE(caption.heightForWidth(width), plain.heightForWidth(width));
    }
}

QTEST_MAIN(TestMeskItemWidgets)
#include "tst_meskitemwidgets.moc"
