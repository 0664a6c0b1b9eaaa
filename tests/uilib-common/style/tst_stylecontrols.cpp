#include "recordingpaintdevice.h"
#include "style/quorcommonstyle.h"
#include "windows/quordialogtitlebar.h"

#include <QApplication>
#include <QLayout>
#include <QListView>
#include <QMenu>
#include <QMetaEnum>
#include <QPainter>
#include <QSlider>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStyleOption>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <map>
#include <memory>

namespace {

// The common style with its busy counter settable.
class TestStyle : public CQuorCommonStyle
{
public:
    using CQuorCommonStyle::setBusyFrame;
};

QPixmap styleImage(const QString& path)
{
    return QPixmap(CQuorCommonStyle::imageRoot() + path);
}

QImage paint(const QSize& size, const std::function<void(QPainter*)>& draw)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    draw(&painter);
    return image;
}

bool isBlank(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 0)
                return false;
        }
    }
    return true;
}

// Leftmost column holding a pixel of the colour, or -1.
int leftmostColumn(const QImage& image, QRgb colour)
{
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixel(x, y) == colour)
                return x;
        }
    }
    return -1;
}

template <typename Option>
void prepare(Option& option, const QRect& rect,
             QStyle::State state = QStyle::State_Enabled | QStyle::State_Active)
{
    option.rect = rect;
    option.state = state;
    option.direction = Qt::LeftToRight;
    option.palette = QApplication::palette();
    option.fontMetrics = QFontMetrics(QApplication::font());
}

QIcon solidIcon(const QColor& colour, int size = 16)
{
    QPixmap pixmap(size, size);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

} // namespace

class TestStyleControls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void pushButtonInBackgroundLooksDisabled();
    void gradientFaces_data();
    void gradientFaces();
    void secondaryButton();
    void optionGroupInRightToLeft();
    void dashboardHoverFaceOnTop();
    void readOnlyCheckBoxLabel();
    void menuItemTextAndShortcut();
    void menuSeparatorAndSelection();
    void disabledItemUnderPointer();
    void submenuArrowMirrored();
    void menuBarItem();
    void textLabelElement();

    void progressFill();
    void progressShine();
    void progressDisabledOpacity();
    void progressRanges_data();
    void progressRanges();
    void musicProgress();
    void phasedProgress();
    void phasedCapsInRightToLeft_data();
    void phasedCapsInRightToLeft();
    void directionComesFromTheOption_data();
    void directionComesFromTheOption();
    void tabs();
    void splittersAndGrip();
    void listItems();

    void comboBox();
    void scrollBar();
    void scrollBarArrowsInRightToLeft();
    void verticalSlider();
    void sliderEndIcons_data();
    void sliderEndIcons();
    void tickLoopNearIntMax();
    void toolButtons();
    void titleBars_data();
    void titleBars();
    void mainTitleBar();
    void captionCloseIconCentred_data();
    void captionCloseIconCentred();

private:
    QWidget* roleWidget(const QString& role);
    TestStyle* m_style = nullptr;
    std::map<QString, std::unique_ptr<QWidget>> m_widgets;
};

void TestStyleControls::initTestCase()
{
    m_style = new TestStyle;
    QApplication::setStyle(m_style);
}

void TestStyleControls::cleanup()
{
    QApplication::setLayoutDirection(Qt::LeftToRight);
    m_style->setBusyFrame(0);
}

QWidget* TestStyleControls::roleWidget(const QString& role)
{
    auto& slot = m_widgets[role];
    if (!slot) {
        slot = std::make_unique<QWidget>();
        slot->setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.") + role);
    }
    return slot.get();
}

void TestStyleControls::pushButtonInBackgroundLooksDisabled()
{
    QVERIFY(!QApplication::activeWindow());
    QWidget* w = roleWidget(QStringLiteral("button.gradient.Positive"));
    QStyleOptionButton enabled;
    prepare(enabled, QRect(0, 0, 120, 34));
    enabled.text = QStringLiteral("Go");
    QStyleOptionButton disabled(enabled);
    disabled.state &= ~QStyle::State_Enabled;
    const QSize size(120, 34);
    auto draw = [&](const QStyleOptionButton& option, const QWidget* widget) {
        return paint(size,
                     [&](QPainter* p) { m_style->drawControl(QStyle::CE_PushButton, &option, p, widget); });
    };
    auto parts = [&](const QStyleOptionButton& option, const QWidget* widget) {
        return paint(size, [&](QPainter* p) {
            m_style->drawControl(QStyle::CE_PushButtonBevel, &option, p, widget);
            QStyleOptionButton label(option);
            label.rect = m_style->subElementRect(QStyle::SE_PushButtonContents, &option, widget);
            m_style->drawControl(QStyle::CE_PushButtonLabel, &label, p, widget);
        });
    };
    QCOMPARE(draw(enabled, w), parts(disabled, w));
    QVERIFY(parts(disabled, w) != parts(enabled, w));
    // Without a widget nothing is taken away.
    QCOMPARE(draw(enabled, nullptr), parts(enabled, nullptr));
}

void TestStyleControls::gradientFaces_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<int>("face"); // -1: none
    QTest::newRow("Positive") << QStringLiteral("button.gradient.Positive")
                              << int(CQuorCommonStyle::FaceBlack);
    QTest::newRow("Negative") << QStringLiteral("button.gradient.Negative")
                              << int(CQuorCommonStyle::FaceWhite);
    QTest::newRow("Tool") << QStringLiteral("button.gradient.Tool") << int(CQuorCommonStyle::FaceToolbar);
    QTest::newRow("bare") << QStringLiteral("button.gradient") << -1;
    QTest::newRow("other ending") << QStringLiteral("button.gradient.Other") << -1;
}

void TestStyleControls::gradientFaces()
{
    QFETCH(QString, role);
    QFETCH(int, face);
    const QSize size(120, 34);
    const QStyle::State states[] = {QStyle::State_Enabled, QStyle::State_Enabled | QStyle::State_Sunken,
                                    QStyle::State_Enabled | QStyle::State_MouseOver, QStyle::State_None};
    const CQuorCommonStyle::TImageState images[] = {
        CQuorCommonStyle::ImageNormal, CQuorCommonStyle::ImagePressed, CQuorCommonStyle::ImageHover,
        CQuorCommonStyle::ImageDisabled};
    for (int i = 0; i < 4; ++i) {
        QStyleOptionButton option;
        prepare(option, QRect(QPoint(0, 0), size), states[i]);
        option.text = QStringLiteral("Label");
        const QImage bevel = paint(size, [&](QPainter* p) {
            m_style->drawControl(QStyle::CE_PushButtonBevel, &option, p, roleWidget(role));
        });
        if (face < 0) {
            QVERIFY(isBlank(bevel));
            const QImage label = paint(size, [&](QPainter* p) {
                m_style->drawControl(QStyle::CE_PushButtonLabel, &option, p, roleWidget(role));
            });
            QVERIFY(!isBlank(label));
            continue;
        }
        const QImage expected = paint(size, [&](QPainter* p) {
            CQuorCommonStyle::drawGradientButtonFace(
                p, &option, m_style->gradientButtonImage(CQuorCommonStyle::TGradientFace(face), images[i]));
        });
        QCOMPARE(bevel, expected);
    }
}

