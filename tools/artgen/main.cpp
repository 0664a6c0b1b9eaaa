// artgen: draws every image of the common style from the image table.
//
//   artgen --table FILE --out DIR     writes each image under DIR at its table path, and beside
//                                     it "name@2x.png" drawn at twice the size (not for .ico files)
//   artgen --table FILE --sheet PNG   writes a contact sheet of all images on a checkerboard
//   --filter TEXT                     limits the contact sheet to paths containing TEXT
//
// Images are saved as PNG; a path ending in ".ico" gets an icon file holding the recipe at each
// size of its "sizes=" parameter (PNG-encoded entries).
//
// Exits non-zero when the table has an error (unknown recipe, bad size, margins that do
// not fit their image) or an image cannot be written.

#include "recipes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

namespace {

void fail(const QString& message)
{
    std::fprintf(stderr, "artgen: %s\n", qPrintable(message));
}

bool readTable(const QString& fileName, QList<SArtRecipe>& out)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        fail(QStringLiteral("cannot read %1").arg(fileName));
        return false;
    }
    QTextStream in(&file);
    int lineNo = 0;
    bool ok = true;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        ++lineNo;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (f.size() < 8) {
            fail(QStringLiteral("%1:%2: expected path, size, margins and recipe").arg(fileName).arg(lineNo));
            ok = false;
            continue;
        }
        SArtRecipe r;
        r.line = lineNo;
        r.path = f[0];
        r.size = QSize(f[1].toInt(), f[2].toInt());
        r.margins = QMargins(f[3].toInt(), f[4].toInt(), f[5].toInt(), f[6].toInt());
        r.recipe = f[7];
        for (int i = 8; i < f.size(); ++i) {
            const qsizetype eq = f[i].indexOf(QLatin1Char('='));
            if (eq > 0)
                r.params.insert(f[i].left(eq), f[i].mid(eq + 1));
        }
        const bool stretched = !r.margins.isNull();
        if (r.size.isEmpty() || (stretched && (r.size.width() < r.margins.left() + r.margins.right() + 1 ||
                                               r.size.height() < r.margins.top() + r.margins.bottom() + 1))) {
            fail(QStringLiteral("%1:%2: %3 is smaller than its margins + 1")
                     .arg(fileName)
                     .arg(lineNo)
                     .arg(r.path));
            ok = false;
        }
        out.append(r);
    }
    return ok;
}

// Writes the bytes to the file; false for no bytes or a failed write. Unbuffered, so a write that fails
// shows in write()'s count and commit() then leaves no cut file (a failed flush of a buffer at commit() would
// not stop the rename).
bool writeFile(const QString& fileName, const QByteArray& bytes)
{
    QSaveFile file(fileName);
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
           file.write(bytes) == bytes.size() && file.commit();
}

QImage checkerboard(QSize size, bool dark)
{
    QImage board(size, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&board);
    const int cell = 6;
    for (int y = 0; y < size.height(); y += cell)
        for (int x = 0; x < size.width(); x += cell)
            p.fillRect(x, y, cell, cell,
                       ((x + y) / cell) % 2 ? (dark ? QColor(64, 64, 64) : QColor(204, 204, 204))
                                            : (dark ? QColor(96, 96, 96) : QColor(244, 244, 244)));
    return board;
}

bool writeSheet(const QList<SArtRecipe>& table, const QList<QImage>& images, const QString& fileName)
{
    const int columns = 8;
    const QSize cell(176, 150);
    const int rows = int((images.size() + columns - 1) / columns);
    QImage sheet(columns * cell.width(), rows * cell.height(), QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(9);
    p.setFont(font);
    for (qsizetype i = 0; i < images.size(); ++i) {
        const QImage& image = images[i];
        const QPoint origin(int(i % columns) * cell.width(), int(i / columns) * cell.height());
        // Small images are shown twice as large so their pixels can be judged.
        const int scale =
            (image.width() * 2 <= cell.width() - 16 && image.height() * 2 <= cell.height() - 40) ? 2 : 1;
        const QSize shown = image.size() * scale;
        const QPoint at = origin + QPoint((cell.width() - shown.width()) / 2,
                                          8 + (cell.height() - 40 - shown.height()) / 2);
        p.drawImage(at,
                    checkerboard(shown, table[i].param(QStringLiteral("sheet")) == QLatin1String("dark")));
        p.drawImage(QRect(at, shown), image);
        p.setPen(QColor(120, 120, 120));
        const QString name = table[i].path;
        const QString label =
            QStringLiteral("%1\n%2x%3%4")
                .arg(name.section(QLatin1Char('/'), -1), QString::number(image.width()),
                     QString::number(image.height()), scale > 1 ? QStringLiteral(" (x2)") : QString());
        p.drawText(QRect(origin.x() + 4, origin.y() + cell.height() - 30, cell.width() - 8, 28),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextWrapAnywhere, label);
    }
    p.end();
    if (!sheet.save(fileName)) {
        fail(QStringLiteral("cannot write %1").arg(fileName));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString tableFile, outDir, sheetFile, filter;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--table"))
            tableFile = args[i + 1];
        else if (args[i] == QLatin1String("--out"))
            outDir = args[i + 1];
        else if (args[i] == QLatin1String("--sheet"))
            sheetFile = args[i + 1];
        else if (args[i] == QLatin1String("--filter"))
            filter = args[i + 1];
    }
    if (tableFile.isEmpty() || (outDir.isEmpty() && sheetFile.isEmpty())) {
        fail(QStringLiteral("usage: artgen --table FILE (--out DIR | --sheet FILE.png)"));
        return 2;
    }
    QList<SArtRecipe> table;
    if (!readTable(tableFile, table))
        return 1;

    QList<SArtRecipe> shown;
    QList<QImage> shownImages;
    bool ok = true;
    for (const SArtRecipe& r : table) {
        QImage image = drawRecipe(r);
        if (image.isNull()) {
            fail(QStringLiteral("%1:%2: unknown recipe %3").arg(tableFile).arg(r.line).arg(r.recipe));
            ok = false;
            image = QImage(r.size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::magenta);
        }
        if (!outDir.isEmpty()) {
            const QString target = outDir + QLatin1Char('/') + r.path;
            QDir().mkpath(QFileInfo(target).absolutePath());
            const bool icon = r.path.endsWith(QLatin1String(".ico"), Qt::CaseInsensitive);
            if (icon ? !writeFile(target, drawIconFile(r)) : !image.save(target, "PNG")) {
                fail(QStringLiteral("cannot write %1").arg(target));
                ok = false;
            }
            // The same recipe at twice the size, for screens with a device pixel ratio above 1.
            const QString highPath = highResolutionPath(r.path);
            const QImage high = highPath.isEmpty() ? QImage() : drawRecipe(r, 2);
            if (!high.isNull() && !high.save(outDir + QLatin1Char('/') + highPath, "PNG")) {
                fail(QStringLiteral("cannot write %1").arg(outDir + QLatin1Char('/') + highPath));
                ok = false;
            }
        }
        if (filter.isEmpty() || r.path.contains(filter)) {
            shown.append(r);
            shownImages.append(image);
        }
    }
    if (!sheetFile.isEmpty() && !writeSheet(shown, shownImages, sheetFile))
        ok = false;
    return ok ? 0 : 1;
}
