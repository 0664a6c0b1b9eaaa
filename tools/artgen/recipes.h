#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QMargins>
#include <QString>

// One line of the image table: where the image goes, its size, its nine-patch
// margins and the recipe (with parameters) that draws it.
struct SArtRecipe
{
    QString path;
    QSize size;
    QMargins margins;
    QString recipe;
    QHash<QString, QString> params;
    int line = 0;

    QString param(const QString& key, const QString& fallback = QString()) const
    {
        return params.value(key, fallback);
    }
    int intParam(const QString& key, int fallback = 0) const;
};

// Draws the image a recipe describes at a whole-number scale: the same geometry with every
// length (and blur radius) times the scale, so the image is recipe.size * scale pixels large and
// carries that device pixel ratio. Returns a null image when the recipe is unknown.
QImage drawRecipe(const SArtRecipe& recipe, int scale = 1);

// The path of an image's high-resolution variant: "dir/name@2x.png" for "dir/name.png".
// Empty for an icon file (".ico"), which carries its own sizes.
QString highResolutionPath(const QString& path);

// An icon file (ICO container) of the recipe drawn at each size of its "sizes=16,32,48" parameter
// (the table size when there is none), in that order, each entry PNG-encoded. Empty when the
// recipe is unknown or a size is not between 1 and 256.
QByteArray drawIconFile(const SArtRecipe& recipe);
