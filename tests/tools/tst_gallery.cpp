// Runs the style gallery as a user would and checks the sheet it writes.

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestGallery : public QObject
{
    Q_OBJECT

private slots:
    void writesEveryCell();
    void refusesWithoutOutput();
    void windowModeGrabsTheScreen_data();
    void windowModeGrabsTheScreen();
};

void TestGallery::writesEveryCell()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("sheet.png"));
    QProcess gallery;
    gallery.start(QStringLiteral(LUMESK_GALLERY), {QStringLiteral("--out"), out, QStringLiteral("--list")});
    QVERIFY(gallery.waitForFinished(60000));
    QCOMPARE(gallery.exitStatus(), QProcess::NormalExit);
    QCOMPARE(gallery.exitCode(), 0);

    const QImage sheet(out);
    QVERIFY(!sheet.isNull());
    QVERIFY(sheet.width() > 800 && sheet.height() > 800);

    const QStringList cells =
        QString::fromUtf8(gallery.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList looks = {QStringLiteral("normal"), QStringLiteral("hover"), QStringLiteral("pressed"),
                               QStringLiteral("disabled"), QStringLiteral("rtl")};
    const QStringList rows = {
        QStringLiteral("button button.gradient.Positive"),
        QStringLiteral("button button.gradient.Negative"),
        QStringLiteral("button button.gradient.Tool"),
        QStringLiteral("button button.secondary"),
        QStringLiteral("button button.dashboard"),
        QStringLiteral("button button.syncall"),
        QStringLiteral("button button.optiongroup.first"),
        QStringLiteral("check box (checkbox)"),
        QStringLiteral("radio button"),
        QStringLiteral("line edit (lineedit.textfield)"),
        QStringLiteral("combo box"),
        QStringLiteral("progress busy"),
        QStringLiteral("progress half"),
        QStringLiteral("progress phased"),
        QStringLiteral("progress music"),
        QStringLiteral("tab (first; selected when pressed)"),
        QStringLiteral("splitter window.main.splitter"),
        QStringLiteral("scroll bar horizontal"),
        QStringLiteral("scroll bar vertical"),
        QStringLiteral("slider horizontal, ticks, end icons"),
        QStringLiteral("tool button toolbutton.icononly"),
        QStringLiteral("menu item with shortcut"),
        QStringLiteral("menu item checked"),
        QStringLiteral("menu item submenu"),
        QStringLiteral("menu separator"),
        QStringLiteral("menu bar item"),
        QStringLiteral("title bar window.dialog.titleBar.Blue"),
        QStringLiteral("title bar window.main.titleBar"),
        QStringLiteral("frame line"),
        QStringLiteral("tooltip frame tooltip.textfield, arrow top left"),
        QStringLiteral("tooltip frame tooltip.textfield, arrow bottom right"),
        QStringLiteral("list item (itemlist.view), row 1"),
        QStringLiteral("size grip"),
        QStringLiteral("popup widget (popup.itemlist)"),
        QStringLiteral("tooltip label (tooltip)"),
        QStringLiteral("arrow tooltip, arrow top left"),
        QStringLiteral("arrow tooltip, arrow top right"),
        QStringLiteral("arrow tooltip, arrow bottom left"),
        QStringLiteral("arrow tooltip, arrow bottom right"),
        QStringLiteral("dialog (CQuorDialog), title bar Gray"),
        QStringLiteral("dialog (CQuorDialog), title bar Purple"),
        QStringLiteral("dialog (CQuorDialog), title bar Blue"),
        QStringLiteral("dialog (CQuorDialog), title bar Yellow"),
        QStringLiteral("system menu icon (CQuorSystemMenu)"),
        QStringLiteral("line edit (CQuorLineEdit), guide text"),
        QStringLiteral("line edit (CQuorLineEdit), text and icon button"),
        QStringLiteral("line edit (CQuorLineEdit), filter look"),
        QStringLiteral("text label (CQuorTextLabel), shadow"),
        QStringLiteral("text label (CQuorTextLabel), fade"),
        QStringLiteral("option group (CQuorOptionGroup)"),
        QStringLiteral("gradient button (CQuorGradientButton) Positive"),
        QStringLiteral("gradient button (CQuorGradientButton) Negative"),
        QStringLiteral("gradient button (CQuorGradientButton) Tool"),
        QStringLiteral("gradient button (CQuorGradientButton), icon only"),
        QStringLiteral("tool button (CQuorToolButton)"),
        QStringLiteral("check box (CQuorCheckBox)"),
        QStringLiteral("check box (CQuorCheckBox), read-only"),
        QStringLiteral("animation (CQuorAnimationWidget), frames 0 to 7"),
        QStringLiteral("text edit (CQuorTextEdit), auto resize"),
        QStringLiteral("combo box (CQuorComboBox), hint text"),
        QStringLiteral("combo box (CQuorComboBox), current item"),
        QStringLiteral("list popup (CQuorListPopupDelegate), second row selected"),
        QStringLiteral("product icon and avatar shadows (CMeskUiStyle)"),
        QStringLiteral("product thumbnail shadow (CMeskUiStyle)"),
        QStringLiteral("product colour roles 0 to 50 (CMeskUiStyle::color)"),
        QStringLiteral("post dialog mask (mesk.uilibrary.postupdatewidget)"),
        QStringLiteral("shared texts (CMeskTexts), link and filter mark"),
    };
    for (const QString& row : rows) {
        for (const QString& look : looks) {
            const QString cell = row + QLatin1Char('/') + look;
            QVERIFY2(cells.contains(cell), qPrintable(cell));
        }
    }
    QCOMPARE(cells.size() % looks.size(), 0);
}

void TestGallery::refusesWithoutOutput()
{
    QProcess gallery;
    gallery.start(QStringLiteral(LUMESK_GALLERY), {});
    QVERIFY(gallery.waitForFinished(60000));
    QCOMPARE(gallery.exitCode(), 2);
}

void TestGallery::windowModeGrabsTheScreen_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("every window") << QString() << 0;
    QTest::newRow("one row") << QStringLiteral("left edge, right to left") << 0;
    QTest::newRow("no row matches") << QStringLiteral("no such window") << 2;
}

// The windows on the display the test runs on (offscreen here, an X display for a reviewer).
void TestGallery::windowModeGrabsTheScreen()
{
    QFETCH(QString, filter);
    QFETCH(int, exitCode);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("screen.png"));
    QStringList arguments = {QStringLiteral("--window"), QStringLiteral("--out"), out};
    if (!filter.isEmpty())
        arguments << QStringLiteral("--filter") << filter;
    QProcess gallery;
    gallery.start(QStringLiteral(LUMESK_GALLERY), arguments);
    QVERIFY(gallery.waitForFinished(60000));
    QCOMPARE(gallery.exitStatus(), QProcess::NormalExit);
    QCOMPARE(gallery.exitCode(), exitCode);
    const QImage screen(out);
    QCOMPARE(screen.isNull(), exitCode != 0);
    if (exitCode != 0)
        return;
    // The backdrop covers the screen: its colour in the corner, not the black of an empty root.
    QCOMPARE(QColor(screen.pixel(2, 2)), QColor(96, 144, 200));
}

QTEST_GUILESS_MAIN(TestGallery)
#include "tst_gallery.moc"