void TestStyleControls::secondaryButton()
{
    const QSize size(160, 30);
    QStyleOptionButton option;
    prepare(option, QRect(QPoint(0, 0), size));
    option.text = QStringLiteral("Add");
    option.icon = solidIcon(QColor(255, 0, 0));
    option.iconSize = QSize(16, 16);
    const QImage bevel = paint(size, [&](QPainter* p) {
        m_style->drawControl(QStyle::CE_PushButtonBevel, &option, p,
                             roleWidget(QStringLiteral("button.secondary")));
    });
    QVERIFY(isBlank(bevel));
    auto iconLeft = [&](const QString& role) {
        const QImage label = paint(size, [&](QPainter* p) {
            m_style->drawControl(QStyle::CE_PushButtonLabel, &option, p, roleWidget(role));
        });
        return leftmostColumn(label, qRgb(255, 0, 0));
    };
    const int secondary = iconLeft(QStringLiteral("button.secondary"));
    const int other = iconLeft(QStringLiteral("button.gradient.Tool"));
    QVERIFY(secondary > 0);
    // The block is icon + spacing + text, centred: 6 pixels less spacing moves the icon 3 right.
    QCOMPARE(secondary - other, 3);
}

void TestStyleControls::optionGroupInRightToLeft()
{
    const QSize size(80, 30);
    QStyleOptionButton option;
    prepare(option, QRect(QPoint(0, 0), size));
    option.direction = Qt::RightToLeft;
    const QImage first = paint(size, [&](QPainter* p) {
        m_style->drawControl(QStyle::CE_PushButtonBevel, &option, p,
                             roleWidget(QStringLiteral("button.optiongroup.first")));
    });
    const QImage right = paint(size, [&](QPainter* p) {
        drawNinePatchPixmap(p, styleImage(QStringLiteral("OptionGroup/toggle_right_normal.png")), option.rect,
                            6, 0, 6, 0);
    });
    QCOMPARE(first, right);
    option.direction = Qt::LeftToRight;
    option.state |= QStyle::State_On;
    const QImage firstOn = paint(size, [&](QPainter* p) {
        m_style->drawControl(QStyle::CE_PushButtonBevel, &option, p,
                             roleWidget(QStringLiteral("button.optiongroup.first")));
    });
    QCOMPARE(firstOn, paint(size, [&](QPainter* p) {
                 drawNinePatchPixmap(p, styleImage(QStringLiteral("OptionGroup/toggle_left_pressed.png")),
                                     option.rect, 6, 0, 6, 0);
             }));
}

void TestStyleControls::dashboardHoverFaceOnTop()
{
    const QSize size(140, 40);
    QStyleOptionButton option;
    prepare(option, QRect(QPoint(0, 0), size), QStyle::State_Enabled | QStyle::State_MouseOver);
    const QImage drawn = paint(size, [&](QPainter* p) {
        m_style->drawControl(QStyle::CE_PushButtonBevel, &option, p,
                             roleWidget(QStringLiteral("button.dashboard")));
    });
    const QImage expected = paint(size, [&](QPainter* p) {
        drawNinePatchPixmap(p, styleImage(QStringLiteral("SyncButton/sync_normal.png")), option.rect, 16, 0,
                            16, 0);
        drawNinePatchPixmap(p, styleImage(QStringLiteral("SyncButton/sync_hover.png")), option.rect, 16, 0,
                            16, 0);
    });
    QCOMPARE(drawn, expected);
    option.state = QStyle::State_Enabled | QStyle::State_Sunken;
    const QImage pressed = paint(size, [&](QPainter* p) {
        m_style->drawControl(QStyle::CE_PushButtonBevel, &option, p,
                             roleWidget(QStringLiteral("button.syncall")));
    });
    QCOMPARE(pressed, paint(size, [&](QPainter* p) {
                 drawNinePatchPixmap(p, styleImage(QStringLiteral("SyncButton/smallsync_pressed.png")),
                                     option.rect, 14, 0, 14, 0);
             }));
}

void TestStyleControls::readOnlyCheckBoxLabel()
{
    const QSize size(120, 24);
    QStyleOptionButton option;
    prepare(option, QRect(QPoint(0, 0), size));
    option.text = QStringLiteral("Remember");
    QStyleOptionButton disabled(option);
    disabled.state &= ~QStyle::State_Enabled;
    disabled.palette.setCurrentColorGroup(QPalette::Disabled); // as a disabled widget hands it over
    QWidget* checkBox = roleWidget(QStringLiteral("checkbox"));
    auto draw = [&](const QStyleOptionButton& o) {
        return paint(size,
                     [&](QPainter* p) { m_style->drawControl(QStyle::CE_CheckBoxLabel, &o, p, checkBox); });
    };
    checkBox->setProperty("readOnly", true);
    QCOMPARE(draw(disabled), draw(option));
    checkBox->setProperty("readOnly", false);
    QVERIFY(draw(disabled) != draw(option));
}

void TestStyleControls::menuItemTextAndShortcut()
{
    QStyleOptionMenuItem item;
    prepare(item, QRect(0, 0, 200, 22));
    item.menuItemType = QStyleOptionMenuItem::Normal;
    item.menuHasCheckableItems = false;
    item.text = QStringLiteral("Open\tCtrl+O");
    RecordingPaintDevice device;
    {
        QPainter painter(&device);
        m_style->drawControl(QStyle::CE_MenuItem, &item, &painter, roleWidget(QStringLiteral("menu")));
    }
    QCOMPARE(device.texts().size(), 2);
    QCOMPARE(device.texts().at(0).text, QStringLiteral("Open"));
    QCOMPARE(device.texts().at(1).text, QStringLiteral("Ctrl+O"));
    QVERIFY(device.texts().at(0).position.x() < 20);
    const int shortcutWidth = item.fontMetrics.horizontalAdvance(QStringLiteral("Ctrl+O"));
    QVERIFY(qAbs(device.texts().at(1).position.x() + shortcutWidth - (200 - 5)) <= 2);

    item.text = QStringLiteral("\t\t");
    RecordingPaintDevice empty;
    {
        QPainter painter(&empty);
        m_style->drawControl(QStyle::CE_MenuItem, &item, &painter, roleWidget(QStringLiteral("menu")));
    }
    QVERIFY(empty.texts().isEmpty());
}

void TestStyleControls::menuSeparatorAndSelection()
{
    const QSize size(100, 9);
    QStyleOptionMenuItem separator;
    prepare(separator, QRect(QPoint(0, 0), size));
    separator.menuItemType = QStyleOptionMenuItem::Separator;
    const QImage sep = paint(size, [&](QPainter* p) {
        m_style->drawControl(QStyle::CE_MenuItem, &separator, p, roleWidget(QStringLiteral("menu")));
    });
    QCOMPARE(sep.pixelColor(50, 4), m_style->color(10));
    QCOMPARE(sep.pixelColor(50, 1), QColor(Qt::white));

    QStyleOptionMenuItem item;
    prepare(item, QRect(0, 0, 100, 22), QStyle::State_Enabled | QStyle::State_Selected);
    item.menuItemType = QStyleOptionMenuItem::Normal;
    const QImage selected = paint(QSize(100, 22), [&](QPainter* p) {
        m_style->drawControl(QStyle::CE_MenuItem, &item, p, roleWidget(QStringLiteral("menu")));
    });
    QCOMPARE(selected.pixelColor(90, 11), m_style->color(6));
    QCOMPARE(selected.pixelColor(99, 21), m_style->color(6));
}

