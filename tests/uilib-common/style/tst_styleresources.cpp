#include "style/quorcommonstyle.h"

#include <QApplication>
#include <QFile>
#include <QMargins>
#include <QTest>
#include <QTextStream>

// Checks the compiled-in image set against the image table that artgen draws from, and the
// relations between images that the style's layout depends on.

namespace {

struct SImageRow
{
    QString path;
    QSize size;
    QMargins margins;
};

QList<SImageRow> readTable()
{
    QList<SImageRow> rows;
    QFile file(QStringLiteral(LUMESK_IMAGE_TABLE));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return rows;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (f.size() < 7)
            continue;
        rows.append({f[0], QSize(f[1].toInt(), f[2].toInt()),
                     QMargins(f[3].toInt(), f[4].toInt(), f[5].toInt(), f[6].toInt())});
    }
    return rows;
}

QImage load(const QString& path)
{
    return QImage(CQuorCommonStyle::imageRoot() + path).convertToFormat(QImage::Format_ARGB32);
}

QSize sizeOf(const QString& path)
{
    return QImage(CQuorCommonStyle::imageRoot() + path).size();
}

bool anyVisible(const QImage& image, const QRect& area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y).alpha() > 0)
                return true;
    return false;
}

double meanLightness(const QImage& image)
{
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 128) {
                sum += c.lightness();
                ++count;
            }
        }
    return count ? sum / count : -1;
}

const QStringList kStates4 = {QStringLiteral("normal"), QStringLiteral("pressed"), QStringLiteral("hover"),
                              QStringLiteral("disabled")};

} // namespace

class TestStyleResources : public QObject
{
    Q_OBJECT

private slots:
    void tableIsComplete();
    void everyImageLoads_data();
    void everyImageLoads();
    void tooltipBackgroundIsAbsent();
    void scrollBarsHaveOneThickness();
    void frameHeightsMatch();
    void setsHaveOneSize_data();
    void setsHaveOneSize();
    void clearCentres_data();
    void clearCentres();
    void exactSizes();
    void progressBarRelations();
    void dialogTopsAndCrosses();
    void comboArrowIsInItsBand();
};

void TestStyleResources::tableIsComplete()
{
    const QList<SImageRow> rows = readTable();
    QCOMPARE(rows.size(), 204);
    QSet<QString> paths;
    for (const SImageRow& row : rows)
        paths.insert(row.path);
    QCOMPARE(paths.size(), rows.size());
}

void TestStyleResources::everyImageLoads_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QMargins>("margins");
    for (const SImageRow& row : readTable())
        QTest::newRow(qPrintable(row.path)) << row.path << row.size << row.margins;
}

void TestStyleResources::everyImageLoads()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QFETCH(QMargins, margins);
    const QImage image = load(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), size);
    if (!margins.isNull()) {
        QVERIFY(image.width() >= margins.left() + margins.right() + 1);
        QVERIFY(image.height() >= margins.top() + margins.bottom() + 1);
    }
    QVERIFY2(anyVisible(image, image.rect()), "the image is not fully transparent");
}

void TestStyleResources::tooltipBackgroundIsAbsent()
{
    QVERIFY(!QFile::exists(CQuorCommonStyle::imageRoot() + QStringLiteral("ToolTip/ToolTip_bg.png")));
    QVERIFY(QFile::exists(CQuorCommonStyle::imageRoot() + QStringLiteral("ToolTip/ToolTip.png")));
}

