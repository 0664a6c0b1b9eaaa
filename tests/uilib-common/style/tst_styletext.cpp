#include "paintcounter.h"
#include "recordingpaintdevice.h"
#include "style/quorcommonstyle.h"

#include <QApplication>
#include <QLinearGradient>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QStyleFactory>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

namespace {

QStringList g_warnings;

void collectWarnings(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        g_warnings.append(message);
}

const QLinearGradient* gradientOf(const QPen& pen)
{
    return pen.brush().style() == Qt::LinearGradientPattern
               ? static_cast<const QLinearGradient*>(pen.brush().gradient())
               : nullptr;
}

// A base style that never underlines shortcuts on its own.
class NoUnderlineStyle : public QProxyStyle
{
public:
    NoUnderlineStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows"))) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_UnderlineShortcut)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

class TestStyleText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void fadeStop_data();
    void fadeStop();
    void fadingPen_data();
    void fadingPen();
    void narrowRectangleDoesNotFade();
    void shadowIsFlatCopyOnePixelLower();
    void rightToLeftFadesLeft();
    void disabledItemText();
    void underlineFollowsAlt();
    void popupKeepsMnemonics();
    void menuMousePosition();
    void busyTimerFollowsShownBars();
    void idleBarNeverTicks_data();
    void idleBarNeverTicks();
    void phasedBarNeverStartsTimer();
    void deletedBarIsDropped();
    void busyTest_data();
    void busyTest();
    void ticksRepaintBusyBarsOnly();

private:
    CQuorCommonStyle* m_style = nullptr;
    QFont m_font;
};

void TestStyleText::initTestCase()
{
    m_style = new CQuorCommonStyle;
    QApplication::setStyle(m_style);
    m_font = QFont(QStringLiteral("DejaVu Sans"), 10);
}

void TestStyleText::cleanup()
{
    QApplication::setLayoutDirection(Qt::LeftToRight);
}

void TestStyleText::fadeStop_data()
{
    QTest::addColumn<int>("overflow");
    QTest::addColumn<int>("width");
    QTest::addColumn<qreal>("stop");
    QTest::newRow("3 over 100") << 3 << 100 << 0.95;
    QTest::newRow("40 over 100") << 40 << 100 << 0.9;
    QTest::newRow("7 over 100") << 7 << 100 << 0.93;
    QTest::newRow("fits") << 0 << 100 << 1.0;
    QTest::newRow("width 8") << 30 << 8 << 1.0;
    QTest::newRow("width 10") << 30 << 10 << 1.0;
    QTest::newRow("width 0") << 30 << 0 << 1.0;
    QTest::newRow("width 11") << 30 << 11 << 1.0 - 10.0 / 11.0;
}

void TestStyleText::fadeStop()
{
    QFETCH(int, overflow);
    QFETCH(int, width);
    QFETCH(qreal, stop);
    const qreal result = CQuorCommonStyle::fadeStop(overflow, width);
    QVERIFY2(qAbs(result - stop) < 1e-9, qPrintable(QString::number(result)));
    QVERIFY(result >= 0.0 && result <= 1.0);
}

void TestStyleText::fadingPen_data()
{
    QTest::addColumn<int>("overflow");
    QTest::newRow("3 over") << 3;
    QTest::newRow("40 over") << 40;
    QTest::newRow("fits") << -5;
}

void TestStyleText::fadingPen()
{
    QFETCH(int, overflow);
    const QString text = QStringLiteral("A fairly long text that needs room");
    RecordingPaintDevice device;
    QPainter painter(&device);
    painter.setFont(m_font);
    const QRect rect(10, 10, painter.fontMetrics().boundingRect(text).width() - overflow, 20);
    m_style->drawFadingText(&painter, rect, Qt::AlignLeft, QApplication::palette(), true, text, true, false,
                            QPalette::NoRole);
    const auto& texts = device.texts();
    QCOMPARE(texts.size(), 1);
    const QLinearGradient* gradient = gradientOf(texts.first().pen);
    if (overflow <= 0) {
        QVERIFY(!gradient); // text that fits keeps the plain pen
        return;
    }
    QVERIFY(gradient);
    QCOMPARE(gradient->stops().size(), 3);
    QCOMPARE(gradient->stops().at(0).second, QApplication::palette().color(QPalette::WindowText));
    QCOMPARE(gradient->stops().at(1).first, CQuorCommonStyle::fadeStop(overflow, rect.width()));
    QCOMPARE(gradient->stops().at(2).first, 1.0);
    QCOMPARE(gradient->stops().at(2).second.alpha(), 0);
    QCOMPARE(gradient->start(), QPointF(rect.topLeft()));
    QCOMPARE(gradient->finalStop(), QPointF(rect.topRight()));
}

void TestStyleText::narrowRectangleDoesNotFade()
{
    g_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    RecordingPaintDevice device;
    QPainter painter(&device);
    painter.setFont(m_font);
    m_style->drawFadingText(&painter, QRect(0, 0, 8, 20), Qt::AlignLeft, QApplication::palette(), true,
                            QStringLiteral("Much too wide"), true, true, QPalette::NoRole);
    painter.end();
    qInstallMessageHandler(previous);
    QVERIFY2(g_warnings.isEmpty(), qPrintable(g_warnings.join(QLatin1Char('\n'))));
    QCOMPARE(device.texts().size(), 2);
    QVERIFY(!gradientOf(device.texts().last().pen));
}

void TestStyleText::shadowIsFlatCopyOnePixelLower()
{
    RecordingPaintDevice device;
    QPainter painter(&device);
    painter.setFont(m_font);
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Shadow, QColor(1, 2, 3));
    palette.setColor(QPalette::WindowText, QColor(200, 0, 0));
    painter.setPen(QColor(0, 0, 200));
    m_style->drawFadingText(&painter, QRect(0, 0, 400, 20), Qt::AlignLeft, palette, true,
                            QStringLiteral("Fits"), false, true, QPalette::NoRole);
    QCOMPARE(painter.pen().color(), QColor(0, 0, 200)); // restored
    painter.end();
    const auto& texts = device.texts();
    QCOMPARE(texts.size(), 2);
    const QLinearGradient* shadow = gradientOf(texts.at(0).pen);
    QVERIFY(shadow);
    QCOMPARE(shadow->stops().size(), 2); // no transparent end
    for (const QGradientStop& stop : shadow->stops())
        QCOMPARE(stop.second, QColor(1, 2, 3));
    QCOMPARE(texts.at(0).transform.dy() - texts.at(1).transform.dy(), 1.0);
    QCOMPARE(texts.at(1).pen.color(), QColor(0, 0, 200)); // the caller's pen for the text itself
}

