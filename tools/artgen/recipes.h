#pragma once

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

// Draws the image a recipe describes. Returns a null image when the recipe is unknown.
QImage drawRecipe(const SArtRecipe& recipe);