void TestStyleResources::scrollBarsHaveOneThickness()
{
    const int thickness =
        sizeOf(QStringLiteral("ScrollBar/Horizontal/Horizontal_Background_normal.png")).height();
    QVERIFY(thickness > 0);
    for (const QString& state : kStates4) {
        for (const QString& part : {QStringLiteral("Background"), QStringLiteral("Slider")}) {
            const QString h = QStringLiteral("ScrollBar/Horizontal/Horizontal_%1_%2.png").arg(part, state);
            const QString v = QStringLiteral("ScrollBar/Vertical/Vertical_%1_%2.png").arg(part, state);
            QCOMPARE(sizeOf(h).height(), thickness);
            QCOMPARE(sizeOf(v).width(), thickness);
            // 9-px stretch-free ends and at least one stretched pixel.
            QVERIFY(sizeOf(h).width() >= 19);
            QVERIFY(sizeOf(v).height() >= 19);
        }
        // The style draws sliders 8 px longer at each end: their art keeps 8 clear pixels there.
        const QImage h = load(QStringLiteral("ScrollBar/Horizontal/Horizontal_Slider_%1.png").arg(state));
        QVERIFY(!anyVisible(h, QRect(0, 0, 8, h.height())));
        QVERIFY(!anyVisible(h, QRect(h.width() - 8, 0, 8, h.height())));
        QVERIFY(anyVisible(h, QRect(8, 0, 1, h.height())));
        const QImage v = load(QStringLiteral("ScrollBar/Vertical/Vertical_Slider_%1.png").arg(state));
        QVERIFY(!anyVisible(v, QRect(0, 0, v.width(), 8)));
        QVERIFY(!anyVisible(v, QRect(0, v.height() - 8, v.width(), 8)));
        for (const QString& button :
             {QStringLiteral("Horizontal/Horizontal_Button_Left"),
              QStringLiteral("Horizontal/Horizontal_Button_Right"),
              QStringLiteral("Vertical/Vertical_Button_Up"), QStringLiteral("Vertical/Vertical_Button_Down")})
            QCOMPARE(sizeOf(QStringLiteral("ScrollBar/%1_%2.png").arg(button, state)),
                     QSize(thickness, thickness));
    }
}

void TestStyleResources::frameHeightsMatch()
{
    const int title = sizeOf(QStringLiteral("MainWindow/mainframeTopM.png")).height();
    for (const char* path :
         {"MainWindow/mainframeTopL.png", "MainWindow/mainframeTopR.png", "Dialog/yellow_top.png",
          "Dialog/gray_top.png", "Dialog/blue_top.png", "Dialog/purple_top.png",
          "SecondaryWindow/WizardTop.png", "SecondaryWindow/TabViewTop.png"})
        QCOMPARE(sizeOf(QLatin1String(path)).height(), title);
    const int bottom = sizeOf(QStringLiteral("MainWindow/mainframeBottomM.png")).height();
    QCOMPARE(sizeOf(QStringLiteral("MainWindow/mainframeBottomL.png")).height(), bottom);
    QCOMPARE(sizeOf(QStringLiteral("MainWindow/mainframeBottomR.png")).height(), bottom);
    QCOMPARE(sizeOf(QStringLiteral("MainWindow/mainframeTopL.png")).width(),
             sizeOf(QStringLiteral("MainWindow/mainframeBottomL.png")).width());
    // Title-bar buttons have no disabled image.
    for (const char* glyph : {"close", "min", "max", "rst"})
        QVERIFY(!QFile::exists(CQuorCommonStyle::imageRoot() +
                               QStringLiteral("MainWindow/title_%1_disabled.png").arg(QLatin1String(glyph))));
}