void TestStyleControls::disabledItemUnderPointer()
{
    QMenu menu;
    menu.setGeometry(100, 100, 120, 60);
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(110, 110), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&menu, &move);
    QCOMPARE(m_style->lastMenuMousePos(), QPoint(110, 110));
    QStyleOptionMenuItem item;
    prepare(item, QRect(0, 0, 120, 22), QStyle::State_Selected);
    item.menuItemType = QStyleOptionMenuItem::Normal;
    const QImage underPointer = paint(
        QSize(120, 22), [&](QPainter* p) { m_style->drawControl(QStyle::CE_MenuItem, &item, p, &menu); });
    QVERIFY(underPointer.pixelColor(100, 11) != m_style->color(6));
    // Elsewhere the disabled selected item is highlighted.
    item.rect = QRect(0, 30, 120, 22);
    const QImage elsewhere = paint(
        QSize(120, 60), [&](QPainter* p) { m_style->drawControl(QStyle::CE_MenuItem, &item, p, &menu); });
    QCOMPARE(elsewhere.pixelColor(100, 40), m_style->color(6));
}

void TestStyleControls::submenuArrowMirrored()
{
    const QSize size(120, 22);
    QStyleOptionMenuItem item;
    prepare(item, QRect(QPoint(0, 0), size));
    item.menuItemType = QStyleOptionMenuItem::SubMenu;
    QApplication::setLayoutDirection(Qt::RightToLeft);
    item.direction = Qt::RightToLeft;
    const QImage drawn = paint(size, [&](QPainter* p) {
        m_style->drawControl(QStyle::CE_MenuItem, &item, p, roleWidget(QStringLiteral("menu")));
    });
    const QPixmap arrow = mirroredPixmap(styleImage(QStringLiteral("Menu/arrow_to_right_normal.png")));
    const QImage expected = paint(size, [&](QPainter* p) {
        p->fillRect(item.rect, item.palette.color(QPalette::Inactive, QPalette::Window));
        p->drawPixmap(0, (size.height() - arrow.height()) / 2, arrow);
    });
    QCOMPARE(drawn, expected);
}

void TestStyleControls::menuBarItem()
{
    const QSize size(60, 24);
    QStyleOptionMenuItem item;
    prepare(item, QRect(QPoint(0, 0), size), QStyle::State_Enabled | QStyle::State_Selected);
    item.text = QStringLiteral("File");
    QWidget* bar = roleWidget(QStringLiteral("menubar"));
    auto draw = [&] {
        return paint(size, [&](QPainter* p) { m_style->drawControl(QStyle::CE_MenuBarItem, &item, p, bar); });
    };
    QVERIFY(!QApplication::activeWindow());
    QVERIFY(draw().pixelColor(2, 12) != m_style->color(6)); // selected in the background: plain
    item.state |= QStyle::State_Sunken;
    const QImage sunken = draw();
    QCOMPARE(sunken.pixelColor(2, 12), m_style->color(6));
    QCOMPARE(sunken.pixelColor(0, 1).alpha(), 0); // rounded top corner
    // The text is white on the highlight, colour 11 otherwise.
    bool white = false;
    for (int x = 0; x < size.width() && !white; ++x) {
        for (int y = 0; y < size.height() && !white; ++y)
            white = sunken.pixelColor(x, y) == QColor(Qt::white);
    }
    QVERIFY(white);
}

void TestStyleControls::textLabelElement()
{
    CQuorTextLabelOption label;
    prepare(label, QRect(0, 0, 60, 20));
    label.text = QStringLiteral("A text far too long for sixty pixels");
    label.alignment = Qt::AlignLeft | Qt::AlignVCenter;
    RecordingPaintDevice device;
    {
        QPainter painter(&device);
        m_style->drawControl(QStyle::CE_CustomBase, &label, &painter, nullptr);
    }
    QCOMPARE(device.texts().size(), 1);
    QVERIFY(device.texts().first().text.endsWith(QChar(0x2026)));

    QStyleOption plain;
    prepare(plain, QRect(0, 0, 60, 20));
    RecordingPaintDevice nothing;
    {
        QPainter painter(&nothing);
        m_style->drawControl(QStyle::CE_CustomBase, &plain, &painter, nullptr);
    }
    QVERIFY(nothing.texts().isEmpty());
}

namespace {

QStyleOptionProgressBar progressOption(int minimum, int maximum, int progress, const QRect& rect)
{
    QStyleOptionProgressBar bar;
    prepare(bar, rect);
    bar.minimum = minimum;
    bar.maximum = maximum;
    bar.progress = progress;
    return bar;
}

} // namespace

void TestStyleControls::progressFill()
{
    const QSize size(200, 30);
    QWidget* w = roleWidget(QStringLiteral("progressbar"));
    auto draw = [&](const QStyleOptionProgressBar& bar) {
        return paint(size, [&](QPainter* p) { m_style->drawControl(QStyle::CE_ProgressBar, &bar, p, w); });
    };
    const QRect rect(QPoint(0, 0), size);
    const QImage busy = draw(progressOption(0, 0, 0, rect));
    const QImage full = draw(progressOption(0, 100, 100, rect));
    const QImage empty = draw(progressOption(0, 100, 0, rect));
    const int y = 15;
    // A busy bar is filled to its right end, like a full one; an empty one is not.
    auto filled = [](const QColor& c) { return c.green() > c.red() + 40; };
    QVERIFY(filled(busy.pixelColor(185, y)));
    QVERIFY(filled(full.pixelColor(185, y)));
    QVERIFY(!filled(empty.pixelColor(185, y)));
    QVERIFY(!filled(empty.pixelColor(15, y)));

    // Right to left fills from the right.
    QStyleOptionProgressBar half = progressOption(0, 100, 50, rect);
    half.direction = Qt::RightToLeft;
    const QImage rtl = draw(half);
    QVERIFY(filled(rtl.pixelColor(185, y)));
    QVERIFY(!filled(rtl.pixelColor(15, y)));
}

void TestStyleControls::progressShine()
{
    const QSize size(200, 30);
    QWidget* w = roleWidget(QStringLiteral("progressbar"));
    const QRect rect(QPoint(0, 0), size);
    const int width = styleImage(QStringLiteral("ProgressBar/ProgressBarV2_busy.png")).width();
    QVERIFY(width > 1);
    auto draw = [&](const QStyleOptionProgressBar& bar, quint32 frame) {
        m_style->setBusyFrame(frame);
        return paint(size, [&](QPainter* p) { m_style->drawControl(QStyle::CE_ProgressBar, &bar, p, w); });
    };
    const QStyleOptionProgressBar busy = progressOption(0, 0, 0, rect);
    QVERIFY(draw(busy, 3) != draw(busy, 4)); // the shine moves with the counter
    QCOMPARE(draw(busy, 3), draw(busy, 3 + quint32(width)));
    QCOMPARE(draw(busy, 0xFFFFFFFFu), draw(busy, 0xFFFFFFFFu % quint32(width))); // wraps
    const QStyleOptionProgressBar half = progressOption(0, 100, 50, rect);
    QVERIFY(draw(half, 3) != draw(half, 4)); // below full: shine
    const QStyleOptionProgressBar full = progressOption(0, 100, 100, rect);
    QCOMPARE(draw(full, 3), draw(full, 4)); // full and not busy: none
}

