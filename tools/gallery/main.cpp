// gallery --out sheet.png: renders every look of the product style (over the common style) into one
// PNG contact sheet.
// Runs on the offscreen platform unless another one is asked for; --list prints the cell names.
// gallery --window [--out shot.png]: the windows themselves on the current display (DISPLAY).
// --scale N draws at scale factor N (QT_SCALE_FACTOR); --large-fonts turns on the style's
// large-font setting.

#include "compositingwatch.h"
#include "gallery.h"
#include "meskuistyle.h"
#include "windowgallery.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>

#include <algorithm>

int main(int argc, char* argv[])
{
    // --window needs the real display; the sheet is drawn offscreen.
    const bool onDisplay = std::any_of(argv + 1, argv + argc, [](const char* arg) {
        return qstrcmp(arg, "--window") == 0 || qstrcmp(arg, "-window") == 0;
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !onDisplay)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The scale factor is read when the application starts, so --scale is taken before it.
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--scale") == 0)
            qputenv("QT_SCALE_FACTOR", argv[i + 1]);
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velto"));
    QApplication::setApplicationName(QStringLiteral("Velto Lumesk"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Draws every look of the product style into one PNG."));
    parser.addHelpOption();
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("PNG file to write."),
                                       QStringLiteral("file"));
    const QCommandLineOption listOption(QStringLiteral("list"),
                                        QStringLiteral("Print the name of every cell."));
    const QCommandLineOption filterOption(QStringLiteral("filter"),
                                          QStringLiteral("Draw only the rows whose name contains the text."),
                                          QStringLiteral("text"));
    parser.addOption(outOption);
    parser.addOption(filterOption);
    parser.addOption(listOption);
    const QCommandLineOption windowOption(
        QStringLiteral("window"),
        QStringLiteral("Show the windows on the current display over a plain backdrop and grab the screen "
                       "into --out (without --out they stay until the program is ended)."));
    parser.addOption(windowOption);
    const QCommandLineOption scaleOption(QStringLiteral("scale"),
                                         QStringLiteral("Scale factor to draw at (1 by default)."),
                                         QStringLiteral("factor"));
    const QCommandLineOption largeFontsOption(QStringLiteral("large-fonts"),
                                              QStringLiteral("Draw with the style's large-font setting."));
    parser.addOption(scaleOption);
    parser.addOption(largeFontsOption);
    parser.process(app);
    const auto makeStyle = [&] {
        auto* style = new CMeskUiStyle;
        if (parser.isSet(largeFontsOption))
            style->setLargeFonts(true);
        QApplication::setStyle(style);
        return style;
    };
    if (parser.isSet(windowOption)) {
        makeStyle();
        return runWindowGallery(parser.value(outOption), parser.value(filterOption));
    }
    // The sheet shows the floating windows' art as a compositing desktop blends it.
    CCompositingWatch::instance()->setOverride(true);
    if (!parser.isSet(outOption)) {
        QTextStream(stderr) << "gallery: --out FILE is needed\n";
        return 2;
    }

    CMeskUiStyle* style = makeStyle();
    QStringList cells;
    const QImage sheet = renderGallery(style, &cells, parser.value(filterOption));
    if (sheet.isNull() || !sheet.save(parser.value(outOption), "PNG")) {
        QTextStream(stderr) << "gallery: cannot write " << parser.value(outOption) << "\n";
        return 1;
    }
    if (parser.isSet(listOption)) {
        QTextStream out(stdout);
        for (const QString& cell : std::as_const(cells))
            out << cell << "\n";
    }
    return 0;
}