void TestStyleResources::setsHaveOneSize_data()
{
    QTest::addColumn<QStringList>("paths");
    auto expand = [](const QString& pattern, const QStringList& values) {
        QStringList out;
        for (const QString& v : values)
            out.append(pattern.arg(v));
        return out;
    };
    const QStringList indicators = {QStringLiteral("unchecked_rollover"), QStringLiteral("unchecked"),
                                    QStringLiteral("checked_rollover"), QStringLiteral("checked"),
                                    QStringLiteral("disabled")};
    const QStringList threeStates = {QStringLiteral("normal"), QStringLiteral("hover"),
                                     QStringLiteral("pressed")};
    QTest::newRow("check box") << expand(QStringLiteral("CheckBox/checkbox_%1.png"), indicators);
    QTest::newRow("special check box")
        << expand(QStringLiteral("CheckBoxSpecial/checkboxspecial_%1.png"), indicators);
    QTest::newRow("radio button") << expand(QStringLiteral("RadioButton/radiobutton_%1.png"), indicators);
    QTest::newRow("wait frames") << expand(QStringLiteral("WaitAnimation/progress%1.png"),
                                           {"0", "1", "2", "3", "4", "5", "6", "7"});
    QStringList titleButtons;
    for (const char* glyph : {"close", "min", "max", "rst"})
        titleButtons +=
            expand(QStringLiteral("MainWindow/title_") + QLatin1String(glyph) + QStringLiteral("_%1.png"),
                   threeStates);
    QTest::newRow("title buttons") << titleButtons;
    QTest::newRow("tooltip arrows") << QStringList{QStringLiteral("ToolTip/ToolTip_Arrow_Up.png"),
                                                   QStringLiteral("ToolTip/ToolTip_Arrow_Down.png")};
    QStringList segments;
    for (const char* part : {"left", "middle", "right"})
        segments +=
            expand(QStringLiteral("OptionGroup/toggle_") + QLatin1String(part) + QStringLiteral("_%1.png"),
                   {QStringLiteral("normal"), QStringLiteral("pressed")});
    QTest::newRow("option group") << segments;
    QTest::newRow("slider handle") << expand(QStringLiteral("Slider/Handle_%1.png"), kStates4);
    QTest::newRow("slider groove") << expand(QStringLiteral("Slider/Groove_%1.png"), kStates4);
    QTest::newRow("combo box") << expand(QStringLiteral("ComboBox/ComboBox_%1.png"), threeStates);
    QTest::newRow("sync") << expand(QStringLiteral("SyncButton/sync_%1.png"), threeStates);
    QTest::newRow("small sync") << expand(QStringLiteral("SyncButton/smallsync_%1.png"), threeStates);
    QTest::newRow("line edit") << QStringList{QStringLiteral("LineEdit/border_active.png"),
                                              QStringLiteral("LineEdit/border_active_in.png")};
    QTest::newRow("tabs") << QStringList{QStringLiteral("TabWidget/tab_selected.png"),
                                         QStringLiteral("TabWidget/tab_unselected.png")};
    QTest::newRow("home panel") << QStringList{QStringLiteral("Backgrounds/home_bg.png"),
                                               QStringLiteral("Backgrounds/home_bg_mouseover.png")};
    QStringList phased;
    for (const char* kind : {"CurrentDark", "CurrentLight", "Past", "Future"})
        phased += QStringLiteral("PhasedProgressBar/%1_middle.png").arg(QLatin1String(kind));
    QTest::newRow("phased middles") << phased;
}

void TestStyleResources::setsHaveOneSize()
{
    QFETCH(QStringList, paths);
    const QSize first = sizeOf(paths.first());
    QVERIFY(!first.isEmpty());
    for (const QString& path : paths)
        QVERIFY2(sizeOf(path) == first, qPrintable(path));
}

void TestStyleResources::clearCentres_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QMargins>("margins");
    QTest::newRow("window shadow") << "MainWindow/mainframe-shadow.png" << QMargins(28, 20, 28, 42);
    QTest::newRow("menu shadow") << "Menu/menu.png" << QMargins(28, 20, 28, 42);
    QTest::newRow("list shadow") << "ComboBox/ListShadow.png" << QMargins(17, 16, 17, 21);
    for (const char* face : {"Black", "White", "Toolbar"})
        for (const QString& state : kStates4)
            QTest::addRow("%s %s", face, qPrintable(state))
                << QStringLiteral("GradientButton/%1_%2.png").arg(QLatin1String(face), state)
                << QMargins(10, 10, 10, 10);
}

void TestStyleResources::clearCentres()
{
    QFETCH(QString, path);
    QFETCH(QMargins, margins);
    const QImage image = load(path);
    QVERIFY(image.width() >= margins.left() + margins.right() + 1);
    QVERIFY(image.height() >= margins.top() + margins.bottom() + 1);
    QVERIFY(!anyVisible(image, image.rect().marginsRemoved(margins)));
    QVERIFY(anyVisible(image, image.rect()));
}