void TestStyleControls::progressDisabledOpacity()
{
    const QSize size(200, 30);
    QWidget* w = roleWidget(QStringLiteral("progressbar"));
    QStyleOptionProgressBar bar = progressOption(0, 100, 100, QRect(QPoint(0, 0), size));
    const QImage halfOpaque = paint(size, [&](QPainter* p) {
        p->setOpacity(0.5);
        m_style->drawControl(QStyle::CE_ProgressBar, &bar, p, w);
    });
    bar.state &= ~QStyle::State_Enabled;
    qreal after = 0;
    const QImage disabled = paint(size, [&](QPainter* p) {
        p->setOpacity(0.8);
        m_style->drawControl(QStyle::CE_ProgressBar, &bar, p, w);
        after = p->opacity();
    });
    QCOMPARE(after, 0.8);
    QCOMPARE(disabled, halfOpaque);
}

void TestStyleControls::progressRanges_data()
{
    QTest::addColumn<QList<int>>("bar");    // minimum, maximum, progress
    QTest::addColumn<QList<int>>("sameAs"); // minimum, maximum, progress
    QTest::newRow("5..5 is full") << QList<int>{5, 5, 5} << QList<int>{0, 100, 100};
    QTest::newRow("fresh bar is empty") << QList<int>{0, 100, -1} << QList<int>{0, 100, 0};
    QTest::newRow("over maximum is full") << QList<int>{0, 100, 140} << QList<int>{0, 100, 100};
    QTest::newRow("minimum 50") << QList<int>{50, 150, 100} << QList<int>{0, 100, 50};
    QTest::newRow("whole int range") << QList<int>{INT_MIN, INT_MAX, INT_MAX} << QList<int>{0, 100, 100};
}

void TestStyleControls::progressRanges()
{
    QFETCH(QList<int>, bar);
    QFETCH(QList<int>, sameAs);
    const QSize size(200, 30);
    QWidget* w = roleWidget(QStringLiteral("progressbar"));
    const QRect rect(QPoint(0, 0), size);
    auto draw = [&](const QList<int>& v) {
        const QStyleOptionProgressBar option = progressOption(v.at(0), v.at(1), v.at(2), rect);
        return paint(size, [&](QPainter* p) { m_style->drawControl(QStyle::CE_ProgressBar, &option, p, w); });
    };
    QCOMPARE(draw(bar), draw(sameAs));
}

void TestStyleControls::musicProgress()
{
    const QSize size(200, 20);
    QWidget* w = roleWidget(QStringLiteral("progressbar.music.player"));
    const QRect rect(QPoint(0, 0), size);
    auto draw = [&](int minimum, int maximum, int progress) {
        const QStyleOptionProgressBar option = progressOption(minimum, maximum, progress, rect);
        return paint(size, [&](QPainter* p) { m_style->drawControl(QStyle::CE_ProgressBar, &option, p, w); });
    };
    QCOMPARE(draw(50, 150, 100), draw(0, 100, 50));
    const QPixmap background = styleImage(QStringLiteral("Music/music_player_progress_bg.png"));
    const QPixmap fill = styleImage(QStringLiteral("Music/music_player_progress_fill.png"));
    const QImage half = paint(size, [&](QPainter* p) {
        p->drawPixmap(QRect(0, 0, 200, background.height()), background);
        p->drawPixmap(QRect(0, 0, 100, background.height()), fill);
    });
    QCOMPARE(draw(0, 100, 50), half);
    const QImage none =
        paint(size, [&](QPainter* p) { p->drawPixmap(QRect(0, 0, 200, background.height()), background); });
    QCOMPARE(draw(7, 7, 7), none);
}

void TestStyleControls::phasedProgress()
{
    const QSize size(103, 40);
    QWidget* w = roleWidget(QStringLiteral("progressbar.phased"));
    auto option = [&](int minimum, int maximum, int progress) {
        CQuorStyleOptionPhasedProgressBar bar;
        prepare(bar, QRect(QPoint(0, 0), size));
        bar.minimum = minimum;
        bar.maximum = maximum;
        bar.progress = progress;
        return bar;
    };
    auto draw = [&](const QStyleOption& bar) {
        return paint(size, [&](QPainter* p) { m_style->drawControl(QStyle::CE_ProgressBar, &bar, p, w); });
    };
    // Four cells of 25 pixels, starting 1 pixel in.
    const QImage four = draw(option(0, 4, 1));
    const int barTop = size.height() - m_style->pixelMetric(QStyle::PixelMetric(QStyle::PM_CustomBase + 9));
    const int y = (barTop + size.height()) / 2;
    QCOMPARE(qAlpha(four.pixel(0, y)), 0);
    QVERIFY(qAlpha(four.pixel(1, y)) > 0);
    QVERIFY(qAlpha(four.pixel(100, y)) > 0); // closing cap of the last cell
    // The current phase counts from the minimum: 1..5 at 3 is the third cell, as 0..4 at 2.
    QCOMPARE(draw(option(1, 5, 3)), draw(option(0, 4, 2)));
    QVERIFY(draw(option(1, 5, 3)) != draw(option(0, 4, 3)));
    QVERIFY(isBlank(draw(option(3, 3, 3))));
    // A plain option on the phased role draws nothing.
    const QStyleOptionProgressBar plain = progressOption(0, 4, 1, QRect(QPoint(0, 0), size));
    QVERIFY(isBlank(draw(plain)));
}

void TestStyleControls::phasedCapsInRightToLeft_data()
{
    QTest::addColumn<bool>("rightToLeftApplication");
    QTest::newRow("left-to-right application") << false;
    QTest::newRow("right-to-left application") << true;
}