void TestStyleText::rightToLeftFadesLeft()
{
    QApplication::setLayoutDirection(Qt::RightToLeft);
    RecordingPaintDevice device;
    QPainter painter(&device);
    painter.setFont(m_font);
    const QRect rect(20, 0, 50, 20);
    m_style->drawFadingText(&painter, rect, Qt::AlignRight, QApplication::palette(), true,
                            QStringLiteral("A text that is too wide for fifty pixels"), true, false,
                            QPalette::NoRole);
    painter.end();
    const QLinearGradient* gradient = gradientOf(device.texts().first().pen);
    QVERIFY(gradient);
    QCOMPARE(gradient->start(), QPointF(rect.topRight()));
    QCOMPARE(gradient->finalStop(), QPointF(rect.topLeft()));
}

void TestStyleText::disabledItemText()
{
    RecordingPaintDevice device;
    QPainter painter(&device);
    painter.setFont(m_font);
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(9, 9, 9));
    painter.setPen(Qt::red);
    m_style->drawItemText(&painter, QRect(0, 0, 200, 20), Qt::AlignLeft, palette, false,
                          QStringLiteral("Off"), QPalette::NoRole);
    QCOMPARE(painter.pen().color(), QColor(Qt::red));
    m_style->drawItemText(&painter, QRect(0, 0, 200, 20), Qt::AlignLeft, palette, true, QStringLiteral("On"),
                          QPalette::NoRole);
    painter.end();
    const auto& texts = device.texts();
    QVERIFY(!texts.isEmpty());
    QCOMPARE(texts.last().text, QStringLiteral("On"));
    QCOMPARE(texts.last().pen.color(), QColor(Qt::red));
    QCOMPARE(texts.at(texts.size() - 2).text, QStringLiteral("Off"));
    QCOMPARE(texts.at(texts.size() - 2).pen.color(), QColor(9, 9, 9));
}