void TestStyleResources::exactSizes()
{
    QCOMPARE(sizeOf(QStringLiteral("MainWindow/quor_16x16.png")), QSize(16, 16));
    QCOMPARE(sizeOf(QStringLiteral("MainWindow/quor_48x48.png")), QSize(48, 48));
    QCOMPARE(sizeOf(QStringLiteral("CommonIcons/add_17x17_normal.png")), QSize(17, 17));
    QCOMPARE(sizeOf(QStringLiteral("CommonIcons/trash_16x16_normal.png")), QSize(16, 16));
    QCOMPARE(sizeOf(QStringLiteral("Splitters/hoverHandle.png")).width(), 6);
}

void TestStyleResources::progressBarRelations()
{
    const int bar = sizeOf(QStringLiteral("ProgressBar/ProgressBarV2_bg.png")).height();
    QVERIFY(bar >= 15);
    QCOMPARE(sizeOf(QStringLiteral("ProgressBar/ProgressBarV2_fill.png")).height(), bar);
    QCOMPARE(sizeOf(QStringLiteral("ProgressBar/ProgressBarV2_fillcap.png")).height(), bar);
    QCOMPARE(sizeOf(QStringLiteral("ProgressBar/ProgressBarV2_busy.png")).height(), bar - 10);
    const int middle = sizeOf(QStringLiteral("PhasedProgressBar/Past_middle.png")).height();
    for (const char* kind : {"CurrentDark", "CurrentLight", "Past", "Future"})
        for (const char* part : {"left", "right"})
            QCOMPARE(sizeOf(QStringLiteral("PhasedProgressBar/%1_%2.png")
                                .arg(QLatin1String(kind), QLatin1String(part)))
                         .height(),
                     middle);
    const int actionTip = sizeOf(QStringLiteral("ActionToolTip/ActionToolTip_Middle.png")).height();
    for (const char* part : {"Left", "Right", "Pointer"})
        QCOMPARE(
            sizeOf(QStringLiteral("ActionToolTip/ActionToolTip_%1.png").arg(QLatin1String(part))).height(),
            actionTip);
    QCOMPARE(sizeOf(QStringLiteral("Music/music_player_progress_fill.png")).height(),
             sizeOf(QStringLiteral("Music/music_player_progress_bg.png")).height());
}

void TestStyleResources::dialogTopsAndCrosses()
{
    // The purple title is dark and takes the light cross; the others are light and take the dark one.
    QVERIFY(meanLightness(load(QStringLiteral("Dialog/purple_top.png"))) < 128);
    for (const char* tone : {"yellow", "gray", "blue"})
        QVERIFY(meanLightness(load(QStringLiteral("Dialog/%1_top.png").arg(QLatin1String(tone)))) > 128);
    QVERIFY(meanLightness(load(QStringLiteral("CommonIcons/close_alone_light_normal.png"))) > 200);
    QVERIFY(meanLightness(load(QStringLiteral("SecondaryWindow/close_alone_dark_normal.png"))) < 128);
}

void TestStyleResources::comboArrowIsInItsBand()
{
    // The arrow lives in the unstretched right band of 25 px, so it keeps its shape at any width.
    for (const char* state : {"normal", "pressed", "hover"}) {
        const QImage combo = load(QStringLiteral("ComboBox/ComboBox_%1.png").arg(QLatin1String(state)));
        int arrowPixels = 0;
        for (int y = 0; y < combo.height(); ++y)
            for (int x = 0; x < combo.width(); ++x) {
                const QColor c = combo.pixelColor(x, y);
                if (c.alpha() > 200 && c.lightness() < 130) {
                    QVERIFY2(x >= combo.width() - 25,
                             qPrintable(QStringLiteral("%1: dark pixel at %2").arg(state).arg(x)));
                    ++arrowPixels;
                }
            }
        QVERIFY(arrowPixels > 3);
    }
}

QTEST_MAIN(TestStyleResources)
#include "tst_styleresources.moc"
