// An entry given offscreen screens of its own (lumesk_offscreen_screens) gets them, wherever the checkout
// lies: Qt reads the platform string as Latin-1, so a file named in it by a path with "ü" was not found
// and the program ended before its first test function.
#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

class TestOffscreenScreens : public QObject
{
    Q_OBJECT
private slots:
    void screensFromTheFile();
};

void TestOffscreenScreens::screensFromTheFile()
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    QCOMPARE(screens.size(), 2);
    QCOMPARE(screens.at(0)->name(), QStringLiteral("first"));
    QCOMPARE(screens.at(0)->geometry(), QRect(0, 0, 640, 360));
    QCOMPARE(screens.at(1)->name(), QStringLiteral("second"));
    QCOMPARE(screens.at(1)->devicePixelRatio(), 2.0);
}

QTEST_MAIN(TestOffscreenScreens)
#include "tst_offscreenscreens.moc"