void TestStyleControls::phasedCapsInRightToLeft()
{
    // A right-to-left bar has the rounded ends of its caps outside, like a left-to-right one,
    // whatever the application's own direction.
    QFETCH(bool, rightToLeftApplication);
    const QSize size(100, 40);
    QWidget* w = roleWidget(QStringLiteral("progressbar.phased"));
    auto draw = [&](Qt::LayoutDirection direction) {
        CQuorStyleOptionPhasedProgressBar bar;
        prepare(bar, QRect(QPoint(0, 0), size));
        bar.direction = direction;
        bar.minimum = 0;
        bar.maximum = 4;
        bar.progress = 4; // every phase past: one image set everywhere
        return paint(size, [&](QPainter* p) { m_style->drawControl(QStyle::CE_ProgressBar, &bar, p, w); });
    };
    QApplication::setLayoutDirection(rightToLeftApplication ? Qt::RightToLeft : Qt::LeftToRight);
    const QImage ltr = draw(Qt::LeftToRight);
    const QImage rtl = draw(Qt::RightToLeft);
    const QPixmap left = styleImage(QStringLiteral("PhasedProgressBar/Past_left.png"));
    const QPixmap right = styleImage(QStringLiteral("PhasedProgressBar/Past_right.png"));
    const int barTop = size.height() - left.height();
    // The leading cap is the left image at the left end of a left-to-right bar and the right
    // image at the right end of a right-to-left one, each as drawn.
    const QImage caps = paint(size, [&](QPainter* p) {
        p->drawPixmap(0, barTop, left);
        p->drawPixmap(size.width() - right.width(), barTop, right);
    });
    for (int y = barTop; y < size.height(); ++y) {
        for (int x = 0; x < left.width(); ++x)
            QCOMPARE(ltr.pixel(x, y), caps.pixel(x, y));
        for (int x = size.width() - right.width(); x < size.width(); ++x)
            QCOMPARE(rtl.pixel(x, y), caps.pixel(x, y));
    }
}

void TestStyleControls::directionComesFromTheOption_data()
{
    QTest::addColumn<QString>("role");
    QTest::newRow("restore tooltip") << QStringLiteral("tooltip.restore");
    QTest::newRow("progress fill cap") << QStringLiteral("progressbar");
    QTest::newRow("phased bar") << QStringLiteral("progressbar.phased");
    QTest::newRow("submenu arrow") << QStringLiteral("menu");
}

void TestStyleControls::directionComesFromTheOption()
{
    // An image that points one way is turned with the option's direction, which also places
    // it and picks its margins: a widget whose direction is not the application's is drawn as
    // in an application of its own direction.
    QFETCH(QString, role);
    const QSize size(120, 40);
    QWidget* w = roleWidget(role);
    auto draw = [&](Qt::LayoutDirection direction) {
        return paint(size, [&](QPainter* p) {
            if (role == QLatin1String("menu")) {
                QStyleOptionMenuItem item;
                prepare(item, QRect(QPoint(0, 0), size));
                item.direction = direction;
                item.menuItemType = QStyleOptionMenuItem::SubMenu;
                item.text = QStringLiteral("More");
                m_style->drawControl(QStyle::CE_MenuItem, &item, p, w);
            } else if (role == QLatin1String("tooltip.restore")) {
                QStyleOption option;
                prepare(option, QRect(QPoint(0, 0), size));
                option.direction = direction;
                m_style->drawPrimitive(QStyle::PE_PanelTipLabel, &option, p, w);
            } else {
                CQuorStyleOptionPhasedProgressBar bar;
                prepare(bar, QRect(QPoint(0, 0), size));
                bar.direction = direction;
                bar.minimum = 0;
                bar.maximum = 4;
                bar.progress = 2;
                m_style->drawControl(QStyle::CE_ProgressBar, &bar, p, w);
            }
        });
    };
    for (const Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
        QApplication::setLayoutDirection(direction);
        const QImage own = draw(direction);
        QApplication::setLayoutDirection(direction == Qt::LeftToRight ? Qt::RightToLeft : Qt::LeftToRight);
        QCOMPARE(draw(direction), own);
    }
}

void TestStyleControls::tabs()
{
    QStyleOptionTab tab;
    prepare(tab, QRect(0, 0, 80, 30));
    tab.text = QStringLiteral("Tab");
    tab.icon = solidIcon(Qt::red);
    tab.iconSize = QSize(16, 16);
    tab.shape = QTabBar::RoundedNorth;
    tab.position = QStyleOptionTab::Middle;
    RecordingPaintDevice device;
    {
        QPainter painter(&device);
        m_style->drawControl(QStyle::CE_TabBarTab, &tab, &painter, roleWidget(QStringLiteral("default")));
    }
    bool reflected = false;
    for (const auto& pixmap : device.pixmaps())
        reflected = reflected || pixmap.size == QSize(16, 24);
    QVERIFY(reflected);

    const QSize size(100, 30);
    tab.rect = QRect(10, 0, 80, 30);
    const QPixmap unselected = styleImage(QStringLiteral("TabWidget/tab_unselected.png"));
    auto shape = [&](const QStyleOptionTab& o) {
        return paint(size,
                     [&](QPainter* p) { m_style->drawControl(QStyle::CE_TabBarTabShape, &o, p, nullptr); });
    };
    tab.position = QStyleOptionTab::Beginning;
    QCOMPARE(shape(tab), paint(size, [&](QPainter* p) {
                 drawNinePatchPixmap(p, unselected, QRect(9, 0, 81, 30), 9, 9, 9, 0);
             }));
    tab.direction = Qt::RightToLeft;
    QCOMPARE(shape(tab), paint(size, [&](QPainter* p) {
                 drawNinePatchPixmap(p, mirroredPixmap(unselected), QRect(10, 0, 80, 30), 9, 9, 9, 0);
             }));
}

void TestStyleControls::splittersAndGrip()
{
    const QSize size(9, 40);
    QStyleOption option;
    prepare(option, QRect(QPoint(0, 0), size), QStyle::State_Enabled | QStyle::State_Horizontal);
    QVERIFY(isBlank(paint(size, [&](QPainter* p) {
        m_style->drawControl(QStyle::CE_Splitter, &option, p,
                             roleWidget(QStringLiteral("window.main.splitter")));
    })));
    QSplitter splitter;
    splitter.setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.window.main.splitter"));
    const QImage line =
        paint(size, [&](QPainter* p) { m_style->drawControl(QStyle::CE_Splitter, &option, p, &splitter); });
    QCOMPARE(line.pixelColor(4, 20), m_style->color(1));
    QCOMPARE(qAlpha(line.pixel(2, 20)), 0);

    const QPixmap grip = styleImage(QStringLiteral("MainWindow/sizeGrip.png"));
    option.rect = QRect(3, 4, 30, 30);
    const QImage drawn = paint(
        QSize(40, 40), [&](QPainter* p) { m_style->drawControl(QStyle::CE_SizeGrip, &option, p, nullptr); });
    QCOMPARE(drawn, paint(QSize(40, 40), [&](QPainter* p) { p->drawPixmap(3, 4, grip); }));
}