void TestStyleText::underlineFollowsAlt()
{
    auto* style = new CQuorCommonStyle;
    style->setBaseStyle(new NoUnderlineStyle);
    QApplication::setStyle(style);
    m_style = style;
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* menuBar = new QMenuBar;
    menuBar->addMenu(QStringLiteral("&File"));
    layout->addWidget(menuBar);
    PaintCounter counter;
    menuBar->installEventFilter(&counter);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(style->styleHint(QStyle::SH_UnderlineShortcut, nullptr, menuBar), 0);
    const int before = counter.paints;
    QTest::keyPress(&window, Qt::Key_Alt, Qt::AltModifier);
    QVERIFY(counter.paints > before); // repainted at once, not later
    QCOMPARE(style->styleHint(QStyle::SH_UnderlineShortcut, nullptr, menuBar), 1);
    QTest::keyRelease(&window, Qt::Key_Alt);
    QCOMPARE(style->styleHint(QStyle::SH_UnderlineShortcut, nullptr, menuBar), 0);

    QTest::keyPress(&window, Qt::Key_Alt, Qt::AltModifier);
    QCOMPARE(style->styleHint(QStyle::SH_UnderlineShortcut, nullptr, menuBar), 1);
    QEvent deactivate(QEvent::ApplicationDeactivate);
    QCoreApplication::sendEvent(qApp, &deactivate);
    QVERIFY(!style->showMnemonics());
    QCOMPARE(style->styleHint(QStyle::SH_UnderlineShortcut, nullptr, menuBar), 0);
}

void TestStyleText::popupKeepsMnemonics()
{
    QWidget target;
    QFocusEvent popupIn(QEvent::FocusIn, Qt::PopupFocusReason);
    QFocusEvent popupOut(QEvent::FocusOut, Qt::PopupFocusReason);
    QFocusEvent tabIn(QEvent::FocusIn, Qt::TabFocusReason);

    QTest::keyPress(&target, Qt::Key_Alt, Qt::AltModifier);
    QCoreApplication::sendEvent(&target, &tabIn); // other reasons change nothing
    QVERIFY(!m_style->popupMnemonics());
    QCoreApplication::sendEvent(&target, &popupIn); // a popup took focus while Alt was held
    QVERIFY(m_style->popupMnemonics());
    QTest::keyRelease(&target, Qt::Key_Alt);
    QVERIFY(!m_style->showMnemonics());
    QVERIFY(m_style->popupMnemonics());
    // Once set, it follows Alt again only when focus is on neither a menu nor a menu bar.
    QCoreApplication::sendEvent(&target, &popupOut);
    QVERIFY(!m_style->popupMnemonics());
}

void TestStyleText::menuMousePosition()
{
    QMenu menu;
    menu.addAction(QStringLiteral("Open"));
    menu.resize(100, 50);
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(305, 205), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&menu, &move);
    QCOMPARE(m_style->lastMenuMousePos(), QPoint(305, 205));
    QWidget other;
    QTest::keyClick(&other, Qt::Key_A);
    QCOMPARE(m_style->lastMenuMousePos(), QPoint(0, 0));
}

void TestStyleText::busyTimerFollowsShownBars()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* first = new QProgressBar;
    auto* second = new QProgressBar;
    first->setRange(0, 0);
    second->setProperty("isBusy", true);
    layout->addWidget(first);
    layout->addWidget(second);
    QCOMPARE(m_style->busyTimerId(), 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(m_style->busyTimerId() != 0);
    first->hide();
    QVERIFY(m_style->busyTimerId() != 0);
    second->hide();
    QCOMPARE(m_style->busyTimerId(), 0);
    second->show();
    QVERIFY(m_style->busyTimerId() != 0);
    window.hide(); // hiding the window hides its shown bars
    QCOMPARE(m_style->busyTimerId(), 0);
}