void TestStyleControls::listItems()
{
    QStandardItemModel model(2, 1);
    model.setData(model.index(0, 0), QStringLiteral("First"));
    model.setData(model.index(1, 0), QStringLiteral("Second"));
    QWidget* view = roleWidget(QStringLiteral("itemlist.view"));
    const QSize size(160, 30);
    auto item = [&](int row) {
        CQuorStyleOptionListItem option;
        prepare(option, QRect(QPoint(0, 0), size));
        option.index = model.index(row, 0);
        option.text = model.index(row, 0).data().toString();
        option.features = QStyleOptionViewItem::HasDisplay;
        option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        option.separator = true;
        return option;
    };
    auto draw = [&](const QStyleOption& o) {
        return paint(size, [&](QPainter* p) { m_style->drawControl(QStyle::CE_ItemViewItem, &o, p, view); });
    };
    const QImage first = draw(item(0));
    const QImage second = draw(item(1));
    QVERIFY(first.pixelColor(80, 0) != m_style->color(9));
    QCOMPARE(second.pixelColor(80, 0), m_style->color(9));
    QVERIFY(second.pixelColor(1, 0) != m_style->color(9)); // 3 pixels in from each side

    // The text is drawn whole: the insets leave it room.
    RecordingPaintDevice device;
    {
        QPainter painter(&device);
        const CQuorStyleOptionListItem option = item(1);
        m_style->drawControl(QStyle::CE_ItemViewItem, &option, &painter, view);
    }
    QCOMPARE(device.texts().size(), 1);
    QCOMPARE(device.texts().first().text, QStringLiteral("Second"));

    // A selected item is highlighted from its text inset to its far edge less 9, not just
    // behind its (short) text.
    CQuorStyleOptionListItem selected = item(0);
    selected.state |= QStyle::State_Selected;
    const QColor highlight = selected.palette.color(QPalette::Active, QPalette::Highlight);
    const QImage picked = draw(selected);
    QCOMPARE(picked.pixelColor(size.width() - 11, size.height() / 2), highlight);
    QVERIFY(picked.pixelColor(size.width() - 5, size.height() / 2) != highlight);

    QStyleOptionViewItem plain;
    prepare(plain, QRect(QPoint(0, 0), size));
    plain.text = QStringLiteral("Plain");
    QVERIFY(isBlank(draw(plain)));
}

void TestStyleControls::comboBox()
{
    const QSize size(150, 26);
    QStyleOptionComboBox combo;
    prepare(combo, QRect(QPoint(0, 0), size));
    combo.direction = Qt::RightToLeft;
    auto draw = [&] {
        return paint(
            size, [&](QPainter* p) { m_style->drawComplexControl(QStyle::CC_ComboBox, &combo, p, nullptr); });
    };
    QCOMPARE(draw(), paint(size, [&](QPainter* p) {
                 drawNinePatchPixmap(
                     p, mirroredPixmap(styleImage(QStringLiteral("ComboBox/ComboBox_normal.png"))),
                     combo.rect, 25, 5, 12, 5);
             }));
    combo.direction = Qt::LeftToRight;
    combo.state |= QStyle::State_Selected | QStyle::State_MouseOver;
    QCOMPARE(draw(), paint(size, [&](QPainter* p) {
                 drawNinePatchPixmap(p, styleImage(QStringLiteral("ComboBox/ComboBox_pressed.png")),
                                     combo.rect, 12, 5, 25, 5);
             }));
}

void TestStyleControls::scrollBar()
{
    const QSize size(200, 17);
    QWidget* w = roleWidget(QStringLiteral("scrollbar"));
    QStyleOptionSlider bar;
    prepare(bar, QRect(QPoint(0, 0), size),
            QStyle::State_Enabled | QStyle::State_Horizontal | QStyle::State_MouseOver);
    bar.orientation = Qt::Horizontal;
    bar.minimum = 0;
    bar.maximum = 100;
    bar.sliderPosition = bar.sliderValue = 40;
    bar.pageStep = 30;
    bar.subControls = QStyle::SC_All;
    const QString h = QStringLiteral("ScrollBar/Horizontal/Horizontal_");
    auto expected = [&](const char* background, const char* slider, const char* left, const char* right) {
        return paint(size, [&](QPainter* p) {
            p->fillRect(bar.rect, Qt::white);
            drawNinePatchPixmap(p, styleImage(h + QStringLiteral("Background") + QLatin1String(background)),
                                bar.rect, 9, 0, 9, 0);
            const QRect s = m_style->subControlRect(QStyle::CC_ScrollBar, &bar, QStyle::SC_ScrollBarSlider, w)
                                .adjusted(-8, 0, 8, 0);
            drawNinePatchPixmap(p, styleImage(h + QStringLiteral("Slider") + QLatin1String(slider)), s, 9, 0,
                                9, 0);
            p->drawPixmap(m_style->subControlRect(QStyle::CC_ScrollBar, &bar, QStyle::SC_ScrollBarSubLine, w),
                          styleImage(h + QStringLiteral("Button_Left") + QLatin1String(left)));
            p->drawPixmap(m_style->subControlRect(QStyle::CC_ScrollBar, &bar, QStyle::SC_ScrollBarAddLine, w),
                          styleImage(h + QStringLiteral("Button_Right") + QLatin1String(right)));
        });
    };
    auto draw = [&] {
        return paint(size,
                     [&](QPainter* p) { m_style->drawComplexControl(QStyle::CC_ScrollBar, &bar, p, w); });
    };
    // The pointer over the bar but over no part of it: only the background shows the hover state.
    QCOMPARE(draw(), expected("_hover.png", "_normal.png", "_normal.png", "_normal.png"));
    bar.activeSubControls = QStyle::SC_ScrollBarSlider;
    QCOMPARE(draw(), expected("_hover.png", "_hover.png", "_normal.png", "_normal.png"));
    bar.activeSubControls = QStyle::SC_ScrollBarAddLine;
    bar.state |= QStyle::State_Sunken;
    QCOMPARE(draw(), expected("_pressed.png", "_normal.png", "_normal.png", "_pressed.png"));
    bar.activeSubControls = QStyle::SC_None;
    bar.state = QStyle::State_Horizontal;
    QCOMPARE(draw(), expected("_disabled.png", "_normal.png", "_normal.png", "_normal.png"));
}

void TestStyleControls::scrollBarArrowsInRightToLeft()
{
    // A right-to-left bar has its sub-line button at the right end and its add-line button at
    // the left end: each arrow points out of the bar, towards the end it scrolls to.
    const QSize size(200, 17);
    QWidget* w = roleWidget(QStringLiteral("scrollbar"));
    QStyleOptionSlider bar;
    prepare(bar, QRect(QPoint(0, 0), size), QStyle::State_Enabled | QStyle::State_Horizontal);
    bar.direction = Qt::RightToLeft;
    bar.orientation = Qt::Horizontal;
    bar.minimum = 0;
    bar.maximum = 100;
    bar.sliderPosition = bar.sliderValue = 40;
    bar.pageStep = 30;
    bar.subControls = QStyle::SC_All;
    const QRect subLine = m_style->subControlRect(QStyle::CC_ScrollBar, &bar, QStyle::SC_ScrollBarSubLine, w);
    const QRect addLine = m_style->subControlRect(QStyle::CC_ScrollBar, &bar, QStyle::SC_ScrollBarAddLine, w);
    QVERIFY(subLine.left() > addLine.right());
    const QImage drawn =
        paint(size, [&](QPainter* p) { m_style->drawComplexControl(QStyle::CC_ScrollBar, &bar, p, w); });
    const QString h = QStringLiteral("ScrollBar/Horizontal/Horizontal_");
    const QImage arrows = paint(size, [&](QPainter* p) {
        p->fillRect(bar.rect, Qt::white);
        drawNinePatchPixmap(p, styleImage(h + QStringLiteral("Background_normal.png")), bar.rect, 9, 0, 9, 0);
        p->drawPixmap(subLine, styleImage(h + QStringLiteral("Button_Right_normal.png")));
        p->drawPixmap(addLine, styleImage(h + QStringLiteral("Button_Left_normal.png")));
    });
    QCOMPARE(drawn.copy(subLine), arrows.copy(subLine));
    QCOMPARE(drawn.copy(addLine), arrows.copy(addLine));
}

void TestStyleControls::verticalSlider()
{
    const QSize size(30, 150);
    QSlider widget(Qt::Vertical);
    widget.setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.slider"));
    QStyleOptionSlider slider;
    prepare(slider, QRect(QPoint(0, 0), size));
    slider.orientation = Qt::Vertical;
    slider.minimum = 0;
    slider.maximum = 100;
    slider.sliderPosition = slider.sliderValue = 30;
    slider.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    const QImage drawn = paint(
        size, [&](QPainter* p) { m_style->drawComplexControl(QStyle::CC_Slider, &slider, p, &widget); });
    const QImage expected = paint(size, [&](QPainter* p) {
        const QPixmap groove = styleImage(QStringLiteral("Slider/Groove_normal.png"))
                                   .transformed(QTransform().rotate(90), Qt::FastTransformation);
        QRect g = m_style->subControlRect(QStyle::CC_Slider, &slider, QStyle::SC_SliderGroove, &widget);
        const int d = (g.width() - groove.width()) / 2;
        g.adjust(d, 0, -d, 0);
        drawNinePatchPixmap(p, groove, g, 0, 5, 0, 5);
        const QPixmap handle = styleImage(QStringLiteral("Slider/Handle_normal.png"));
        const QRect h = m_style->subControlRect(QStyle::CC_Slider, &slider, QStyle::SC_SliderHandle, &widget);
        p->drawPixmap(h.x() + (h.width() - handle.width()) / 2, h.y() + (h.height() - handle.height()) / 2,
                      handle);
    });
    QCOMPARE(drawn, expected);
}

void TestStyleControls::sliderEndIcons_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("rtl");
    QTest::addColumn<bool>("inverted");
    QTest::newRow("horizontal") << int(Qt::Horizontal) << false << false;
    QTest::newRow("horizontal, right to left") << int(Qt::Horizontal) << true << false;
    QTest::newRow("horizontal, inverted") << int(Qt::Horizontal) << false << true;
    QTest::newRow("vertical") << int(Qt::Vertical) << false << false;
    QTest::newRow("vertical, inverted") << int(Qt::Vertical) << false << true;
}

void TestStyleControls::sliderEndIcons()
{
    // Each end icon sits at the end its value lies at, and the groove leaves room for that icon
    // there, however the slider runs (QSlider tells right to left and inverted appearance
    // through upsideDown).
    QFETCH(int, orientation);
    QFETCH(bool, rtl);
    QFETCH(bool, inverted);
    class COpenSlider : public QSlider
    {
    public:
        using QSlider::initStyleOption;
        using QSlider::QSlider;
    };
    const bool horizontal = orientation == Qt::Horizontal;
    COpenSlider widget(static_cast<Qt::Orientation>(orientation));
    widget.setProperty("com_velto_qstyleRole", QStringLiteral("quor.commonuilibrary.slider"));
    widget.setLayoutDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    widget.setInvertedAppearance(inverted);
    widget.setRange(0, 100);
    widget.resize(horizontal ? QSize(200, 30) : QSize(30, 200));
    QPixmap minimum(16, 16);
    minimum.fill(Qt::red);
    QPixmap maximum(10, 10);
    maximum.fill(Qt::blue);
    widget.setProperty("minimumIcon", minimum);
    widget.setProperty("maximumIcon", maximum);
    QStyleOptionSlider slider;
    widget.initStyleOption(&slider);
    slider.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;

    const QImage drawn = paint(widget.size(), [&](QPainter* p) {
        m_style->drawComplexControl(QStyle::CC_Slider, &slider, p, &widget);
    });
    // Where the handle sits at the minimum, and where the icons are.
    slider.sliderPosition = slider.sliderValue = 0;
    const QRect atMinimum =
        m_style->subControlRect(QStyle::CC_Slider, &slider, QStyle::SC_SliderHandle, &widget);
    const QRect groove =
        m_style->subControlRect(QStyle::CC_Slider, &slider, QStyle::SC_SliderGroove, &widget);
    QRect red;
    QRect blue;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            if (drawn.pixel(x, y) == qRgb(255, 0, 0))
                red |= QRect(x, y, 1, 1);
            else if (drawn.pixel(x, y) == qRgb(0, 0, 255))
                blue |= QRect(x, y, 1, 1);
        }
    }
    QCOMPARE(red.size(), minimum.size());
    QCOMPARE(blue.size(), maximum.size());
    const auto start = [&](const QRect& r) { return horizontal ? r.left() : r.top(); };
    const auto end = [&](const QRect& r) { return horizontal ? r.right() : r.bottom(); };
    const bool minimumFirst = start(red) < start(blue);
    QCOMPARE(start(atMinimum) < start(groove) + (end(groove) - start(groove)) / 2, minimumFirst);
    // The groove runs between the icons, 2 pixels from each.
    const QRect& first = minimumFirst ? red : blue;
    const QRect& last = minimumFirst ? blue : red;
    QCOMPARE(start(groove), end(first) + 3);
    QCOMPARE(end(groove), start(last) - 3);
}

void TestStyleControls::tickLoopNearIntMax()
{
    QStyleOptionSlider slider;
    prepare(slider, QRect(0, 0, 200, 40), QStyle::State_Enabled | QStyle::State_Horizontal);
    slider.orientation = Qt::Horizontal;
    slider.minimum = INT_MAX - 10;
    slider.maximum = INT_MAX;
    slider.sliderPosition = slider.sliderValue = INT_MAX - 5;
    slider.tickInterval = 3;
    slider.tickPosition = QSlider::TicksAbove;
    slider.subControls = QStyle::SC_SliderTickmarks;
    RecordingPaintDevice device;
    {
        QPainter painter(&device);
        m_style->drawComplexControl(QStyle::CC_Slider, &slider, &painter, nullptr);
    }
    QCOMPARE(device.lines().size(), 4);
    // First and last ticks are 4 long, the others 3.
    QCOMPARE(device.lines().first().length(), 4.0);
    QCOMPARE(device.lines().at(1).length(), 3.0);
}