void TestStyleText::idleBarNeverTicks_data()
{
    QTest::addColumn<bool>("byProperty");
    QTest::newRow("isBusy set") << true;
    QTest::newRow("range 0..0") << false;
}

void TestStyleText::idleBarNeverTicks()
{
    QFETCH(bool, byProperty);
    QProgressBar bar;
    bar.setRange(0, 100);
    bar.setValue(40);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    const quint32 start = m_style->busyFrame();
    QTest::qWait(500);
    QCOMPARE(m_style->busyTimerId(), 0);
    QCOMPARE(m_style->busyFrame(), start);

    // Turned busy, the bar animates; hidden, the animation stops.
    if (byProperty)
        bar.setProperty("isBusy", true);
    else
        bar.setRange(0, 0);
    QTRY_VERIFY_WITH_TIMEOUT(m_style->busyFrame() - start >= 2, 30000);
    bar.hide();
    QCOMPARE(m_style->busyTimerId(), 0);

    // Shown again busy, then no longer busy: the next tick finds no busy bar and stops.
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QTRY_VERIFY_WITH_TIMEOUT(m_style->busyTimerId() != 0, 30000);
    if (byProperty)
        bar.setProperty("isBusy", false);
    else
        bar.setRange(0, 100);
    QTRY_COMPARE_WITH_TIMEOUT(m_style->busyTimerId(), 0, 30000);
    const quint32 stopped = m_style->busyFrame();
    QTest::qWait(200);
    QCOMPARE(m_style->busyFrame(), stopped);
}

void TestStyleText::phasedBarNeverStartsTimer()
{
    QProgressBar bar;
    bar.setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.progressbar.phased"));
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QCOMPARE(m_style->busyTimerId(), 0);
}

void TestStyleText::deletedBarIsDropped()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* bar = new QProgressBar;
    bar->setRange(0, 0);
    layout->addWidget(bar);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(m_style->busyTimerId() != 0);
    delete bar; // a shown child deleted directly gets no Hide event
    const quint32 frame = m_style->busyFrame();
    QTRY_COMPARE_WITH_TIMEOUT(m_style->busyTimerId(), 0, 30000);
    QVERIFY(m_style->busyFrame() != frame);
}

void TestStyleText::busyTest_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QVariant>("isBusy");
    QTest::addColumn<bool>("busy");
    QTest::newRow("0..0") << 0 << 0 << QVariant() << true;
    QTest::newRow("0..0 isBusy false") << 0 << 0 << QVariant(false) << true;
    QTest::newRow("0..100") << 0 << 100 << QVariant() << false;
    QTest::newRow("0..100 isBusy false") << 0 << 100 << QVariant(false) << false;
    QTest::newRow("0..100 isBusy true") << 0 << 100 << QVariant(true) << true;
    QTest::newRow("5..5") << 5 << 5 << QVariant() << false;
}

void TestStyleText::busyTest()
{
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(QVariant, isBusy);
    QFETCH(bool, busy);
    QProgressBar bar;
    bar.setRange(minimum, maximum);
    if (isBusy.isValid())
        bar.setProperty("isBusy", isBusy);
    QCOMPARE(CQuorCommonStyle::isBusyProgressBar(&bar), busy);
    QVERIFY(!CQuorCommonStyle::isBusyProgressBar(nullptr));
}

void TestStyleText::ticksRepaintBusyBarsOnly()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* busy = new QProgressBar;
    busy->setProperty("isBusy", true);
    auto* idle = new QProgressBar;
    idle->setValue(40);
    layout->addWidget(busy);
    layout->addWidget(idle);
    PaintCounter busyPaints;
    PaintCounter idlePaints;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    busy->installEventFilter(&busyPaints);
    idle->installEventFilter(&idlePaints);
    const quint32 start = m_style->busyFrame();
    QTRY_VERIFY_WITH_TIMEOUT(m_style->busyFrame() - start >= 4, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(busyPaints.paints >= 2, 30000);
    QCOMPARE(idlePaints.paints, 0);
}

QTEST_MAIN(TestStyleText)
#include "tst_styletext.moc"