void TestStyleControls::toolButtons()
{
    const QSize size(60, 50);
    QStyleOptionToolButton tool;
    prepare(tool, QRect(QPoint(0, 0), size));
    tool.text = QStringLiteral("Tool");
    tool.iconSize = QSize(16, 16);
    tool.subControls = QStyle::SC_ToolButton;
    tool.toolButtonStyle = Qt::ToolButtonTextUnderIcon;
    QIcon icon;
    const QColor normal(255, 0, 0), active(0, 255, 0), selected(0, 0, 255);
    for (const auto& [colour, mode] : {std::pair{normal, QIcon::Normal}, std::pair{active, QIcon::Active},
                                       std::pair{selected, QIcon::Selected}}) {
        QPixmap pixmap(16, 16);
        pixmap.fill(colour);
        icon.addPixmap(pixmap, mode, QIcon::Off);
    }
    tool.icon = icon;
    auto draw = [&](const QString& role) {
        return paint(size, [&](QPainter* p) {
            m_style->drawComplexControl(QStyle::CC_ToolButton, &tool, p, roleWidget(role));
        });
    };
    const QString iconOnly = QStringLiteral("toolbutton.icononly");
    const QImage plain = draw(iconOnly);
    tool.state |= QStyle::State_Sunken;
    QCOMPARE(draw(iconOnly), plain);

    const QString title = QStringLiteral("mainWindow.toolButton");
    auto centreColour = [&] {
        const QImage image = draw(title);
        int found = 0;
        for (const QColor& c : {normal, active, selected}) {
            if (leftmostColumn(image, c.rgb()) >= 0)
                found = found * 10 + (c == normal ? 1 : c == active ? 2 : 3);
        }
        return found;
    };
    tool.state = QStyle::State_Enabled;
    QCOMPARE(centreColour(), 1);
    tool.state = QStyle::State_Enabled | QStyle::State_MouseOver;
    QCOMPARE(centreColour(), 2);
    tool.state = QStyle::State_Enabled | QStyle::State_MouseOver | QStyle::State_Sunken;
    QCOMPARE(centreColour(), 3);
}

void TestStyleControls::titleBars_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("image"); // empty: nothing drawn
    QTest::newRow("blue") << QStringLiteral("window.dialog.titleBar.Blue")
                          << QStringLiteral("Dialog/blue_top.png");
    QTest::newRow("purple") << QStringLiteral("window.dialog.titleBar.Purple")
                            << QStringLiteral("Dialog/purple_top.png");
    QTest::newRow("gray") << QStringLiteral("window.dialog.titleBar.Gray")
                          << QStringLiteral("Dialog/gray_top.png");
    QTest::newRow("other colour") << QStringLiteral("window.dialog.titleBar.Green")
                                  << QStringLiteral("Dialog/yellow_top.png");
    QTest::newRow("wizard") << QStringLiteral("window.secondary.titleBar.Wizard")
                            << QStringLiteral("SecondaryWindow/WizardTop.png");
    QTest::newRow("settings") << QStringLiteral("window.secondary.titleBar.Settings")
                              << QStringLiteral("SecondaryWindow/TabViewTop.png");
    QTest::newRow("secondary other") << QStringLiteral("window.secondary.titleBar.About") << QString();
    QTest::newRow("base caption") << QStringLiteral("mainWindow.titleBar") << QString();
}

void TestStyleControls::titleBars()
{
    QFETCH(QString, role);
    QFETCH(QString, image);
    const QSize size(200, 36);
    QStyleOptionTitleBar title;
    prepare(title, QRect(QPoint(0, 0), size));
    const QImage drawn = paint(size, [&](QPainter* p) {
        m_style->drawComplexControl(QStyle::CC_TitleBar, &title, p, roleWidget(role));
    });
    if (image.isEmpty()) {
        QVERIFY(isBlank(drawn));
        return;
    }
    QCOMPARE(drawn, paint(size, [&](QPainter* p) {
                 drawNinePatchPixmap(p, styleImage(image), title.rect, 18, 0, 18, 0);
             }));
}

void TestStyleControls::mainTitleBar()
{
    const QSize size(300, 40);
    QWidget* w = roleWidget(QStringLiteral("window.main.titleBar"));
    QStyleOptionTitleBar title;
    prepare(title, QRect(QPoint(0, 0), size));
    title.subControls = QStyle::SC_TitleBarSysMenu;
    title.titleBarFlags = Qt::Window | Qt::WindowSystemMenuHint;
    const QPixmap parts[3] = {styleImage(QStringLiteral("MainWindow/mainframeTopL.png")),
                              styleImage(QStringLiteral("MainWindow/mainframeTopM.png")),
                              styleImage(QStringLiteral("MainWindow/mainframeTopR.png"))};
    auto draw = [&] {
        return paint(size,
                     [&](QPainter* p) { m_style->drawComplexControl(QStyle::CC_TitleBar, &title, p, w); });
    };
    QCOMPARE(draw(), paint(size, [&](QPainter* p) {
                 CQuorCommonStyle::drawThreePartPixmap(p, title.rect, parts);
                 const QRect menu =
                     m_style->subControlRect(QStyle::CC_TitleBar, &title, QStyle::SC_TitleBarSysMenu, w);
                 p->drawPixmap(menu.topLeft(), styleImage(QStringLiteral("MainWindow/titleBarIcon.png")));
             }));
    title.titleBarFlags = Qt::Window;
    QCOMPARE(draw(),
             paint(size, [&](QPainter* p) { CQuorCommonStyle::drawThreePartPixmap(p, title.rect, parts); }));
}

void TestStyleControls::captionCloseIconCentred_data()
{
    QTest::addColumn<int>("color");
    for (int color = 0; color < 4; ++color)
        QTest::newRow(QMetaEnum::fromType<CQuorDialogTitleBar::Color>().valueToKey(color)) << color;
}

// The close cross is drawn whole, in the middle of its button: the pixels that differ between the
// caption with and without the button are the cross's opaque box.
void TestStyleControls::captionCloseIconCentred()
{
    QFETCH(int, color);
    QWidget window;
    CQuorDialogTitleBar bar(&window);
    bar.setColor(CQuorDialogTitleBar::Color(color));
    bar.resize(300, bar.height());
    bar.layout()->activate();
    const QImage withIcon = bar.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QRect button = bar.closeButton()->geometry();
    bar.closeButton()->hide();
    const QImage without = bar.grab().toImage().convertToFormat(QImage::Format_ARGB32);

    const QImage pixmap =
        m_style->standardPixmap(CQuorDialogTitleBar::closePixmapFor(bar.color()), nullptr, &bar)
            .toImage()
            .convertToFormat(QImage::Format_ARGB32);
    QRect opaque;
    for (int y = 0; y < pixmap.height(); ++y) {
        for (int x = 0; x < pixmap.width(); ++x) {
            if (qAlpha(pixmap.pixel(x, y)) > 0)
                opaque |= QRect(x, y, 1, 1);
        }
    }
    QRect differing;
    for (int y = 0; y < withIcon.height(); ++y) {
        for (int x = 0; x < withIcon.width(); ++x) {
            if (withIcon.pixel(x, y) != without.pixel(x, y))
                differing |= QRect(x, y, 1, 1);
        }
    }
    const QRect expected =
        opaque.translated(button.topLeft() + QPoint((button.width() - pixmap.width()) / 2,
                                                    (button.height() - pixmap.height()) / 2));
    QVERIFY2(qAbs(differing.left() - expected.left()) <= 1 && qAbs(differing.top() - expected.top()) <= 1 &&
                 qAbs(differing.right() - expected.right()) <= 1 &&
                 qAbs(differing.bottom() - expected.bottom()) <= 1,
             qPrintable(QStringLiteral("drawn (%1,%2 %3x%4), expected (%5,%6 %7x%8)")
                            .arg(differing.x())
                            .arg(differing.y())
                            .arg(differing.width())
                            .arg(differing.height())
                            .arg(expected.x())
                            .arg(expected.y())
                            .arg(expected.width())
                            .arg(expected.height())));
}

QTEST_MAIN(TestStyleControls)
#include "tst_stylecontrols.moc"
